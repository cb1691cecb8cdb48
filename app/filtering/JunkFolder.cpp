#include "filtering/JunkFolder.h"

namespace brevane::filtering {

namespace {

    const QString written = QStringLiteral("# Written by Brevane's Filtering tab; changes here are replaced.\n");

    QString lmtpConf()
    {
        return written
            + QStringLiteral("# Mailbox delivery for Postfix: the mbox in /var/mail as before, and mail\n"
                             "# rspamd marked in the user's Junk folder. Runs in the foreground under\n"
                             "# launchd: dovecot -F -c %1/lmtp.conf\n"
                             "protocols = lmtp\n"
                             "instance_name = dovecot-brevane-lmtp\n"
                             "base_dir = /run/dovecot-brevane-lmtp/\n"
                             "!include ../uw-common.conf.ext\n"
                             // Dovecot's auth wants one; no login service of this instance asks it.
                             "passdb {\n  driver = pam\n  args = imap\n}\n"
                             "ssl = no\n"
                             // Postfix names recipients with their domain; the accounts have none.
                             "auth_username_format = %Ln\n"
                             // System accounts got their mail before; root's never reaches here.
                             "first_valid_uid = 1\n"
                             "protocol lmtp {\n  mail_plugins = $mail_plugins sieve\n}\n"
                             // Only Postfix may hand over mail: anyone else would pass the filter by.
                             "service lmtp {\n  unix_listener lmtp {\n    user = postfix\n    group = postfix\n"
                             "    mode = 0600\n  }\n}\n"
                             "plugin {\n  sieve_before = %1/junk.sieve\n}\n")
                  .arg(QLatin1String(junkFolder));
    }

    QString learningConf()
    {
        return written
            + QStringLiteral("# Included by the IMAP instances: what users move into Junk is learned as\n"
                             "# spam, what they move out of it (to anywhere but Trash) as not spam.\n"
                             "protocol imap {\n  mail_plugins = $mail_plugins imap_sieve\n}\n"
                             "plugin {\n"
                             "  sieve_plugins = sieve_imapsieve sieve_extprograms\n"
                             "  sieve_global_extensions = +vnd.dovecot.pipe\n"
                             // Programs are services in the instance's base_dir.
                             "  sieve_pipe_socket_dir = .\n"
                             "  sieve_pipe_exec_timeout = 30s\n"
                             "  imapsieve_mailbox1_name = Junk\n"
                             "  imapsieve_mailbox1_causes = COPY APPEND\n"
                             "  imapsieve_mailbox1_before = file:%1/learn-spam.sieve\n"
                             "  imapsieve_mailbox2_name = *\n"
                             "  imapsieve_mailbox2_from = Junk\n"
                             "  imapsieve_mailbox2_causes = COPY\n"
                             "  imapsieve_mailbox2_before = file:%1/learn-ham.sieve\n"
                             "}\n"
                             // The users' processes may ask for a verdict to be
                             // learned, never reach rspamd's controller themselves.
                             "service rspamd-learn {\n"
                             "  executable = script %1/pipe/rspamd-learn\n"
                             "  user = %2\n"
                             "  unix_listener rspamd-learn {\n    mode = 0666\n  }\n"
                             "}\n")
                  .arg(QLatin1String(junkFolder), QLatin1String(learningUser));
    }

} // namespace

QList<ConfigFile> junkFiles()
{
    return {
        { QStringLiteral("lmtp.conf"), lmtpConf() },
        { QStringLiteral("learning.conf.ext"), learningConf() },
        { QStringLiteral("junk.sieve"),
            written
                + QStringLiteral("require [\"fileinto\", \"mailbox\"];\nif header :contains \"%1\" \"Yes\" {\n"
                                 "  fileinto :create \"Junk\";\n}\n")
                      .arg(QLatin1String(spamHeader)) },
        { QStringLiteral("learn-spam.sieve"),
            written
                + QStringLiteral("require [\"vnd.dovecot.pipe\", \"copy\", \"imapsieve\"];\n"
                                 "pipe :copy \"rspamd-learn\" [\"spam\"];\n") },
        { QStringLiteral("learn-ham.sieve"),
            written
                + QStringLiteral("require [\"vnd.dovecot.pipe\", \"copy\", \"imapsieve\", \"environment\", "
                                 "\"variables\"];\n"
                                 "if environment :matches \"imap.mailbox\" \"*\" {\n  set \"mailbox\" \"${1}\";\n}\n"
                                 // Thrown away is not a verdict.
                                 "if string \"${mailbox}\" \"Trash\" {\n  stop;\n}\n"
                                 "pipe :copy \"rspamd-learn\" [\"ham\"];\n") },
        // Run for any local user who asks: one word, the message on standard
        // input, nothing else taken from them.
        { QStringLiteral("rspamd-learn"),
            QStringLiteral("#!/bin/sh\n") + written
                + QStringLiteral("case $1 in spam|ham) ;; *) exit 64 ;; esac\n"
                                 "exec /usr/bin/rspamc -h %1/run/controller.sock -t 30 \"learn_$1\" >/dev/null\n")
                      .arg(QLatin1String(rspamdFolder)) },
    };
}

} // namespace brevane::filtering

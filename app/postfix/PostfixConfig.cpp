#include "postfix/PostfixConfig.h"

#include "postfix/PostfixConfigValues.h"
#include "postfix/PostfixValueRules.h"
#include "shell/ResourcePaths.h"

namespace brevane {

namespace {

const QString emptySentinel = QStringLiteral("empty");

// A single-line value as it will reach the script, with the words an alert
// uses for its control.
struct SingleLineValue {
    QString value;
    const char* label;
    const char* outlet;
    PostfixValueKind kind = PostfixValueKind::AnyText;
};

struct Collected {
    PostfixForm form;
    QStringList values;  // the 25 script arguments
    QList<SingleLineValue> singleLines;
};

// The relay account, and the boxes that fall when it is
// incomplete. Answers the sasl_passwd argument.
QString relayAccount(PostfixForm& form, const QString& relayhost)
{
    form.smartHostUserID = trimmedText(form.smartHostUserID);
    form.smartHostPassword = trimmedText(form.smartHostPassword);
    if (form.enableSASLClient && !relayhost.isEmpty() && !form.smartHostUserID.isEmpty()
        && !form.smartHostPassword.isEmpty()) {
        return QStringLiteral("%1 %2:%3").arg(relayhost, form.smartHostUserID, form.smartHostPassword);
    }
    form.enableSASLClient = false;
    form.requireSSLClient = false;
    return emptySentinel;
}

// sasldb_passwd and pam from the selected row of client authentication.
std::pair<QString, QString> clientAuthentication(const PostfixForm& form)
{
    switch (form.saslAuthMethodRow) {
    case 0:
        return {emptySentinel, QString()};
    case 1:
        return {emptySentinel, QStringLiteral("yes")};
    case 2: {
        const QString list = multiLineValue(form.sasldbPasswd);
        return {list.isEmpty() ? emptySentinel : list, QString()};
    }
    default:
        return {QString(), QString()};
    }
}

Collected collect(const PostfixForm& input)
{
    Collected c{input, {}, {}};
    PostfixForm& form = c.form;
    const QString relayhost = trimmedText(form.relayhost);
    const QString saslPasswd = relayAccount(form, relayhost);
    const QString requireSSLClientState = flagValue(form.requireSSLClient);
    form.messagesize = scannedInteger(form.messagesize);
    form.mailboxsize = scannedInteger(form.mailboxsize);
    const QString mydomain = trimmedText(form.mydomain);
    const QString mydestination = trimmedText(form.mydestination);
    const QString virtualDomains = trimmedText(form.virtualDomains);
    const auto [sasldbPasswd, pam] = clientAuthentication(form);
    const QString myorigin = mydomain.isEmpty() ? trimmedText(form.myorigin) : QString();
    QString luserRelay = form.luserRelayTitle;
    if (luserRelay == QLatin1String("/dev/null"))
        luserRelay = QStringLiteral("devnull");
    const QString rblSites = commaList(form.rblSites);
    const QString portNos = commaList(form.portNos);

    c.values = {QString::fromLatin1(workingFolderName),
                form.administrator,
                myorigin,
                relayhost,
                mydestination,
                multiLineValue(form.access),
                multiLineValue(form.aliases),
                luserRelay,
                mydomain,
                sasldbPasswd,
                saslPasswd,
                form.messagesize,
                pam,
                flagValue(form.enableSSL),
                multiLineValue(form.custom),
                form.mailboxsize,
                rblSites,
                form.mynetworksStyleRow == 1 ? QStringLiteral("host") : QString(),
                flagValue(form.requireSSL),
                requireSSLClientState,
                portNos,
                multiLineValue(form.virtualText),
                virtualDomains,
                form.dkimSigning ? QStringLiteral("yes") : QString(),
                form.filtering ? QStringLiteral("yes") : QString()};

    // In the window's order; only values that are actually written count.
    c.singleLines = {{mydomain, "mail domain field", "mydomainField", PostfixValueKind::HostName},
                     {myorigin, "origin domain field", "myoriginField", PostfixValueKind::HostName},
                     {relayhost, "relay host field", "relayhostField", PostfixValueKind::RelayHosts},
                     {mydestination, "destination domains field", "mydestinationField",
                      PostfixValueKind::Destinations},
                     {rblSites, "blacklist sites field", "rblSitesField", PostfixValueKind::RblSites},
                     {luserRelay, "unknown-user choice", "luser_relay_popup"}};
    if (saslPasswd != emptySentinel) {
        c.singleLines.append({form.smartHostUserID, "relay user name field", "smartHostUserID"});
        c.singleLines.append({form.smartHostPassword, "relay password field", "smartHostPassword"});
    }
    c.singleLines.append({portNos, "extra ports field", "portNosField", PostfixValueKind::Ports});
    c.singleLines.append({virtualDomains, "virtual domains field", "virtualDomainsField", PostfixValueKind::Domains});
    c.singleLines.append({form.messagesize, "largest message field", "messagesizeField", PostfixValueKind::Size});
    c.singleLines.append({form.mailboxsize, "largest mailbox field", "mailboxsizeField", PostfixValueKind::Size});
    return c;
}

} // namespace

PostfixConfigResult collectPostfixConfig(const PostfixForm& form, const QString& script)
{
    const Collected c = collect(form);
    for (const SingleLineValue& single : c.singleLines) {
        QString error;
        if (containsLineBreak(single.value))
            error = QStringLiteral("The %1 holds a line break; Brevane wrote nothing.").arg(QLatin1String(single.label));
        else if (!single.value.isEmpty() && !postfixCanTake(single.kind, single.value))
            error = QStringLiteral("The %1 holds \u201c%2\u201d, which Postfix cannot take there; Brevane wrote nothing.")
                        .arg(QLatin1String(single.label), single.value);
        if (!error.isEmpty())
            return {form, {}, error, QString::fromLatin1(single.outlet)};
    }
    QStringList arguments{QStringLiteral("/bin/sh"), QStringLiteral("-c"), script, QString()};
    arguments += c.values;
    return {c.form, arguments, {}, {}};
}

QString refusedCustomLine(const QString& scriptOutput)
{
    const QString marker = QStringLiteral("Refused custom line: ");
    for (const QString& line : scriptOutput.split(u'\n')) {
        if (line.startsWith(marker))
            return line.mid(marker.size());
    }
    return {};
}

QString customLineRefusal(const QString& line)
{
    return QStringLiteral("The custom line \u201c%1\u201d lets someone other than root choose a program, folder or "
                          "file that Postfix runs or reads as root; Brevane wrote nothing.")
        .arg(line);
}

} // namespace brevane

#include "postfix/PostfixSettings.h"

#include "deliverability/DkimSigning.h"

#include "postfix/PostfixSettingsParse.h"
#include "postfix/PostfixReadBack.h"

namespace brevane {

namespace {

enum CommandLine { ToolBlock, CustomBlock, PortBlock, SaslPasswd, SasldbPasswd, Access, Aliases, VirtualDb, Virtual };


void applyDomains(PostfixSettings& s, const PostfixSettingsTable& table)
{
    // An origin domain wins over a mail domain: they are never shown together.
    s.mydomain = table.value(QStringLiteral("mydomain"));
    if (table.contains(QStringLiteral("myorigin"))) {
        s.myorigin = table.value(QStringLiteral("myorigin"));
        s.mydomain.clear();
    }
}

void applyTable(PostfixSettings& s, const PostfixSettingsTable& table)
{
    auto has = [&table](const char* key) { return table.contains(QLatin1String(key)); };
    applyDomains(s, table);
    s.relayhost = table.value(QStringLiteral("relayhost"));
    s.messagesize = table.value(QStringLiteral("message_size_limit"));
    s.mailboxsize = table.value(QStringLiteral("mailbox_size_limit"));
    if (has("mydestination"))
        s.mydestination = destinationsFromValue(table.value(QStringLiteral("mydestination")));
    if (has("smtpd_client_restrictions"))
        s.rblSites = rblSitesFromRestrictions(table.value(QStringLiteral("smtpd_client_restrictions")));
    const QString luserRelay = table.value(QStringLiteral("luser_relay"));
    s.luserRelay = luserRelay == QLatin1String("devnull") ? QStringLiteral("/dev/null") : luserRelay;
    s.enableSASLClient = has("smtp_sasl_auth_enable");
    s.requireSSLClient = has("smtp_use_tls");
    s.saslAuthMethodRow = has("smtpd_use_pw_server") ? 1 : has("smtpd_sasl_auth_enable") ? 2 : 0;
    s.mynetworksStyleRow = has("mynetworks_style") ? 1 : 0;
    s.enableSSL = has("smtpd_use_tls");
    s.requireSSL = has("smtpd_tls_auth_only");
    // Filtering's milter may stand beside the signer's in the list.
    s.dkimSigning = dkim::namesSigner(table.value(QStringLiteral("smtpd_milters")));
}

} // namespace

QStringList postfixSettingsCommandLines()
{
    return postfixReadBackLines(postfixConfigDirectory());
}

PostfixSettings loadPostfixSettings(const CommandRunner& run)
{
    // One privileged run for all of them: the window waits for each run.
    const QStringList outputs = readPostfixSections(run, postfixConfigDirectory());
    PostfixSettings s;
    applyTable(s, parseSettingsTable(outputs.at(ToolBlock)));
    s.custom = outputs.at(CustomBlock);
    s.portNos = portsFromServiceLines(outputs.at(PortBlock));
    if (const auto account = relayAccountFromSaslPasswd(outputs.at(SaslPasswd))) {
        s.smartHostUserID = account->first;
        s.smartHostPassword = account->second;
    }
    s.sasldbPasswd = outputs.at(SasldbPasswd);
    s.access = outputs.at(Access);
    s.aliases = outputs.at(Aliases);
    if (!outputs.at(VirtualDb).isEmpty()) {
        const VirtualMapFields fields = parseVirtualMap(outputs.at(Virtual));
        s.virtualDomains = fields.domains;
        s.virtualText = fields.text;
    }
    return s;
}

} // namespace brevane

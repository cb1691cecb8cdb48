#include "postfix/PostfixReadBack.h"
#include "postfix/PostfixSettings.h"
#include "postfix/PostfixSettingsParse.h"
#include "shell/CommandBatch.h"

#include <gtest/gtest.h>

#include <QMap>

using namespace brevane;

namespace {

const QString prefix = QStringLiteral("localhost,localhost.$myhostname,$myhostname,");

QString block(const QStringList& lines)
{
    return (QStringList{"###Start Brevane###"} + lines + QStringList{"###End Brevane###"}).join('\n');
}

// Answers each command line of a batch from a table of outputs, framed as
// the batch's shell frames them, and records the order and the runs.
struct FakeHelper {
    QMap<QString, QString> outputs;
    QStringList ran;
    int runs = 0;

    CommandRunner runner()
    {
        return [this](const QStringList& arguments) {
            ++runs;
            const QStringList lines = arguments.mid(5);
            const QString boundary = arguments.value(4);
            EXPECT_EQ(arguments, batchArguments(lines, boundary, postfixReadBackShortcut(postfixConfigDirectory())));
            QString printed;
            for (const QString& line : lines) {
                ran.append(line);
                // What the file holds: the read gives it back without its last line feed.
                const QString output = outputs.value(line);
                printed += (output.isEmpty() ? output : output + u'\n') + u'\n' + boundary + u'\n';
            }
            return printed.chopped(1);
        };
    }
    void set(int line, const QString& output) { outputs[postfixSettingsCommandLines().at(line)] = output; }
};

enum { ToolBlock, CustomBlock, PortBlock, SaslPasswd, SasldbPasswd, Access, Aliases, VirtualDb, Virtual };

PostfixSettings loadWithBlock(const QStringList& lines)
{
    FakeHelper helper;
    helper.set(ToolBlock, block(lines));
    return loadPostfixSettings(helper.runner());
}

} // namespace

TEST(PostfixSettingsCommands, RunsTheNineCommandLinesInOrderInOneRun)
{
    FakeHelper helper;
    helper.set(VirtualDb, "/usr/local/tarnwick/postfix/etc/virtual.db");
    loadPostfixSettings(helper.runner());
    EXPECT_EQ(helper.runs, 1);
    const QStringList expected = {
        "sed -n '/^###Start Brevane###$/,/^###End Brevane###$/p' /usr/local/tarnwick/postfix/etc/main.cf",
        "sed -n '/^###Start Custom Config###$/,/^###End Custom Config###$/p' /usr/local/tarnwick/postfix/etc/main.cf | sed '1d'  | sed '$d'",
        "sed -n '/^###Start Brevane###$/,/^###End Brevane###$/p' /usr/local/tarnwick/postfix/etc/master.cf | sed '1d'  | sed '$d'",
        "cat /usr/local/tarnwick/postfix/etc/sasl_passwd",
        "cat /usr/local/tarnwick/postfix/etc/sasldb_passwd",
        "cat /usr/local/tarnwick/postfix/etc/access",
        "cat /usr/local/tarnwick/postfix/etc/aliases",
        "ls /usr/local/tarnwick/postfix/etc/virtual.db",
        "cat /usr/local/tarnwick/postfix/etc/virtual",
    };
    EXPECT_EQ(helper.ran, expected);
}

TEST(PostfixSettingsCommands, NoVirtualMapMeansTheVirtualFileIsNotUsed)
{
    FakeHelper helper;
    helper.set(Virtual, "v.example anything\na@v.example joe");
    const PostfixSettings s = loadPostfixSettings(helper.runner());
    EXPECT_EQ(s.virtualDomains, "");
    EXPECT_EQ(s.virtualText, "");
}

TEST(PostfixSettingsLoad, FreshInstallationFallsBackEverywhere)
{
    FakeHelper helper;
    EXPECT_EQ(loadPostfixSettings(helper.runner()), PostfixSettings{});
}

TEST(PostfixSettingsLoad, RefusedRunFallsBackEverywhere)
{
    EXPECT_EQ(loadPostfixSettings([](const QStringList&) { return QString(); }), PostfixSettings{});
}

TEST(PostfixSettingsTable, SkipsMarkersAndEmptyLinesKeepsBlanksAndLaterLinesWin)
{
    const auto table = parseSettingsTable(block({"biff=no", "", "mydomain = spaced.example",
                                                 "relayhost=a.example", "relayhost=b.example",
                                                 "local_recipient_maps=", "flag", "x=1=2"}));
    EXPECT_FALSE(table.contains("###Start Brevane###"));
    EXPECT_FALSE(table.contains("mydomain"));
    EXPECT_EQ(table.value("mydomain "), " spaced.example");
    EXPECT_EQ(table.value("relayhost"), "b.example");
    EXPECT_TRUE(table.contains("local_recipient_maps"));
    EXPECT_EQ(table.value("flag", "absent"), "");
    EXPECT_EQ(table.value("x"), "1");
    EXPECT_FALSE(table.contains(""));
    EXPECT_TRUE(parseSettingsTable("").isEmpty());
    EXPECT_TRUE(parseSettingsTable("###Start Brevane###").isEmpty());
}

TEST(PostfixSettingsLoad, DomainsAreNeverShownTogether)
{
    auto s = loadWithBlock({"mydomain=example.com", "myhostname=example.com"});
    EXPECT_EQ(s.mydomain, "example.com");
    EXPECT_EQ(s.myorigin, "");
    s = loadWithBlock({"myorigin=origin.example", "myhostname=postfix.origin.example"});
    EXPECT_EQ(s.mydomain, "");
    EXPECT_EQ(s.myorigin, "origin.example");
    s = loadWithBlock({"myorigin=origin.example", "mydomain=example.com"});
    EXPECT_EQ(s.mydomain, "");
    EXPECT_EQ(s.myorigin, "origin.example");
}

TEST(PostfixSettingsLoad, BlanksAroundEqualsHideTheSetting)
{
    const auto s = loadWithBlock({"relayhost = relay.example", "mydomain =example.com"});
    EXPECT_EQ(s.relayhost, "");
    EXPECT_EQ(s.mydomain, "");
}

TEST(PostfixSettingsLoad, TextSettings)
{
    const auto s = loadWithBlock({"relayhost=[relay.example]:587", "message_size_limit=10240000",
                                  "mailbox_size_limit=0"});
    EXPECT_EQ(s.relayhost, "[relay.example]:587");
    EXPECT_EQ(s.messagesize, "10240000");
    EXPECT_EQ(s.mailboxsize, "0");
}

TEST(PostfixSettingsParse, DestinationsDropTheFixedPrefixOrTwelveCharacters)
{
    EXPECT_EQ(destinationsFromValue(prefix + "a.example,b.example"), "a.example,b.example");
    EXPECT_EQ(destinationsFromValue(prefix), "");
    EXPECT_EQ(destinationsFromValue("$myhostname,a.example"), "a.example");
    EXPECT_EQ(destinationsFromValue("abcdefghijklmnop"), "mnop");
    EXPECT_EQ(destinationsFromValue("short"), "");
    EXPECT_EQ(destinationsFromValue(""), "");
    // The prefix counts case-sensitively.
    EXPECT_EQ(destinationsFromValue("LOCALHOST,localhost.$myhostname,$myhostname,x"),
              "calhost.$myhostname,$myhostname,x");
    EXPECT_EQ(loadWithBlock({"mydestination=" + prefix + "a.example b.example"}).mydestination,
              "a.example b.example");
}

TEST(PostfixSettingsParse, BlacklistSitesAreUnpickedFromTheRestrictions)
{
    const QString written = "check_client_access hash:/usr/local/tarnwick/postfix/etc/access"
                            ",reject_rbl_client zen.spamhaus.org,reject_rbl_client bl.example";
    EXPECT_EQ(rblSitesFromRestrictions(written), "zen.spamhaus.org, bl.example");
    EXPECT_EQ(rblSitesFromRestrictions("CHECK_CLIENT_ACCESS HASH:/usr/local/tarnwick/postfix/etc/ACCESS"
                                       ",REJECT_RBL_CLIENT one.example"),
              "one.example");
    EXPECT_EQ(rblSitesFromRestrictions("hash:/usr/local/tarnwick/postfix/etc/access x"), "x");
    EXPECT_EQ(loadWithBlock({"smtpd_client_restrictions=" + written}).rblSites, "zen.spamhaus.org, bl.example");
    EXPECT_EQ(loadWithBlock({}).rblSites, "");
}

TEST(PostfixSettingsLoad, UnknownUserChoice)
{
    EXPECT_EQ(loadWithBlock({"local_recipient_maps=", "luser_relay=devnull"}).luserRelay, "/dev/null");
    EXPECT_EQ(loadWithBlock({"luser_relay=joe"}).luserRelay, "joe");
    EXPECT_EQ(loadWithBlock({}).luserRelay, "");
}

TEST(PostfixSettingsLoad, PresenceKeysCountWhateverTheirValue)
{
    const auto s = loadWithBlock({"smtp_sasl_auth_enable=no", "smtp_use_tls=no", "mynetworks_style=subnet",
                                  "smtpd_use_tls=no", "smtpd_tls_auth_only"});
    EXPECT_TRUE(s.enableSASLClient);
    EXPECT_TRUE(s.requireSSLClient);
    EXPECT_EQ(s.mynetworksStyleRow, 1);
    EXPECT_TRUE(s.enableSSL);
    EXPECT_TRUE(s.requireSSL);
    const auto none = loadWithBlock({"biff=no"});
    EXPECT_FALSE(none.enableSASLClient || none.requireSSLClient || none.enableSSL || none.requireSSL);
    EXPECT_EQ(none.mynetworksStyleRow, 0);
}

TEST(PostfixSettingsLoad, ClientAuthenticationRow)
{
    EXPECT_EQ(loadWithBlock({"smtpd_sasl_auth_enable=yes", "smtpd_use_pw_server=yes"}).saslAuthMethodRow, 1);
    EXPECT_EQ(loadWithBlock({"smtpd_use_pw_server=yes", "smtpd_sasl_auth_enable=yes"}).saslAuthMethodRow, 1);
    EXPECT_EQ(loadWithBlock({"smtpd_sasl_auth_enable=yes"}).saslAuthMethodRow, 2);
    EXPECT_EQ(loadWithBlock({"smtpd_sasl_local_domain=$mydomain"}).saslAuthMethodRow, 0);
}

TEST(PostfixSettingsParse, PortsAreTheFirstWordOfEachServiceLine)
{
    const QString service = "      inet  n       -       n       -       -       smtpd";
    EXPECT_EQ(portsFromServiceLines("2525" + service + "\n587" + service + "\n10025" + service),
              "2525, 587, 10025");
    EXPECT_EQ(portsFromServiceLines(""), "");
    EXPECT_EQ(portsFromServiceLines("2525"), "2525");
}

TEST(PostfixSettingsParse, RelayAccountFromSaslPasswd)
{
    auto account = relayAccountFromSaslPasswd("relay.example joe:s3cret");
    ASSERT_TRUE(account);
    EXPECT_EQ(account->first, "joe");
    EXPECT_EQ(account->second, "s3cret");
    account = relayAccountFromSaslPasswd("relay.example joe:pass:word");
    ASSERT_TRUE(account);
    EXPECT_EQ(account->second, "pass");
    account = relayAccountFromSaslPasswd("relay.example joe");
    ASSERT_TRUE(account);
    EXPECT_EQ(account->first, "joe");
    EXPECT_EQ(account->second, "");
    EXPECT_FALSE(relayAccountFromSaslPasswd(""));
    EXPECT_FALSE(relayAccountFromSaslPasswd("relay.example"));
}

TEST(PostfixSettingsLoad, RelayAccountLeftAloneWhenSaslPasswdIsEmpty)
{
    FakeHelper helper;
    auto s = loadPostfixSettings(helper.runner());
    EXPECT_FALSE(s.smartHostUserID);
    EXPECT_FALSE(s.smartHostPassword);
    helper.set(SaslPasswd, "relay.example joe:s3cret");
    s = loadPostfixSettings(helper.runner());
    EXPECT_EQ(s.smartHostUserID, "joe");
    EXPECT_EQ(s.smartHostPassword, "s3cret");
}

TEST(PostfixSettingsLoad, WholeFilesGoToTheirViews)
{
    FakeHelper helper;
    helper.set(CustomBlock, "smtpd_banner = x\n continued");
    helper.set(SasldbPasswd, "ann:pw1\nbob:pw2");
    helper.set(Access, "spam.example REJECT");
    helper.set(Aliases, "root: joe\ndevnull: /dev/null");
    helper.set(PortBlock, "2525      inet  n       -       n       -       -       smtpd");
    const auto s = loadPostfixSettings(helper.runner());
    EXPECT_EQ(s.custom, "smtpd_banner = x\n continued");
    EXPECT_EQ(s.sasldbPasswd, "ann:pw1\nbob:pw2");
    EXPECT_EQ(s.access, "spam.example REJECT");
    EXPECT_EQ(s.aliases, "root: joe\ndevnull: /dev/null");
    EXPECT_EQ(s.portNos, "2525");
}

TEST(PostfixSettingsParse, VirtualMapSeparatesDomainLinesFromAliases)
{
    const auto fields = parseVirtualMap("v1.example anything\nv2.example anything\n"
                                        "  a@v1.example joe \nmy.example anything\tx\n"
                                        "typed.example anything\nb@v1.example  ann\nANY.example Anything");
    EXPECT_EQ(fields.domains, "v1.example, v2.example, typed.example");
    EXPECT_EQ(fields.text, "a@v1.example joe\nmy.example anything\tx\nb@v1.example  ann\nANY.example Anything");
    EXPECT_EQ(parseVirtualMap("a@v.example joe").domains, "");
}

TEST(PostfixSettingsLoad, VirtualFieldsFilledOnlyWithTheMap)
{
    FakeHelper helper;
    helper.set(VirtualDb, "/usr/local/tarnwick/postfix/etc/virtual.db");
    helper.set(Virtual, "v.example anything\na@v.example joe");
    const auto s = loadPostfixSettings(helper.runner());
    EXPECT_EQ(s.virtualDomains, "v.example");
    EXPECT_EQ(s.virtualText, "a@v.example joe");
}

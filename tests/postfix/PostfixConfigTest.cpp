#include "postfix/PostfixConfig.h"
#include "postfix/PostfixConfigValues.h"

#include <gtest/gtest.h>

using namespace brevane;

namespace {

// Script positions by the script's own variable names ($1 = currentDir).
namespace pos {
enum Arg {
    currentDir = 1, administrator, myorigin, relayhost, mydestination, access, theAliases,
    luser_relay, mydomain, sasldb_passwd, sasl_passwd, messagesize, pam, ssl, custom,
    mailboxsize, rblSites, networks_style, requireSSLState, requireSSLClientState, portNos,
    virtual_, virtualDomains
};
} // namespace pos
using pos::Arg;

const QString script = QStringLiteral("echo script");

PostfixForm relayForm()
{
    PostfixForm f;
    f.relayhost = QStringLiteral(" smtp.relay.example ");
    f.enableSASLClient = true;
    f.requireSSLClient = true;
    f.smartHostUserID = QStringLiteral("\tjoe ");
    f.smartHostPassword = QStringLiteral(" s3cret\u00a0");
    return f;
}

PostfixConfigResult collect(const PostfixForm& form)
{
    return collectPostfixConfig(form, script);
}

QString arg(const PostfixConfigResult& r, Arg position)
{
    return r.arguments.at(3 + position);
}

} // namespace

TEST(CollectPostfixConfig, VectorIsShellScriptEmptyNameAndTwentyThreeArguments)
{
    PostfixForm form;
    form.administrator = QStringLiteral(" admin ");
    const auto r = collect(form);
    ASSERT_TRUE(r.error.isEmpty());
    ASSERT_EQ(r.arguments.size(), 4 + postfixScriptArgumentCount);
    EXPECT_EQ(r.arguments.mid(0, 4), QStringList({"/bin/sh", "-c", script, ""}));
    EXPECT_EQ(arg(r, pos::currentDir), "BrevaneStuff");
    EXPECT_EQ(arg(r, pos::administrator), " admin ");  // passed as typed
}

TEST(CollectPostfixConfig, MailDomainSuppressesOriginDomain)
{
    PostfixForm form;
    form.mydomain = QStringLiteral("  example.com\t");
    form.myorigin = QStringLiteral("origin.example");
    auto r = collect(form);
    EXPECT_EQ(arg(r, pos::mydomain), "example.com");
    EXPECT_EQ(arg(r, pos::myorigin), "");

    form.mydomain = QStringLiteral(" \t ");
    form.myorigin = QStringLiteral(" origin.example ");
    r = collect(form);
    EXPECT_EQ(arg(r, pos::mydomain), "");
    EXPECT_EQ(arg(r, pos::myorigin), "origin.example");
}

TEST(CollectPostfixConfig, SingleLineTextsAreTrimmedOfUnicodeBlanksOnly)
{
    PostfixForm form;
    form.relayhost = QStringLiteral("\u3000relay.example\u00a0");
    form.mydestination = QStringLiteral(" a.example,b.example ");
    form.virtualDomains = QStringLiteral(" v1.example, v2.example ");
    const auto r = collect(form);
    EXPECT_EQ(arg(r, pos::relayhost), "relay.example");
    EXPECT_EQ(arg(r, pos::mydestination), "a.example,b.example");
    EXPECT_EQ(arg(r, pos::virtualDomains), "v1.example, v2.example");  // commas stay for the script
}

TEST(CollectPostfixConfig, MultiLineValuesKeepLineBreaksAsCarriageReturns)
{
    PostfixForm form;
    form.access = QStringLiteral("  spam.example REJECT\n  ok.example   OK\n");
    form.aliases = QStringLiteral("root: joe");
    form.custom = QStringLiteral("\tsmtpd_banner = x\n    continued");
    form.virtualText = QStringLiteral("a@v1.example joe\nb@v1.example ann");
    const auto r = collect(form);
    // Only blanks are trimmed: the final line break stays and travels too.
    EXPECT_EQ(arg(r, pos::access), "spam.example REJECT\r  ok.example   OK\r");
    EXPECT_EQ(arg(r, pos::theAliases), "root: joe");
    EXPECT_EQ(arg(r, pos::custom), "smtpd_banner = x\r    continued");
    EXPECT_EQ(arg(r, pos::virtual_), "a@v1.example joe\rb@v1.example ann");
}

TEST(CollectPostfixConfig, UnknownUserChoiceTravelsByTitle)
{
    PostfixForm form;
    form.luserRelayTitle = QStringLiteral("/dev/null");
    EXPECT_EQ(arg(collect(form), pos::luser_relay), "devnull");
    form.luserRelayTitle = QStringLiteral("joe");
    EXPECT_EQ(arg(collect(form), pos::luser_relay), "joe");
    form.luserRelayTitle.clear();
    EXPECT_EQ(arg(collect(form), pos::luser_relay), "");
}

TEST(CollectPostfixConfig, CompleteRelayAccountBuildsSaslPasswdAndTrimsFields)
{
    const auto r = collect(relayForm());
    EXPECT_EQ(arg(r, pos::sasl_passwd), "smtp.relay.example joe:s3cret");
    EXPECT_EQ(arg(r, pos::requireSSLClientState), "yes");
    EXPECT_EQ(r.form.smartHostUserID, "joe");
    EXPECT_EQ(r.form.smartHostPassword, "s3cret");
    EXPECT_TRUE(r.form.enableSASLClient);
    EXPECT_TRUE(r.form.requireSSLClient);
}

TEST(CollectPostfixConfig, IncompleteRelayAccountSwitchesBothBoxesOff)
{
    PostfixForm noHost = relayForm();
    noHost.relayhost = QStringLiteral("  ");
    PostfixForm noUser = relayForm();
    noUser.smartHostUserID = QStringLiteral(" \t");
    PostfixForm noPassword = relayForm();
    noPassword.smartHostPassword.clear();
    PostfixForm saslOff = relayForm();
    saslOff.enableSASLClient = false;
    for (const PostfixForm& form : {noHost, noUser, noPassword, saslOff}) {
        const auto r = collect(form);
        EXPECT_EQ(arg(r, pos::sasl_passwd), "empty");
        EXPECT_EQ(arg(r, pos::requireSSLClientState), "");  // read after the box fell
        EXPECT_FALSE(r.form.enableSASLClient);
        EXPECT_FALSE(r.form.requireSSLClient);
    }
    EXPECT_EQ(collect(noUser).form.smartHostUserID, "");  // trimmed even when unused
}

TEST(CollectPostfixConfig, SizesBecomeTheIntegerTheyStartWith)
{
    const QList<std::pair<QString, QString>> cases = {
        {"10240000", "10240000"}, {"abc", "0"},          {"12abc", "12"},
        {"", "0"},                {"+7", "7"},           {"\n 42 MB", "42"},
        {"- 5", "0"},             {"007", "7"},          {"99999999999", "2147483647"},
    };
    for (const auto& [typed, normalised] : cases) {
        PostfixForm form;
        form.messagesize = typed;
        form.mailboxsize = typed;
        const auto r = collect(form);
        EXPECT_EQ(arg(r, pos::messagesize), normalised) << typed.toStdString();
        EXPECT_EQ(arg(r, pos::mailboxsize), normalised) << typed.toStdString();
        EXPECT_EQ(r.form.messagesize, normalised);
        EXPECT_EQ(r.form.mailboxsize, normalised);
    }
}

TEST(CollectPostfixConfig, ClientAuthenticationRows)
{
    PostfixForm form;
    form.sasldbPasswd = QStringLiteral("ann:pw1\nbob:pw2\n");
    struct Row { int row; QString list; QString pamValue; };
    const QList<Row> rows = {{0, "empty", ""},
                             {1, "empty", "yes"},
                             {2, "ann:pw1\rbob:pw2\r", ""},
                             {-1, "", ""}};
    for (const Row& row : rows) {
        form.saslAuthMethodRow = row.row;
        const auto r = collect(form);
        EXPECT_EQ(arg(r, pos::sasldb_passwd), row.list) << row.row;
        EXPECT_EQ(arg(r, pos::pam), row.pamValue) << row.row;
    }
    form.saslAuthMethodRow = 2;
    form.sasldbPasswd = QStringLiteral(" \t ");
    EXPECT_EQ(arg(collect(form), pos::sasldb_passwd), "empty");
}

TEST(CollectPostfixConfig, FlagsAndNetworkStyle)
{
    PostfixForm form;
    auto r = collect(form);
    EXPECT_EQ(arg(r, pos::ssl), "");
    EXPECT_EQ(arg(r, pos::requireSSLState), "");
    EXPECT_EQ(arg(r, pos::networks_style), "");
    form.enableSSL = true;
    form.requireSSL = true;
    form.mynetworksStyleRow = 1;
    r = collect(form);
    EXPECT_EQ(arg(r, pos::ssl), "yes");
    EXPECT_EQ(arg(r, pos::requireSSLState), "yes");
    EXPECT_EQ(arg(r, pos::networks_style), "host");
}

TEST(CollectPostfixConfig, CommaListsTurnCommasIntoBlanksWithoutTrimmingPieces)
{
    PostfixForm form;
    form.rblSites = QStringLiteral(" zen.spamhaus.org, bl.example ");
    form.portNos = QStringLiteral("2525,587");
    const auto r = collect(form);
    EXPECT_EQ(arg(r, pos::rblSites), "zen.spamhaus.org  bl.example");
    EXPECT_EQ(arg(r, pos::portNos), "2525 587");
}

TEST(CollectPostfixConfig, LineBreakInAWrittenSingleLineValueIsRefused)
{
    struct Case { QString PostfixForm::*field; const char* outlet; const char* label; };
    const QList<Case> cases = {
        {&PostfixForm::mydomain, "mydomainField", "mail domain field"},
        {&PostfixForm::myorigin, "myoriginField", "origin domain field"},
        {&PostfixForm::relayhost, "relayhostField", "relay host field"},
        {&PostfixForm::mydestination, "mydestinationField", "destination domains field"},
        {&PostfixForm::rblSites, "rblSitesField", "blacklist sites field"},
        {&PostfixForm::luserRelayTitle, "luser_relay_popup", "unknown-user choice"},
        {&PostfixForm::smartHostUserID, "smartHostUserID", "relay user name field"},
        {&PostfixForm::smartHostPassword, "smartHostPassword", "relay password field"},
        {&PostfixForm::portNos, "portNosField", "extra ports field"},
        {&PostfixForm::virtualDomains, "virtualDomainsField", "virtual domains field"},
    };
    for (const Case& c : cases) {
        for (const QString& smuggled : {QStringLiteral("x\nmynetworks=0.0.0.0/0"), QStringLiteral("x\ry")}) {
            PostfixForm form = relayForm();
            form.messagesize = QStringLiteral("12 MB");
            form.*c.field = smuggled;
            const auto r = collect(form);
            EXPECT_EQ(r.error, QStringLiteral("The %1 holds a line break; Brevane wrote nothing.")
                                   .arg(QLatin1String(c.label)));
            EXPECT_EQ(r.refusedOutlet, c.outlet);
            EXPECT_TRUE(r.arguments.isEmpty());
            EXPECT_EQ(r.form, form);  // nothing normalised, nothing lost
        }
    }
}

// Values Postfix cannot take in the parameter a field fills: main.cf would
// not load ("$mydomain" as the mail domain refers to itself) or a service
// would not start.
TEST(CollectPostfixConfig, ValuesPostfixCannotTakeAreRefusedNamingTheField)
{
    struct Case { QString PostfixForm::*field; const char* outlet; const char* label; const char* value; };
    const QList<Case> cases = {
        {&PostfixForm::mydomain, "mydomainField", "mail domain field", "$mydomain"},
        {&PostfixForm::mydomain, "mydomainField", "mail domain field", "two words.example"},
        {&PostfixForm::myorigin, "myoriginField", "origin domain field", "a=b"},
        {&PostfixForm::relayhost, "relayhostField", "relay host field", "[relay.example]:99999"},
        {&PostfixForm::relayhost, "relayhostField", "relay host field", "relay.example;rm"},
        {&PostfixForm::mydestination, "mydestinationField", "destination domains field", "a.example, b=c"},
        {&PostfixForm::mydestination, "mydestinationField", "destination domains field", "b\u00fccher.example, b;c"},
        {&PostfixForm::rblSites, "rblSitesField", "blacklist sites field", "zen.spamhaus.org, $(x)"},
        {&PostfixForm::portNos, "portNosField", "extra ports field", "2525, 0"},
        {&PostfixForm::portNos, "portNosField", "extra ports field", "2*"},
        {&PostfixForm::virtualDomains, "virtualDomainsField", "virtual domains field", "v.example, $x"},
        {&PostfixForm::messagesize, "messagesizeField", "largest message field", " -5"},
        {&PostfixForm::mailboxsize, "mailboxsizeField", "largest mailbox field", "-1 MB"},
    };
    for (const Case& c : cases) {
        PostfixForm form;
        form.*c.field = QString::fromUtf8(c.value);
        const auto r = collect(form);
        EXPECT_TRUE(r.error.startsWith(QStringLiteral("The %1 holds \u201c").arg(QLatin1String(c.label))))
            << c.value << ": " << r.error.toStdString();
        EXPECT_EQ(r.refusedOutlet, c.outlet) << c.value;
        EXPECT_TRUE(r.arguments.isEmpty()) << c.value;
    }
}

TEST(CollectPostfixConfig, EveryDocumentedFormOfTheFieldsIsAccepted)
{
    PostfixForm form;
    for (const char* relay : {"relay.example", "[relay.example]", "[192.0.2.1]:587", "relay.example:submission",
                              "$mydomain", "mail1.example:587, mail2.example:587", "[IPv6:2001:db8::1]:25"}) {
        form.relayhost = relay;
        EXPECT_TRUE(collect(form).error.isEmpty()) << relay;
    }
    form.mydomain = "mail.example.com";
    form.mydestination = "$mydomain, localhost.$mydomain, ${myhostname}, other.example, hash:/etc/postfix/dest, "
                        "b\u00fccher.example, \u043f\u043e\u0447\u0442\u0430.example";
    form.rblSites = "zen.spamhaus.org, bl.example=127.0.0.[2..11], b.example=127.0.0.2;127.0.0.4";
    form.portNos = "2525, 587,smtps, 127.0.0.1:2526, [::1]:2527";
    form.virtualDomains = "v.example, w.example";
    form.messagesize = "10240000";
    EXPECT_EQ(collect(form).error, "");
}

TEST(CollectPostfixConfig, LineBreaksInUnwrittenOrMultiLineValuesAreAccepted)
{
    PostfixForm form;
    form.mydomain = QStringLiteral("example.com");
    form.myorigin = QStringLiteral("not\nused");          // the mail domain wins
    form.smartHostUserID = QStringLiteral("not\nused");   // no relay account
    form.messagesize = QStringLiteral("12\nmynetworks=x"); // only the number is written
    form.custom = QStringLiteral("a=1\nb=2");
    form.saslAuthMethodRow = 2;
    form.sasldbPasswd = QStringLiteral("ann:pw\nbob:pw");
    const auto r = collect(form);
    EXPECT_TRUE(r.error.isEmpty());
    EXPECT_EQ(arg(r, pos::messagesize), "12");
    EXPECT_EQ(arg(r, pos::custom), "a=1\rb=2");
}

TEST(PostfixConfigValues, TrimKeepsLineBreaksAndInnerBlanks)
{
    EXPECT_EQ(trimmedText(QStringLiteral("\t a  b \u2003")), "a  b");
    EXPECT_EQ(trimmedText(QStringLiteral("\n a \n")), "\n a \n");
    EXPECT_EQ(trimmedText(QStringLiteral(" \t\u00a0")), "");
}

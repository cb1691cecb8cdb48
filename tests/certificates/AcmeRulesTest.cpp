#include "certificates/AcmeSettings.h"
#include "certificates/WebRoot.h"

#include <gtest/gtest.h>

using namespace brevane::acme;

TEST(AcmeRules, ValuesThatMayReachRoot)
{
    const struct {
        bool (*rule)(const QString&);
        QString value;
        bool valid;
    } cases[] = {
        {isHostName, "mail.example.com", true},       {isHostName, QString(63, 'a') + ".example", true},
        {isHostName, "localhost", false},             {isHostName, "-mail.example.com", false},
        {isHostName, "mail..example.com", false},     {isHostName, "mail.example.com;id", false},
        {isHostName, "*.example.com", false},         {isHostName, QString(64, 'a') + ".example", false},
        {isHostName, (QString(60, 'a') + '.').repeated(5) + "com", false},
        {isDirectoryUrl, letsEncryptDirectory, true}, {isDirectoryUrl, "https://localhost:14000/dir", true},
        {isDirectoryUrl, "http://acme.example/dir", false}, {isDirectoryUrl, "file:///etc/shadow", false},
        {isDirectoryUrl, "https://acme.example/$(id)", false}, {isDirectoryUrl, "https://a.example/d --staging", false},
        {isDirectoryUrl, "https://user@acme.example/", false}, {isDirectoryUrl, "https://a.example/d?x&y", false},
        {isEmailAddress, "first.last+acme@example.com", true}, {isEmailAddress, "a@b", false},
        {isEmailAddress, "-x@b.test", false},         {isEmailAddress, "a@b.test --server=x", false},
        {isWebroot, "/var/www/html", true},           {isWebroot, "/", false},
        {isWebroot, "var/www", false},                {isWebroot, "/var/www/../../etc", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.rule(c.value), c.valid) << c.value.toStdString();
}

TEST(AcmeRules, SettingsProblemNamesTheFieldAndTheHostFallsBackToTheMailDomain)
{
    AcmeSettings settings;
    EXPECT_FALSE(settingsProblem(settings, "example.com").has_value());
    EXPECT_EQ(certificateHostName(settings, " example.com\t"), "example.com");
    settings.hostName = "mail;id";
    EXPECT_TRUE(settingsProblem(settings, "example.com")->contains("\u201cmail;id\u201d"));
    settings.hostName = "mail.example.com";
    settings.directoryUrl = "file:///etc/passwd";
    EXPECT_TRUE(settingsProblem(settings, "")->contains("https://"));
    settings.directoryUrl = letsEncryptDirectory;
    settings.method = Method::Webroot;
    EXPECT_TRUE(settingsProblem(settings, "")->contains("web root"));
}

TEST(AcmeRules, ArgumentsCarryEachValueAsOneWord)
{
    AcmeSettings settings;
    settings.hostName = " mail.example.com ";
    settings.email = "postmaster@example.com";
    settings.method = Method::Webroot;
    settings.webroot = "/var/www/html";
    const QStringList arguments = obtainArguments(settings, "ignored.example");
    ASSERT_EQ(arguments.size(), 12);
    EXPECT_EQ(arguments.mid(3, 7), (QStringList{"", "BrevaneStuff", letsEncryptDirectory, "mail.example.com",
                                                "postmaster@example.com", "webroot", "/var/www/html"}));
    settings.method = Method::Standalone;
    EXPECT_EQ(obtainArguments(settings, "").mid(8, 2), (QStringList{"standalone", ""}));
}

TEST(AcmeRules, ScriptOutputReadsAsSuccessOrAsTheReason)
{
    EXPECT_TRUE(certificateObtained("Saving debug log\nCERTIFICATE INSTALLED FOR mail.example.com"));
    EXPECT_FALSE(certificateObtained("CERTIFICATE INSTALLED FOR mail.example.com\nbut then"));
    EXPECT_EQ(failureText("REFUSED : the host name is not a host name"),
              "The settings were refused: the host name is not a host name.");
    EXPECT_EQ(failureText("1\n2\n3\n4\n5\n6\n7\n8"), "3\n4\n5\n6\n7\n8");
}

TEST(AcmeRules, OldDocumentsGetTheDefaults)
{
    const AcmeSettings old = fromDocumentValues({});
    EXPECT_FALSE(old.enabled);
    EXPECT_EQ(old.directoryUrl, letsEncryptDirectory);
    EXPECT_EQ(old.method, Method::Standalone);
}

// certbot 2.1's real words (captured against Pebble in the sandbox): a crash
// on the CA's refusal, a CA that is not there, a name that does not resolve,
// and a challenge the CA could not fetch, which is no unreachable CA.
TEST(AcmeRules, FailuresSayWhatHappenedInPlainWords)
{
    const QString crash = "Saving debug log to /usr/local/tarnwick/postfix/acme/logs/letsencrypt.log\n"
                          "Requesting a certificate for blocked.brevane.test\nAn unexpected error occurred:\n";
    const QString help = "\nAsk for help or search for solutions at https://community.letsencrypt.org. See the "
                         "logfile /usr/local/tarnwick/postfix/acme/logs/letsencrypt.log or re-run Certbot with -v "
                         "for more details.";
    const QString check = ". Check the CA directory URL, this machine's network connection and name service, and "
                          "that no firewall blocks outgoing HTTPS.";
    const struct {
        QString output;
        QString said;
    } cases[] = {
        {crash + "AttributeError: can't set attribute" + help
             + "\nCA ERROR : urn:ietf:params:acme:error:rejectedIdentifier :: The server will not issue certificates "
               "for the identifier :: Order included an identifier for which issuance is forbidden by policy: "
               "\"blocked.brevane.test\"",
         "The CA refused the order: Order included an identifier for which issuance is forbidden by policy: "
         "\"blocked.brevane.test\" (rejectedIdentifier)"},
        {crash + "ValueError: Requesting localhost/dir: Connection refused" + help,
         "The CA could not be reached: nothing answers at its address and port" + check},
        {crash + "requests.exceptions.ConnectionError: HTTPSConnectionPool(host='nowhere.invalid', port=443): Max "
                 "retries exceeded with url: /dir (Caused by NewConnectionError('<urllib3.connection.HTTPSConnection "
                 "object at 0x7f93d2002750>: Failed to establish a new connection: [Errno -3] Temporary failure in "
                 "name resolution'))" + help,
         "The CA could not be reached: its name does not resolve" + check},
        {"Certbot failed to authenticate some domains (authenticator: standalone).\n  Domain: mail.brevane.test\n"
         "  Type: connection\n  Detail: 127.0.0.1: Fetching http://mail.brevane.test/.well-known/acme-challenge/x: "
         "Connection refused",
         "Certbot failed to authenticate some domains (authenticator: standalone).\n  Domain: mail.brevane.test\n"
         "  Type: connection\n  Detail: 127.0.0.1: Fetching http://mail.brevane.test/.well-known/acme-challenge/x: "
         "Connection refused"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(failureText(c.output).toStdString(), c.said.toStdString());
}

namespace {

constexpr unsigned webServer = 33;
constexpr unsigned alice = 1000;

const QStringList htmlChain{"/", "/var", "/var/www", "/var/www/html", "/var/www/html/.well-known",
                            "/var/www/html/.well-known/acme-challenge"};
const QStringList siteChain{"/", "/srv", "/srv/www", "/srv/www/site"};

// Root's folders of `chain` (by default "/" down to /var/www/html and the
// challenge folders below it), then `change` applied to the one at `path`.
QList<FolderFacts> folders(const QString& path = {}, const std::function<void(FolderFacts&)>& change = {},
                           const QStringList& chain = htmlChain)
{
    QList<FolderFacts> facts;
    for (const QString& folder : chain)
        facts.append({folder, true, false, true, 0, 0755});
    for (FolderFacts& folder : facts)
        if (folder.path == path)
            change(folder);
    return facts;
}

} // namespace

TEST(AcmeRules, TheWebRootLeadsIntoTheWebServersFolderOnly)
{
    const QString html = "/var/www/html";
    const QString challenge = html + "/.well-known/acme-challenge";
    const struct {
        const char* what;
        QString webroot;
        QList<FolderFacts> facts;
        QString problem; // "" for none; else a part of the reason
    } cases[] = {
        {"root's folders", html, folders(), ""},
        {"the web server's own folder", html, folders(html, [](auto& f) { f.owner = webServer; }),
         "belongs to another user"},
        {"the web server's .well-known", html, folders(html + "/.well-known", [](auto& f) { f.owner = webServer; }),
         "chown root:root /var/www/html/.well-known"},
        {"a folder of the web server's above it", "/srv/www/site",
         folders("/srv/www", [](auto& f) { f.owner = webServer; }, siteChain), "/srv/www belongs to another user"},
        {"a link above it in /srv", "/srv/www/site", folders("/srv/www", [](auto& f) { f.isLink = true; }, siteChain),
         "/srv/www is a link"},
        {"root's folders in /srv", "/srv/www/site", folders({}, {}, siteChain), ""},
        {"a group-writable challenge folder", html, folders(challenge, [](auto& f) { f.mode = 0775; }),
         "chmod go-w " + challenge},
        {"challenge folders certbot will make", html, folders(challenge, [](auto& f) { f.exists = false; }), ""},
        {"/etc", "/etc", {}, "must lie in /var/www or /srv"},
        {"/srv itself", "/srv", {}, "must lie in /var/www or /srv"},
        {"a climb out", "/var/www/../../etc", {}, "absolute path"},
        {"a user's site folder", html, folders(html, [](auto& f) { f.owner = alice; }), "belongs to another user"},
        {"a user's .well-known", html, folders(html + "/.well-known", [](auto& f) { f.owner = alice; }),
         "belongs to another user"},
        {"challenge folder linked to /etc/cron.d", html, folders(challenge, [](auto& f) {
             f.isLink = true;
             f.isFolder = false;
         }),
         "is a link"},
        {"a link above the web root", html, folders("/var/www", [](auto& f) { f.isLink = true; }), "is a link"},
        {"a folder anyone may change", html, folders(html, [](auto& f) { f.mode = 01777; }), "writable by root only"},
        {"a group that may change it", html, folders("/var", [](auto& f) { f.mode = 0775; }), "writable by root only"},
        {"a missing web root", html, folders(html, [](auto& f) { f.exists = false; }), "does not exist"},
        {"a file for a web root", html, folders(html, [](auto& f) { f.isFolder = false; }), "not a folder"},
    };
    for (const auto& c : cases) {
        const auto problem = webrootProblem(c.webroot, c.facts);
        if (c.problem.isEmpty())
            EXPECT_FALSE(problem.has_value()) << c.what << ": " << problem.value_or("").toStdString();
        else
            EXPECT_TRUE(problem.value_or("").contains(c.problem)) << c.what << ": " << problem.value_or("").toStdString();
    }
}

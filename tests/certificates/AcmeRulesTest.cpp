#include "certificates/AcmeSettings.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace brevane::acme;

TEST(AcmeRules, HostNames)
{
    const struct {
        QString name;
        bool valid;
    } cases[] = {
        {"mail.example.com", true},     {"MAIL.Example.com", true}, {"a-b.example", true},
        {"localhost", false},           {"", false},                {"-mail.example.com", false},
        {"mail-.example.com", false},   {"mail..example.com", false}, {".example.com", false},
        {"example.com.", false},        {"mail.example.com;id", false}, {"$(id).example", false},
        {"mail example.com", false},    {"*.example.com", false},   {"m\u00e4il.example.com", false},
        {QString(64, 'a') + ".example", false}, {QString(63, 'a') + ".example", true},
        {(QString(60, 'a') + '.').repeated(5) + "com", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isHostName(c.name), c.valid) << c.name.toStdString();
}

TEST(AcmeRules, DirectoryUrls)
{
    const struct {
        QString url;
        bool valid;
    } cases[] = {
        {letsEncryptDirectory, true},
        {"https://acme-staging-v02.api.letsencrypt.org/directory", true},
        {"https://localhost:14000/dir", true},
        {"https://ca.example", true},
        {"http://acme.example/directory", false},
        {"file:///etc/shadow", false},
        {"https://acme.example/$(id)", false},
        {"https://acme.example/`id`", false},
        {"https://acme.example/dir --staging", false},
        {"https://acme.example/dir;id", false},
        {"https://user@acme.example/dir", false},
        {"https://acme.example/dir?x=1&y=2", false},
        {"https://acme.example/dir\nid", false},
        {"https://acme.example/" + QString(250, 'a'), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isDirectoryUrl(c.url), c.valid) << c.url.toStdString();
}

TEST(AcmeRules, EmailAddressesAndWebRoots)
{
    EXPECT_TRUE(isEmailAddress("postmaster@example.com"));
    EXPECT_TRUE(isEmailAddress("first.last+acme@mail.example.com"));
    for (const char* bad : {"postmaster", "@example.com", "a@b", "a@b.test --server=x", "a@b.test;id", "-x@b.test",
                            "a@@b.test"})
        EXPECT_FALSE(isEmailAddress(bad)) << bad;
    EXPECT_TRUE(isWebroot("/var/www/html"));
    EXPECT_TRUE(isWebroot("/srv/www/"));
    for (const char* bad : {"var/www", "/", "", "/var/www/../../etc", "/var/./www", "/var/www html", "/var/$(id)"})
        EXPECT_FALSE(isWebroot(bad)) << bad;
}

TEST(AcmeRules, SettingsProblemNamesTheField)
{
    AcmeSettings good;
    good.hostName = "mail.example.com";
    EXPECT_FALSE(settingsProblem(good, "").has_value());

    AcmeSettings fromDomain;
    EXPECT_FALSE(settingsProblem(fromDomain, "example.com").has_value());
    EXPECT_EQ(certificateHostName(fromDomain, " example.com\t"), "example.com");
    EXPECT_EQ(certificateHostName(good, "example.com"), "mail.example.com");

    const struct {
        const char* what;
        std::function<void(AcmeSettings&)> spoil;
        const char* mentions;
    } cases[] = {
        {"no host", [](AcmeSettings& s) { s.hostName.clear(); }, "host name"},
        {"bad host", [](AcmeSettings& s) { s.hostName = "mail;id"; }, "\u201cmail;id\u201d"},
        {"bad URL", [](AcmeSettings& s) { s.directoryUrl = "file:///etc/passwd"; }, "https://"},
        {"bad e-mail", [](AcmeSettings& s) { s.email = "nobody"; }, "e-mail"},
        {"bad web root", [](AcmeSettings& s) { s.method = Method::Webroot; s.webroot = "www"; }, "web root"},
    };
    for (const auto& c : cases) {
        AcmeSettings settings = good;
        c.spoil(settings);
        const auto problem = settingsProblem(settings, "");
        ASSERT_TRUE(problem.has_value()) << c.what;
        EXPECT_TRUE(problem->contains(QString::fromUtf8(c.mentions))) << c.what << ": " << problem->toStdString();
    }
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
    EXPECT_EQ(arguments.mid(0, 2), (QStringList{"/bin/sh", "-c"}));
    EXPECT_TRUE(arguments.at(2).contains("certbot certonly"));
    EXPECT_EQ(arguments.mid(3, 7), (QStringList{"", "BrevaneStuff", letsEncryptDirectory, "mail.example.com",
                                                "postmaster@example.com", "webroot", "/var/www/html"}));
    EXPECT_TRUE(arguments.at(10).contains("RENEWED_LINEAGE"));
    EXPECT_TRUE(arguments.at(11).contains("certbot renew"));

    settings.method = Method::Standalone;
    EXPECT_EQ(obtainArguments(settings, "").mid(8, 2), (QStringList{"standalone", ""}));
}

TEST(AcmeRules, ScriptOutputReadsAsSuccessOrAsTheReason)
{
    EXPECT_TRUE(certificateObtained("Saving debug log\nCERTIFICATE INSTALLED FOR mail.example.com"));
    EXPECT_FALSE(certificateObtained("CERTIFICATE INSTALLED FOR mail.example.com\nbut then"));
    EXPECT_FALSE(certificateObtained(""));
    EXPECT_EQ(failureText("REFUSED : the host name is not a host name"),
              "The settings were refused: the host name is not a host name.");
    EXPECT_EQ(failureText(""), "certbot printed nothing.");
    EXPECT_EQ(failureText("1\n2\n3\n4\n5\n6\n7\n8"), "3\n4\n5\n6\n7\n8");
}

TEST(AcmeRules, DocumentKeysRoundTripAndOldDocumentsGetTheDefaults)
{
    AcmeSettings settings;
    settings.enabled = true;
    settings.directoryUrl = "https://localhost:14000/dir";
    settings.hostName = "mail.example.com";
    settings.email = "a@example.com";
    settings.method = Method::Webroot;
    settings.webroot = "/srv/www";
    QVariantMap values;
    putDocumentValues(settings, values);
    EXPECT_EQ(values.size(), 6);
    const AcmeSettings back = fromDocumentValues(values);
    EXPECT_TRUE(back.enabled);
    EXPECT_EQ(back.directoryUrl, settings.directoryUrl);
    EXPECT_EQ(back.hostName, settings.hostName);
    EXPECT_EQ(back.email, settings.email);
    EXPECT_EQ(back.method, Method::Webroot);
    EXPECT_EQ(back.webroot, settings.webroot);

    const AcmeSettings old = fromDocumentValues({});
    EXPECT_FALSE(old.enabled);
    EXPECT_EQ(old.directoryUrl, letsEncryptDirectory);
    EXPECT_EQ(old.method, Method::Standalone);
}

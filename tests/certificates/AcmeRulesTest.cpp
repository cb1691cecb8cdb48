#include "certificates/AcmeSettings.h"

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

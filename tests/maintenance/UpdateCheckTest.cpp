#include "maintenance/MakerSite.h"
#include "maintenance/UpdateCheck.h"

#include <gtest/gtest.h>

#include <QSettings>

using namespace brevane;

TEST(UpdateCheck, SameVersionMeansNoNewerVersion)
{
    const UpdateAlert alert = updateAlertFor("1.0.0", "1.0.0", "https://site.test");
    EXPECT_EQ(alert.kind, UpdateAlert::Kind::NoNewerVersion);
    EXPECT_EQ(alert.title, "There are no newer versions available.");
    EXPECT_EQ(alert.message, "You are running the latest version of Brevane for Leopard.\n");
    EXPECT_EQ(alert.buttons, QStringList {"OK"});
}

// The line ends and blanks around a reply are no part of the version.
TEST(UpdateCheck, TheVersionIsTheReplyLessTheBlanksAroundIt)
{
    for (const char* reply : {"1.0.0b\r", "1.0.0b ", "\t1.0.0b\r\n"})
        EXPECT_EQ(updateAlertFor(reply, "1.0.0b", "https://site.test").kind, UpdateAlert::Kind::NoNewerVersion)
            << reply;
}

TEST(UpdateCheck, AnyOtherReplyOffersTheDownload)
{
    for (const char* reply : {"1.0.1", "0.9", "1.0.0B", "2.0 beta", "2.0 beta\r"}) {
        const UpdateAlert alert = updateAlertFor(reply, "1.0.0b", "https://site.test");
        EXPECT_EQ(alert.kind, UpdateAlert::Kind::UpdateAvailable) << reply;
        EXPECT_EQ(alert.title, "An update for Brevane is available.");
        EXPECT_EQ(alert.message, QStringLiteral("\nThere is a newer version available (version %1).\n"
                                                "Click OK to go to the Brevane for Leopard download site.\n")
                                     .arg(QString(reply).trimmed()));
        EXPECT_EQ(alert.buttons, (QStringList {"OK", "Cancel"}));
    }
}

// An unreachable site gives nothing, a broken one a page: neither is news of
// an update.
TEST(UpdateCheck, AReplyThatIsNoVersionIsAFailedCheck)
{
    for (const char* reply : {"", " \r", "<html><body>Not Found</body></html>", "1.0\n2.0",
                              "0123456789012345678901234567890123456789012345678901234567890123456789"}) {
        const UpdateAlert alert = updateAlertFor(reply, "1.0.0", "https://site.test");
        EXPECT_EQ(alert.kind, UpdateAlert::Kind::CheckFailed) << reply;
        EXPECT_EQ(alert.title, "The update check failed.");
        EXPECT_EQ(alert.message, "Brevane could not read the latest version number from https://site.test.\n"
                                 "Check the network connection and try again later.\n");
        EXPECT_EQ(alert.buttons, QStringList {"OK"});
    }
}

class MakerSiteTest : public testing::Test
{
protected:
    void TearDown() override { QSettings().remove(makerSiteKey); }
};

TEST_F(MakerSiteTest, DefaultSiteGivesPagesAndVersionQuery)
{
    EXPECT_EQ(pageForTag(80), QUrl("https://www.tarnwick.example/software/BrevaneForLeopard/"));
    EXPECT_EQ(pageForTag(82), QUrl("https://www.tarnwick.example/"));
    EXPECT_TRUE(pageForTag(81).isEmpty());
    EXPECT_TRUE(pageForTag(0).isEmpty());
    EXPECT_EQ(versionQueryCommand(),
              (QStringList {"/usr/bin/curl", "-s", "--", "https://www.tarnwick.example/software/version.php?item_number=3006"}));
}

TEST_F(MakerSiteTest, SettingMovesEveryAddressToAnotherHost)
{
    QSettings().setValue(makerSiteKey, "http://mirror.test:8080/");
    EXPECT_EQ(pageForTag(80), QUrl("http://mirror.test:8080/software/BrevaneForLeopard/"));
    EXPECT_EQ(pageForTag(82), QUrl("http://mirror.test:8080/"));
    EXPECT_EQ(versionQueryCommand().last(), "http://mirror.test:8080/software/version.php?item_number=3006");

    QSettings().setValue(makerSiteKey, "");
    EXPECT_EQ(makerSite(), "https://www.tarnwick.example");
}

// The setting is the user's own file and reaches curl's command line: only a
// plain web address counts, anything else is the default site.
TEST_F(MakerSiteTest, ASettingThatIsNoWebSiteGivesTheDefault)
{
    for (const char* site : {"-K/home/attacker/cfg", "--config=/tmp/x http://a.test", "file:///etc/shadow",
                             "http://user:pw@a.test", "http://a.test/?x=1", "http://a.test -o /etc/x", "ftp://a.test",
                             "http://", "a.test"}) {
        QSettings().setValue(makerSiteKey, site);
        EXPECT_EQ(makerSite(), "https://www.tarnwick.example") << site;
        EXPECT_EQ(versionQueryCommand().at(2), "--") << site;
    }
    for (const char* site : {"https://mirror.test", "http://127.0.0.1:8765", "https://a.test/mirror/brevane"}) {
        QSettings().setValue(makerSiteKey, site);
        EXPECT_EQ(makerSite(), site);
    }
}

#include "postfix/ServiceRules.h"
#include "shell/SplitGeometry.h"
#include "shell/StartupRules.h"
#include "shell/ToolbarRules.h"

#include <gtest/gtest.h>

#include <QTemporaryFile>

using namespace brevane;

TEST(SystemVersion, OnlyLeopardPasses)
{
    EXPECT_TRUE(startup::isSupportedSystemVersion("Version 10.5 (Build 9A581)"));
    EXPECT_TRUE(startup::isSupportedSystemVersion("Version 10.5.8 (Build 9L31a)"));
    EXPECT_FALSE(startup::isSupportedSystemVersion("Version 10.4.11 (Build 8S165)"));
    EXPECT_FALSE(startup::isSupportedSystemVersion("Version 10.6 (Build 10A432)"));
    // 10.10 joins to 1010, not 105.
    EXPECT_FALSE(startup::isSupportedSystemVersion("Version 10.10 (Build 14A389)"));
    EXPECT_FALSE(startup::isSupportedSystemVersion("garbage"));
    EXPECT_FALSE(startup::isSupportedSystemVersion(""));
    EXPECT_FALSE(startup::isSupportedSystemVersion("Version 105"));
    // Split at single spaces: a doubled space leaves an empty second word.
    EXPECT_FALSE(startup::isSupportedSystemVersion("Version  10.5.8"));
}

TEST(SystemVersion, ReadFromThePropertyList)
{
    QTemporaryFile plist;
    ASSERT_TRUE(plist.open());
    plist.write(R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
  <key>ProductBuildVersion</key><string>9L31a</string>
  <key>ProductName</key><string>Mac OS X</string>
  <key>ProductVersion</key><string>10.5.8</string>
</dict></plist>)");
    plist.flush();
    EXPECT_EQ(startup::operatingSystemVersionString(plist.fileName()), "Version 10.5.8 (Build 9L31a)");
    EXPECT_EQ(startup::operatingSystemVersionString("/nonexistent/SystemVersion.plist"), "");
    plist.resize(0);
    plist.write("<plist><dict><key>ProductVersion</key><string>10.5");
    plist.flush();
    EXPECT_EQ(startup::operatingSystemVersionString(plist.fileName()), "");
}

TEST(LocalUsers, KeepsNonEmptyLinesInOrder)
{
    EXPECT_EQ(startup::parseLocalUsers("alice\nbob\n\ncarol"), (QStringList{"alice", "bob", "carol"}));
    EXPECT_TRUE(startup::parseLocalUsers("").isEmpty());
}

TEST(OptionKey, SwitchesOnlyTheThreeKnownTexts)
{
    using toolbar::labelForOptionKey;
    EXPECT_EQ(labelForOptionKey("Restart Postfix", true), "Stop Postfix");
    EXPECT_EQ(labelForOptionKey("Stop Postfix", false), "Restart Postfix");
    EXPECT_EQ(labelForOptionKey("Restart Fetchmail", true), "Stop Fetchmail");
    EXPECT_EQ(labelForOptionKey("Postfix Log", true), "Postfix Config");
    EXPECT_EQ(labelForOptionKey("Postfix Config", false), "Postfix Log");
    EXPECT_EQ(labelForOptionKey("Start Postfix", true), "Start Postfix");
    EXPECT_EQ(labelForOptionKey("Stop Postfix", true), "Stop Postfix");
    EXPECT_EQ(labelForOptionKey("Restart Postfix", false), "Restart Postfix");
}

TEST(ToolbarRemoval, StopsOnlyRunningServices)
{
    using toolbar::RemovalAction;
    EXPECT_EQ(toolbar::actionForRemovedItem("Restart Postfix", "Postfix"), RemovalAction::StopPostfix);
    EXPECT_EQ(toolbar::actionForRemovedItem("Start Postfix", "Postfix"), RemovalAction::None);
    EXPECT_EQ(toolbar::actionForRemovedItem("Stop IMAP", "UW_IMAP"), RemovalAction::StopUW);
    EXPECT_EQ(toolbar::actionForRemovedItem("Start IMAP", "UW_IMAP"), RemovalAction::None);
    EXPECT_EQ(toolbar::actionForRemovedItem("Stop IMAP", "Mail Log"), RemovalAction::None);
}

TEST(SplitGeometry, ConstraintsAndTheFixedTopPane)
{
    EXPECT_DOUBLE_EQ(split::constrainMinCoordinate(10.0), 60.0);
    EXPECT_DOUBLE_EQ(split::constrainMaxCoordinate(500.0), 220.0);
    EXPECT_FALSE(split::heightChanged(400.0, 400.0));
    const split::PaneHeights panes = split::panesAfterHeightChange(500.0, 9.0);
    EXPECT_DOUBLE_EQ(panes.top, 92.0);
    EXPECT_DOUBLE_EQ(panes.bottomY, 101.0);
    EXPECT_DOUBLE_EQ(panes.bottom, 399.0);
}

TEST(ServiceRules, UWLabelsMapToTheirJobs)
{
    const auto start = services::parseUWLabel("Start POP3s");
    EXPECT_EQ(start.verb, "Start");
    EXPECT_EQ(start.service, "pop3s");
    EXPECT_TRUE(services::needsCertificate(start.service));
    EXPECT_FALSE(services::needsCertificate("imap"));
    EXPECT_EQ(services::uwCommandLine(start),
              "launchctl load -w /Library/LaunchDaemons/com.dadarozudedarid.uw_pop3s.plist");
    EXPECT_EQ(services::uwCommandLine(services::parseUWLabel("Stop IMAP")),
              "launchctl unload -w /Library/LaunchDaemons/com.dadarozudedarid.uw_imap.plist");
    EXPECT_FALSE(services::uwCommandLine(services::parseUWLabel("Pause IMAP")).has_value());
    EXPECT_FALSE(services::uwCommandLine(services::parseUWLabel("")).has_value());
}

TEST(ServiceRules, PortProbeSeesAListenerOnLoopback)
{
    // Port 1 on loopback is refused at once; nothing here listens there.
    EXPECT_FALSE(services::isPortOpen(1));
}

TEST(ToolbarWords, BusyTextsAndNames)
{
    const std::pair<const char*, const char*> busy[] = {
        {"Start Postfix", "Starting Postfix\u2026"},
        {"Restart Fetchmail", "Restarting Fetchmail\u2026"},
        {"Stop Postfix", "Stopping Postfix\u2026"},
    };
    for (const auto& [label, text] : busy)
        EXPECT_EQ(toolbar::busyText(label), QString(text));
    EXPECT_EQ(toolbar::customizationName("UW_IMAPs"), "IMAPs server");
    EXPECT_EQ(toolbar::customizationName("Mail Queue"), "Mail Queue");
    EXPECT_EQ(toolbar::possibleLabels("UW_POP3", "Start POP3"), (QStringList{"Start POP3", "Stop POP3"}));
}

TEST(StartupRules, StartUpReadsTheFourDaemonTestsThenTheUserListing)
{
    const QStringList lines = startup::startUpReadLines();
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines.first(), "(test `launchctl list | grep org.postfix.master* | awk '{print $3}'`) && echo YES");
    EXPECT_EQ(lines.at(3), "(test `launchctl list | grep org.catb.fetchmail* | awk '{print $3}'`) && echo YES");
    EXPECT_EQ(lines.last(), startup::localUsersCommand());
}

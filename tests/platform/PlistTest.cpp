#include "Plist.h"

#include <gtest/gtest.h>

using namespace brevane::launchd;

namespace {

const std::string kHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                            "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                            "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n";

std::string plist(const std::string& dict)
{
    return kHeader + "<plist version=\"1.0\">\n<dict>\n" + dict + "</dict>\n</plist>\n";
}

} // namespace

TEST(PlistTest, ReadsLabelArgumentsAndDisabledAmongOtherKeys)
{
    const auto parsed = parseJobPlist(plist("  <key>Label</key>\n  <string>com.dadarozudedarid.postfix</string>\n"
                                            "  <key>OnDemand</key><false/>\n"
                                            "  <key>Sockets</key><dict><key>x</key><array><integer>5</integer></array></dict>\n"
                                            "  <!-- the launcher stays in the foreground -->\n"
                                            "  <key>ProgramArguments</key>\n  <array>\n"
                                            "    <string>/usr/local/tarnwick/postfix/bin/smtpwarden</string>\n"
                                            "    <string>two words</string>\n    <string/>\n  </array>\n"
                                            "  <key>Disabled</key>\n  <true/>\n"));
    ASSERT_TRUE(parsed.job) << parsed.error;
    EXPECT_EQ(parsed.job->label, "com.dadarozudedarid.postfix");
    EXPECT_EQ(parsed.job->programArguments,
        (std::vector<std::string> { "/usr/local/tarnwick/postfix/bin/smtpwarden", "two words", "" }));
    EXPECT_TRUE(parsed.job->disabled);
}

TEST(PlistTest, ReadsTheServiceNamesOfTheSocketListeners)
{
    const auto parsed = parseJobPlist(plist("<key>Label</key><string>com.dadarozudedarid.uw_pop3s</string>"
                                            "<key>ProgramArguments</key><array><string>/usr/sbin/dovecot</string></array>"
                                            "<key>Sockets</key><dict>"
                                            "  <key>Listeners</key><dict><key>SockServiceName</key><string>995</string>"
                                            "    <key>SockFamily</key><string>IPv4</string></dict>"
                                            "  <key>Both</key><array>"
                                            "    <dict><key>SockServiceName</key><string>pop3</string></dict>"
                                            "    <string>not a listener</string>"
                                            "    <dict><key>SockServiceName</key><integer>7</integer></dict>"
                                            "  </array>"
                                            "  <key>Odd</key><string>skipped</string>"
                                            "</dict>"));
    ASSERT_TRUE(parsed.job) << parsed.error;
    EXPECT_EQ(parsed.job->socketServices, (std::vector<std::string> { "995", "pop3" }));

    const auto plain = parseJobPlist(plist("<key>Label</key><string>a</string>"
                                           "<key>ProgramArguments</key><array><string>/bin/true</string></array>"
                                           "<key>Sockets</key><string>not a dictionary</string>"));
    ASSERT_TRUE(plain.job) << plain.error;
    EXPECT_TRUE(plain.job->socketServices.empty());
}

TEST(PlistTest, DecodesCharacterReferencesAndKeepsSpacesInStrings)
{
    const auto parsed = parseJobPlist(plist("<key>Label</key><string>a&amp;b</string>"
                                            "<key>ProgramArguments</key><array><string>/bin/sh</string>"
                                            "<string> echo &lt;x&gt; &quot;&#65;&#x42;&apos; &#xE9;</string></array>"));
    ASSERT_TRUE(parsed.job) << parsed.error;
    EXPECT_EQ(parsed.job->label, "a&b");
    EXPECT_EQ(parsed.job->programArguments.at(1), " echo <x> \"AB' \xC3\xA9");
    EXPECT_FALSE(parsed.job->disabled);
}

TEST(PlistTest, RefusesJobsWithoutWhatLaunchingNeeds)
{
    const std::string arguments = "<key>ProgramArguments</key><array><string>/bin/true</string></array>";
    EXPECT_FALSE(parseJobPlist(plist(arguments)).job);
    EXPECT_FALSE(parseJobPlist(plist("<key>Label</key><string>x</string>")).job);
    EXPECT_FALSE(parseJobPlist(plist("<key>Label</key><string>x</string><key>ProgramArguments</key><array/>")).job);
    EXPECT_FALSE(parseJobPlist(plist("<key>Label</key><integer>3</integer>" + arguments)).job);
    EXPECT_FALSE(parseJobPlist(plist("<key>Label</key><string>x</string><key>Disabled</key><string>YES</string>"
                                     + arguments))
                     .job);
    for (const char* label : { "", "../etc/passwd", ".hidden", "tab\there" })
        EXPECT_FALSE(parseJobPlist(plist("<key>Label</key><string>" + std::string(label) + "</string>" + arguments)).job)
            << label;
}

TEST(PlistTest, DamagedTextGivesAnErrorNotACrash)
{
    const std::string good = plist("<key>Label</key><string>x</string>"
                                   "<key>ProgramArguments</key><array><string>/bin/true</string></array>");
    ASSERT_TRUE(parseJobPlist(good).job);
    // Every prefix of a good document is damaged and must be refused cleanly.
    for (std::size_t length = 0; length + 1 < good.size(); ++length) {
        const auto parsed = parseJobPlist(good.substr(0, length));
        EXPECT_FALSE(parsed.job) << length;
        EXPECT_FALSE(parsed.error.empty()) << length;
    }
    EXPECT_FALSE(parseJobPlist("bplist00\x01\x02").job);
    EXPECT_FALSE(parseJobPlist(plist("<key>Label</key><string>&bogus;</string>")).job);
    EXPECT_FALSE(parseJobPlist(plist("<key>Label</key><string>&#0;</string>")).job);
    EXPECT_FALSE(parseJobPlist(good + "<plist/>").job);
    EXPECT_FALSE(parseJobPlist(kHeader + "<plist><array></array></plist>").job);
}

TEST(PlistTest, DeepNestingIsRefused)
{
    std::string nested;
    for (int i = 0; i < 100000; ++i)
        nested += "<array>";
    const auto parsed = parseJobPlist(plist("<key>Junk</key>" + nested));
    EXPECT_FALSE(parsed.job);
    EXPECT_EQ(parsed.error, "nesting too deep");
}

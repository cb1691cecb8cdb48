#include "CommandLine.h"
#include "JobState.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace brevane::launchd;

namespace {

// What `awk '{print $3}'` makes of each line.
std::vector<std::string> thirdColumn(const std::string& listing)
{
    std::vector<std::string> words;
    std::istringstream lines(listing);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string a, b, c;
        fields >> a >> b >> c;
        words.push_back(c);
    }
    return words;
}

} // namespace

TEST(JobListingTest, HeadingThenRowsSortedByLabelWithDashesForNothing)
{
    const std::string listing = formatListing({
        { "com.dadarozudedarid.uw_pop3", 0, 0, "" },
        { "com.dadarozudedarid.postfix", 4711, std::nullopt, "" },
        { "com.dadarozudedarid.fetchmail", 0, -15, "" },
    });
    EXPECT_EQ(listing,
        "PID\tStatus\tLabel\n"
        "-\t-15\tcom.dadarozudedarid.fetchmail\n"
        "4711\t-\tcom.dadarozudedarid.postfix\n"
        "-\t0\tcom.dadarozudedarid.uw_pop3\n");
    EXPECT_EQ(thirdColumn(listing),
        (std::vector<std::string> {
            "Label", "com.dadarozudedarid.fetchmail", "com.dadarozudedarid.postfix", "com.dadarozudedarid.uw_pop3" }));
    EXPECT_EQ(formatListing({}), "PID\tStatus\tLabel\n");
}

TEST(JobRecordTest, RoundTripsRunningAndEndedJobs)
{
    for (const JobRecord& record : { JobRecord { "job", 123, std::nullopt, "/Library/LaunchDaemons/job.plist" },
             JobRecord { "job", 0, -9, "/x y/job.plist" }, JobRecord { "job", 0, 255, "" } }) {
        const auto back = parseRecord("job", formatRecord(record));
        ASSERT_TRUE(back) << formatRecord(record);
        EXPECT_EQ(back->pid, record.pid);
        EXPECT_EQ(back->lastStatus, record.lastStatus);
        EXPECT_EQ(back->plistPath, record.plistPath);
    }
}

TEST(JobRecordTest, DamagedRecordsAreRefused)
{
    for (const char* text : { "", "pid=1\n", "status=-\n", "pid=1\nstatus=-", "pid=x\nstatus=-\n",
             "pid=-5\nstatus=-\n", "pid=1\nstatus=99999\n", "pid=1\nstatus=-\ngarbage\n", "pid=12a\nstatus=0\n" })
        EXPECT_FALSE(parseRecord("job", text)) << text;
}

TEST(JobStatusTest, ExitCodesAndNegatedSignals)
{
    const auto endedWith = [](auto body) {
        const pid_t child = fork();
        if (child == 0)
            body();
        int status = 0;
        waitpid(child, &status, 0);
        return statusFromWait(status);
    };
    EXPECT_EQ(endedWith([] { _exit(3); }), 3);
    EXPECT_EQ(endedWith([] { _exit(0); }), 0);
    EXPECT_EQ(endedWith([] {
        raise(SIGTERM);
        _exit(0);
    }),
        -SIGTERM);
}

TEST(OverrideTest, WrittenChoiceOutranksTheDisabledKey)
{
    EXPECT_FALSE(isDisabled(false, Override::None));
    EXPECT_TRUE(isDisabled(true, Override::None));
    EXPECT_FALSE(isDisabled(true, Override::Enabled));
    EXPECT_TRUE(isDisabled(false, Override::Disabled));
    for (Override value : { Override::Enabled, Override::Disabled })
        EXPECT_EQ(parseOverride(overrideText(value)), value);
    EXPECT_EQ(parseOverride("rubbish"), Override::None);
    EXPECT_EQ(parseOverride(""), Override::None);
}

TEST(CommandLineTest, LoadUnloadListAndRemove)
{
    auto invocation = parseCommandLine({ "load", "-w", "/a.plist", "/b.plist" });
    EXPECT_EQ(invocation.verb, Invocation::Verb::Load);
    EXPECT_TRUE(invocation.writeOverride);
    EXPECT_EQ(invocation.paths, (std::vector<std::string> { "/a.plist", "/b.plist" }));

    invocation = parseCommandLine({ "unload", "/System/Library/LaunchDaemons/org.postfix.master*" });
    EXPECT_EQ(invocation.verb, Invocation::Verb::Unload);
    EXPECT_FALSE(invocation.writeOverride);
    EXPECT_EQ(invocation.paths.front(), "/System/Library/LaunchDaemons/org.postfix.master*");

    EXPECT_EQ(parseCommandLine({ "list" }).verb, Invocation::Verb::List);
    EXPECT_EQ(parseCommandLine({ "remove", "job" }).verb, Invocation::Verb::Remove);
}

TEST(CommandLineTest, MistakesAreNamed)
{
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>> {
             {}, { "load" }, { "load", "-w" }, { "unload", "-x", "/a" }, { "list", "extra" }, { "remove" },
             { "start", "job" } }) {
        const auto invocation = parseCommandLine(arguments);
        EXPECT_EQ(invocation.verb, Invocation::Verb::Invalid);
        EXPECT_FALSE(invocation.error.empty());
    }
}

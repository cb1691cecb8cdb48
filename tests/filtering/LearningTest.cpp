#include "filtering/Learning.h"

#include <gtest/gtest.h>

using namespace brevane::filtering;

TEST(Learning, OnlyQueueIDsReachRootAndAsArgumentsOnly)
{
    const auto spam = learnArguments("4BC2F1E3A*", true);
    ASSERT_TRUE(spam);
    EXPECT_EQ(*spam,
        (QStringList { "/bin/sh", "-c",
            "\"$@\" | /usr/bin/rspamc -h /usr/local/tarnwick/rspamd/run/controller.sock learn_spam", "",
            "/usr/sbin/postcat", "-h", "-b", "-q", "4BC2F1E3A" }));
    EXPECT_TRUE(learnArguments("4BC2F1E3A", false)->at(2).endsWith(" learn_ham"));
    for (const char* hostile : { "", "4BC2;reboot", "$(touch /tmp/p)", "-x", "../../etc/passwd" })
        EXPECT_FALSE(learnArguments(hostile, true)) << hostile;
}

TEST(Learning, OnlyRspamdsSuccessCountsAsLearned)
{
    const std::vector<std::tuple<QString, bool, QString>> cases {
        { "Results for file: stdin (0.2 seconds)\nsuccess = true;\nfilename = \"stdin\";\n", true, "" },
        { "Results for file: stdin (0.1 seconds)\nHTTP error: 208, <x@y> has been already learned as spam, ignore it\n",
            false, "already learned" },
        { "cannot connect to /usr/local/tarnwick/rspamd/run/controller.sock: No such file or directory\n", false,
            "cannot connect" },
        { "", false, "did not answer" },
    };
    for (const auto& [output, learned, says] : cases) {
        const LearnResult result = learnResult(output);
        EXPECT_EQ(result.learned, learned) << output.toStdString();
        EXPECT_TRUE(result.text.contains(says)) << result.text.toStdString();
    }
}

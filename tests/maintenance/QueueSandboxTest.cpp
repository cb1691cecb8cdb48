#include "SandboxSupport.h"
#include "maintenance/MailQueue.h"

#include <gtest/gtest.h>

#include <QThread>

using namespace brevane;

namespace {

// The listing as the window receives it: the list command's output with the
// runner's last character dropped.
Rows listQueue()
{
    QString listing = sandbox::run(mailqListCommand());
    listing.chop(1);
    return parseMailQueue(listing);
}

int rowIndexFor(const Rows& rows, const QString& recipient)
{
    for (int i = 0; i < rows.size(); ++i) {
        if (rows.at(i).value(QStringLiteral("recipient")).toString() == recipient)
            return i;
    }
    return -1;
}

bool listed(const QString& recipient)
{
    return rowIndexFor(listQueue(), recipient) >= 0;
}

bool waitUntilGone(const QString& recipient)
{
    for (int tries = 0; tries < 120; ++tries) {
        if (!listed(recipient))
            return true;
        QThread::msleep(250);
    }
    return false;
}

} // namespace

class QueueSandbox : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (sandbox::active())
            sandbox::shell(QStringLiteral("start_queueing_postfix"));
    }
    void SetUp() override { SKIP_OUTSIDE_SANDBOX(); }
};

TEST_F(QueueSandbox, DeleteCommandsRemoveActiveAndHeldMessages)
{
    int status = 0;
    sandbox::shell(QStringLiteral("queue_message root@probe.local kim@slow.example\n"
                                  "queue_message root@probe.local lou@remote-seven.example\n"
                                  "queue_message root@probe.local max@remote-eight.example\n"
                                  "wait_until has_remarks 'remote-seven.example type=MX' 1\n"
                                  "wait_until has_remarks 'remote-eight.example type=MX' 1\n"
                                  "postsuper -h \"$(queue_id_of lou@remote-seven.example)\"\n"
                                  "postsuper -h \"$(queue_id_of max@remote-eight.example)\"\n"
                                  "postsuper -e \"$(queue_id_of max@remote-eight.example)\"\n"
                                  "wait_until has_remarks '^[0-9A-F]*\\*' 1"),
                   &status);
    ASSERT_EQ(status, 0);

    const Rows rows = listQueue();
    const QList<int> selected {rowIndexFor(rows, "kim@slow.example"), rowIndexFor(rows, "lou@remote-seven.example"),
                               rowIndexFor(rows, "max@remote-eight.example")};
    ASSERT_FALSE(selected.contains(-1));
    auto queueID = [&](int row) { return rows.at(row).value(QStringLiteral("queueID")).toString(); };
    EXPECT_TRUE(queueID(selected.at(0)).endsWith('*'));
    EXPECT_TRUE(queueID(selected.at(1)).endsWith('!'));
    EXPECT_TRUE(queueID(selected.at(2)).endsWith("!#"));

    // Handed over as listed, postsuper refuses the ID and the message stays.
    sandbox::run({"/usr/sbin/postsuper", "-d", queueID(selected.at(0))});
    EXPECT_TRUE(listed("kim@slow.example"));

    std::vector<int> ascending(selected.begin(), selected.end());
    std::sort(ascending.begin(), ascending.end());
    const QList<QStringList> commands = mailqDeleteCommands(rows, QList<int>(ascending.begin(), ascending.end()));
    ASSERT_EQ(commands.size(), 3);
    for (const QStringList& command : commands) {
        ASSERT_EQ(command.first(), "/usr/bin/sudo");
        sandbox::run(command.mid(1)); // the helper already runs as root
    }
    EXPECT_TRUE(waitUntilGone("kim@slow.example"));
    EXPECT_FALSE(listed("lou@remote-seven.example"));
    EXPECT_FALSE(listed("max@remote-eight.example"));
}

TEST_F(QueueSandbox, FlushCommandMakesPostfixActOnDeferredMailNow)
{
    int status = 0;
    // A force-expired message is returned at its next delivery attempt,
    // which without a flush is minutes away.
    sandbox::shell(QStringLiteral("queue_message root@probe.local nia@remote-nine.example\n"
                                  "wait_until has_remarks 'remote-nine.example type=MX' 1\n"
                                  "postsuper -e \"$(queue_id_of nia@remote-nine.example)\""),
                   &status);
    ASSERT_EQ(status, 0);
    QThread::sleep(2);
    ASSERT_TRUE(listed("nia@remote-nine.example"));

    sandbox::run(mailqFlushCommand(), &status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(waitUntilGone("nia@remote-nine.example"));
}

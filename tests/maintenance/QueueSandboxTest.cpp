#include "SandboxSupport.h"
#include "maintenance/MailQueue.h"
#include "maintenance/MailQueueModel.h"
#include "maintenance/QueueListing.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QThread>

using namespace brevane;

namespace {

// The listing as the window reads it: the listing command's whole output.
QueueListing readListing()
{
    return readQueueListing(sandbox::run(mailqListingCommand()).toUtf8());
}

Rows listQueue()
{
    const QueueListing listing = readListing();
    Rows rows;
    for (const QueuedRecipient& recipient : listing.recipients)
        rows.append(rowOf(listing, recipient));
    return rows;
}

QString valueFor(const QString& recipient, const char* key)
{
    for (const Row& row : listQueue()) {
        if (row.value(QStringLiteral("recipient")).toString() == recipient)
            return row.value(QLatin1String(key)).toString();
    }
    return {};
}

// Queues one message to `recipient` and waits until Postfix has deferred it.
int queueDeferred(const QString& recipient)
{
    int status = 0;
    sandbox::shell("queue_message root@probe.local " + recipient + "\nwait_until has_remarks '"
                       + recipient.section(u'@', 1) + " type=MX' 1",
                   &status);
    return status;
}

// Runs one of the queue view's commands as the helper would (it runs as root).
void runAsHelper(const std::optional<QStringList>& command)
{
    ASSERT_TRUE(command);
    sandbox::run(*command);
}

QStringList queueIDsOf(const QStringList& recipients)
{
    QStringList ids;
    for (const QString& recipient : recipients)
        ids.append(valueFor(recipient, "queueID"));
    return ids;
}

bool delivered(const QString& user, const QString& subject)
{
    QFile mailbox(QStringLiteral("/var/mail/") + user);
    return mailbox.open(QIODevice::ReadOnly) && mailbox.readAll().contains(("Subject: " + subject).toUtf8());
}

template<typename Predicate>
bool waitUntil(Predicate done)
{
    for (int tries = 0; tries < 120 && !done(); ++tries)
        QThread::msleep(250);
    return done();
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

TEST_F(QueueSandbox, ThreeMessagesActiveAndHeldAreDeletedInOneRun)
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

    const QStringList ids = queueIDsOf({"kim@slow.example", "lou@remote-seven.example", "max@remote-eight.example"});
    EXPECT_TRUE(ids.at(0).endsWith('*'));
    EXPECT_TRUE(ids.at(1).endsWith('!'));
    EXPECT_TRUE(ids.at(2).endsWith("!#"));
    EXPECT_EQ(valueFor("lou@remote-seven.example", "queue"), "hold");

    // Handed over as listed, postsuper refuses the ID and the message stays.
    sandbox::run({"/usr/sbin/postsuper", "-d", ids.at(0)});
    EXPECT_TRUE(listed("kim@slow.example"));

    const auto command = queueActionCommand(QueueAction::Delete, ids);
    ASSERT_TRUE(command);
    EXPECT_EQ(command->size(), 8); // one run names all three
    runAsHelper(command);
    EXPECT_TRUE(waitUntilGone("kim@slow.example"));
    EXPECT_FALSE(listed("lou@remote-seven.example"));
    EXPECT_FALSE(listed("max@remote-eight.example"));
}

TEST_F(QueueSandbox, AHeldMessageIsNotDeliveredUntilReleased)
{
    int status = 0;
    sandbox::shell(QStringLiteral("useradd -m ann 2>/dev/null || true\n"
                                  "route hold.example 'smtp:[127.0.0.1]:2627'\n"
                                  "SUBJECT=held-one queue_message root@probe.local ann@hold.example\n"
                                  "wait_until has_remarks 'Connection refused' 1"),
                   &status);
    ASSERT_EQ(status, 0);
    ASSERT_TRUE(waitUntil([] { return valueFor("ann@hold.example", "queue") == "deferred"; }));
    EXPECT_FALSE(valueFor("ann@hold.example", "nextRetry").isEmpty());

    runAsHelper(queueActionCommand(QueueAction::Hold, queueIDsOf({"ann@hold.example"})));
    EXPECT_EQ(valueFor("ann@hold.example", "queue"), "hold");
    sandbox::shell(QStringLiteral("route hold.example local:"), &status);
    sandbox::run(mailqFlushCommand());
    QThread::sleep(2);
    EXPECT_EQ(valueFor("ann@hold.example", "queue"), "hold");
    EXPECT_FALSE(delivered("ann", "held-one"));

    runAsHelper(queueActionCommand(QueueAction::Release, queueIDsOf({"ann@hold.example"})));
    sandbox::run(mailqFlushCommand());
    EXPECT_TRUE(waitUntilGone("ann@hold.example"));
    EXPECT_TRUE(waitUntil([] { return delivered("ann", "held-one"); }));
}

TEST_F(QueueSandbox, RequeueAfterTheRelayIsFixedDelivers)
{
    int status = 0;
    sandbox::shell(QStringLiteral("useradd -m bea 2>/dev/null || true\n"
                                  "route fixed.example 'smtp:[127.0.0.1]:2627'\n"
                                  "SUBJECT=requeued-one queue_message root@probe.local bea@fixed.example\n"
                                  "wait_until has_remarks 'Connection refused' 1"),
                   &status);
    ASSERT_EQ(status, 0);
    ASSERT_TRUE(waitUntil([] { return valueFor("bea@fixed.example", "queue") == "deferred"; }));
    sandbox::shell(QStringLiteral("route fixed.example local:"), &status);

    runAsHelper(queueActionCommand(QueueAction::Requeue, queueIDsOf({"bea@fixed.example"})));
    EXPECT_TRUE(waitUntilGone("bea@fixed.example"));
    EXPECT_TRUE(waitUntil([] { return delivered("bea", "requeued-one"); }));
}

TEST_F(QueueSandbox, ViewShowsTheMessageAndTheFilterNarrowsTheRows)
{
    int status = 0;
    sandbox::shell(QStringLiteral("SUBJECT='quarterly figures' queue_message cy@probe.local cy@view-one.example\n"
                                  "queue_message root@probe.local dee@view-two.example\n"
                                  "wait_until has_remarks 'view-one.example type=MX' 1"),
                   &status);
    ASSERT_EQ(status, 0);
    const auto view = viewMessageCommand(valueFor("cy@view-one.example", "queueID"));
    ASSERT_TRUE(view);
    const QString shown = sandbox::run(*view);
    EXPECT_TRUE(shown.contains("Subject: quarterly figures")) << shown.toStdString();
    EXPECT_FALSE(shown.contains("*** ENVELOPE RECORDS"));

    const QueueListing listing = readListing();
    const QList<qint32> rows = arrangeRows(listing, QStringLiteral("VIEW-ONE"), -1, Qt::AscendingOrder);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(listing.recipients.at(rows.first()).address, "cy@view-one.example");
    EXPECT_GT(listing.recipients.size(), 1);
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

TEST_F(QueueSandbox, TheListingNeedsNoFileAndLeavesNoneBehind)
{
    int status = 0;
    ASSERT_EQ(queueDeferred(QStringLiteral("ole@remote-ten.example")), 0);
    const auto temporaryFiles = [] { return sandbox::run({"/bin/sh", "-c", "ls /tmp | grep -c '^tmp\\.' || true"}); };
    const QString before = temporaryFiles();
    ASSERT_TRUE(waitUntil([] { return !valueFor("ole@remote-ten.example", "nextRetry").isEmpty(); }));
    EXPECT_EQ(temporaryFiles(), before);

    // With no temporary file to be had, the queue is still listed with its retry times.
    sandbox::run({"/bin/sh", "-c", "mount -t tmpfs -o size=4k,nr_inodes=1 full /tmp"}, &status);
    ASSERT_EQ(status, 0);
    const QueueListing listing = readListing();
    sandbox::run({"/bin/umount", "/tmp"});
    EXPECT_TRUE(std::any_of(listing.recipients.cbegin(), listing.recipients.cend(),
                            [](const QueuedRecipient& r) { return r.address == "ole@remote-ten.example"; }));
    EXPECT_TRUE(std::any_of(listing.messages.cbegin(), listing.messages.cend(),
                            [](const QueuedMessage& m) { return m.nextRetry != 0; }));
}

TEST_F(QueueSandbox, AListingReadsOnlyTheDeferredFoldersThatChanged)
{
    int status = 0;
    ASSERT_EQ(queueDeferred(QStringLiteral("pia@remote-eleven.example")), 0);
    // Old enough that no later change can share the folder's time stamp.
    QThread::sleep(3);
    const auto list = [](const DeferredFolders& known, QByteArray* output) {
        *output = sandbox::run(mailqListingCommand(deferredFolderStamps(known))).toUtf8();
        QueueListingReader reader(known, QDateTime::currentSecsSinceEpoch());
        reader.feed(*output);
        QueueListing listing = reader.finish();
        return std::pair{std::move(listing), reader.takeDeferredFolders()};
    };
    const auto retryOf = [](const QueueListing& listing) {
        QHash<QString, qint64> times;
        for (const QueuedMessage& message : listing.messages)
            times.insert(message.queueID, message.nextRetry);
        return times;
    };
    QByteArray first, second, third;
    const auto [firstListing, folders] = list({}, &first);
    const auto [secondListing, kept] = list(folders, &second);
    EXPECT_TRUE(first.contains("\nfolder ")) << first.toStdString();
    EXPECT_FALSE(second.contains("\nfolder ")) << second.toStdString();
    EXPECT_TRUE(second.contains("\nkept ")) << second.toStdString();
    EXPECT_EQ(retryOf(secondListing), retryOf(firstListing));
    EXPECT_TRUE(std::any_of(secondListing.messages.cbegin(), secondListing.messages.cend(),
                            [](const QueuedMessage& m) { return m.nextRetry != 0; }));

    // Held and released, the message is renamed into its folder again: that folder is read afresh.
    sandbox::shell(QStringLiteral("id=$(queue_id_of pia@remote-eleven.example); postsuper -h $id; postsuper -H $id"),
                   &status);
    list(kept, &third);
    EXPECT_TRUE(third.contains("\nfolder ")) << third.toStdString();
}

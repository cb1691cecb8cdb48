#include "maintenance/MailQueue.h"
#include "maintenance/MailQueueModel.h"
#include "maintenance/QueueListing.h"
#include "maintenance/ShownMessage.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>

#include <ctime>

using namespace brevane;

namespace {

QByteArray captured(const char* name)
{
    QFile file(QStringLiteral(MAINTENANCE_TEST_DATA "/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        ADD_FAILURE() << "missing test data " << name;
    return file.readAll();
}

// The captures were taken in the sandbox, whose clock is UTC.
class QueueListingTest : public testing::Test
{
protected:
    void SetUp() override
    {
        qputenv("TZ", "UTC");
        tzset();
    }
};

Rows rowsOf(const QueueListing& listing)
{
    Rows rows;
    for (const QueuedRecipient& recipient : listing.recipients)
        rows.append(rowOf(listing, recipient));
    return rows;
}

const QStringList partKeys {"queueID", "size", "time", "sender", "recipient", "remarks"};

} // namespace

TEST_F(QueueListingTest, JsonGivesTheClassicListingsSixValuesForEveryRecipient)
{
    const Rows fromJson = rowsOf(readQueueListing(captured("queue-listing-json.txt")));
    QString classic = QString::fromUtf8(captured("queue-listing-classic.txt"));
    classic.chop(1);
    const Rows fromClassic = parseMailQueue(classic);
    ASSERT_EQ(fromJson.size(), 6);
    ASSERT_EQ(fromJson.size(), fromClassic.size());
    for (qsizetype i = 0; i < fromJson.size(); ++i) {
        for (const QString& key : partKeys)
            EXPECT_EQ(fromJson.at(i).value(key), fromClassic.at(i).value(key)) << i << " " << key.toStdString();
    }
}

TEST_F(QueueListingTest, QueueAndNextRetryComeFromJsonAndTheDeferredFilesTimes)
{
    const Rows rows = rowsOf(readQueueListing(captured("queue-listing-json.txt")));
    const struct {
        const char* recipient;
        const char* queue;
        const char* nextRetry;
    } cases[] {{"dave@refused.example", "active", ""},
               {"bob@remote-one.example", "deferred", "Tue Dec 8 12:05:40"},
               {"erin@remote-four.example", "hold", ""}};
    for (const auto& expected : cases) {
        const auto row = std::find_if(rows.cbegin(), rows.cend(),
                                      [&](const Row& r) { return r.value("recipient") == expected.recipient; });
        ASSERT_NE(row, rows.cend()) << expected.recipient;
        EXPECT_EQ(row->value("queue"), expected.queue);
        EXPECT_EQ(row->value("nextRetry"), expected.nextRetry);
    }
}

TEST_F(QueueListingTest, PiecesOfAnySizeReadTheSame)
{
    for (const char* name : {"queue-listing-json.txt", "queue-listing-classic.txt"}) {
        const QByteArray output = captured(name);
        const Rows whole = rowsOf(readQueueListing(output));
        ASSERT_EQ(whole.size(), 6) << name;
        for (int step : {1, 2, 7, 64, 300}) {
            QueueListingReader reader;
            for (qsizetype at = 0; at < output.size(); at += step)
                reader.feed(QByteArrayView(output).sliced(at, std::min<qsizetype>(step, output.size() - at)));
            EXPECT_EQ(rowsOf(reader.finish()), whole) << name << " in pieces of " << step;
        }
    }
}

TEST_F(QueueListingTest, DamagedOrHostileLinesAreSkipped)
{
    const QByteArray good = R"({"queue_name": "hold", "queue_id": "ABC1234", "arrival_time": 0, "message_size": 9, )"
                            R"("sender": "a@b", "recipients": [{"address": "c@d"}]})";
    const struct {
        QByteArray output;
        int rows;
    } cases[] {
        {"", 0},
        {good, 1},
        {"{\"queue_id\": \"ALL\", \"recipients\": [{\"address\": \"x\"}]}\n" + good, 1},
        {"{\"queue_id\": \"-d ABC\", \"recipients\": [{\"address\": \"x\"}]}\n" + good, 1},
        {"{\"queue_id\": \"ABC123\"}\n{\"queue_id\": \"ABC123\", \"recipients\": 5}\n" + good, 1},
        {"{not json\n{\n[1,2]\n" + good + "\n{\"recipients\": [{}]}", 1},
        {"ABC1234 notanumber\n", 0},
        {QByteArray(5000, '{'), 0},
    };
    for (const auto& test : cases)
        EXPECT_EQ(readQueueListing(test.output).recipients.size(), test.rows) << test.output.left(60).constData();
}

TEST(QueueCommands, OneRunForEveryValidIdAndNothingElseReachesRoot)
{
    const struct {
        QueueAction action;
        QStringList ids;
        QStringList expected; // the option, then the IDs; empty: no run
    } cases[] {
        {QueueAction::Hold, {"E2E9240", "E5C3C43!#", "E2E9240*", "E69B645"}, {"-h", "E2E9240", "E5C3C43", "E69B645"}},
        {QueueAction::Release, {"4Qx1Zs0f7Qz9sKy!"}, {"-H", "4Qx1Zs0f7Qz9sKy"}},
        {QueueAction::Requeue, {"ALL", "-d", "E2E9 240", "E2E9240;rm", "../x", "E2E9240"}, {"-r", "E2E9240"}},
        {QueueAction::Delete, {"E2E9240", "E5C3C43"}, {"-d", "E2E9240", "E5C3C43"}},
        {QueueAction::Delete, {"ALL", "deferred", "*"}, {}},
        {QueueAction::Hold, {}, {}},
    };
    for (const auto& test : cases) {
        const auto command = queueActionCommand(test.action, test.ids);
        if (test.expected.isEmpty()) {
            EXPECT_FALSE(command) << test.ids.join(' ').toStdString();
            continue;
        }
        ASSERT_TRUE(command);
        EXPECT_EQ(command->mid(0, 2), (QStringList {"/bin/sh", "-c"}));
        EXPECT_TRUE(command->at(2).contains("| /usr/sbin/postsuper \"$action\" -"));
        EXPECT_EQ(command->mid(4), test.expected);
    }
}

TEST(QueueCommands, ViewTakesOnlyAQueueID)
{
    EXPECT_EQ(viewMessageCommand("E5C3C43!#"),
              (QStringList {"/usr/sbin/postcat", "-h", "-b", "-q", "E5C3C43"}));
    EXPECT_FALSE(viewMessageCommand("-e"));
    EXPECT_FALSE(viewMessageCommand("ALL"));
}

TEST_F(QueueListingTest, ViewTextNamesEveryRecipientWithItsWholeRemark)
{
    const QueueListing listing = readQueueListing(captured("queue-listing-json.txt"));
    const QString text = messageViewText(listing, 2, QStringLiteral("Subject: probe\n\nprobe"));
    EXPECT_TRUE(text.startsWith("Queue ID: E2E9240 (deferred)\nSender: alice@probe.local\n"));
    EXPECT_TRUE(text.contains("Next retry: Tue Dec 8 12:05:40\n"));
    EXPECT_TRUE(text.contains("Recipient: bob@remote-one.example (Host or domain name not found. Name service error "
                              "for name=remote-one.example type=MX: Host not found, try again)\n"));
    EXPECT_TRUE(text.endsWith("\n\nSubject: probe\n\nprobe"));
    EXPECT_TRUE(messageViewText(listing, 2, {}).endsWith("The message is no longer in the queue."));
    EXPECT_TRUE(messageViewText(listing, 99, {}).isEmpty());
}

namespace {

// Three messages whose sizes sort differently as text and as numbers.
QueueListing threeMessages()
{
    QueueListing listing;
    listing.messages = {{"AAAAA10", "x@one.example", 300, 9, 0, QueueName::Deferred, false},
                        {"BBBBB20", "y@two.example", 100, 10, 0, QueueName::Hold, false},
                        {"CCCCC30", "z@one.example", 200, 1000, 0, QueueName::Active, false}};
    listing.recipients = {{0, "a@far.example", "(Connection refused)"},
                          {0, "b@near.example", "(Connection refused)"},
                          {1, "c@far.example", {}},
                          {2, "d@near.example", {}}};
    return listing;
}

} // namespace

TEST(ArrangeRows, FilterThenSortByRawValues)
{
    const QueueListing listing = threeMessages();
    const struct {
        QString filter;
        int column;
        Qt::SortOrder order;
        QList<qint32> rows;
    } cases[] {
        {{}, -1, Qt::AscendingOrder, {0, 1, 2, 3}},
        {{}, MailQueueModel::Size, Qt::AscendingOrder, {0, 1, 2, 3}},
        {{}, MailQueueModel::Size, Qt::DescendingOrder, {3, 2, 0, 1}},
        {{}, MailQueueModel::Time, Qt::AscendingOrder, {2, 3, 0, 1}},
        {{}, MailQueueModel::Queue, Qt::AscendingOrder, {3, 0, 1, 2}},
        {"FAR", -1, Qt::AscendingOrder, {0, 2}},
        {"one.example", MailQueueModel::Recipient, Qt::DescendingOrder, {3, 1, 0}},
        {"bbbbb", -1, Qt::AscendingOrder, {2}},
        {"refused", -1, Qt::AscendingOrder, {0, 1}},
        {"nowhere", -1, Qt::AscendingOrder, {}},
    };
    for (const auto& test : cases)
        EXPECT_EQ(arrangeRows(listing, test.filter, test.column, test.order), test.rows)
            << test.filter.toStdString() << " " << test.column;
}

TEST(ArrangeRows, SummaryCountsTheShownMessages)
{
    const QueueListing listing = threeMessages();
    EXPECT_EQ(summaryText(summarize(listing, {0, 1, 2, 3})), "3 messages, 4 recipients, 1 deferred, 1 held");
    EXPECT_EQ(summaryText(summarize(listing, {0, 1})), "1 message, 2 recipients, 1 deferred, 0 held");
    EXPECT_EQ(summaryText(summarize(listing, {})), "0 messages, 0 recipients, 0 deferred, 0 held");
    EXPECT_EQ(summaryText(summarize(listing, {2}, true)), "1 of 3 messages, 1 of 4 recipients, 0 deferred, 1 held");
}

TEST(DeleteQuestion, NamesOneMessageOrCountsSeveral)
{
    QueueListing listing = threeMessages();
    listing.messages[1].sender.clear();
    for (const char* address : {"e@x.example", "f@x.example", "g@x.example", "h@x.example", "i@x.example"})
        listing.recipients.append({2, address, {}});
    const std::pair<QList<qint32>, const char*> cases[] {
        {{0}, "Delete the message from x@one.example to a@far.example, b@near.example?"},
        {{1}, "Delete the message from MAILER-DAEMON to c@far.example?"},
        {{2}, "Delete the message from z@one.example to d@near.example, e@x.example, f@x.example, g@x.example, "
              "h@x.example and 1 more?"},
        {{0, 2}, "Delete 2 messages to 8 recipients?"},
    };
    for (const auto& [messages, title] : cases) {
        EXPECT_EQ(deleteQuestion(listing, messages).title, title);
        EXPECT_EQ(deleteQuestion(listing, messages).alternateButton, "Delete");
    }
}

TEST(ShownMessage, FollowedByItsIDOrAfterARequeueByWhatItCarries)
{
    const QueueListing before = threeMessages();
    ShownMessage shown = shownMessage(before, 0, "Subject: probe");
    QueueListing requeued = before;
    requeued.messages[0].queueID = "DDDDD40";
    requeued.messages[0].size = 420; // Postfix adds a header
    QueueListing otherRecipients = requeued;
    otherRecipients.recipients[1].address = "zz@near.example";
    QueueListing otherArrival = requeued;
    otherArrival.messages[0].arrival += 1;
    const struct {
        const char* name;
        const QueueListing& listing;
        bool requeueAsked;
        qint32 found;
    } cases[] {
        {"same ID", before, false, 0},
        {"new ID, no requeue asked", requeued, false, -1},
        {"new ID after a requeue", requeued, true, 0},
        {"other recipients", otherRecipients, true, -1},
        {"other arrival", otherArrival, true, -1},
        {"gone", QueueListing {}, true, -1},
    };
    for (const auto& c : cases) {
        shown.requeueAsked = c.requeueAsked;
        EXPECT_EQ(findShownMessage(c.listing, shown), c.found) << c.name;
    }
    shown.requeueAsked = true;
    EXPECT_TRUE(shownMessageText(shown, false).endsWith("Postfix does not list it under a new queue ID yet."));
}

TEST(MailQueueModelTest, ANewListingIsOneResetAndKeepsTheSelectedRows)
{
    MailQueueModel model;
    model.setListing(threeMessages());
    model.selectionModel()->select(model.index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserts(&model, &QAbstractItemModel::rowsInserted);
    QueueListing next = threeMessages();
    std::swap(next.recipients[0], next.recipients[3]);
    model.setListing(next);
    EXPECT_EQ(resets.size(), 1);
    EXPECT_EQ(inserts.size(), 0);
    EXPECT_EQ(model.selectionIndexes(), QList<int> {0});
    EXPECT_EQ(model.selectedQueueIDs(), QStringList {"CCCCC30*"});
    EXPECT_EQ(model.data(model.index(1, MailQueueModel::Remarks), Qt::ToolTipRole), "(Connection refused)");
    EXPECT_EQ(model.data(model.index(1, MailQueueModel::Size), MailQueueModel::SortRole), 9);
}

TEST(MailQueueModelTest, SelectedMessagesStaySelectedWholeAndInRuns)
{
    MailQueueModel model;
    model.setListing(threeMessages());
    const struct {
        QList<int> clicked;
        QList<int> selected; // every recipient of the clicked rows' messages
        QList<int> selectedAfter; // after the first and last recipient swap places
        qsizetype ranges;
    } cases[] {
        {{0, 1, 2, 3}, {0, 1, 2, 3}, {0, 1, 2, 3}, 1},
        {{1, 2}, {0, 1, 2}, {1, 2, 3}, 1},
        {{3}, {3}, {0}, 1},
        {{1}, {0, 1}, {1, 3}, 2},
        {{}, {}, {}, 0},
    };
    for (const auto& c : cases) {
        model.setListing(threeMessages());
        model.selectionModel()->clearSelection();
        for (int row : c.clicked)
            model.selectionModel()->select(model.index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        EXPECT_EQ(model.selectionIndexes(), c.selected) << c.clicked.size();
        QueueListing next = threeMessages();
        std::swap(next.recipients[0], next.recipients[3]);
        model.setListing(next);
        EXPECT_EQ(model.selectionIndexes(), c.selectedAfter) << c.clicked.size();
        EXPECT_EQ(model.selectionModel()->selection().size(), c.ranges) << c.clicked.size();
    }
}

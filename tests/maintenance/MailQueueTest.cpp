#include "maintenance/MailQueue.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace brevane;

namespace {

// A captured listing as the privileged runner hands it over: the last
// character (the final line feed) dropped.
QString capturedListing(const char* name)
{
    QFile file(QStringLiteral(MAINTENANCE_TEST_DATA "/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        ADD_FAILURE() << "missing test data " << name;
    QString text = QString::fromUtf8(file.readAll());
    text.chop(1);
    return text;
}

QString field(const Row& row, const char* key)
{
    return row.value(QLatin1String(key)).toString();
}

const Row* rowFor(const Rows& rows, const QString& recipient)
{
    for (const Row& row : rows) {
        if (field(row, "recipient") == recipient)
            return &row;
    }
    ADD_FAILURE() << "no row for " << recipient.toStdString();
    return nullptr;
}

const QString remoteOneRemark = QStringLiteral(
    "(Host or domain name not found. Name service error for name=remote-one.example type=MX: Host not found, "
    "try again)");

} // namespace

TEST(ParseMailQueue, TwoMessagesGiveOneRowPerRecipientWithTheRemarkOnBoth)
{
    const Rows rows = parseMailQueue(capturedListing("postqueue-two-messages.txt"));
    ASSERT_EQ(rows.size(), 3);

    for (const char* recipient : {"ben@remote-one.example", "bob@remote-one.example"}) {
        const Row* row = rowFor(rows, QLatin1String(recipient));
        ASSERT_TRUE(row);
        EXPECT_EQ(field(*row, "queueID"), "C17343F");
        EXPECT_EQ(field(*row, "size"), "255");
        EXPECT_EQ(field(*row, "sender"), "alice@probe.local");
        EXPECT_EQ(field(*row, "remarks"), remoteOneRemark);
    }
    const Row* active = rowFor(rows, QStringLiteral("frank@slow.example"));
    ASSERT_TRUE(active);
    EXPECT_EQ(field(*active, "queueID"), "C391A42*");
    EXPECT_EQ(field(*active, "sender"), "root@probe.local");
    EXPECT_EQ(field(*active, "remarks"), "");
    EXPECT_EQ(active->size(), 6);
}

TEST(ParseMailQueue, PaddedDayOfMonthComesOutWithSingleSpaces)
{
    const Rows rows = parseMailQueue(capturedListing("postqueue-two-messages.txt"));
    ASSERT_FALSE(rows.isEmpty());
    EXPECT_EQ(field(rows.first(), "time"), "Tue Dec 8 01:11:06");
}

TEST(ParseMailQueue, RemarksApplyUntilReplacedAndNeverCarryOver)
{
    const Rows rows = parseMailQueue(capturedListing("postqueue-marks.txt"));
    ASSERT_EQ(rows.size(), 8);

    // A remark between two recipients belongs to the second one only.
    EXPECT_EQ(field(*rowFor(rows, "dave@refused.example"), "remarks"),
              "(connect to 127.0.0.1[127.0.0.1]:2627: Connection refused)");
    EXPECT_EQ(field(*rowFor(rows, "gina@slow.example"), "remarks"), "(reason unavailable)");
    // The next message has no remark line of its own.
    EXPECT_EQ(field(*rowFor(rows, "frank@slow.example"), "remarks"), "");
    EXPECT_EQ(field(*rowFor(rows, "bob@remote-one.example"), "remarks"), remoteOneRemark);
}

TEST(ParseMailQueue, StatusMarksStayInTheQueueID)
{
    const Rows rows = parseMailQueue(capturedListing("postqueue-marks.txt"));
    EXPECT_EQ(field(*rowFor(rows, "gina@slow.example"), "queueID"), "14A7D4B*");
    EXPECT_EQ(field(*rowFor(rows, "hal@remote-five.example"), "queueID"), "17EE451#");
    EXPECT_EQ(field(*rowFor(rows, "ivy@remote-six.example"), "queueID"), "19A4C56!#");
    EXPECT_EQ(field(*rowFor(rows, "erin@remote-four.example"), "queueID"), "163254D!");
    EXPECT_EQ(field(*rowFor(rows, "bob@remote-one.example"), "queueID"), "C17343F");
}

TEST(ParseMailQueue, EmptyQueueAndShortOutputsGiveNoRows)
{
    EXPECT_TRUE(parseMailQueue(capturedListing("postqueue-empty.txt")).isEmpty());
    EXPECT_TRUE(parseMailQueue(QString()).isEmpty());
    EXPECT_TRUE(parseMailQueue(QStringLiteral("Mail queue is empty\n")).isEmpty());
    // Two lines: a header and what would be a message, but no summary.
    EXPECT_TRUE(parseMailQueue(QStringLiteral("-Queue ID-\nAB12 1 Tue Dec 8 00:00:00 a@b")).isEmpty());
}

TEST(ParseMailQueue, ShortHeaderSkipsItsMessageAndTheWalkGoesOn)
{
    QString listing = capturedListing("postqueue-marks.txt");
    const QString header = QStringLiteral("C17343F         255 Tue Dec  8 01:11:06  alice@probe.local");
    ASSERT_TRUE(listing.contains(header));
    listing.replace(header, QStringLiteral("C17343F         255 Tue Dec"));

    const Rows rows = parseMailQueue(listing);
    ASSERT_EQ(rows.size(), 6);
    for (const Row& row : rows)
        EXPECT_NE(field(row, "queueID"), "C17343F");
    // Messages after the damaged one are still read in full.
    EXPECT_EQ(field(*rowFor(rows, "erin@remote-four.example"), "time"), "Tue Dec 8 01:11:07");
}

TEST(ParseMailQueue, LinesOutsideTheLayoutNeverAbort)
{
    const QString odd = QStringLiteral("head\n(\n   \nX\n (only a remark)\n\tY 1 2 3 4 5 6\n \nZ\nsummary");
    const Rows rows = parseMailQueue(odd);
    // "(" and "X" cannot start a row; the tab line is a header with a blank
    // recipient line after it.
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(field(rows.first(), "queueID"), "\tY");
    EXPECT_EQ(field(rows.first(), "recipient"), "");
}

TEST(MailqCommands, BareIdsDropTheStatusMarksOnly)
{
    EXPECT_EQ(bareQueueID("19A4C56!#"), "19A4C56");
    EXPECT_EQ(bareQueueID("19A4C56"), "19A4C56");
    EXPECT_EQ(bareQueueID("4Qx1Zs0f7Qz9sKy*"), "4Qx1Zs0f7Qz9sKy");
    EXPECT_EQ(bareQueueID("163254D!"), "163254D");
    EXPECT_EQ(bareQueueID("17EE451#"), "17EE451");
    EXPECT_EQ(bareQueueID("!"), "");
}

TEST(MailqCommands, ListAndFlushVectors)
{
    EXPECT_EQ(mailqListCommand(), (QStringList {"/usr/sbin/postqueue", "-p"}));
    EXPECT_EQ(mailqFlushCommand(), (QStringList {"/usr/sbin/postqueue", "-f"}));
}

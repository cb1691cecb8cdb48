#include "shell/Archive.h"

#include <gtest/gtest.h>

using namespace brevane;

TEST(KeyedArchive, RoundTripsEveryValueKind)
{
    KeyedArchiver archiver;
    archiver.encodeString("text", QString::fromUtf8("line one\nlïne two"));
    archiver.encodeInteger("state", -1);
    archiver.encodeInteger("big", 2147483647);
    archiver.encodeData("blob", QByteArray("\x00\x01\xFF", 3));
    const QByteArray bytes = archiver.finishEncoding();

    const auto reader = KeyedUnarchiver::open(bytes);
    ASSERT_TRUE(reader.has_value());
    EXPECT_EQ(reader->decodeString("text"), QString::fromUtf8("line one\nlïne two"));
    EXPECT_EQ(reader->decodeInteger("state"), -1);
    EXPECT_EQ(reader->decodeInteger("big"), 2147483647);
    EXPECT_EQ(reader->decodeData("blob"), QByteArray("\x00\x01\xFF", 3));
    EXPECT_FALSE(reader->containsValueForKey("absent"));
    // A value asked for as another kind is not passed off as that kind.
    EXPECT_FALSE(reader->decodeInteger("text").has_value());
    EXPECT_FALSE(reader->decodeString("blob").has_value());
}

TEST(KeyedArchive, EmptyArchiveOpens)
{
    const auto reader = KeyedUnarchiver::open(KeyedArchiver().finishEncoding());
    ASSERT_TRUE(reader.has_value());
    EXPECT_FALSE(reader->containsValueForKey("smartHosts"));
}

TEST(KeyedArchive, RejectsTruncatedGarbageAndForeignArchives)
{
    KeyedArchiver archiver;
    archiver.encodeString("key", "value");
    const QByteArray good = archiver.finishEncoding();

    QString error;
    for (qsizetype cut = 0; cut < good.size(); ++cut) {
        EXPECT_FALSE(KeyedUnarchiver::open(good.left(cut), &error).has_value()) << cut;
        EXPECT_FALSE(error.isEmpty());
    }
    EXPECT_FALSE(KeyedUnarchiver::open("this is not an archive").has_value());
    EXPECT_FALSE(KeyedUnarchiver::open(archiveRows({})).has_value());
}

TEST(RowsArchive, RoundTripsRowsInOrderWithNestedChoiceEntries)
{
    const Rows rows{
        {{"server", "pop.example.com"}, {"protocol", QVariantMap{{"value", "POP3"}}}, {"keep", QVariantMap{{"value", "NO"}}}},
        {{"location", "Office"}, {"authenticate", 1}},
        {},
    };
    const auto back = unarchiveRows(archiveRows(rows));
    ASSERT_TRUE(back.has_value());
    ASSERT_EQ(back->size(), 3);
    EXPECT_EQ(back->at(0).value("server").toString(), "pop.example.com");
    EXPECT_EQ(back->at(0).value("protocol").toMap().value("value").toString(), "POP3");
    EXPECT_EQ(back->at(1).value("authenticate").toInt(), 1);
    EXPECT_TRUE(back->at(2).isEmpty());
}

TEST(RowsArchive, RejectsDamage)
{
    const QByteArray good = archiveRows({{{"a", "b"}}});
    for (qsizetype cut = 0; cut < good.size(); ++cut)
        EXPECT_FALSE(unarchiveRows(good.left(cut)).has_value()) << cut;
    KeyedArchiver keyed;
    EXPECT_FALSE(unarchiveRows(keyed.finishEncoding()).has_value());
    EXPECT_FALSE(unarchiveRows(QByteArray(64, '\xFF')).has_value());
}

#include "shell/TextHelpers.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace brevane;

TEST(SubString, ExtractsQuotedValueBetweenTokens)
{
    const QString line = QStringLiteral("poll \"mail.example.com\"  protocol POP3 timeout 45");
    EXPECT_EQ(subString(line, "poll ", " "), "mail.example.com");
    EXPECT_EQ(subString(line, " PROTOCOL ", " "), "POP3");
}

TEST(SubString, DollarTokenIsAPresenceTestAnsweringTheCallersToken)
{
    EXPECT_EQ(subString("user x password y KEEP", " keep", "$"), " keep");
    EXPECT_EQ(subString("user x password y fetchall", " keep", "$"), "");
}

TEST(SubString, MissingTokensGiveEmptyText)
{
    EXPECT_EQ(subString("poll host", "via ", " "), "");
    // The start token is found, but no end token follows it.
    EXPECT_EQ(subString("is joe", " is ", " here"), "");
    EXPECT_EQ(subString("", "poll ", " "), "");
}

TEST(SubString, StripsOnlyQuotesAndSpacesAtTheEnds)
{
    EXPECT_EQ(subString("x= \" a\"b \" ;", "x=", ";"), "a\"b");
}

TEST(ContractSpaces, CollapsesEveryRunButKeepsEnds)
{
    EXPECT_EQ(contractSpaces("a    b"), "a b");
    EXPECT_EQ(contractSpaces("  a  b  "), " a b ");
    EXPECT_EQ(contractSpaces("     "), " ");
    EXPECT_EQ(contractSpaces("a\t\tb"), "a\t\tb");
    EXPECT_EQ(contractSpaces(" \t  x \u00e9   "), " \t x \u00e9 ");
    EXPECT_EQ(contractSpaces(""), "");
}

TEST(ConvertLineFeeds, TurnsEachLineFeedIntoACarriageReturn)
{
    EXPECT_EQ(convertLineFeeds("one\ntwo\n"), "one\rtwo\r");
    EXPECT_EQ(convertLineFeeds("a\r\nb"), "a\r\rb");
    EXPECT_EQ(convertLineFeeds("plain"), "plain");
}

TEST(CheckIfUnixPathExists, FollowsLinksAndRejectsDanglingOnes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath("file");
    QFile(file).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QFile::link(file, dir.filePath("good-link")));
    ASSERT_TRUE(QFile::link(dir.filePath("missing"), dir.filePath("dangling-link")));

    EXPECT_TRUE(checkIfUnixPathExists(dir.path()));
    EXPECT_TRUE(checkIfUnixPathExists(file));
    EXPECT_TRUE(checkIfUnixPathExists(dir.filePath("good-link")));
    EXPECT_FALSE(checkIfUnixPathExists(dir.filePath("dangling-link")));
    EXPECT_FALSE(checkIfUnixPathExists(dir.filePath("missing")));
    EXPECT_FALSE(checkIfUnixPathExists(""));
}

TEST(Hexadecimal, EncodesUpperCaseTwoDigitsPerByte)
{
    EXPECT_EQ(hexadecimalRepresentation(QByteArray("\x00\x0F\xA0\xFF", 4)), "000FA0FF");
    EXPECT_EQ(hexadecimalRepresentation({}), "");
}

TEST(Hexadecimal, DecodesLowerCaseAndWhiteSpaceAnywhere)
{
    const QByteArray expected("\x00\x0F\xA0\xFF", 4);
    EXPECT_EQ(dataWithHexadecimalRepresentation("000fa0ff"), expected);
    EXPECT_EQ(dataWithHexadecimalRepresentation("00 0F\nA0FF"), expected);
    EXPECT_EQ(dataWithHexadecimalRepresentation("0 00FA0FF"), expected);
}

TEST(Hexadecimal, RejectsOddInvalidAndEmptyInput)
{
    EXPECT_TRUE(dataWithHexadecimalRepresentation("ABC").isEmpty());
    EXPECT_TRUE(dataWithHexadecimalRepresentation("0G").isEmpty());
    EXPECT_TRUE(dataWithHexadecimalRepresentation("").isEmpty());
    EXPECT_TRUE(dataWithHexadecimalRepresentation("  ").isEmpty());
    EXPECT_TRUE(dataWithHexadecimalRepresentation(QString::fromUtf8("0é")).isEmpty());
}

TEST(Hexadecimal, RoundTripsEveryByteValue)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    EXPECT_EQ(dataWithHexadecimalRepresentation(hexadecimalRepresentation(all)), all);
}

TEST(CompareData, OrdersByHexadecimalDigits)
{
    EXPECT_EQ(compareData(QByteArray("\x10\x00", 2), QByteArray("\xFF", 1)), -1);
    EXPECT_EQ(compareData(QByteArray("\x01", 1), QByteArray("\x01\x02", 2)), -1);
    EXPECT_EQ(compareData(QByteArray("\xAB", 1), QByteArray("\xAB", 1)), 0);
    EXPECT_EQ(compareData(QByteArray("\xAC", 1), QByteArray("\xAB", 1)), 1);
}

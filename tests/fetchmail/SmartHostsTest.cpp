#include "postfix/SmartHosts.h"
#include "shell/TextHelpers.h"

#include "FetchmailRows.h"

#include <gtest/gtest.h>

using namespace brevane;

namespace {

Row host(const QVariantMap& values)
{
    return values;
}

} // namespace

TEST(SmartHostMenu, TitlesFromLocationOrHostName)
{
    const Rows rows{
        host({{"location", "  Office\t"}, {"smartHostName", "smtp.office.example"}}),
        host({{"location", " \t "}, {"smartHostName", "blank-location.example"}}),
        host({{"smartHostName", " relay.example "}}),
        host({{"uID", "nobody"}}),
        host({{"smartHostName", ""}}),
        host({{"location", "Home"}}),
        host({{"location", "Away"}, {"smartHostName", " \t"}}),
    };
    // Rows that name no relay host yet (a new row, a location alone) have nothing to choose.
    EXPECT_EQ(smartHostMenuTitles(rows), (QStringList{"Office", "relay.example"}));
    EXPECT_TRUE(smartHostMenuTitles({}).isEmpty());
}

TEST(SmartHostMenu, ChoosingMatchesUntrimmedValuesFirstRowFirst)
{
    const Rows rows{
        host({{"location", " Office "}, {"smartHostName", "Office"}, {"uID", "first"}}),
        host({{"location", "Office"}, {"smartHostName", "other.example"}, {"uID", "second"}}),
        host({{"location", " Travel "}, {"smartHostName", "travel.example"}}),
    };
    // The trimmed title " Office " -> "Office" meets row 0 only through its host name.
    EXPECT_EQ(smartHostForTitle(rows, "Office")->value("uID").toString(), "first");
    // A trimmed location whose host name differs matches nothing.
    EXPECT_FALSE(smartHostForTitle(rows, "Travel").has_value());
    EXPECT_EQ(smartHostForTitle(rows, "travel.example")->value("location").toString(), " Travel ");
    EXPECT_FALSE(smartHostForTitle(rows, "office").has_value());
    EXPECT_FALSE(smartHostForTitle({}, "Office").has_value());
}

TEST(SmartHostMenu, ChoiceFillsMissingValuesWithEmptyAndOff)
{
    const RelayHostChoice bare = relayHostChoice(host({{"smartHostName", "[relay.example]:587"}}));
    EXPECT_EQ(bare.relayhost, "[relay.example]:587");
    EXPECT_EQ(bare.userID, "");
    EXPECT_EQ(bare.password, "");
    EXPECT_EQ(bare.authenticate, 0);
    EXPECT_EQ(bare.requireSSL, 0);

    const RelayHostChoice full = relayHostChoice(host(
        {{"smartHostName", "relay.example"}, {"uID", "me"}, {"pword", "pw"}, {"authenticate", 1}, {"requireSSL", 1}}));
    EXPECT_EQ(full.userID, "me");
    EXPECT_EQ(full.password, "pw");
    EXPECT_EQ(full.authenticate, 1);
    EXPECT_EQ(full.requireSSL, 1);
}

TEST(SmartHostsFile, TwoRecordsSurviveInOrder)
{
    const Rows rows{
        host({{"location", "Office"}, {"smartHostName", "smtp.office.example"}, {"uID", "me"}, {"pword", "s3cr'et"},
              {"authenticate", 1}, {"requireSSL", 0}}),
        host({{"location", "Home"}, {"smartHostName", "relay.home.example"}, {"authenticate", 0}, {"requireSSL", 1}}),
    };
    const QString text = smartHostsFileText(rows);
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]+$").match(text).hasMatch());

    // The runner hands the file back without its newline; a kept one does no harm.
    for (const QString& read : {text, text + "\n"}) {
        const Rows back = smartHostsFromFileText(read);
        ASSERT_EQ(back.size(), 2);
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(back.at(i).keys(), rows.at(i).keys());
            for (const QString& key : rows.at(i).keys())
                EXPECT_EQ(back.at(i).value(key).toString(), rows.at(i).value(key).toString()) << key.toStdString();
        }
    }
    EXPECT_TRUE(smartHostsFromFileText(smartHostsFileText({})).isEmpty());
}

TEST(SmartHostsFile, DamagedFilesGiveNoRows)
{
    KeyedArchiver withoutKey;
    withoutKey.encodeData("other", archiveRows({host({{"location", "x"}})}));
    KeyedArchiver wrongKind;
    wrongKind.encodeString("smartHosts", "not a blob");
    KeyedArchiver notRows;
    notRows.encodeData("smartHosts", QByteArray("\x01\x02\x03", 3));
    const QString good = smartHostsFileText({host({{"location", "x"}})});

    for (const QString& text : {hexadecimalRepresentation(withoutKey.finishEncoding()),
                                hexadecimalRepresentation(wrongKind.finishEncoding()),
                                hexadecimalRepresentation(notRows.finishEncoding()), QString(), QString("\n"),
                                QString("ZZ"), good.left(good.size() - 1), good.left(good.size() - 2),
                                hexadecimalRepresentation(archiveRows({host({{"location", "x"}})}))})
        EXPECT_TRUE(smartHostsFromFileText(text).isEmpty()) << text.toStdString();
}

TEST(SmartHostsFile, Commands)
{
    const Rows rows{host({{"location", "x"}})};
    EXPECT_TRUE(writeSmartHostsArguments(rows).at(2).contains("echo '" + smartHostsFileText(rows) + "' > "));
    EXPECT_EQ(readSmartHostsArguments(),
              (QStringList{"/bin/sh", "-c", "cat /usr/local/tarnwick/postfix/LaunchDaemons/.smartHosts"}));
}

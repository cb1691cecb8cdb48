#include "filtering/FilteringHealth.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace brevane::filtering;

TEST(FilteringHealth, OnlyAWholeNegotiationReplyCounts)
{
    const QByteArray sent = optionNegotiation();
    ASSERT_EQ(sent.size(), 17);
    EXPECT_EQ(sent.left(5), QByteArray("\0\0\0\x0dO", 5));
    const QByteArray reply = QByteArray("\0\0\0\x0dO\0\0\0\x06\0\0\0\x01\0\0\0\0", 17);
    const std::vector<std::pair<QByteArray, bool>> cases {
        { reply, true },
        { reply + "more", true },
        { reply.left(16), false }, // cut short
        { QByteArray("\0\0\0\x0dX", 5) + reply.mid(5), false }, // another command
        { QByteArray("\0\0\0\x01O", 5), false }, // too short to be one
        { QByteArray("\x7f\0\0\0O", 5), false }, // absurd length
        { "PONG", false },
        { {}, false },
    };
    for (const auto& [bytes, expected] : cases)
        EXPECT_EQ(isOptionNegotiationReply(bytes), expected) << bytes.toHex().toStdString();
    // Nothing listens on a port of the discard range here.
    EXPECT_FALSE(milterAnswers(9, 200));
    EXPECT_FALSE(clamdAnswersPing(9, 200));
}

TEST(FilteringHealth, TheLightIsGreenOnlyWhenEveryFilterInUseAnswers)
{
    struct Case {
        bool spam, virus, milter, clamd, lmtp, green;
        const char* says;
    };
    for (const Case& c : std::vector<Case> { { false, false, true, true, true, false, "off" },
             { true, false, false, true, true, false, "rspamd does not answer" },
             { true, false, true, false, true, true, "filtered for spam." },
             { true, true, true, false, true, false, "clamd does not answer" },
             { true, true, false, false, true, false, "rspamd does not answer" },
             { true, true, true, true, false, false, "waits in the queue" },
             { true, true, true, true, true, true, "spam and viruses" } }) {
        const LightState light = filteringLight(c.spam, c.virus, c.milter, c.clamd, c.lmtp);
        EXPECT_EQ(light.green, c.green) << c.says;
        EXPECT_TRUE(light.text.contains(QLatin1String(c.says))) << light.text.toStdString();
    }
    for (const auto& [line, greets] :
        std::vector<std::pair<QString, bool>> { { "220 mail Dovecot ready.\r\n", true }, { "220-mail\r\n", true },
            { "220", true }, { "2200 x", false }, { "421 4.3.2 shutting down", false }, { "", false } })
        EXPECT_EQ(isLmtpGreeting(line), greets) << line.toStdString();
}

TEST(FilteringHealth, DatabaseMissingOrOlderThanAWeekIsSaid)
{
    const QDateTime now = QDateTime::fromString("2026-12-09T12:00:00Z", Qt::ISODate);
    const auto daysAgo = [&now](double days) { return now.addSecs(qint64(-days * 86400)); };
    const std::vector<std::pair<QList<DatabaseFile>, const char*>> cases {
        { {}, "missing" },
        { { { "daily.cld", daysAgo(1) }, { "main.cvd", daysAgo(300) } }, "" },
        { { { "daily.cld", daysAgo(6.9) } }, "" },
        { { { "daily.cld", daysAgo(8) }, { "main.cvd", daysAgo(300) } }, "8 days old" },
        { { { "bytecode.cvd", daysAgo(40) } }, "40 days old" },
    };
    for (const auto& [files, says] : cases) {
        const QString warning = databaseWarning(files, now);
        EXPECT_EQ(warning.isEmpty(), *says == 0) << warning.toStdString();
        EXPECT_TRUE(warning.contains(QLatin1String(says))) << warning.toStdString();
    }

    // Only signature files count.
    QTemporaryDir folder;
    for (const char* name : { "daily.cld", "local.ndb", "freshclam.dat", "clamav-1234.tmp" }) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QStringList names;
    for (const DatabaseFile& file : databaseFiles(folder.path()))
        names << file.name;
    names.sort();
    EXPECT_EQ(names, (QStringList { "daily.cld", "local.ndb" }));
}

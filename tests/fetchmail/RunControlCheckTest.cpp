#include "FetchmailRows.h"

#include "fetchmail/RunControlCheck.h"
#include "fetchmail/RunControlWriter.h"

#include <gtest/gtest.h>

using namespace brevane;

namespace {

Row safeRow()
{
    return fetchmailRow("mail.example.com", "POP3", "YES", "NO");
}

// Row 2 of a table whose first row is safe, with one value replaced.
std::optional<QString> writeWithSecondRow(const QString& key, const QVariant& value, QString* error)
{
    Row hostile = safeRow();
    hostile.insert(key, value);
    return fetchmailRunControl({safeRow(), hostile}, "60", "45", error);
}

} // namespace

TEST(RunControlCheck, QuotesBackslashesAndLineBreaksInQuotedValuesAreRefused)
{
    const struct {
        const char* key;
        const char* label;
    } fields[] = {{"server", "server"},      {"via", "via"},          {"there", "remote user"},
                  {"password", "password"},  {"here", "local user"}};
    const struct {
        QString value;
        const char* why;
    } values[] = {
        {"x\" mda \"/bin/sh -c id", "holds a double quote"},
        {"x\\\"", "holds a double quote"},
        {"C:\\x41", "holds a backslash"},
        {"x\npoll evil.example", "holds a line break"},
        {"x\rmda", "holds a line break"},
        {QString("x") + QChar(0) + "y", "holds a NUL character"},
    };
    for (const auto& field : fields) {
        for (const auto& value : values) {
            QString error;
            EXPECT_FALSE(writeWithSecondRow(field.key, value.value, &error).has_value()) << field.key;
            const QString server = QString(field.key) == "server" ? value.value.simplified() : "mail.example.com";
            EXPECT_EQ(error, QString("Row 2 (%1): the %2 %3. Nothing was written.").arg(server, field.label, value.why))
                << error.toStdString();
        }
    }
}

TEST(RunControlCheck, ListsMustBeHostNames)
{
    for (const char* key : {"aka", "localdomains"}) {
        for (const char* list : {"a.example, mda", "a.example preconnect", "Is", "x.example \"mda\"", "a/b",
                                 "a.example;mda", "123", "*", "a.example\nmda", ",", "#x"}) {
            QString error;
            EXPECT_FALSE(writeWithSecondRow(key, list, &error).has_value()) << key << " " << list;
            EXPECT_TRUE(error.startsWith("Row 2 (mail.example.com): the ")) << error.toStdString();
        }
        for (const char* list : {"mda.example.com", "a-b.example,c.example", "10.0.0.1", "localhost", " x.example ,  y "}) {
            QString error;
            EXPECT_TRUE(writeWithSecondRow(key, list, &error).has_value()) << key << " " << list << error.toStdString();
        }
    }
    QString offender;
    EXPECT_FALSE(isHostNameList("ok.example, keep", &offender));
    EXPECT_EQ(offender, "keep");
    EXPECT_FALSE(isHostNameList(" , ", &offender));
    EXPECT_EQ(offender, "");
}

TEST(RunControlCheck, ChoicesMustComeFromTheirLists)
{
    QString error;
    EXPECT_FALSE(writeWithSecondRow("protocol", choiceEntry("RPOP"), &error).has_value());
    EXPECT_EQ(error, "Row 2 (mail.example.com): the protocol \"RPOP\" is not one of POP3, IMAP, AUTO, POP2, APOP, "
                     "SDPS, KPOP. Nothing was written.");
    EXPECT_FALSE(writeWithSecondRow("protocol", choiceEntry("POP3 mda x"), &error).has_value());
    EXPECT_FALSE(writeWithSecondRow("protocol", QVariant(), &error).has_value());
}

// Values a document may hold that cannot add a word or a line to the file.
TEST(RunControlCheck, WhatCannotAddADirectiveIsWritten)
{
    for (const auto& [key, value, ending] : std::initializer_list<std::tuple<const char*, QVariant, const char*>>{
             {"keep", choiceEntry("yes"), "here fetchall sslproto ''\n"},
             {"keep", QVariant(), "here fetchall sslproto ''\n"},
             {"ssl", choiceEntry("ON"), "here keep sslproto ''\n"},
             {"password", QString("p") + QChar(0x1b) + "[0m" + QChar(0x7f), "here keep sslproto ''\n"}}) {
        QString error;
        const auto text = writeWithSecondRow(key, value, &error);
        ASSERT_TRUE(text.has_value()) << key << ": " << error.toStdString();
        EXPECT_TRUE(text->endsWith(QLatin1String(ending))) << key;
    }
}

TEST(RunControlCheck, IncompleteRowsAreNotExamined)
{
    Row hostile = safeRow();
    hostile.insert("password", "x\" mda \"id");
    hostile.insert("here", QString());
    QString error;
    const auto text = fetchmailRunControl({hostile, safeRow()}, "60", "45", &error);
    ASSERT_TRUE(text.has_value()) << error.toStdString();
    EXPECT_FALSE(text->contains("mda"));
}

TEST(RunControlCheck, SafeValuesAreWrittenExactlyAsBefore)
{
    Row row = safeRow();
    row.insert("there", "o'brien %1 #x");
    row.insert("password", "p\tä#;=,:*%2$");
    row.insert("here", "local user");
    row.insert("via", "via.example");
    QString error;
    const auto text = fetchmailRunControl({row}, "60", "45", &error);
    ASSERT_TRUE(text.has_value()) << error.toStdString();
    EXPECT_EQ(*text, "set daemon 60\nset logfile /var/log/fetchmail.log\n" + fetchmailPollLine(row, "45"));
    EXPECT_TRUE(text->contains("user \"o'brien %1 #x\" password \"p\tä#;=,:*%2$\" is \"local user\" here keep sslproto ''\n"));
    EXPECT_EQ(fetchmailRowsProblem({row, newFetchmailRow()}), "");
}

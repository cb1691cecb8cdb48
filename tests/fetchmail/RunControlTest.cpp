#include "FetchmailRows.h"

#include "fetchmail/EditingRule.h"
#include "fetchmail/PollingIntervals.h"
#include "fetchmail/RunControlReader.h"
#include "fetchmail/RunControlWriter.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

using namespace brevane;

namespace {

const QString header = QStringLiteral("set daemon 300\nset logfile /var/log/fetchmail.log\n");

QString written(const Rows& rows, const QString& timeout = QStringLiteral("45"))
{
    QString error;
    const auto text = fetchmailRunControl(rows, QStringLiteral("300"), timeout, &error);
    EXPECT_TRUE(text.has_value()) << error.toStdString();
    return text.value_or(QString());
}

} // namespace

TEST(RunControlWriter, PlainRowKeepsTheSpacesOfEmptyParts)
{
    const Row row = fetchmailRow("mail.example.com", "IMAP", "NO", "NO");
    EXPECT_EQ(written({row}), header
                                  + "poll \"mail.example.com\"  protocol IMAP timeout 45    user \"remote\" password "
                                    "\"secret\" is \"joe\" here fetchall sslproto ''\n");
}

TEST(RunControlWriter, FullRowFillsEveryPlace)
{
    Row row = fetchmailRow("\t mail.example.com ", "POP3", "YES", "YES");
    row.insert("via", "  10.0.0.7 ");
    row.insert("aka", "a.example,b.example");
    row.insert("localdomains", " example.org ");
    EXPECT_EQ(written({row}), header
                                  + "poll \"mail.example.com\" via \"10.0.0.7\" protocol POP3 timeout 45 uidl "
                                    "aka a.example b.example localdomains example.org user \"remote\" password "
                                    "\"secret\" is \"joe\" here keep ssl\n");
}

// fetchmail 6.4 would try STARTTLS on a server without it and give up.
TEST(RunControlWriter, NoSslTurnsStartTlsOffAndStillReadsBackAsNo)
{
    for (const char* protocol : {"POP3", "IMAP"}) {
        for (const char* ssl : {"YES", "NO"}) {
            const QString text = written({fetchmailRow("h.example", protocol, "NO", ssl)});
            const bool yes = QString(ssl) == "YES";
            EXPECT_TRUE(text.endsWith(yes ? " fetchall ssl\n" : " fetchall sslproto ''\n")) << text.toStdString();
            EXPECT_EQ(text.contains("sslproto"), !yes) << protocol << " " << ssl;
            const Rows back = parseFetchmailRunControl(text);
            ASSERT_EQ(back.size(), 1);
            EXPECT_EQ(back.at(0).value("ssl").toMap(), yesNoChoices().at(yes ? 0 : 1)) << protocol << " " << ssl;
        }
    }
}

TEST(RunControlWriter, UidlOnlyForPop3AndAutoWithKeep)
{
    for (const char* protocol : {"POP3", "IMAP", "AUTO", "APOP", "KPOP"}) {
        for (const char* keep : {"YES", "NO"}) {
            const QString line = written({fetchmailRow("h.example", protocol, keep, "NO")});
            const bool expectUidl = QString(keep) == "YES" && (QString(protocol) == "POP3" || QString(protocol) == "AUTO");
            EXPECT_EQ(line.contains(" uidl "), expectUidl) << protocol << " " << keep;
            EXPECT_EQ(line.contains(" here keep "), QString(keep) == "YES") << protocol << " " << keep;
            EXPECT_EQ(line.contains(" here fetchall "), QString(keep) == "NO") << protocol << " " << keep;
        }
    }
}

TEST(RunControlWriter, MultiDropUserStaysBare)
{
    const QString text = written({fetchmailRow("h.example", "POP3", "NO", "NO", "*")});
    EXPECT_TRUE(text.contains("password \"secret\" is * here fetchall sslproto ''\n"));
    const Rows back = parseFetchmailRunControl(text);
    ASSERT_EQ(back.size(), 1);
    EXPECT_EQ(back.at(0).value("here").toString(), "*");
}

TEST(RunControlWriter, AkaNamesWithOrWithoutSpacesComeOutAlike)
{
    for (const char* typed : {"a.example,b.example,c.example", "a.example, b.example,  c.example"}) {
        Row row = fetchmailRow("h.example", "IMAP", "NO", "NO");
        row.insert("aka", typed);
        const QString text = written({row});
        EXPECT_TRUE(text.contains("timeout 45  aka a.example b.example c.example  user ")) << typed;
        const Rows back = parseFetchmailRunControl(text);
        ASSERT_EQ(back.size(), 1);
        EXPECT_EQ(back.at(0).value("aka").toString(), "a.example, b.example, c.example") << typed;
        EXPECT_EQ(back.at(0).value("localdomains").toString(), "");
    }
}

TEST(RunControlWriter, IncompleteRowsAreLeftOutSilently)
{
    Rows rows;
    for (const char* key : {"server", "there", "password", "here"}) {
        Row row = fetchmailRow("h.example", "POP3", "NO", "NO");
        row.insert(key, QString());
        rows.append(row);
    }
    Row blankServer = fetchmailRow(" \t ", "POP3", "NO", "NO");
    rows.append(blankServer);
    EXPECT_EQ(written(rows), header);
    EXPECT_EQ(written({}), header);
}

TEST(PollingIntervals, ReadTheLeadingInteger)
{
    for (const char* field : {"0", "", "abc", " \t", "-0", "+0"})
        EXPECT_EQ(pollingIntervalText(field), "60") << field;
    EXPECT_EQ(pollingIntervalText(" \t+15s"), "15");
    EXPECT_EQ(pollingIntervalText("-5"), "-5");
    EXPECT_EQ(pollingIntervalText("007"), "7");
    EXPECT_EQ(pollingIntervalText("99999999999"), "2147483647");
    EXPECT_EQ(pollingIntervalText("-99999999999"), "-2147483648");
    EXPECT_EQ(timeoutText(""), "0");
    EXPECT_EQ(timeoutText("0"), "0");
    EXPECT_EQ(timeoutText(" 45 "), "45");
    EXPECT_EQ(timeoutText("\n45"), "0"); // only spaces and tabs are trimmed
}

TEST(RunControlReader, ReadsBackWhatWasWritten)
{
    Row first = fetchmailRow("pop.example.com", "AUTO", "YES", "NO");
    first.insert("localdomains", "example.org,example.net");
    Row second = fetchmailRow("imap.example.com", "KPOP", "NO", "YES", "*");
    second.insert("via", "relay.example.com");
    second.insert("aka", "imap.example.org");
    second.insert("localdomains", "example.org");

    const Rows back = parseFetchmailRunControl(written({first, second}));
    ASSERT_EQ(back.size(), 2);
    EXPECT_EQ(QStringList(back.at(0).keys()), [] { QStringList k = fetchmailRowKeys(); k.sort(); return k; }());

    Row expectFirst = first;
    expectFirst.insert("localdomains", "example.org, example.net");
    EXPECT_EQ(back.at(0), expectFirst);
    EXPECT_EQ(back.at(1), second);
}

TEST(RunControlReader, EmptyAkaWithLocalDomainsReadsBackEmpty)
{
    Row row = fetchmailRow("h.example", "IMAP", "NO", "NO");
    row.insert("localdomains", "one.example,two.example");
    const Rows back = parseFetchmailRunControl(written({row}));
    ASSERT_EQ(back.size(), 1);
    EXPECT_EQ(back.at(0).value("aka").toString(), "");
    EXPECT_EQ(back.at(0).value("localdomains").toString(), "one.example, two.example");
}

TEST(RunControlReader, KeepAndSslAreWordsOfTheirOwn)
{
    Row row = fetchmailRow("h.example", "IMAP", "NO", "NO");
    row.insert("aka", "ssl.example.com,keep.example.com");
    row.insert("localdomains", "sslmail.example");
    row.insert("password", "keep ssl");
    for (const char* flag : {"NO", "YES"}) {
        row.insert("keep", choiceEntry(flag));
        row.insert("ssl", choiceEntry(flag));
        const Rows back = parseFetchmailRunControl(written({row}));
        ASSERT_EQ(back.size(), 1);
        const QVariantMap expected = yesNoChoices().at(QString(flag) == "YES" ? 0 : 1);
        EXPECT_EQ(back.at(0).value("keep").toMap(), expected) << flag;
        EXPECT_EQ(back.at(0).value("ssl").toMap(), expected) << flag;
    }

    // A hand-edited file may spell them in capitals.
    const Rows upper = parseFetchmailRunControl(
        "poll \"h.example\"  protocol IMAP timeout 4     user \"u\" password \"p\" is \"l\" here KEEP SSL\n");
    ASSERT_EQ(upper.size(), 1);
    EXPECT_EQ(upper.at(0).value("keep").toMap(), yesNoChoices().at(0));
    EXPECT_EQ(upper.at(0).value("ssl").toMap(), yesNoChoices().at(0));
}

// The table is read back after every write and written again on the next
// apply: a quoted value must come back whole, blanks and all.
TEST(RunControlReader, QuotedValuesComeBackWithTheirBlanks)
{
    Row row = fetchmailRow("h.example", "POP3", "YES", "NO", " local user ");
    row.insert("there", "remote user is here");
    row.insert("password", " pass word  keep ");
    const Rows back = parseFetchmailRunControl(written({row}));
    ASSERT_EQ(back.size(), 1);
    EXPECT_EQ(back.at(0), row);
    EXPECT_EQ(written(back), written({row}));
}

// Or the next apply would write an aka list the user never typed.
TEST(RunControlReader, AkaAndLocalDomainsInsideQuotesAreNoLists)
{
    Row row = fetchmailRow("h.example", "POP3", "NO", "NO");
    row.insert("there", "u localdomains v user w");
    row.insert("password", "x aka battery user y");
    const Rows back = parseFetchmailRunControl(written({row}));
    ASSERT_EQ(back.size(), 1);
    EXPECT_EQ(back.at(0), row);
}

TEST(RunControlReader, UnknownProtocolReadsAsPop3)
{
    const Rows back = parseFetchmailRunControl(
        "poll \"h.example\"  protocol RPOP timeout 4     user \"u\" password \"p\" is \"l\" here fetchall \n");
    ASSERT_EQ(back.size(), 1);
    EXPECT_EQ(back.at(0).value("protocol").toMap(), protocolChoices().at(0));
}

TEST(RunControlReader, OnlyLinesEndedByANewlineCount)
{
    const QString line = "poll \"h.example\"  protocol IMAP timeout 4     user \"u\" password \"p\" is \"l\" here keep ";
    EXPECT_EQ(parseFetchmailRunControl(line).size(), 0);
    EXPECT_EQ(parseFetchmailRunControl(line + "\n").size(), 1);
    EXPECT_EQ(parseFetchmailRunControl(line + "\n" + line).size(), 1);
    EXPECT_TRUE(parseFetchmailRunControl("").isEmpty());
    EXPECT_TRUE(parseFetchmailRunControl(header + "\n\n").isEmpty());
}

TEST(RunControlReader, RunsCatOnlyWhenTheFileExists)
{
    QList<QStringList> runs;
    const QString file = written({fetchmailRow("h.example", "IMAP", "YES", "YES")});
    const CommandRunner runner = [&](const QStringList& arguments) {
        runs.append(arguments);
        return file;
    };
    EXPECT_TRUE(readFetchmailAccounts(runner, false).isEmpty());
    EXPECT_TRUE(runs.isEmpty());

    const Rows rows = readFetchmailAccounts(runner, true);
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs.at(0), (QStringList{"/bin/sh", "-c", "cat /usr/local/tarnwick/postfix/LaunchDaemons/.fetchmailrc"}));
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.at(0).value("keep").toMap(), yesNoChoices().at(0));
}

TEST(FetchmailAccounts, NewRowIsCompleteAndWritable)
{
    const Row row = newFetchmailRow();
    QStringList keys = fetchmailRowKeys();
    keys.sort();
    EXPECT_EQ(QStringList(row.keys()), keys);
    EXPECT_EQ(row.value("protocol").toMap(), protocolChoices().at(0));
    EXPECT_EQ(row.value("keep").toMap(), yesNoChoices().at(1));
    EXPECT_EQ(row.value("ssl").toMap(), yesNoChoices().at(1));
    EXPECT_EQ(row.value("there").toString(), "remoteUserID");
    EXPECT_EQ(row.value("here").toString(), "localUserID");
    EXPECT_TRUE(QRegularExpression("^[a-z]{8}$").match(row.value("password").toString()).hasMatch());
    EXPECT_EQ(parseFetchmailRunControl(written({row})), Rows{row});
}

TEST(FetchmailAccounts, ChoiceListsInOrder)
{
    QStringList protocols;
    for (const Row& entry : protocolChoices())
        protocols.append(choiceValue(entry));
    EXPECT_EQ(protocols, (QStringList{"POP3", "IMAP", "AUTO", "POP2", "APOP", "SDPS", "KPOP"}));
    EXPECT_EQ(choiceValue(yesNoChoices().at(0)), "YES");
    EXPECT_EQ(choiceValue(yesNoChoices().at(1)), "NO");
    EXPECT_EQ(choiceValue(QVariant()), "");
}

TEST(InstallFetchmail, ArgumentsAndScriptLines)
{
    const QStringList arguments = installFetchmailArguments("set daemon 60\n");
    ASSERT_EQ(arguments.size(), 6);
    EXPECT_EQ(arguments.at(0), "/bin/sh");
    EXPECT_EQ(arguments.at(1), "-c");
    EXPECT_EQ(arguments.at(3), "");
    EXPECT_EQ(arguments.at(4), "BrevaneStuff");
    EXPECT_EQ(arguments.at(5), "set daemon 60\n");

    QStringList lines = arguments.at(2).split('\n');
    EXPECT_EQ(lines.takeLast(), ""); // ends with a newline
    lines.removeAll(QString());
    const QStringList expected{
        "currentDir=$1",
        "fetchmailRC=$2",
        "cd \"$currentDir\"",
        "echo \"$fetchmailRC\" > fetchmailrc",
        "cp fetchmailrc /usr/local/tarnwick/postfix/LaunchDaemons/.fetchmailrc",
        "chmod 0600 /usr/local/tarnwick/postfix/LaunchDaemons/.fetchmailrc",
        "rm fetchmailrc",
        "if ( test -f /var/run/fetchmail.pid ) then",
        "\tfetchmail",
        "else",
        "\tlaunchctl load -w /Library/LaunchDaemons/com.dadarozudedarid.fetchmail.plist",
        "fi",
    };
    // The given lines in their order; the additions create the log file for
    // the group admin to read and keep every copy of the passwords private.
    const QStringList added{"touch /var/log/fetchmail.log", "chgrp admin /var/log/fetchmail.log",
                            "chmod 0640 /var/log/fetchmail.log", "umask 077"};
    QStringList given;
    for (const QString& line : lines)
        if (!line.startsWith('#') && !added.contains(line))
            given.append(line);
    EXPECT_EQ(given, expected);
    EXPECT_LT(lines.indexOf("touch /var/log/fetchmail.log"), lines.indexOf(expected.at(7)));
    EXPECT_LT(lines.indexOf("umask 077"), lines.indexOf(expected.at(3)));
}

TEST(InstallFetchmail, StopUnloadsTheJob)
{
    EXPECT_EQ(stopFetchmailArguments(),
              (QStringList{"/bin/sh", "-c", "launchctl unload -w /Library/LaunchDaemons/com.dadarozudedarid.fetchmail.plist"}));
}

TEST(EditingRule, OnlyNamedTableColumnsMayBeLeftEmpty)
{
    for (const char* column : {"node", "aka", "via"}) {
        EXPECT_TRUE(shouldEndEditing(true, column, ""));
        EXPECT_FALSE(shouldEndEditing(false, column, ""));
    }
    EXPECT_FALSE(shouldEndEditing(true, "server", ""));
    EXPECT_FALSE(shouldEndEditing(true, "AKA", ""));
    EXPECT_TRUE(shouldEndEditing(true, "server", " "));
    EXPECT_TRUE(shouldEndEditing(false, "", "x"));
}

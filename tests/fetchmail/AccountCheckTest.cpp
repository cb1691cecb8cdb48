#include "FetchmailRows.h"

#include "fetchmail/AccountCheck.h"
#include "fetchmail/RunControlWriter.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace brevane;

namespace {

// Answers of the check script captured in the sandbox (capture-check.sh).
QString captured(const char* name)
{
    QFile file(QStringLiteral(FETCHMAIL_TEST_DATA "/check-%1.txt").arg(QLatin1String(name)));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    QString text = QString::fromUtf8(file.readAll());
    text.chop(1); // as the privileged runner hands it over
    return text;
}

} // namespace

TEST(AccountCheckSummary, TellsWhatRealFetchmailAnswered)
{
    const std::pair<const char*, const char*> cases[] = {
        {"pop3-three", "3 messages waiting"},
        {"imap-three", "3 messages waiting"},
        {"imap-one", "1 message waiting"},
        {"pop3-none", "No mail waiting"},
        {"pop3-wrong-password", "Authentication failed: [AUTH] Authentication failed."},
        {"imap-wrong-password", "Authentication failed: [AUTHENTICATIONFAILED] Authentication failed."},
        {"pop3-no-starttls", "TLS failed: TLS support isn't enabled."},
        {"pop3s-refused", "Server not reachable: Connection refused"},
        {"unknown-host", "Server not reachable: no-such-host.invalid: Temporary failure in name resolution"},
    };
    for (const auto& [name, summary] : cases)
        EXPECT_EQ(fetchmailCheckSummary(captured(name)), summary) << name;
}

TEST(AccountCheckSummary, OutputsFetchmailGivesRarely)
{
    const std::pair<const char*, const char*> cases[] = {
        {"", "fetchmail did not run"},
        {"fetchmail status: 124", "No complete answer within 30 seconds"},
        {"fetchmail status: 137", "No complete answer within 30 seconds"},
        // Without the script's last line, fetchmail's own closing line counts.
        {"fetchmail: No mail for u at h\nfetchmail: normal termination, status 1", "No mail waiting"},
        {"5 messages (2 seen) for u at h (900 octets).\nfetchmail status: 0", "5 messages waiting (2 seen)"},
        {"fetchmail: timeout after 20 seconds waiting to connect to server 10.9.9.9.\nfetchmail status: 2",
         "Server not reachable: timeout after 20 seconds waiting to connect to server 10.9.9.9"},
        {"fetchmail: /tmp/x/fetchmailrc:1: syntax error at keep\nfetchmail status: 5",
         "fetchmail failed (status 5): /tmp/x/fetchmailrc:1: syntax error at keep"},
        {"fetchmail: 6.4.37 querying h (protocol POP3) at now: poll started\nTrying to connect to h/110...",
         "fetchmail did not finish: Trying to connect to h/110..."},
    };
    for (const auto& [output, summary] : cases)
        EXPECT_EQ(fetchmailCheckSummary(QString::fromUtf8(output)), summary) << output;
}

TEST(AccountCheckArguments, HandTheRowsOwnPollLineToTheScript)
{
    for (const char* ssl : {"YES", "NO"}) {
        Row row = fetchmailRow("pop.example.com", "POP3", "NO", ssl);
        row.insert("password", "pa ss$(id)`x`");
        const QStringList arguments = checkFetchmailAccountArguments(row, "30");
        ASSERT_EQ(arguments.size(), 5);
        EXPECT_EQ(arguments.mid(0, 2), QStringList({"/bin/sh", "-c"}));
        EXPECT_TRUE(arguments.at(2).contains("fetchmail --check")) << arguments.at(2).toStdString();
        EXPECT_EQ(arguments.at(3), "");
        EXPECT_EQ(arguments.at(4) + "\n", fetchmailPollLine(row, "30"));
    }
}

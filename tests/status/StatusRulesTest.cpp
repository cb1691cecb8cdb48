#include "status/StatusRules.h"

#include <gtest/gtest.h>

using namespace brevane;
using namespace brevane::status;

namespace {

const QDateTime now(QDate(2026, 12, 9), QTime(12, 0), Qt::UTC);
constexpr qint64 hour = 3600;
constexpr qint64 day = 24 * hour;

certificates::CertificateFacts endingIn(qint64 seconds)
{
    certificates::CertificateFacts facts;
    facts.readable = true;
    facts.commonName = QStringLiteral("mail.example.com");
    facts.notBefore = now.addSecs(-30 * day);
    facts.notAfter = now.addSecs(seconds);
    facts.keyMatches = true;
    return facts;
}

QueuedMessage message(QueueName queue, qint64 age)
{
    QueuedMessage m;
    m.queueID = QStringLiteral("ABC1234");
    m.queue = queue;
    m.arrival = now.toSecsSinceEpoch() - age;
    return m;
}

SpaceFacts space(qint64 available, qint64 total)
{
    return { QStringLiteral("queue"), QStringLiteral("/var/spool/postfix"), true, available, total };
}

} // namespace

TEST(StatusRules, CertificateExpiry)
{
    certificates::CertificateFacts notYet = endingIn(90 * day);
    notYet.notBefore = now.addSecs(hour);
    certificates::CertificateFacts undated = endingIn(90 * day);
    undated.notAfter = QDateTime();
    const struct {
        const char* name;
        QList<certificates::CertificateFacts> certificates;
        State state;
        const char* found;
    } cases[] = {
        { "far off", { endingIn(90 * day) }, State::Green, "Expires on 2027-03-09, in 90 days." },
        { "just over 14 days", { endingIn(14 * day + 1) }, State::Green, "in 14 days" },
        { "14 days", { endingIn(14 * day) }, State::Yellow, "in 14 days" },
        { "just over 3 days", { endingIn(3 * day + 1) }, State::Yellow, "in 3 days" },
        { "3 days", { endingIn(3 * day) }, State::Red, "in 3 days" },
        { "an hour", { endingIn(hour) }, State::Red, "in 0 days" },
        { "expired now", { endingIn(0) }, State::Red, "Expired on 2026-12-09." },
        { "expired", { endingIn(-day) }, State::Red, "Expired on 2026-12-08." },
        { "not yet valid", { notYet }, State::Red, "Not valid before 2026-12-09." },
        { "no end date", { undated }, State::Red, "end date cannot be read" },
        { "unreadable", { endingIn(90 * day), certificates::CertificateFacts {} }, State::Red, "no readable" },
        { "none installed", {}, State::Yellow, "No certificate is installed." },
        // The worst decides, and among equals the one ending first.
        { "one of three soon", { endingIn(90 * day), endingIn(2 * day), endingIn(10 * day) }, State::Red, "in 2 days" },
        { "two yellow", { endingIn(12 * day), endingIn(5 * day) }, State::Yellow, "in 5 days" },
    };
    for (const auto& c : cases) {
        const Result result = certificateRule(c.certificates, now);
        EXPECT_EQ(result.state, c.state) << c.name;
        EXPECT_TRUE(result.found.contains(QLatin1String(c.found))) << c.name << ": " << result.found.toStdString();
        EXPECT_EQ(result.whatToDo.isEmpty(), c.state == State::Green) << c.name;
    }
}

TEST(StatusRules, QueueAgeAndSize)
{
    const QueueLimits limits { 4 * hour, 3 };
    const struct {
        const char* name;
        QList<QueuedMessage> messages;
        State state;
        const char* found;
    } cases[] = {
        { "empty", {}, State::Green, "0 messages." },
        { "young deferred", { message(QueueName::Deferred, 4 * hour - 1) }, State::Green, "waited 3 h 59 min" },
        { "deferred 4 h", { message(QueueName::Deferred, 4 * hour) }, State::Red, "waited 4 h 0 min" },
        { "old active is not deferred", { message(QueueName::Active, 9 * hour) }, State::Green, "1 message." },
        { "oldest of several", { message(QueueName::Deferred, hour), message(QueueName::Deferred, 5 * hour) },
            State::Red, "2 messages; the oldest deferred has waited 5 h" },
        { "at the count",
            { message(QueueName::Hold, 0), message(QueueName::Active, 0), message(QueueName::Incoming, 0) }, State::Red,
            "3 messages." },
    };
    for (const auto& c : cases) {
        const Result result = queueRule({ c.messages, {} }, now.toSecsSinceEpoch(), limits);
        EXPECT_EQ(result.state, c.state) << c.name;
        EXPECT_TRUE(result.found.contains(QLatin1String(c.found))) << c.name << ": " << result.found.toStdString();
    }
    EXPECT_EQ(queueUnlistedRule("postqueue: fatal: Queue report unavailable - mail system is down\n").found,
        "The queue could not be listed: postqueue: fatal: Queue report unavailable - mail system is down");
}

TEST(StatusRules, FreeSpace)
{
    const struct {
        const char* name;
        QList<SpaceFacts> spaces;
        State state;
        const char* found;
    } cases[] = {
        { "plenty", { space(50, 100) }, State::Green, "50.0 % free" },
        { "just over 10 %", { space(1001, 10000) }, State::Green, "10.0 % free" },
        { "10 %", { space(10, 100) }, State::Yellow, "10.0 % free" },
        { "just over 2 %", { space(201, 10000) }, State::Yellow, "2.0 % free" },
        { "2 %", { space(2, 100) }, State::Red, "2.0 % free" },
        { "full", { space(0, 100) }, State::Red, "0.0 % free" },
        { "the fuller decides", { space(50, 100), { "mailboxes", "/var/mail", true, 5, 100 } }, State::Yellow,
            "mailboxes (/var/mail): 5.0 % free" },
        { "unreadable", { space(50, 100), { "mailboxes", "/gone", false, 0, 0 } }, State::Red,
            "/gone): cannot be read" },
        { "zero-sized", { space(0, 0) }, State::Red, "cannot be read" },
    };
    for (const auto& c : cases) {
        const Result result = freeSpaceRule(c.spaces);
        EXPECT_EQ(result.state, c.state) << c.name;
        EXPECT_TRUE(result.found.contains(QLatin1String(c.found))) << c.name << ": " << result.found.toStdString();
    }
}

TEST(StatusRules, ServicesUp)
{
    const services::ServiceHealth up { true, true, {} };
    const services::ServiceHealth off { false, false, {} };
    const services::ServiceHealth broken { true, false, "starting\nfatal: bind 0.0.0.0 port 25: Address in use" };
    const struct {
        const char* name;
        QList<ServiceFacts> services;
        State state;
        const char* found;
        const char* whatToDo;
    } cases[] = {
        { "all up", { { "Postfix", up, true, "the toolbar" }, { "fetchmail", up, false, "the Fetchmail tab" } },
            State::Green, "Postfix up; fetchmail up.", "" },
        { "optional off", { { "Postfix", up, true, "the toolbar" }, { "fetchmail", off, false, "the Fetchmail tab" } },
            State::Green, "fetchmail not in use", "" },
        { "required off", { { "Postfix", off, true, "the toolbar" }, { "fetchmail", off, false, "the Fetchmail tab" } },
            State::Red, "Postfix not started", "Start Postfix from the toolbar" },
        { "loaded but down names the last log line", { { "Postfix", broken, true, "the toolbar" } }, State::Red,
            "Postfix started but not working (fatal: bind 0.0.0.0 port 25: Address in use)",
            "Restart Postfix from the toolbar" },
        { "optional but broken",
            { { "Postfix", up, true, "the toolbar" },
                { "fetchmail", { true, false, {} }, false, "the Fetchmail tab" } },
            State::Red, "fetchmail started but not working.", "Restart fetchmail from the Fetchmail tab" },
    };
    for (const auto& c : cases) {
        const Result result = servicesRule(c.services);
        EXPECT_EQ(result.state, c.state) << c.name;
        EXPECT_TRUE(result.found.contains(QLatin1String(c.found))) << c.name << ": " << result.found.toStdString();
        EXPECT_TRUE(result.whatToDo.contains(QLatin1String(c.whatToDo))) << c.name;
    }
}

#include "maintenance/QueueJson.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

#include <cmath>

using namespace brevane;

namespace {

// What the general JSON reader makes of the line, in the scan's terms.
bool readByDocument(const QByteArray& line, QStringList* fields)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    const QJsonObject object = document.object();
    const auto number = [&object](const char* key) {
        const double value = object.value(key).toDouble();
        return QString::number(std::abs(value) < 9e18 ? qint64(value) : 0);
    };
    *fields = {object.value("queue_name").toString(), object.value("queue_id").toString(),
               object.value("sender").toString(), number("arrival_time"), number("message_size"),
               object.value("forced_expire").toBool() ? "true" : "false"};
    for (const QJsonValue& recipient : object.value("recipients").toArray())
        *fields << recipient.toObject().value("address").toString()
                << recipient.toObject().value("delay_reason").toString();
    return true;
}

QStringList scannedFields(const ScannedMessage& m)
{
    QStringList fields {QString::fromUtf8(m.queueName),       QString::fromUtf8(m.queueID),
                        QString::fromUtf8(m.sender),          QString::number(m.arrival),
                        QString::number(m.size),              m.forcedExpire ? "true" : "false"};
    for (const ScannedRecipient& recipient : m.recipients)
        fields << QString::fromUtf8(recipient.address) << QString::fromUtf8(recipient.reason);
    return fields;
}

// Whenever the scan reads a line, it reads it as the JSON reader does; it
// never reads a line the JSON reader refuses.
void expectAgreement(const QByteArray& line)
{
    ScannedMessage scanned;
    QStringList expected;
    const bool valid = readByDocument(line, &expected);
    if (scanQueueJson(line, &scanned)) {
        ASSERT_TRUE(valid) << line.toPercentEncoding(" {}[]:,\"").toStdString();
        EXPECT_EQ(scannedFields(scanned), expected) << line.toStdString();
    }
}

const QByteArray captured = R"({"queue_name": "deferred", "queue_id": "E2E9240", "arrival_time": 1796731240, )"
                            R"("message_size": 255, "forced_expire": false, "sender": "alice@probe.local", )"
                            R"("recipients": [{"address": "ben@remote-one.example", "delay_reason": "Host )"
                            R"(or domain name not found"}, {"address": "bob@remote-one.example"}]})";

} // namespace

TEST(QueueJson, ReadsWhatTheJsonReaderReadsOrLeavesTheLineToIt)
{
    const struct {
        QByteArray line;
        bool scanned;
    } cases[] {
        {captured, true},
        {R"({"queue_id":"ABCDE1","sender":"a\"b\\c\/d\u00e9\ud83d\ude00\n","recipients":[{"address":"x@y"}]})", true},
        {R"(  { "queue_id" : "ABCDE1" , "arrival_time" : 1.7e9 , "recipients" : [ ] }  )", true},
        {R"({"queue_id":"ABCDE1","new_field":null,"other":-3.5,"more":"text","recipients":[{"address":"a","x":true}]})", true},
        {R"({"queue_id":"ABCDE1","message_size":1e300,"recipients":[]})", true},
        {R"({"queue_id":"ABCDE1","nested":{"a":1},"recipients":[]})", false},
        {R"({"queue_id":"ABCDE1","recipients":[{"address":["a"]}]})", false},
        {R"({"queue_id":"ABCDE1","sender":"\ud83d","recipients":[]})", false},
        {R"({"queue_id":"ABCDE1","sender":"\x","recipients":[]})", false},
        {R"({"queue_id":"ABCDE1"} trailing)", false},
        {R"({"queue_id":"ABCDE1",})", false},
        {R"({"queue_id":"AB)", false},
        {"{\"queue_id\":\"AB\tCD\"}", false},
        {R"({"queue_id":12345,"recipients":[]})", false},
        {R"({"arrival_time":+5})", false},
        {R"({"queue_id":"ABCDE1","recipients":[{"address":"a"}],"recipients":[{"address":"b"}]})", true},
        {R"({"arrival_time":01})", false},
        {R"({"arrival_time":1.})", false},
        {R"({"arrival_time":1e+})", false},
        {"{}", true},
    };
    for (const auto& c : cases) {
        ScannedMessage scanned;
        EXPECT_EQ(scanQueueJson(c.line, &scanned), c.scanned) << c.line.toStdString();
        expectAgreement(c.line);
    }
    ScannedMessage escaped;
    ASSERT_TRUE(scanQueueJson(cases[1].line, &escaped));
    EXPECT_EQ(QString::fromUtf8(escaped.sender), QString::fromUtf8("a\"b\\c/d\u00e9\U0001F600\n"));
}

TEST(QueueJson, DamagedLinesNeverReadDifferently)
{
    QRandomGenerator random(18);
    for (int round = 0; round < 20000; ++round) {
        QByteArray line = captured;
        for (int hits = random.bounded(1, 4); hits > 0; --hits) {
            const int at = random.bounded(int(line.size()));
            switch (random.bounded(3)) {
            case 0:
                line[at] = char(random.bounded(256));
                break;
            case 1:
                line.remove(at, random.bounded(1, 8));
                break;
            default:
                line.insert(at, "\"\\{}[],:0eu"[random.bounded(11)]);
            }
        }
        expectAgreement(line);
        if (testing::Test::HasFailure())
            return;
    }
}

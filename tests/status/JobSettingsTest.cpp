#include "status/job/JobSettings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace brevane::status;
using namespace brevane::status::job;

namespace {

JobSettings sample()
{
    return { { "example.org", "Other.Example" }, "mail", { { "example.org", "MIIBIjANBgkq+/w==" } }, "192.0.2.7",
        "mail.example.org", { "192.0.2.7", "2001:db8::7" }, { { "SMTP", 25 }, { "POP3", 110 } }, { "zen.spamhaus.org" },
        "someone@example.net", "ssh -p 2222 -o IdentityFile=/etc/brevane-watch/key probe@other.example", 500 };
}

// The sample with one field replaced by `value`, as the file would hold it.
QByteArray with(const char* key, const QJsonValue& value)
{
    QJsonObject object = QJsonDocument::fromJson(writeJobSettings(sample())).object();
    if (value.isUndefined())
        object.remove(QLatin1String(key));
    else
        object.insert(QLatin1String(key), value);
    return QJsonDocument(object).toJson();
}

} // namespace

TEST(JobSettings, WhatTheWindowWritesTheJobReadsAndAnyHostileValueRefusesTheWholeFile)
{
    const SettingsRead back = readJobSettings(writeJobSettings(sample()));
    ASSERT_TRUE(back.settings) << back.error.toStdString();
    const StatusInputs inputs = withJobSettings({}, *back.settings);
    EXPECT_EQ(inputs.dns.domains, QStringList({ "example.org", "other.example" }));
    EXPECT_EQ(inputs.dns.publicKeys.value("example.org"), "MIIBIjANBgkq+/w==");
    EXPECT_EQ(inputs.outside.ports.at(1).port, 110);
    EXPECT_EQ(inputs.outside.relayRecipient, "someone@example.net");
    EXPECT_EQ(inputs.outside.vantage, sample().vantage);
    EXPECT_EQ(inputs.queueLimits.messages, 500);

    const struct {
        const char* key;
        QJsonValue value;
    } hostile[] = {
        { "domains", QJsonArray { "example.org", "x; rm -rf /" } },
        { "domains", "example.org" },
        { "selector", "mail\nx" },
        { "publicKeys", QJsonObject { { "example.org", "p=MIIB; x" } } },
        { "publicKeys", QJsonObject { { "-x", "MIIB" } } },
        { "sendingAddress", "mail.example.org" },
        { "target", "$(reboot)" },
        { "publicAddresses", QJsonArray { "192.0.2.300" } },
        { "ports", QJsonArray { QJsonObject { { "name", "SMTP" }, { "port", 0 } } } },
        { "ports", QJsonArray { QJsonObject { { "name", "a b" }, { "port", 25 } } } },
        { "blockZones", QJsonArray { "-o.example" } },
        { "relayRecipient", "a@b@c.example" },
        { "vantage", "ssh -o ProxyCommand=/bin/sh x@other.example" },
        { "vantage", "ip netns exec ../x" },
        { "queueLimit", 9 },
        { "queueLimit", 1000001 },
        { "queueLimit", 10.5 },
        { "queueLimit", "500" },
        { "extra", 1 },
        { "vantage", QJsonValue::Undefined },
    };
    for (const auto& [key, value] : hostile) {
        const SettingsRead read = readJobSettings(with(key, value));
        EXPECT_FALSE(read.settings) << key;
        EXPECT_TRUE(read.error.contains(QLatin1String(key)) || read.error.contains("missing"))
            << read.error.toStdString();
    }
    for (const QByteArray& bytes : { QByteArray(), QByteArray("[]"), QByteArray("{\"domains\":"),
             QByteArray(70000, ' ') + writeJobSettings(sample()) })
        EXPECT_FALSE(readJobSettings(bytes).settings) << bytes.left(40).toStdString();
}

TEST(JobSettings, TheWindowLeavesOutWhatTheJobWouldRefuseAndKeepsTheRest)
{
    StatusInputs inputs = withJobSettings({}, sample());
    inputs.dns.domains.append("localhost");
    inputs.dns.publicKeys.insert("other.example", "not a key");
    inputs.outside.publicAddresses = { "mail.example.org" }; // a name typed as the public address
    inputs.outside.vantage = "ssh -o ProxyCommand=x a@b.example";
    const SettingsRead read = readJobSettings(writeJobSettings(jobSettingsOf(inputs)));
    ASSERT_TRUE(read.settings) << read.error.toStdString();
    EXPECT_EQ(read.settings->domains, QStringList({ "example.org", "other.example" }));
    EXPECT_TRUE(read.settings->publicAddresses.isEmpty());
    EXPECT_TRUE(read.settings->vantage.isEmpty());
    EXPECT_EQ(read.settings->publicKeys.keys(), QStringList({ "example.org" }));
    EXPECT_EQ(read.settings->target, "mail.example.org");
    // The built-in relay recipient is the job's own default, not a setting.
    EXPECT_TRUE(jobSettingsOf(StatusInputs {}).relayRecipient.isEmpty());
}

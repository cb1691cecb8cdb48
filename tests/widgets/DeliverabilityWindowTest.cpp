// The Deliverability tab in the real window over a fake system and a made-up DNS.
#include "WindowFixture.h"
#include "deliverability/DeliverabilityTab.h"
#include "document/SettingsDocument.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

using namespace brevane;

namespace {

const QString key = QStringLiteral("MIIBIjANBgkqhkiG9w0BAQEFAAOCAQ8AMIIBCgKCAQEAkey");

class DeliverabilityTest : public WindowTest
{
protected:
    DeliverabilityTab* tab() const { return window->deliverabilityTab(); }
    template<typename T>
    T* child(const char* name) const { return tab()->findChild<T*>(QString::fromLatin1(name)); }

    void applyWith(const QString& selector)
    {
        child<QLineEdit>("dkimSelectorField")->setText(selector);
        child<QPushButton>("applyDkimButton")->click();
    }
};

} // namespace

TEST_F(DeliverabilityTest, ToolbarItemOpensTheTab)
{
    launchAndLogIn();
    auto* item = window->findChild<QAction*>("deliverabilityItem");
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(ui()->toolbar->actions().contains(item));
    item->trigger();
    EXPECT_EQ(ui()->tabView->currentWidget(), tab());
    EXPECT_NE(tab()->groupsLayout(), nullptr);
}

TEST_F(DeliverabilityTest, ApplyMakesKeysShowsTheRecordAndTurnsOnTheMilter)
{
    launchAndLogIn();
    ui()->mydomainField->setText("example.com");
    fake.answer("Sets up DKIM signing", "DKIM key example.com s1 " + key + "\\n");
    fake.clearCalls();
    child<QCheckBox>("dkimSigningBox")->setChecked(true);
    applyWith("s1");
    EXPECT_EQ(fake.countCalls("sign s1 example.com"), 1) << fake.calls().join('\n').toStdString();
    const QString record = child<QPlainTextEdit>("dkimRecordField")->toPlainText();
    EXPECT_EQ(record, "s1._domainkey.example.com. IN TXT \"v=DKIM1; k=rsa; p=" + key + "\"");
    child<QPushButton>("copyDkimRecordButton")->click();
    EXPECT_EQ(QApplication::clipboard()->text(), record);
    // The Postfix configuration is written again with the 24th value on.
    const QStringList calls = fake.calls();
    const auto postfix = std::find_if(calls.begin(), calls.end(),
                                      [](const QString& c) { return c.contains("Regenerates main.cf"); });
    ASSERT_NE(postfix, calls.end());
    EXPECT_TRUE(postfix->endsWith(" yes")) << postfix->right(80).toStdString();
}

TEST_F(DeliverabilityTest, ABadSelectorIsRefusedBeforeAnythingRuns)
{
    launchAndLogIn();
    ui()->mydomainField->setText("example.com");
    child<QCheckBox>("dkimSigningBox")->setChecked(true);
    fake.clearCalls();
    for (const char* selector : {"a;b", "two.labels", "-x", ""}) {
        Alerts::resetRecord();
        applyWith(selector);
        ASSERT_EQ(Alerts::shown().size(), 1) << selector;
        EXPECT_EQ(Alerts::shown().first().title, "DKIM signing was not changed.");
    }
    EXPECT_EQ(fake.countCalls("Sets up DKIM signing"), 0);
    EXPECT_EQ(fake.countCalls("Regenerates main.cf"), 0);
}

TEST_F(DeliverabilityTest, ChecksFillTheTableRedThenGreenOffTheGuiThread)
{
    launchAndLogIn();
    ui()->mydomainField->setText("example.com");
    fake.answer("Sets up DKIM signing", "DKIM key example.com brevane " + key + "\\n");
    window->findChild<QAction*>("deliverabilityItem")->trigger();
    QMap<QString, dns::Answer> zone;
    tab()->setLookup([&zone](const QString& name, dns::RecordType type) {
        return zone.value(QString::number(int(type)) + name, dns::Answer{});
    });
    child<QLineEdit>("publicAddressField")->setText("192.0.2.25");
    child<QPushButton>("checkDnsButton")->click();
    ASSERT_TRUE(waitFor([this] { return !tab()->isChecking() && tab()->rows().size() == 8; }));
    auto* table = child<QTableWidget>("dnsChecksTable");
    // This server's heading and row, then the domain's heading and its seven.
    EXPECT_EQ(table->rowCount(), 10);
    EXPECT_EQ(table->item(0, 0)->text(), "This server");
    EXPECT_EQ(table->item(2, 0)->text(), "example.com");
    EXPECT_EQ(table->item(3, 0)->text(), "MX");
    EXPECT_EQ(table->item(3, 2)->text(), "Missing or wrong");
    const QString suggestions = child<QPlainTextEdit>("dnsSuggestionsField")->toPlainText();
    EXPECT_TRUE(suggestions.contains("brevane._domainkey.example.com. IN TXT \"v=DKIM1; k=rsa; p=" + key + "\""))
        << suggestions.toStdString();
    // An unsigned zone is no fault, and without DNSSEC there is no DANE to judge.
    EXPECT_EQ(child<QLabel>("dnsStatusLabel")->text(), "2 of 8 records as expected.");

    const auto add = [&zone](dns::RecordType type, const QString& name, const QString& value) {
        zone.insert(QString::number(int(type)) + name, {dns::Outcome::Found, {value}});
    };
    add(dns::RecordType::MX, "example.com", "10 mail.example.com");
    add(dns::RecordType::A, "mail.example.com", "192.0.2.25");
    add(dns::RecordType::PTR, "25.2.0.192.in-addr.arpa", "mail.example.com");
    add(dns::RecordType::TXT, "example.com", "v=spf1 mx -all");
    add(dns::RecordType::TXT, "brevane._domainkey.example.com", "v=DKIM1; k=rsa; p=" + key);
    add(dns::RecordType::TXT, "_dmarc.example.com", "v=DMARC1; p=none");
    // DNS text is shown as the characters it is, never as markup.
    add(dns::RecordType::TXT, "_dmarc.example.com", "v=DMARC1; p=none; x=<b>bold</b>");
    tab()->setLookup([&zone, table](const QString& name, dns::RecordType type) {
        // The results of the last check are gone while this one runs.
        EXPECT_EQ(table->rowCount(), 0);
        return zone.value(QString::number(int(type)) + name, dns::Answer{});
    });
    child<QPushButton>("checkDnsButton")->click();
    ASSERT_TRUE(waitFor([this] { return !tab()->isChecking() && tab()->rows().value(0).state == dns::CheckState::Passed; }));
    EXPECT_EQ(child<QLabel>("dnsStatusLabel")->text(), "8 of 8 records as expected.");
    QTableWidgetItem* dmarc = table->item(7, 3);
    EXPECT_EQ(dmarc->text(), "v=DMARC1; p=none; x=<b>bold</b>");
    EXPECT_TRUE(dmarc->toolTip().contains("x=&lt;b&gt;bold&lt;/b&gt;")) << dmarc->toolTip().toStdString();
    EXPECT_TRUE(child<QPlainTextEdit>("dnsSuggestionsField")->toPlainText().isEmpty());
}

TEST_F(DeliverabilityTest, SilentDnsIsSaidPlainly)
{
    launchAndLogIn();
    ui()->mydomainField->setText("example.com");
    window->findChild<QAction*>("deliverabilityItem")->trigger();
    tab()->setLookup([](const QString&, dns::RecordType) { return dns::Answer{dns::Outcome::Unreachable, {}}; });
    child<QPushButton>("checkDnsButton")->click();
    ASSERT_TRUE(waitFor([this] { return !tab()->isChecking() && !tab()->rows().isEmpty(); }));
    EXPECT_TRUE(child<QLabel>("dnsStatusLabel")->text().startsWith("DNS not reachable"));
    EXPECT_EQ(child<QTableWidget>("dnsChecksTable")->item(3, 3)->text(), "DNS not reachable");
}

TEST_F(DeliverabilityTest, DocumentsKeepSigningAndSelectorAndAHostileSelectorStaysRefused)
{
    launchAndLogIn();
    QTemporaryDir dir;
    child<QCheckBox>("dkimSigningBox")->setChecked(true);
    child<QLineEdit>("dkimSelectorField")->setText("s2026");
    Alerts::setNextFileName(dir.filePath("d.brvn"));
    window->saveDocument();
    WindowController other;
    ASSERT_TRUE(other.openFile(dir.filePath("d.brvn")));
    EXPECT_TRUE(other.deliverabilityTab()->dkimSigning());
    EXPECT_EQ(other.deliverabilityTab()->selector(), "s2026");

    // Someone else's document: the selector arrives as written and is refused on apply.
    const QString hostile = QStringLiteral("x$(touch /tmp/p)") + QString(5000, u'a');
    QFile file(dir.filePath("hostile.brvn"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(document::encode({{"mydomainField", "example.com"}, {"dkimSigning", 1}, {"dkimSelector", hostile}}));
    file.close();
    Alerts::setNextAnswer(returncode::defaultButton);
    ASSERT_TRUE(window->openFile(file.fileName()));
    EXPECT_EQ(tab()->selector(), hostile);
    fake.clearCalls();
    Alerts::resetRecord();
    child<QPushButton>("applyDkimButton")->click();
    EXPECT_EQ(Alerts::shown().size(), 1);
    EXPECT_EQ(fake.countCalls("Sets up DKIM signing"), 0);
}

TEST_F(DeliverabilityTest, TheSigningJobStartsAndStopsWithPostfix)
{
    launchAndLogIn();
    const QString job = QStringLiteral("/Library/LaunchDaemons/com.dadarozudedarid.opendkim.plist");
    // The checked apply reports Postfix up on the new files.
    fake.answer("check-postfix: ", "check-postfix: result up\\n");
    for (const bool signing : {false, true}) {
        child<QCheckBox>("dkimSigningBox")->setChecked(signing);
        // What the configuration script then wrote, as the window reads it back.
        if (signing)
            fake.answer("###End Brevane###$/p' /usr/local/tarnwick/postfix/etc/main.cf",
                        "###Start Brevane###\\nsmtpd_milters=unix:brevane-opendkim/opendkim.sock\\n###End Brevane###\\n");
        for (const char* label : {"Start Postfix", "Restart Postfix", "Stop Postfix"}) {
            fake.clearCalls();
            ui()->postfixItem->setText(label);
            window->Postfix(ui()->postfixItem);
            const bool stopping = QString(label) == "Stop Postfix";
            EXPECT_EQ(fake.countCalls("launchctl load -w " + job), signing && !stopping ? 1 : 0) << label << signing;
            EXPECT_EQ(fake.countCalls("launchctl unload -w " + job), signing ? 1 : 0) << label << signing;
            EXPECT_EQ(child<QCheckBox>("dkimSigningBox")->isChecked(), signing) << label;
        }
    }
}

TEST_F(DeliverabilityTest, CheckDnsTakesTheMailDomainAndKeyAsTheyAreNow)
{
    launchAndLogIn();
    fake.answer("Sets up DKIM signing", "DKIM key example.org brevane " + key + "\\n");
    window->findChild<QAction*>("deliverabilityItem")->trigger(); // no mail domain yet
    ui()->mydomainField->setText("example.org");
    tab()->setLookup([](const QString&, dns::RecordType) { return dns::Answer{}; });
    child<QPushButton>("checkDnsButton")->click();
    ASSERT_TRUE(waitFor([this] { return !tab()->isChecking() && tab()->rows().size() == 8; }));
    EXPECT_EQ(tab()->rows().at(4).name, "brevane._domainkey.example.org");
    EXPECT_TRUE(tab()->rows().at(4).suggestion.contains(key));
    EXPECT_EQ(child<QLabel>("dnsDomainLabel")->text(), "example.org");
}

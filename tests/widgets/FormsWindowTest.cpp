#include "WindowFixture.h"

#include <QHeaderView>
#include <QMenu>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>

using namespace brevane;

TEST_F(WindowTest, ABlankSizeFieldShowsTheValueItWrites)
{
    for (QLineEdit* field : { ui()->messagesizeField, ui()->mailboxsizeField }) {
        SCOPED_TRACE(field->objectName().toStdString());
        field->clear();
        const QString shownWhileBlank = field->placeholderText();
        ASSERT_TRUE(window->collectPostfixArguments());
        EXPECT_EQ(field->text(), shownWhileBlank);
        EXPECT_TRUE(field->toolTip().contains("0 means no limit"));
    }
}

TEST_F(WindowTest, RelayHostMenuShowsAmpersandsAndSkipsRowsWithoutAHost)
{
    window->smartHostController.setRows(
        { { { "location", "Home & Away" }, { "smartHostName", "smtp.home.example" } } });
    ui()->addSmartHostButton->click();
    const Row added = window->smartHostController.arrangedObjects().at(1);
    EXPECT_EQ(added.value("location").toString(), "");
    EXPECT_EQ(added.value("smartHostName").toString(), "");
    window->smartHostController.setValueForKey(1, "location", "Office");

    window->menuNeedsUpdate(window->smartHostMenu());
    const QList<QAction*> items = window->smartHostMenu()->actions();
    ASSERT_EQ(items.size(), 3) << "the row that names no host stays out";
    EXPECT_EQ(items.at(2)->text(), "Home && Away");
    items.at(2)->trigger();
    EXPECT_EQ(ui()->relayhostField->text(), "smtp.home.example");
}

TEST_F(WindowTest, TheCertificateSheetInformsRatherThanWarns)
{
    Alerts::setNextAnswer(returncode::alternateButton);
    window->createSSLCerts();
    ASSERT_FALSE(Alerts::shown().isEmpty());
    EXPECT_TRUE(Alerts::shown().constLast().informational);
}

TEST_F(WindowTest, TheReadMePanelHoldsTheReadMe)
{
    window->showReadMePanel();
    const auto* text = window->agreementPanel()->findChild<QTextBrowser*>("readMeText");
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->toPlainText().startsWith("Brevane"));
}

TEST_F(WindowTest, SmallThingsSayWhatTheyAre)
{
    window->resize(1100, 760);
    window->selectTabViewItem(ui()->fetchmailItem);
    QCoreApplication::processEvents();
    const QHeaderView* header = ui()->fetchmailTable->horizontalHeader();
    EXPECT_LE(header->sectionPosition(9) + 40, header->viewport()->width()) << "the SSL column starts off-screen";

    const QToolButton* popup = ui()->smartHostPopup;
    const int arrow = popup->style()->pixelMetric(QStyle::PM_MenuButtonIndicator, nullptr, popup);
    EXPECT_GE(popup->width(), popup->fontMetrics().horizontalAdvance(popup->text()) + 2 * arrow);

    EXPECT_EQ(ui()->luser_relay_popup->itemText(0), "");
    EXPECT_EQ(ui()->luser_relay_popup->itemData(0, Qt::ToolTipRole).toString(), "bounce");
}

TEST_F(WindowTest, TheBusyIndicatorSaysWhatIsRunning)
{
    launchAndLogIn();
    QString said;
    QTimer::singleShot(0, window.get(), [&] { said = ui()->progressText->text(); });
    // The timer fires while the start waits for the helper.
    window->Postfix(ui()->postfixItem);
    EXPECT_EQ(said, "Starting Postfix\u2026");
    EXPECT_FALSE(ui()->progressText->isVisible());
}

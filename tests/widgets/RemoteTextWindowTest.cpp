// What came from outside (a remote server's reply, log lines, certbot's
// words) shows as the very characters it holds, never as markup or links.
#include "WindowFixture.h"
#include "certificates/AcmePanel.h"
#include "maintenance/MailQueueModel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QHelpEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTextDocument>

using namespace brevane;

namespace {

const QString markup = QStringLiteral("<b><font size=7>URGENT</font></b> <a href=\"https://evil.example/\">renew</a>"
                                      " <img src=\"file:///etc/passwd\">");

// The text a person sees in the label, as Qt lays it out.
QString seenText(const QLabel* label)
{
    const bool rich = label->textFormat() == Qt::RichText
        || (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
    if (!rich)
        return label->text();
    QTextDocument document;
    document.setHtml(label->text());
    return document.toPlainText();
}

// Renders the label offscreen; kept as a picture when BREVANE_RENDER_DIR names a folder.
void render(QLabel* label, const QString& name)
{
    const QImage picture = label->grab().toImage();
    EXPECT_FALSE(picture.isNull()) << name.toStdString();
    if (const QString folder = qEnvironmentVariable("BREVANE_RENDER_DIR"); !folder.isEmpty())
        picture.save(QDir(folder).filePath(name + QStringLiteral(".png")));
}

QLabel* shownToolTip()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String("qtooltip_label") && widget->isVisible())
            return qobject_cast<QLabel*>(widget);
    return nullptr;
}

// Hovers over `widget` at `position` the way the mouse does.
QLabel* hover(QWidget* widget, const QPoint& position)
{
    QHelpEvent event(QEvent::ToolTip, position, widget->mapToGlobal(position));
    QApplication::sendEvent(widget, &event);
    return shownToolTip();
}

} // namespace

TEST_F(WindowTest, RemoteTextShowsAsTheCharactersItHolds)
{
    fake.answer("postqueue -j",
                "{\"queue_name\": \"deferred\", \"queue_id\": \"A563C8D\", \"arrival_time\": 1796731240, "
                "\"message_size\": 401, \"sender\": \"alice@probe.local\", \"recipients\": [{\"address\": "
                "\"bob@remote.example\", \"delay_reason\": \"" + QString(markup).replace("\"", "\\\\\"") + "\"}]}\\n");
    fake.answer("grep com.dadarozudedarid.postfix", "YES\\nDOWN\\npostfix/smtpd[9]: " + markup + "\\n");
    fake.answer("certbot certonly", "An unexpected error occurred:\\n" + markup + "\\n");
    launchAndLogIn();

    struct Case {
        const char* where;
        std::function<QLabel*()> show;
        QString expected;
    };
    const QList<Case> cases{
        {"queue remark tool tip",
         [&] {
             window->showMailq();
             auto* view = window->findChild<QAbstractItemView*>("mailqTable");
             const QRect cell = view->visualRect(window->mailqController.index(0, MailQueueModel::Remarks));
             return hover(view->viewport(), cell.center());
         },
         markup},
        {"status light tool tip",
         [&] {
             window->checkStatusLights();
             return hover(ui()->smtp_light, {2, 2});
         },
         "Postfix is loaded but not running. Last lines logged:\npostfix/smtpd[9]: " + markup},
        {"certbot's words in the alert",
         [&]() -> QLabel* {
             window->findChild<QPushButton*>("acmeButton")->click();
             acme::AcmeSettings settings;
             settings.hostName = QStringLiteral("mail.example.com");
             window->acmePanel()->setSettings(settings);
             window->obtainAcmeCertificate();
             const auto boxes = window->findChildren<QMessageBox*>();
             return boxes.isEmpty() ? nullptr : boxes.last()->findChild<QLabel*>("qt_msgbox_informativelabel");
         },
         markup},
    };
    for (const Case& c : cases) {
        QLabel* label = c.show();
        ASSERT_NE(label, nullptr) << c.where;
        EXPECT_TRUE(seenText(label).contains(c.expected)) << c.where << ": " << seenText(label).toStdString();
        render(label, QString::fromLatin1(c.where).replace(u' ', u'-'));
    }
}

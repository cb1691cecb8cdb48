#include "WindowFixture.h"
#include "document/SettingsDocument.h"
#include "shell/Controls.h"
#include "shell/UserDefaults.h"

#include <QFile>
#include <QTemporaryDir>

using namespace brevane;

namespace {

void fillEveryControl(Ui::MainWindow* ui, WindowController& window)
{
    ui->myoriginField->setText("origin.example");
    ui->messagesizeField->setText("1024");
    ui->mailboxsizeField->setText("2048");
    ui->relayhostField->setText("[smtp.example]:587");
    controls::setState(ui->enableSASLClient, 1);
    controls::setState(ui->requireSSLClient, -1);
    ui->smartHostUserID->setText("joe");
    ui->smartHostPassword->setText("pa:ss");
    ui->mydomainField->setText("example.com");
    ui->mydestinationField->setText("a.example, b.example");
    ui->virtualDomainsField->setText("v.example");
    ui->accessField->setPlainText("spam@x REJECT\nham@y OK\n");
    ui->aliasesField->setPlainText("root: joe");
    ui->customField->setPlainText("  continued\nline two");
    ui->luser_relay_popup->setCurrentIndex(1);
    ui->rblSitesField->setText("zen.example");
    ui->portNosField->setText("587, 2525");
    ui->virtualField->setPlainText("info@v.example joe");
    controls::selectCellAtRow(ui->saslAuthMethod, 2);
    ui->sasldb_passwdField->setPlainText("alice:one\nbob:two");
    controls::setState(ui->enableSSL, 1);
    controls::setState(ui->requireSSL, 1);
    controls::selectCellAtRow(ui->mynetworks_style, 1);
    ui->countryField->setText("DE");
    ui->provinceField->setText("Berlin");
    ui->localityField->setText("Berlin");
    ui->organisationField->setText("Org");
    ui->organisationalunitField->setText("Unit");
    ui->youremailaddressField->setText("joe@example.com");
    ui->pollingIntervalField->setText("120");
    ui->timeOutIntervalField->setText("30");
    window.fetchmailController.setRows(
        {{{"server", "pop.one"}, {"protocol", QVariantMap{{"value", "IMAP"}}}, {"keep", QVariantMap{{"value", "YES"}}}},
         {{"server", "pop.two"}, {"here", "*"}}});
    window.smartHostController.setRows({{{"location", "Home"}, {"authenticate", 1}}, {{"location", "Office"}}});
}

QByteArray documentWith(const QVariantMap& values)
{
    return document::encode(values);
}

} // namespace

class DocumentTest : public WindowTest
{
protected:
    QString pathFor(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

TEST_F(DocumentTest, SaveThenOpenRestoresEveryEntry)
{
    fillEveryControl(ui(), *window);
    Alerts::setNextFileName(pathFor("Brevane Config.brvn"));
    window->saveDocument();
    ASSERT_TRUE(QFile::exists(pathFor("Brevane Config.brvn")));
    EXPECT_EQ(UserDefaults::value("savePath"), dir.path());

    WindowController other;
    ASSERT_TRUE(other.openFile(pathFor("Brevane Config.brvn")));
    Ui::MainWindow* o = other.ui();
    EXPECT_EQ(o->myoriginField->text(), "origin.example");
    EXPECT_EQ(o->messagesizeField->text(), "1024");
    EXPECT_EQ(controls::state(o->enableSASLClient), 1);
    EXPECT_EQ(controls::state(o->requireSSLClient), -1);
    EXPECT_EQ(o->smartHostPassword->text(), "pa:ss");
    EXPECT_EQ(o->accessField->toPlainText(), "spam@x REJECT\nham@y OK\n");
    EXPECT_EQ(o->customField->toPlainText(), "  continued\nline two");
    EXPECT_EQ(o->luser_relay_popup->currentText(), "/dev/null");
    EXPECT_EQ(o->portNosField->text(), "587, 2525");
    EXPECT_EQ(controls::selectedRow(o->saslAuthMethod), 2);
    EXPECT_EQ(controls::selectedRow(o->mynetworks_style), 1);
    EXPECT_EQ(o->sasldb_passwdField->toPlainText(), "alice:one\nbob:two");
    EXPECT_EQ(o->youremailaddressField->text(), "joe@example.com");
    EXPECT_EQ(o->pollingIntervalField->text(), "120");
    EXPECT_EQ(o->timeOutIntervalField->text(), "30");
    EXPECT_EQ(other.fetchmailController.arrangedObjects(), window->fetchmailController.arrangedObjects());
    EXPECT_EQ(other.smartHostController.arrangedObjects(), window->smartHostController.arrangedObjects());
    EXPECT_EQ(document::recentDocuments().value(0), pathFor("Brevane Config.brvn"));
}

TEST_F(DocumentTest, ATypedNameWithADotIsSavedWithTheTypeAndAsksBeforeReplacing)
{
    ui()->myoriginField->setText("first.example");
    Alerts::setNextFileName(pathFor("Config 2.0"));
    window->saveDocument();
    EXPECT_FALSE(QFile::exists(pathFor("Config 2.0")));
    ASSERT_TRUE(QFile::exists(pathFor("Config 2.0.brvn")));
    EXPECT_TRUE(Alerts::shown().isEmpty()); // nothing there to replace
    const QByteArray first = [&] {
        QFile file(pathFor("Config 2.0.brvn"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();

    ui()->myoriginField->setText("second.example");
    for (const int answer : {returncode::defaultButton, returncode::alternateButton}) { // Cancel, then Replace
        Alerts::setNextFileName(pathFor("Config 2.0"));
        Alerts::setNextAnswer(answer);
        window->saveDocument();
        QFile file(pathFor("Config 2.0.brvn"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll() == first, answer == returncode::defaultButton);
    }
    ASSERT_EQ(Alerts::shown().size(), 2);
    EXPECT_EQ(Alerts::shown().last().title, "\u201cConfig 2.0.brvn\u201d already exists. Do you want to replace it?");
}

TEST_F(DocumentTest, MissingKeysTakeTheirAbsentValuesAndEmptyTheTables)
{
    fillEveryControl(ui(), *window);
    QFile file(pathFor("partial.brvn"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(documentWith({{"mydomainField", "only.example"}, {"luser_relay_popup", "nobody-by-that-name"}}));
    file.close();
    Alerts::setNextAnswer(returncode::defaultButton); // replace the filled forms
    ASSERT_TRUE(window->openFile(file.fileName()));
    EXPECT_EQ(ui()->mydomainField->text(), "only.example");
    EXPECT_EQ(ui()->myoriginField->text(), "");
    EXPECT_EQ(ui()->messagesizeField->text(), "0");
    EXPECT_EQ(ui()->mailboxsizeField->text(), "0");
    EXPECT_EQ(ui()->pollingIntervalField->text(), "60");
    EXPECT_EQ(ui()->timeOutIntervalField->text(), "45");
    EXPECT_EQ(controls::state(ui()->enableSASLClient), 0);
    EXPECT_EQ(controls::selectedRow(ui()->saslAuthMethod), 0);
    EXPECT_EQ(ui()->luser_relay_popup->currentIndex(), 0);
    EXPECT_EQ(window->fetchmailController.rowCount(), 0);
    EXPECT_EQ(window->smartHostController.rowCount(), 0);
}

TEST_F(DocumentTest, ReadOnlyExistingFileIsNotReplaced)
{
    const QString path = pathFor("locked.brvn");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("precious");
    file.close();
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    Alerts::setNextFileName(path);
    window->saveDocument();
    ASSERT_FALSE(Alerts::shown().isEmpty());
    EXPECT_EQ(Alerts::shown().constLast().title, "Error");
    EXPECT_EQ(Alerts::shown().constLast().message,
              "Couldn't replace the file. Be sure that you have the necessary privileges.");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "precious");
    EXPECT_EQ(UserDefaults::value("savePath"), dir.path());
}

TEST_F(DocumentTest, CancellingTheSaveChangesNothing)
{
    UserDefaults::setValue("savePath", "/somewhere/else");
    Alerts::setNextFileName(QString());
    window->saveDocument();
    EXPECT_EQ(UserDefaults::value("savePath"), "/somewhere/else");
    EXPECT_TRUE(Alerts::shown().isEmpty());
}

TEST_F(DocumentTest, AMissingFileGivesTheCannotBeFoundSheet)
{
    ui()->mydomainField->setText("kept.example");
    const int beeps = Alerts::beepCount();
    EXPECT_FALSE(window->openFile(pathFor("gone.brvn")));
    EXPECT_EQ(Alerts::beepCount(), beeps + 1);
    ASSERT_EQ(Alerts::shown().size(), 1);
    EXPECT_EQ(Alerts::shown().at(0).title, QString("The file %1 cannot be found.").arg(pathFor("gone.brvn")));
    EXPECT_EQ(Alerts::shown().at(0).message, "It may have been moved or deleted.");
    EXPECT_EQ(ui()->mydomainField->text(), "kept.example");
}

TEST_F(DocumentTest, ADamagedDocumentIsRefusedAndChangesNothing)
{
    fillEveryControl(ui(), *window);
    QByteArray good = documentWith({{"mydomainField", "evil.example"}});
    QFile file(pathFor("damaged.brvn"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(good.left(good.size() - 3));
    file.close();
    const int beeps = Alerts::beepCount();
    EXPECT_FALSE(window->openFile(file.fileName()));
    EXPECT_EQ(Alerts::beepCount(), beeps + 1);
    EXPECT_EQ(ui()->mydomainField->text(), "example.com");
    EXPECT_EQ(window->fetchmailController.rowCount(), 2);
}

TEST_F(DocumentTest, AnEntryOfTheWrongKindIsDamage)
{
    QFile file(pathFor("wrong-kind.brvn"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    KeyedArchiver archiver;
    archiver.encodeInteger("mydomainField", 7);
    file.write(archiver.finishEncoding());
    file.close();
    ui()->mydomainField->setText("kept");
    EXPECT_FALSE(window->openFile(file.fileName()));
    EXPECT_EQ(ui()->mydomainField->text(), "kept");
}

TEST_F(DocumentTest, TheTitleNamesTheDocumentAndMarksChangedForms)
{
    EXPECT_FALSE(window->isWindowModified());
    ui()->mydomainField->setText("edited.example");
    EXPECT_TRUE(window->isWindowModified());
    ui()->mydomainField->setText("");
    EXPECT_FALSE(window->isWindowModified()) << "typed back to what it was";

    // A name without the document type gets it, so the open panel lists it.
    ui()->mydomainField->setText("saved.example");
    Alerts::setNextFileName(pathFor("Office"));
    window->saveDocument();
    EXPECT_TRUE(QFile::exists(pathFor("Office.brvn")));
    EXPECT_FALSE(QFile::exists(pathFor("Office")));
    EXPECT_EQ(window->windowFilePath(), pathFor("Office.brvn"));
    EXPECT_TRUE(window->windowTitle().startsWith("Office.brvn[*]"));
    EXPECT_FALSE(window->isWindowModified());
    window->smartHostController.addObject({{"location", "Home"}});
    EXPECT_TRUE(window->isWindowModified());
}

TEST_F(DocumentTest, OpeningOverChangedFormsAsksFirst)
{
    QFile file(pathFor("other.brvn"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(documentWith({{"mydomainField", "from.document"}}));
    file.close();
    ASSERT_TRUE(window->openFile(pathFor("other.brvn")));
    EXPECT_TRUE(Alerts::shown().isEmpty()) << "nothing was changed yet";

    ui()->mydomainField->setText("typed.example");
    Alerts::setNextAnswer(returncode::alternateButton);
    EXPECT_FALSE(window->openFile(pathFor("other.brvn")));
    ASSERT_EQ(Alerts::shown().size(), 1);
    EXPECT_EQ(Alerts::shown().at(0).defaultButton, "Open");
    EXPECT_EQ(ui()->mydomainField->text(), "typed.example");

    Alerts::setNextAnswer(returncode::defaultButton);
    EXPECT_TRUE(window->openFile(pathFor("other.brvn")));
    EXPECT_EQ(ui()->mydomainField->text(), "from.document");
    EXPECT_FALSE(window->isWindowModified());
}

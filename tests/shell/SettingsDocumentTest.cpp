#include "document/SettingsDocument.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QFile>

#include <sys/stat.h>

using namespace brevane;

TEST(SettingsDocument, HasThe46EntriesInWritingOrder)
{
    const auto& entries = document::entries();
    ASSERT_EQ(entries.size(), 46);
    EXPECT_EQ(entries.first().key, "myoriginField");
    EXPECT_EQ(entries.at(14).key, "luser_relay_popup");
    EXPECT_EQ(entries.at(18).key, "saslAuthMethod");
    EXPECT_EQ(entries.at(32).key, "smartHostController");
    EXPECT_EQ(entries.at(40).key, "acmeWebrootField");
    EXPECT_EQ(entries.last().key, "virusScanning");
}

// As a save panel that requires the file type: a name with a dot of its own
// gets the type too, so the file still opens by double-click and in the panel.
TEST(SettingsDocument, ASavedNameEndsInTheFileType)
{
    const std::pair<const char*, const char*> cases[] = {
        {"/home/u/Config", "/home/u/Config.brvn"},
        {"/home/u/Config 2.0", "/home/u/Config 2.0.brvn"},
        {"/home/u/mine.txt", "/home/u/mine.txt.brvn"},
        {"/home/u/mine.brvn.txt", "/home/u/mine.brvn.txt.brvn"},
        {"/home/u/my.folder/Config", "/home/u/my.folder/Config.brvn"},
        {"/home/u/Config.brvn", "/home/u/Config.brvn"},
        {"/home/u/v1.2.brvn", "/home/u/v1.2.brvn"},
    };
    for (const auto& [typed, saved] : cases)
        EXPECT_EQ(document::withFileType(typed), saved) << typed;
}

TEST(SettingsDocument, EmptyDocumentGivesEveryAbsentValue)
{
    const auto values = document::decode(document::encode({}));
    ASSERT_TRUE(values.has_value());
    EXPECT_EQ(values->size(), 46);
    // Documents from before filtering: off, at the usual scores.
    EXPECT_EQ(values->value("spamFiltering").toInt(), 0);
    EXPECT_EQ(values->value("spamHeaderScore").toString(), "6");
    EXPECT_EQ(values->value("spamRejectScore").toString(), "15");
    EXPECT_EQ(values->value("virusScanning").toInt(), 0);
    // A document from before certificates came from a CA: off, Let's Encrypt's directory.
    EXPECT_EQ(values->value("acmeEnabled").toInt(), 0);
    EXPECT_EQ(values->value("acmeDirectoryField").toString(), "https://acme-v02.api.letsencrypt.org/directory");
    EXPECT_EQ(values->value("acmeMethod").toInt(), 0);
    EXPECT_EQ(values->value("messagesizeField").toString(), "0");
    // Documents from before DKIM signing: off, under the usual selector.
    EXPECT_EQ(values->value("dkimSigning").toInt(), 0);
    EXPECT_EQ(values->value("dkimSelector").toString(), "brevane");
    EXPECT_EQ(values->value("pollingIntervalField").toString(), "60");
    EXPECT_EQ(values->value("timeOutIntervalField").toString(), "45");
    EXPECT_EQ(values->value("enableSSL").toInt(), 0);
    EXPECT_TRUE(values->value("luser_relay_popup").isNull());
    EXPECT_TRUE(values->value("fetchmailController").value<Rows>().isEmpty());
}

TEST(SettingsDocument, RefusesGarbageAndDamagedTables)
{
    QString error;
    EXPECT_FALSE(document::decode("not a document", &error).has_value());
    EXPECT_FALSE(error.isEmpty());

    KeyedArchiver archiver;
    archiver.encodeData("fetchmailController", "\x01\x02");
    EXPECT_FALSE(document::decode(archiver.finishEncoding(), &error).has_value());
    EXPECT_TRUE(error.contains("fetchmailController")) << error.toStdString();
}

TEST(SettingsDocument, ReadOnlyFilesAreNotWritableEvenForRoot)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("doc.brvn");
    ASSERT_TRUE(document::writeAtomically(path, "x"));
    EXPECT_TRUE(document::isWritableFile(path));
    QFile::setPermissions(path, QFileDevice::ReadOwner);
    EXPECT_FALSE(document::isWritableFile(path));
    EXPECT_FALSE(document::isWritableFile(dir.filePath("missing")));
}

// A document holds every password of the forms: private for a new name and
// for one that replaces a file others could read, whatever the umask.
TEST(SettingsDocument, IsWrittenOwnerOnly)
{
    QTemporaryDir dir;
    const QString fresh = dir.filePath("new.brvn");
    const QString replaced = dir.filePath("old.brvn");
    ASSERT_TRUE(document::writeAtomically(replaced, "old"));
    QFile::setPermissions(replaced, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    const mode_t mask = ::umask(022);
    for (const QString& path : {fresh, replaced}) {
        ASSERT_TRUE(document::writeAtomically(path, "secret"));
        struct stat status {};
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0600u) << path.toStdString();
    }
    ::umask(mask);
}

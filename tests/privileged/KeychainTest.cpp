// The keychain operations: the byte handling on its own, the real
// Secret Service (run under a private bus with an unlocked keyring), and
// no bus at all.

#include "privileged/Keychain.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

using brevane::Keychain;

namespace {

const QString admin = QString::fromUtf8("Ädmin Person");

class KeychainStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        QCoreApplication::setApplicationName("brevane-keychain-test");
        Keychain::deletePasswordForUser(admin);
        Keychain::deletePasswordForUser("someone else");
    }
};

} // namespace

TEST(KeychainData, ReadBackIsCutAtLimitOrZeroByte)
{
    EXPECT_EQ(Keychain::passwordFromData("secret"), "secret");
    EXPECT_EQ(Keychain::passwordFromData(QByteArray("sec\0ret", 7)), "sec");
    EXPECT_EQ(Keychain::passwordFromData(QByteArray(1500, 'p')), QString(1023, 'p'));
    EXPECT_EQ(Keychain::passwordFromData(""), "");
    EXPECT_EQ(Keychain::passwordFromData("pässwörd"), QString::fromUtf8("pässwörd"));
}

TEST(KeychainData, ServiceIsTheApplicationName)
{
    QCoreApplication::setApplicationName("brevane");
    EXPECT_EQ(Keychain::serviceName(), "brevane");
}

TEST_F(KeychainStore, StoresAndReadsBack)
{
    const QString password = QString::fromUtf8("s3cret with spaces, ß and €");
    Keychain::storePassword(password, admin);
    EXPECT_EQ(Keychain::getPasswordForUser(admin), password);
}

TEST_F(KeychainStore, ASecondStoreOverwritesTheOneItem)
{
    Keychain::storePassword("first", admin);
    Keychain::storePassword("second", admin);
    EXPECT_EQ(Keychain::getPasswordForUser(admin), "second");
    // One delete leaves nothing: there was never a second item.
    Keychain::deletePasswordForUser(admin);
    EXPECT_EQ(Keychain::getPasswordForUser(admin), "");
}

TEST_F(KeychainStore, OtherUsersAndServicesFindNothing)
{
    Keychain::storePassword("mine", admin);
    EXPECT_EQ(Keychain::getPasswordForUser("someone else"), "");
    QCoreApplication::setApplicationName("another-application");
    EXPECT_EQ(Keychain::getPasswordForUser(admin), "");
    QCoreApplication::setApplicationName("brevane-keychain-test");
    EXPECT_EQ(Keychain::getPasswordForUser(admin), "mine");
}

TEST_F(KeychainStore, DeleteRemovesAndIsHarmlessTwice)
{
    Keychain::storePassword("gone soon", admin);
    Keychain::deletePasswordForUser(admin);
    EXPECT_EQ(Keychain::getPasswordForUser(admin), "");
    Keychain::deletePasswordForUser(admin);
    EXPECT_EQ(Keychain::getPasswordForUser(admin), "");
}

TEST_F(KeychainStore, ALongPasswordReadsBackAsItsFirst1023Bytes)
{
    QString password;
    for (int i = 0; i < 1500; ++i)
        password += QChar('a' + i % 26);
    Keychain::storePassword(password, admin);
    EXPECT_EQ(Keychain::getPasswordForUser(admin), password.left(1023));
}

TEST(KeychainNoBus, ReadsEmptyAndStoresNothing)
{
    QCoreApplication::setApplicationName("brevane-keychain-test");
    Keychain::storePassword("nowhere", admin);
    EXPECT_EQ(Keychain::getPasswordForUser(admin), "");
    Keychain::deletePasswordForUser(admin);
}

// Login flows that go through the desktop's keyring; run under a private
// session bus with an unlocked gnome-keyring (see CMakeLists.txt).
#include "WindowFixture.h"
#include "privileged/Keychain.h"

#include <QProcess>

using namespace brevane;

class KeychainLogin : public WindowTest
{
protected:
    void TearDown() override { Keychain::deletePasswordForUser("admin"); }

    void launchWithBoxOn()
    {
        window->loginUi()->administratorField->setText("admin");
        window->loginUi()->savePasswordInKeychain->setChecked(true);
        window->applicationDidFinishLaunching();
    }
};

TEST_F(KeychainLogin, AStoredPasswordThatAuthenticatesSkipsTheSheet)
{
    Keychain::storePassword("good", "admin");
    launchWithBoxOn();
    EXPECT_FALSE(window->loginPanel()->isVisible());
    EXPECT_EQ(fake.countCalls("dscl . list ./users uid"), 1);
}

TEST_F(KeychainLogin, AStalePasswordShowsTheSheetWithItSelected)
{
    Keychain::storePassword("old-password", "admin");
    launchWithBoxOn();
    EXPECT_TRUE(window->loginPanel()->isVisible());
    EXPECT_EQ(window->loginUi()->passwordField->text(), "old-password");
    EXPECT_EQ(window->loginUi()->passwordField->selectedText(), "old-password");
    EXPECT_TRUE(fake.calls().isEmpty());
}

TEST_F(KeychainLogin, LoggingInWithTheBoxOnStoresThePassword)
{
    window->loginUi()->administratorField->setText("admin");
    window->loginUi()->savePasswordInKeychain->setChecked(false);
    window->applicationDidFinishLaunching();
    window->loginUi()->savePasswordInKeychain->setChecked(true);
    window->loginUi()->passwordField->setText("good");
    window->doLogin();
    EXPECT_EQ(Keychain::getPasswordForUser("admin"), "good");
}

TEST_F(KeychainLogin, LoggingInWithTheBoxOffDeletesTheStoredPassword)
{
    Keychain::storePassword("good", "admin");
    ASSERT_EQ(Keychain::getPasswordForUser("admin"), "good");
    launchAndLogIn();
    EXPECT_FALSE(window->loginPanel()->isVisible());
    EXPECT_EQ(Keychain::getPasswordForUser("admin"), "");
}

TEST_F(KeychainLogin, TheNextLaunchLogsInWithTheRememberedPassword)
{
    window->loginUi()->administratorField->setText("admin");
    window->loginUi()->savePasswordInKeychain->setChecked(false);
    window->applicationDidFinishLaunching();
    window->loginUi()->savePasswordInKeychain->setChecked(true);
    window->loginUi()->passwordField->setText("good");
    window->doLogin();

    window = std::make_unique<WindowController>();
    fake.clearCalls();
    window->applicationDidFinishLaunching();
    EXPECT_EQ(window->loginUi()->administratorField->text(), "admin");
    EXPECT_TRUE(window->loginUi()->savePasswordInKeychain->isChecked());
    EXPECT_FALSE(window->loginPanel()->isVisible());
    EXPECT_EQ(fake.countCalls("dscl . list ./users uid"), 1);
    EXPECT_EQ(Keychain::getPasswordForUser("admin"), "good");
}

TEST_F(KeychainLogin, AKeyringManagerShowsThePasswordAsTyped)
{
    Keychain::storePassword("p\u00e4ss w\u00f6rd", "admin");
    QProcess lookup;
    lookup.start("secret-tool", {"lookup", "user", "admin", "server", Keychain::serviceName()});
    ASSERT_TRUE(lookup.waitForFinished(10000));
    EXPECT_EQ(QString::fromUtf8(lookup.readAllStandardOutput()), "p\u00e4ss w\u00f6rd");
}

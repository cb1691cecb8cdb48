#pragma once

#include "FakeSystem.h"
#include "shell/Alerts.h"
#include "shell/WindowController.h"
#include "ui_LoginPanel.h"
#include "ui_MainWindow.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <memory>

/// A real window over a fake system, logged in unless a test says not to.
class WindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Alerts::resetRecord();
        window = std::make_unique<WindowController>();
        window->show();
    }

    /// Launch with the box off, then log in as the fake administrator.
    void launchAndLogIn()
    {
        window->loginUi()->savePasswordInKeychain->setChecked(false);
        window->loginUi()->administratorField->setText("admin");
        window->applicationDidFinishLaunching();
        window->loginUi()->passwordField->setText("good");
        window->doLogin();
    }

    Ui::MainWindow* ui() const { return window->ui(); }

    /// Lets the event loop run until `done` holds or two seconds pass.
    template<typename Predicate>
    static bool waitFor(Predicate done)
    {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < 2000)
            QTest::qWait(20);
        return done();
    }

    FakeSystem fake;
    std::unique_ptr<WindowController> window;
};

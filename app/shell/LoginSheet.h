#pragma once

#include <QDialog>

/// The administrator login sheet. Without a log-in every command is
/// refused, so only a successful log-in (accept) or quitting (hide) ends
/// it: Escape and the sheet's own close button leave it up.
class LoginSheet : public QDialog {
    Q_OBJECT

public:
    using QDialog::QDialog;
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
};

#pragma once

#include "status/OutsideSettings.h"

#include <QGroupBox>

class QLabel;
class QLineEdit;
class QPlainTextEdit;

/// The Status tab's editors for the checks from outside: each change is
/// stored at once, and what is not usable is named below the fields.
class OutsideSettingsBox : public QGroupBox {
    Q_OBJECT

public:
    explicit OutsideSettingsBox(QWidget* parent = nullptr);

    brevane::status::OutsideSettings settings() const;

signals:
    /// A field was edited and stored.
    void changed();

private:
    void store();

    QLineEdit* m_vantage = nullptr;
    QLineEdit* m_address = nullptr;
    QLineEdit* m_recipient = nullptr;
    QPlainTextEdit* m_zones = nullptr;
    QLabel* m_message = nullptr;
};

#pragma once

#include "status/OutsideChecks.h"

#include <QGroupBox>

class QLabel;
class QLineEdit;
class QPlainTextEdit;

/// The Status tab's settings for the checks from outside: the vantage
/// point, the public address, the relay test's recipient and the block
/// lists. Kept in QSettings as typed, so nothing typed is lost; what is not
/// usable is named below the fields and left out of the checks.
class OutsideSettingsBox : public QGroupBox {
    Q_OBJECT

public:
    explicit OutsideSettingsBox(QWidget* parent = nullptr);

    /// The inputs with this box's settings filled in; the given target (the
    /// host name) stays when no public address is set.
    brevane::status::OutsideInputs inputs(brevane::status::OutsideInputs given) const;

private:
    void store();
    QString problems() const;

    QLineEdit* m_vantage = nullptr;
    QLineEdit* m_address = nullptr;
    QLineEdit* m_recipient = nullptr;
    QPlainTextEdit* m_zones = nullptr;
    QLabel* m_message = nullptr;
};

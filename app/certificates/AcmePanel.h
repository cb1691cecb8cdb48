#pragma once

#include "certificates/AcmeSettings.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace brevane {

/// The controls of a certificate from an ACME CA: on or off, the host name,
/// the contact address, the CA's directory URL and how the CA checks the
/// host. Holds no logic: the window asks it for its settings and tells it
/// what is installed.
class AcmePanel : public QWidget
{
    Q_OBJECT
public:
    explicit AcmePanel(QWidget* parent = nullptr);

    acme::AcmeSettings settings() const;
    void setSettings(const acme::AcmeSettings& settings);
    /// What the status refresh found installed, and why it does not count.
    void showInstalled(const QString& summary, const QString& reason);
    /// The mail domain, shown as the host name when none is given.
    void setMailDomain(const QString& mailDomain);

signals:
    void obtainRequested();
    /// The administrator switched certificates from a CA off.
    void switchedOff();
    void edited();

private:
    void updateEnabling();

    QCheckBox* m_enabled;
    QLineEdit* m_hostName;
    QLineEdit* m_email;
    QLineEdit* m_directory;
    QComboBox* m_method;
    QLineEdit* m_webroot;
    QLabel* m_installed;
    QPushButton* m_obtain;
};

} // namespace brevane

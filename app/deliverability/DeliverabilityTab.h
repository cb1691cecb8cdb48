#pragma once

#include "deliverability/DnsChecks.h"

#include <QFutureWatcher>
#include <QMap>
#include <QWidget>

#include <atomic>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class QVBoxLayout;

/// The Deliverability tab: DKIM signing and the DNS records other mail
/// servers look at. It only shows and collects: the window controller runs
/// the privileged script and hands the keys back (showKeys).
class DeliverabilityTab : public QWidget
{
    Q_OBJECT

public:
    explicit DeliverabilityTab(QWidget* parent = nullptr);
    ~DeliverabilityTab() override;

    bool dkimSigning() const;
    void setDkimSigning(bool on);
    QString selector() const;
    void setSelector(const QString& selector);
    /// The domains signed for; the checks are run for each.
    void setDomains(const QStringList& domains);
    QStringList domains() const { return m_domains; }
    /// Public keys by domain, as the configuration script printed them.
    void showKeys(const QMap<QString, QString>& keys);
    QString publicKey(const QString& domain) const { return m_keys.value(domain); }
    /// The address this server sends from, as typed.
    QString publicAddress() const;

    /// Where checks ask DNS; the system's resolver unless a test says otherwise.
    void setLookup(brevane::dns::Lookup lookup);
    /// Where checks get the certificates a mail host serves; port 25 unless a test says otherwise.
    void setServedChain(brevane::dns::ServedChain served);
    /// Runs the DNS checks off the GUI thread; checksFinished follows.
    void checkDns();
    bool isChecking() const;
    QList<brevane::dns::CheckRow> rows() const { return m_rows; }

    /// Where further groups of this tab go, below DKIM and the DNS checks.
    QVBoxLayout* groupsLayout() const { return m_groups; }

signals:
    void applyDkimRequested();
    /// Check DNS was pressed: the controller brings domains and keys up to date, then calls checkDns.
    void checkDnsRequested();
    void checksFinished();

private:
    QWidget* dkimGroup();
    QWidget* dnsGroup();
    void showRecord();
    void showRows(const QList<brevane::dns::CheckRow>& rows);
    void clearRows();

    QCheckBox* m_signing = nullptr;
    QLineEdit* m_selector = nullptr;
    QPlainTextEdit* m_record = nullptr;
    QLabel* m_domainLabel = nullptr;
    QLineEdit* m_address = nullptr;
    QPushButton* m_checkButton = nullptr;
    QLabel* m_status = nullptr;
    QTableWidget* m_table = nullptr;
    QPlainTextEdit* m_suggestions = nullptr;
    QVBoxLayout* m_groups = nullptr;
    QStringList m_domains;
    QMap<QString, QString> m_keys;
    QList<brevane::dns::CheckRow> m_rows;
    brevane::dns::Lookup m_lookup;
    brevane::dns::ServedChain m_served;
    /// Set when the answers of the running check are no longer wanted.
    std::shared_ptr<std::atomic_bool> m_abandoned;
    QFutureWatcher<QList<brevane::dns::CheckRow>> m_watcher;
};

#include "deliverability/DeliverabilityTab.h"
#include "deliverability/ServedCertificates.h"
#include "deliverability/UnboundResolver.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkInterface>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

using namespace brevane;

namespace {

enum Column { RecordColumn, NameColumn, StateColumn, FoundColumn, ExpectedColumn, ColumnCount };

QPushButton* button(const QString& name, const QString& title)
{
    auto* b = new QPushButton(title);
    b->setObjectName(name);
    return b;
}

QPlainTextEdit* copyableText(const QString& name, const QString& placeholder, int height)
{
    auto* text = new QPlainTextEdit;
    text->setObjectName(name);
    text->setReadOnly(true);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text->setPlaceholderText(placeholder);
    text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    text->setMaximumHeight(height);
    return text;
}

// The machine's first global address, as a guess at the one others see.
QString firstGlobalAddress()
{
    for (const QHostAddress& address : QNetworkInterface::allAddresses())
        if (address.isGlobal() && !address.isLoopback() && !address.isLinkLocal())
            return address.toString();
    return {};
}

QString stateText(dns::CheckState state)
{
    switch (state) {
    case dns::CheckState::Passed:
        return QStringLiteral("OK");
    case dns::CheckState::Failed:
        return QStringLiteral("Missing or wrong");
    case dns::CheckState::Unreachable:
        return QString::fromLatin1(dns::unreachableText);
    case dns::CheckState::Unjudged:
        return QStringLiteral("Not judged");
    }
    return {};
}

QColor stateColour(dns::CheckState state)
{
    switch (state) {
    case dns::CheckState::Passed:
        return {0xc8, 0xf0, 0xc8};
    case dns::CheckState::Unjudged:
        return {0xe4, 0xe4, 0xe4};
    default:
        return {0xf6, 0xc4, 0xc4};
    }
}

// A tool tip shows rich text when its text looks like some: DNS text is
// anyone's, so it goes in escaped, to be shown as the characters it is.
QString plainToolTip(const QString& text)
{
    return QStringLiteral("<p style='white-space:pre-wrap'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

// What a check asks in the window: the system's resolver, and port 25 of
// the mail host, both giving up at once when the answers are abandoned.
QList<dns::CheckRow> checkWithResolver(dns::CheckInput input, const std::shared_ptr<std::atomic_bool>& abandoned)
{
    dns::ResolverOptions options;
    options.abandoned = abandoned;
    dns::UnboundResolver resolver(options);
    input.validates = resolver.validates();
    return dns::runChecks(input, resolver.lookup(), [&abandoned](const QString& address) {
        return dns::servedCertificates(address, 5000, abandoned);
    });
}

} // namespace

DeliverabilityTab::DeliverabilityTab(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("deliverabilityPage"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(dkimGroup());
    layout->addWidget(dnsGroup(), 1);
    m_groups = new QVBoxLayout;
    m_groups->setObjectName(QStringLiteral("deliverabilityGroupsLayout"));
    layout->addLayout(m_groups);
    connect(&m_watcher, &QFutureWatcher<QList<dns::CheckRow>>::finished, this, [this] {
        showRows(m_watcher.result());
        m_checkButton->setEnabled(true);
        emit checksFinished();
    });
}

DeliverabilityTab::~DeliverabilityTab()
{
    // A lookup still waiting for its server must not report to a gone tab,
    // nor keep the window from closing: its answers are abandoned.
    m_watcher.disconnect();
    if (m_abandoned)
        m_abandoned->store(true);
    m_watcher.waitForFinished();
}

QWidget* DeliverabilityTab::dkimGroup()
{
    auto* group = new QGroupBox(tr("DKIM signing"));
    auto* form = new QFormLayout(group);
    m_signing = new QCheckBox(tr("Sign outgoing mail with DKIM (OpenDKIM, one 2048-bit key a mail domain)"));
    m_signing->setObjectName(QStringLiteral("dkimSigningBox"));
    form->addRow(m_signing);
    m_selector = new QLineEdit;
    m_selector->setObjectName(QStringLiteral("dkimSelectorField"));
    m_selector->setToolTip(tr("The name the key is published under: SELECTOR._domainkey.DOMAIN. Letters, digits "
                              "and hyphens. A new selector makes a new key."));
    auto* apply = button(QStringLiteral("applyDkimButton"), tr("Apply DKIM"));
    auto* row = new QHBoxLayout;
    row->addWidget(m_selector);
    row->addWidget(apply);
    form->addRow(tr("Selector:"), row);
    m_record = copyableText(QStringLiteral("dkimRecordField"), tr("Apply DKIM to make the keys; the TXT records "
                                                                  "to publish appear here."),
                             64);
    auto* copy = button(QStringLiteral("copyDkimRecordButton"), tr("Copy"));
    auto* recordRow = new QHBoxLayout;
    recordRow->addWidget(m_record);
    recordRow->addWidget(copy, 0, Qt::AlignTop);
    form->addRow(tr("Publish:"), recordRow);
    connect(apply, &QPushButton::clicked, this, &DeliverabilityTab::applyDkimRequested);
    connect(copy, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(m_record->toPlainText()); });
    connect(m_selector, &QLineEdit::textChanged, this, &DeliverabilityTab::showRecord);
    return group;
}

QWidget* DeliverabilityTab::dnsGroup()
{
    auto* group = new QGroupBox(tr("DNS records"));
    auto* layout = new QVBoxLayout(group);
    auto* form = new QFormLayout;
    m_domainLabel = new QLabel(tr("(set the mail domain on the Outgoing tab)"));
    m_domainLabel->setObjectName(QStringLiteral("dnsDomainLabel"));
    m_domainLabel->setTextFormat(Qt::PlainText);
    form->addRow(tr("Mail domain:"), m_domainLabel);
    m_address = new QLineEdit(firstGlobalAddress());
    m_address->setObjectName(QStringLiteral("publicAddressField"));
    m_address->setPlaceholderText(tr("the address this server sends mail from, as others see it"));
    m_checkButton = button(QStringLiteral("checkDnsButton"), tr("Check DNS"));
    auto* row = new QHBoxLayout;
    row->addWidget(m_address);
    row->addWidget(m_checkButton);
    form->addRow(tr("This server's address:"), row);
    layout->addLayout(form);
    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("dnsStatusLabel"));
    m_status->setTextFormat(Qt::PlainText);
    layout->addWidget(m_status);
    m_table = new QTableWidget(0, ColumnCount);
    m_table->setObjectName(QStringLiteral("dnsChecksTable"));
    m_table->setHorizontalHeaderLabels({tr("Record"), tr("Name"), tr("State"), tr("Found"), tr("Expected")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->setVisible(false);
    // This server's row and one domain's group in view at once.
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 8);
    m_table->setMinimumHeight(10 * (m_table->fontMetrics().height() + 8) + m_table->horizontalHeader()->sizeHint().height() + 4);
    m_table->setWordWrap(false);
    m_table->horizontalHeader()->setStretchLastSection(true);
    for (const auto& [column, width] : {std::pair{RecordColumn, 70}, {NameColumn, 230}, {StateColumn, 130},
                                        {FoundColumn, 300}})
        m_table->setColumnWidth(column, width);
    layout->addWidget(m_table, 1);
    m_suggestions = copyableText(QStringLiteral("dnsSuggestionsField"), tr("Records to publish appear here after a "
                                                                           "check."),
                                  80);
    layout->addWidget(new QLabel(tr("Suggested records (zone-file lines):")));
    layout->addWidget(m_suggestions);
    connect(m_checkButton, &QPushButton::clicked, this, &DeliverabilityTab::checkDnsRequested);
    return group;
}

bool DeliverabilityTab::dkimSigning() const
{
    return m_signing->isChecked();
}

void DeliverabilityTab::setDkimSigning(bool on)
{
    m_signing->setChecked(on);
}

QString DeliverabilityTab::selector() const
{
    return m_selector->text().trimmed();
}

void DeliverabilityTab::setSelector(const QString& selector)
{
    m_selector->setText(selector);
}

void DeliverabilityTab::setDomains(const QStringList& domains)
{
    m_domains = domains;
    m_domainLabel->setText(domains.isEmpty() ? tr("(set the mail domain on the Outgoing tab)")
                                             : domains.join(QStringLiteral(", ")));
    showRecord();
}

QString DeliverabilityTab::publicAddress() const
{
    return m_address->text().trimmed();
}

void DeliverabilityTab::showKeys(const QMap<QString, QString>& keys)
{
    m_keys = keys;
    showRecord();
}

void DeliverabilityTab::showRecord()
{
    QStringList lines;
    for (const QString& domain : m_domains) {
        const QString key = m_keys.value(domain);
        if (!key.isEmpty())
            lines.append(dns::txtZoneLine(dns::dkimRecordName(selector(), domain), dns::dkimRecordText(key)));
    }
    m_record->setPlainText(lines.join(u'\n'));
}

void DeliverabilityTab::setLookup(dns::Lookup lookup)
{
    m_lookup = std::move(lookup);
}

void DeliverabilityTab::setServedChain(dns::ServedChain served)
{
    m_served = std::move(served);
}

bool DeliverabilityTab::isChecking() const
{
    return m_watcher.isRunning();
}

void DeliverabilityTab::checkDns()
{
    if (m_watcher.isRunning())
        return;
    clearRows();
    if (m_domains.isEmpty()) {
        m_status->setText(tr("Set the mail domain on the Outgoing tab first."));
        return;
    }
    dns::CheckInput input{m_domains, selector(), m_keys, m_address->text().trimmed()};
    m_checkButton->setEnabled(false);
    m_status->setText(tr("Asking DNS about %1\u2026").arg(m_domains.join(QStringLiteral(", "))));
    m_abandoned = std::make_shared<std::atomic_bool>(false);
    if (m_lookup)
        m_watcher.setFuture(QtConcurrent::run([input, lookup = m_lookup, served = m_served] {
            return dns::runChecks(input, lookup, served);
        }));
    else
        m_watcher.setFuture(QtConcurrent::run(checkWithResolver, input, m_abandoned));
}

void DeliverabilityTab::clearRows()
{
    m_rows.clear();
    m_table->setRowCount(0);
    m_suggestions->clear();
}

void DeliverabilityTab::showRows(const QList<dns::CheckRow>& rows)
{
    m_rows = rows;
    m_table->setRowCount(0);
    QStringList suggestions;
    int passed = 0;
    bool unreachable = false;
    QString group;
    for (const dns::CheckRow& row : rows) {
        int at = m_table->rowCount();
        if (row.group != group) {
            // A heading row for each domain, across the table.
            group = row.group;
            m_table->insertRow(at);
            auto* heading = new QTableWidgetItem(group);
            QFont bold = heading->font();
            bold.setBold(true);
            heading->setFont(bold);
            m_table->setItem(at, 0, heading);
            m_table->setSpan(at, 0, 1, ColumnCount);
            ++at;
        }
        m_table->insertRow(at);
        const QStringList texts{row.record, row.name, stateText(row.state), row.found, row.expected};
        for (int column = 0; column < ColumnCount; ++column) {
            auto* item = new QTableWidgetItem(texts.at(column));
            item->setBackground(stateColour(row.state));
            item->setToolTip(plainToolTip(texts.at(column)));
            m_table->setItem(at, column, item);
        }
        passed += row.state == dns::CheckState::Passed;
        unreachable |= row.state == dns::CheckState::Unreachable;
        if (!row.suggestion.isEmpty())
            suggestions.append(row.suggestion);
    }
    m_suggestions->setPlainText(suggestions.join(u'\n'));
    if (unreachable)
        m_status->setText(tr("DNS not reachable: no name server answered in time. Check this machine's network "
                             "and /etc/resolv.conf."));
    else
        m_status->setText(tr("%1 of %2 records as expected.").arg(passed).arg(rows.size()));
}

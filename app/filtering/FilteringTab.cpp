#include "filtering/FilteringTab.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace brevane;

namespace {

QLineEdit* scoreField(const QString& name)
{
    auto* field = new QLineEdit;
    field->setObjectName(name);
    field->setMaximumWidth(80);
    return field;
}

QLabel* wrappedLabel(const QString& name, const QString& text = {})
{
    auto* label = new QLabel(text);
    label->setObjectName(name);
    label->setWordWrap(true);
    return label;
}

} // namespace

FilteringTab::FilteringTab(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("filteringPage"));
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(tr("Spam and virus filtering"));
    auto* form = new QFormLayout(group);
    m_spam = new QCheckBox(tr("Filter incoming and outgoing mail with rspamd"));
    m_spam->setObjectName(QStringLiteral("spamFilteringBox"));
    form->addRow(m_spam);
    m_headerScore = scoreField(QStringLiteral("spamHeaderScoreField"));
    form->addRow(tr("Mark as spam (X-Spam header) from score:"), m_headerScore);
    m_rejectScore = scoreField(QStringLiteral("spamRejectScoreField"));
    form->addRow(tr("Reject from score:"), m_rejectScore);
    m_greylisting = new QCheckBox(tr("Greylist doubtful senders (they must try again a few minutes later)"));
    m_greylisting->setObjectName(QStringLiteral("greylistingBox"));
    form->addRow(m_greylisting);
    m_virus = new QCheckBox(tr("Scan for viruses with ClamAV (infected mail is rejected)"));
    m_virus->setObjectName(QStringLiteral("virusScanningBox"));
    form->addRow(m_virus);
    auto* apply = new QPushButton(tr("Apply Filtering"));
    apply->setObjectName(QStringLiteral("applyFilteringButton"));
    auto* row = new QHBoxLayout;
    row->addWidget(apply);
    row->addStretch(1);
    form->addRow(row);
    layout->addWidget(group);

    m_state = wrappedLabel(QStringLiteral("filteringStateLabel"));
    layout->addWidget(m_state);
    m_database = wrappedLabel(QStringLiteral("clamavDatabaseLabel"));
    m_database->setStyleSheet(QStringLiteral("color: #a00000"));
    layout->addWidget(m_database);
    layout->addWidget(wrappedLabel(QStringLiteral("filteringFailOpenLabel"),
        tr("Postfix passes mail on when a filter does not answer (milter_default_action = accept): a filter "
           "that stops never stops mail, it is then delivered unfiltered and the Filtering light turns red.")));
    layout->addWidget(wrappedLabel(QStringLiteral("junkFolderLabel"),
        tr("Marked mail is delivered to each user's Junk folder. What users move into Junk over IMAP is learned "
           "as spam, what they move out of it (except to Trash) as not spam.")));
    layout->addStretch(1);

    connect(apply, &QPushButton::clicked, this, &FilteringTab::applyRequested);
    connect(m_spam, &QCheckBox::toggled, this, &FilteringTab::enableFields);
    setSettings({});
}

filtering::FilteringSettings FilteringTab::settings() const
{
    return { m_spam->isChecked(), m_headerScore->text().trimmed(), m_rejectScore->text().trimmed(),
        m_greylisting->isChecked(), m_virus->isChecked() };
}

void FilteringTab::setSettings(const filtering::FilteringSettings& settings)
{
    m_spam->setChecked(settings.spamFiltering);
    m_headerScore->setText(settings.headerScore);
    m_rejectScore->setText(settings.rejectScore);
    m_greylisting->setChecked(settings.greylisting);
    m_virus->setChecked(settings.virusScanning);
    enableFields();
}

void FilteringTab::showState(const QString& lightText, const QString& databaseWarning)
{
    m_state->setText(lightText);
    m_database->setText(databaseWarning);
    m_database->setVisible(!databaseWarning.isEmpty());
}

void FilteringTab::enableFields()
{
    for (QWidget* field : std::initializer_list<QWidget*> { m_headerScore, m_rejectScore, m_greylisting, m_virus })
        field->setEnabled(m_spam->isChecked());
}

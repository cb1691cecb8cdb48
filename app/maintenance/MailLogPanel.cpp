#include "maintenance/MailLogPanel.h"

#include "filtering/RspamdLog.h"
#include "maintenance/MailLogLine.h"
#include "maintenance/TrafficChart.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTextBlock>
#include <QVBoxLayout>

#include <cstdlib>

using namespace brevane;

namespace {

// One piece per turn of the event loop: a few milliseconds of parsing.
constexpr qint64 pieceBytes = 4 << 20;
constexpr int followInterval = 1000;

std::string_view viewOf(const QByteArray& bytes)
{
    return {bytes.constData(), std::size_t(bytes.size())};
}

} // namespace

MailLogPanel::MailLogPanel(QPlainTextEdit* logView, QWidget* parent)
    : QWidget(parent)
    , m_logView(logView)
    , m_search(new QLineEdit(this))
    , m_follow(new QCheckBox(tr("Follow"), this))
    , m_summaryLabel(new QLabel(this))
    , m_chart(new TrafficChart(this))
    , m_progress(new QProgressBar(this))
    , m_currentPath(logFilePath(LogFile::MailLog))
    , m_rotatedPath(logFilePath(LogFile::RotatedMailLog))
    , m_rspamdPath(QLatin1String(filtering::rspamdLogPath))
{
    m_search->setObjectName(QStringLiteral("logSearchField"));
    m_search->setPlaceholderText(tr("Search the log: text or queue ID"));
    m_search->setClearButtonEnabled(true);
    m_follow->setObjectName(QStringLiteral("followLogToggle"));
    m_follow->setToolTip(tr("Add new mail-log lines as Postfix writes them."));
    m_summaryLabel->setObjectName(QStringLiteral("trafficSummaryLabel"));
    m_summaryLabel->setTextFormat(Qt::PlainText);
    m_summaryLabel->setWordWrap(true);
    m_summaryLabel->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_summaryLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_chart->setObjectName(QStringLiteral("trafficChart"));
    m_progress->setObjectName(QStringLiteral("logProgress"));
    m_progress->setFormat(tr("Reading the mail log… %p%"));
    m_progress->setVisible(false);

    auto* summaryRow = new QHBoxLayout;
    summaryRow->addWidget(m_summaryLabel, 1);
    summaryRow->addWidget(m_chart);
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(m_search, 1);
    searchRow->addWidget(m_follow);
    searchRow->addWidget(m_progress);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(summaryRow);
    layout->addLayout(searchRow);

    // Long lines wrap, so a delivery's status= stays in sight.
    m_logView->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_logView->viewport()->installEventFilter(this);
    m_logView->viewport()->setMouseTracking(true);

    m_followTimer.setInterval(followInterval);
    m_searchDelay.setSingleShot(true);
    m_searchDelay.setInterval(250);
    connect(&m_followTimer, &QTimer::timeout, this, &MailLogPanel::follow);
    connect(&m_searchDelay, &QTimer::timeout, this, &MailLogPanel::render);
    connect(m_search, &QLineEdit::textChanged, this, [this] {
        m_verdicts.clear();
        m_searchDelay.start();
    });
    connect(m_follow, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            m_followTimer.start();
        else
            m_followTimer.stop();
    });
    m_pieceTimer.setSingleShot(true);
    m_pieceTimer.setInterval(0);
    connect(&m_pieceTimer, &QTimer::timeout, this, &MailLogPanel::readNextPiece);
}

void MailLogPanel::setLogPaths(const QString& current, const QString& rotated)
{
    m_currentPath = current;
    m_rotatedPath = rotated;
}

void MailLogPanel::showMailLog(const QString& headings)
{
    m_headings = headings;
    m_showingMailLog = true;
    m_loading = true;
    m_lines.clear();
    m_verdicts.clear();
    m_summarizer = std::make_unique<TrafficSummarizer>(localNow());
    m_readingFile = 0;
    m_offset = 0;
    m_firstCurrentLine = 0;
    m_progress->setRange(0, 0);
    m_progress->setVisible(true);
    m_logView->setPlainText(m_headings);
    m_pieceTimer.start();
}

void MailLogPanel::showOtherText(const QString& text)
{
    m_pieceTimer.stop();
    m_loading = false;
    m_progress->setVisible(false);
    m_showingMailLog = false;
    m_otherText = text;
    render();
}

void MailLogPanel::showDovecotLines()
{
    m_search->setText(QStringLiteral("dovecot"));
    render();
}

void MailLogPanel::readNextPiece()
{
    const bool rotated = m_readingFile == 0;
    const LogChunk chunk = readLogChunk(rotated ? m_rotatedPath : m_currentPath,
                                        rotated ? LogFile::RotatedMailLog : LogFile::MailLog, m_offset, pieceBytes, m_run);
    if (chunk.ok && !chunk.bytes.isEmpty()) {
        takeBytes(chunk.bytes);
        m_offset += chunk.bytes.size();
        m_progress->setRange(0, 1000);
        m_progress->setValue(int(1000 * m_offset / std::max<qint64>(chunk.fileSize, m_offset)));
        m_pieceTimer.start();
        return;
    }
    if (rotated) {
        // The rotated file is complete; the current one may end mid-line.
        m_lines.finish();
        m_summarizer->finish();
        m_readingFile = 1;
        m_offset = 0;
        m_firstCurrentLine = m_lines.size();
        m_pieceTimer.start();
        return;
    }
    m_loading = false;
    m_loaded = chunk.ok;
    m_progress->setVisible(false);
    showSummary();
    render();
}

void MailLogPanel::follow()
{
    if (m_loading || !m_loaded)
        return;
    const LogChunk chunk = readLogChunk(m_currentPath, LogFile::MailLog, m_offset, pieceBytes, m_run);
    if (!chunk.ok)
        return; // the runner was busy or refused: the next tick tries again
    if (chunk.fileSize < m_offset) {
        // Rotated: the lines read so far stay, the new file starts at 0.
        m_lines.finish();
        m_summarizer->finish();
        m_offset = 0;
        return;
    }
    if (!chunk.bytes.isEmpty()) {
        takeBytes(chunk.bytes);
        m_offset += chunk.bytes.size();
    }
    // The window slides with the clock even when nothing new came.
    showSummary();
    if (!chunk.bytes.isEmpty() && m_showingMailLog)
        render();
}

void MailLogPanel::takeBytes(const QByteArray& bytes)
{
    m_lines.append(bytes);
    m_summarizer->feed(viewOf(bytes));
}

void MailLogPanel::showSummary()
{
    if (!m_summarizer)
        return;
    const TrafficSummary summary = m_summarizer->summary(localNow());
    m_summaryLabel->setText(summaryText(summary));
    m_chart->setSummary(summary);
}

QString MailLogPanel::mailLogText() const
{
    const QByteArray typed = m_search->text().trimmed().toUtf8();
    if (typed.isEmpty()) {
        const qsizetype currentLines = m_lines.size() - m_firstCurrentLine;
        std::vector<qsizetype> newest;
        for (qsizetype i = std::max(m_firstCurrentLine, m_lines.size() - shownLines); i < m_lines.size(); ++i)
            newest.push_back(i);
        QString text = m_headings + newestFirst(m_lines, newest, shownLines);
        if (currentLines > shownLines)
            text += tr("(%1 older lines are not shown: search to find them.)\n").arg(currentLines - shownLines);
        return text;
    }
    if (looksLikeQueueId(typed)) {
        const std::vector<qsizetype> life = linesOfMessage(m_lines, typed);
        if (!life.empty())
            return m_headings + tr("Every line of message %1, oldest first:\n\n").arg(m_search->text().trimmed())
                 + inOrder(m_lines, life, shownLines) + verdictsOf(typed);
    }
    const std::vector<qsizetype> found = linesContaining(m_lines, typed);
    return m_headings + tr("%n line(s) hold \"%1\", newest first:\n\n", nullptr, int(found.size())).arg(m_search->text().trimmed())
         + newestFirst(m_lines, found, shownLines);
}

// What rspamd said of the message, below its Postfix lines; nothing where
// rspamd never saw it or keeps no log.
QString MailLogPanel::verdictsOf(const QByteArray& queueId) const
{
    if (const auto known = m_verdicts.constFind(queueId); known != m_verdicts.cend())
        return *known;
    QString text;
    const QByteArray lines = filtering::rspamdLinesAbout(m_rspamdPath, QString::fromLatin1(queueId), m_run);
    for (const filtering::RspamdVerdict& verdict : filtering::rspamdVerdicts(lines, queueId))
        text += filtering::verdictText(verdict) + u'\n';
    if (!text.isEmpty())
        text.prepend(tr("\nWhat the spam filter found:\n"));
    m_verdicts.insert(queueId, text);
    return text;
}

void MailLogPanel::render()
{
    m_searchDelay.stop();
    m_logView->setExtraSelections({});
    if (m_showingMailLog) {
        if (!m_loading)
            m_logView->setPlainText(mailLogText());
        return;
    }
    const QString typed = m_search->text().trimmed();
    if (typed.isEmpty()) {
        m_logView->setPlainText(m_otherText);
        return;
    }
    QStringList kept;
    for (const QString& line : m_otherText.split(u'\n')) {
        if (line.contains(typed, Qt::CaseInsensitive))
            kept << line;
    }
    m_logView->setPlainText(kept.join(u'\n'));
}

// The queue ID under `point`, as the cursor of its characters in the view;
// a null cursor where there is none.
QTextCursor MailLogPanel::queueIdAt(const QPoint& point) const
{
    QTextCursor cursor = m_logView->cursorForPosition(point);
    // Past a line's end the nearest place is its last character: no ID there.
    if (std::abs(m_logView->cursorRect(cursor).center().x() - point.x()) > m_logView->fontMetrics().averageCharWidth())
        return {};
    const QString text = cursor.block().text();
    const QByteArray line = text.toUtf8();
    const qsizetype offset = QStringView(text).left(cursor.positionInBlock()).toUtf8().size();
    const std::string_view id = brevane::queueIdAt(viewOf(line), std::size_t(offset));
    if (id.empty())
        return {};
    const qsizetype column = QString::fromUtf8(line.constData(), id.data() - line.constData()).size();
    cursor.setPosition(cursor.block().position() + int(column));
    cursor.setPosition(cursor.position() + int(id.size()), QTextCursor::KeepAnchor);
    return cursor;
}

// Shows which queue IDs a click follows: the pointer turns into a hand and
// the ID is underlined.
void MailLogPanel::markQueueIdAt(const QPoint& point)
{
    const QTextCursor id = queueIdAt(point);
    m_logView->viewport()->setCursor(id.isNull() ? Qt::IBeamCursor : Qt::PointingHandCursor);
    QList<QTextEdit::ExtraSelection> marks;
    if (!id.isNull()) {
        QTextEdit::ExtraSelection mark{id, {}};
        mark.format.setFontUnderline(true);
        marks << mark;
    }
    m_logView->setExtraSelections(marks);
}

// A click on a queue ID, wherever the line names one, shows that message's
// whole life.
bool MailLogPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_logView->viewport() || !m_showingMailLog)
        return QWidget::eventFilter(watched, event);
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (event->type() == QEvent::MouseMove) {
        markQueueIdAt(mouse->position().toPoint());
    } else if (event->type() == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton
               && !m_logView->textCursor().hasSelection()) {
        const QTextCursor id = queueIdAt(mouse->position().toPoint());
        if (!id.isNull()) {
            m_search->setText(id.selectedText());
            render();
        }
    }
    return QWidget::eventFilter(watched, event);
}

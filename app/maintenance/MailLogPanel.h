#pragma once

#include "maintenance/LogLines.h"
#include "maintenance/LogReading.h"
#include "maintenance/TrafficSummary.h"

#include <QHash>
#include <QTextCursor>
#include <QTimer>
#include <QWidget>

#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class TrafficChart;

/// The mail log tab's own parts around the log view: the traffic summary
/// with its hourly chart, the search field, the Follow toggle and a progress
/// bar. It reads the mail log (and its rotated predecessor) in pieces from
/// the event loop, so a log of any size never holds the window, and keeps
/// the lines for searching; what is typed stays in the window.
class MailLogPanel : public QWidget
{
    Q_OBJECT

public:
    MailLogPanel(QPlainTextEdit* logView, QWidget* parent = nullptr);

    /// Reads through the window's privileged runner where the user may not.
    void setPrivilegedRun(brevane::PrivilegedRun run) { m_run = std::move(run); }
    /// The files read (tests point them at their own).
    void setLogPaths(const QString& current, const QString& rotated);
    void setRspamdLogPath(const QString& path) { m_rspamdPath = path; }

    /// Reads the mail log anew and shows it newest first under `headings`.
    void showMailLog(const QString& headings);
    /// Shows another log's whole text; the search then filters its lines.
    void showOtherText(const QString& text);
    /// Shows the Dovecot daemons' lines of the mail log.
    void showDovecotLines();
    bool hasMailLog() const { return m_loaded; }
    bool isLoading() const { return m_loading; }

    QLineEdit* searchField() const { return m_search; }
    QCheckBox* followToggle() const { return m_follow; }
    QLabel* summaryLabel() const { return m_summaryLabel; }
    TrafficChart* chart() const { return m_chart; }
    /// At most this many lines are shown at once; the search reaches all.
    static constexpr qsizetype shownLines = 5000;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void readNextPiece();
    void follow();
    void takeBytes(const QByteArray& bytes);
    void render();
    void showSummary();
    QString mailLogText() const;
    QString verdictsOf(const QByteArray& queueId) const;
    QTextCursor queueIdAt(const QPoint& point) const;
    void markQueueIdAt(const QPoint& point);

    QPlainTextEdit* m_logView;
    QLineEdit* m_search;
    QCheckBox* m_follow;
    QLabel* m_summaryLabel;
    TrafficChart* m_chart;
    QProgressBar* m_progress;
    QTimer m_followTimer;
    QTimer m_searchDelay;
    QTimer m_pieceTimer;

    brevane::PrivilegedRun m_run;
    QString m_currentPath;
    QString m_rotatedPath;
    QString m_rspamdPath;
    // rspamd's verdicts by queue ID, read once while a message is shown:
    // following the log re-renders every second, and rspamd's log is large.
    mutable QHash<QByteArray, QString> m_verdicts;
    QString m_headings;
    QString m_otherText;
    bool m_showingMailLog = false;
    bool m_loaded = false;
    bool m_loading = false;

    brevane::LogLines m_lines;
    std::unique_ptr<brevane::TrafficSummarizer> m_summarizer;
    int m_readingFile = 0; // 0: rotated, 1: current
    qint64 m_offset = 0;
    qsizetype m_firstCurrentLine = 0;
};

#pragma once

#include "filtering/FilteringSettings.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;

/// The Filtering tab: spam and virus filtering by rspamd and ClamAV. It
/// only shows and collects; the window controller runs the script.
class FilteringTab : public QWidget {
    Q_OBJECT

public:
    explicit FilteringTab(QWidget* parent = nullptr);

    brevane::filtering::FilteringSettings settings() const;
    void setSettings(const brevane::filtering::FilteringSettings& settings);
    /// The light's words, and what is wrong with ClamAV's signatures ("" for nothing).
    void showState(const QString& lightText, const QString& databaseWarning);

signals:
    void applyRequested();

private:
    void enableFields();

    QCheckBox* m_spam = nullptr;
    QLineEdit* m_headerScore = nullptr;
    QLineEdit* m_rejectScore = nullptr;
    QCheckBox* m_greylisting = nullptr;
    QCheckBox* m_virus = nullptr;
    QLabel* m_state = nullptr;
    QLabel* m_database = nullptr;
};

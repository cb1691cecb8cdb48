#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// Teaching rspamd's statistics with messages from the queue view.
namespace brevane::filtering {

/// "/bin/sh", "-c", a pipe of postcat into rspamc learn_spam (or
/// learn_ham) over the controller socket only root (and rspamd) may open, "", then
/// postcat's arguments; nothing for a queue ID that is none.
std::optional<QStringList> learnArguments(const QString& queueID, bool spam);

struct LearnResult {
    bool learned = false;
    QString text; ///< rspamc's own words when it did not learn
};

/// rspamc's answer: learned when it says "success = true".
LearnResult learnResult(const QString& rspamcOutput);

} // namespace brevane::filtering

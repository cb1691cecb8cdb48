#include "filtering/Learning.h"

#include "filtering/RspamdConfig.h"
#include "maintenance/MailQueue.h"

namespace brevane::filtering {

std::optional<QStringList> learnArguments(const QString& queueID, bool spam)
{
    const auto postcat = viewMessageCommand(queueID);
    if (!postcat)
        return std::nullopt;
    // The ID travels as an argument, never inside the shell's text.
    const QString pipe
        = QStringLiteral("\"$@\" | /usr/bin/rspamc -h %1/run/controller.sock %2")
              .arg(QLatin1String(rspamdFolder), spam ? QStringLiteral("learn_spam") : QStringLiteral("learn_ham"));
    return QStringList { QStringLiteral("/bin/sh"), QStringLiteral("-c"), pipe, QString() } + *postcat;
}

LearnResult learnResult(const QString& rspamcOutput)
{
    if (rspamcOutput.contains(QLatin1String("success = true;")))
        return { true, {} };
    const QString text = rspamcOutput.trimmed();
    return { false,
        text.isEmpty() ? QStringLiteral("rspamd did not answer: is filtering on and Postfix started?")
                       : text.section(u'\n', -3) };
}

} // namespace brevane::filtering

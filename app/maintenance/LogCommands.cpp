#include "maintenance/LogCommands.h"

#include "shell/ResourcePaths.h"

namespace brevane {

QString mailLogCommand()
{
    return scriptText(QStringLiteral("log-mail.txt"));
}

QString postfixParametersCommand()
{
    return scriptText(QStringLiteral("log-postfix-parameters.txt"));
}

QString fetchmailLogCommand()
{
    return scriptText(QStringLiteral("log-fetchmail.txt"));
}

std::optional<QString> logCommandFor(int tag, const QString& senderTitle)
{
    switch (tag) {
    case 0:
        return senderTitle == QLatin1String("Postfix Log") ? mailLogCommand() : postfixParametersCommand();
    case 1:
        return fetchmailLogCommand();
    default:
        return std::nullopt;
    }
}

} // namespace brevane

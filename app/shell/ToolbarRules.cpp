#include "shell/ToolbarRules.h"

#include <QHash>

namespace brevane::toolbar {

const QStringList& tabLabels()
{
    static const QStringList labels{QStringLiteral("Outgoing"), QStringLiteral("Mail Server"),
                                    QStringLiteral("Fetchmail"), QStringLiteral("Mail Log"),
                                    QStringLiteral("Mail Queue")};
    return labels;
}

QString labelForOptionKey(const QString& current, bool optionHeld)
{
    static const QHash<QString, QString> whenHeld{
        {QStringLiteral("Restart Postfix"), QStringLiteral("Stop Postfix")},
        {QStringLiteral("Restart Fetchmail"), QStringLiteral("Stop Fetchmail")},
        {QStringLiteral("Postfix Log"), QStringLiteral("Postfix Config")},
    };
    if (optionHeld)
        return whenHeld.value(current, current);
    const QString released = whenHeld.key(current);
    return released.isEmpty() ? current : released;
}

RemovalAction actionForRemovedItem(const QString& label, const QString& paletteLabel)
{
    if (label == QLatin1String("Restart Postfix"))
        return RemovalAction::StopPostfix;
    if (paletteLabel.contains(QLatin1String("UW_")) && label.contains(QLatin1String("Stop ")))
        return RemovalAction::StopUW;
    return RemovalAction::None;
}

} // namespace brevane::toolbar

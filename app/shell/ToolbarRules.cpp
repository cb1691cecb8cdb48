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

QStringList possibleLabels(const QString& paletteLabel, const QString& label)
{
    if (paletteLabel == QLatin1String("Postfix"))
        return {QStringLiteral("Start Postfix"), QStringLiteral("Restart Postfix"), QStringLiteral("Stop Postfix")};
    if (paletteLabel.startsWith(QLatin1String("UW_"))) {
        const QString service = paletteLabel.mid(3);
        return {QStringLiteral("Start ") + service, QStringLiteral("Stop ") + service};
    }
    return {label};
}

QString customizationName(const QString& paletteLabel)
{
    if (paletteLabel.startsWith(QLatin1String("UW_")))
        return paletteLabel.mid(3) + QStringLiteral(" server");
    return paletteLabel;
}

QString busyText(const QString& label)
{
    static const QList<std::pair<QString, QString>> verbs{
        {QStringLiteral("Start "), QStringLiteral("Starting ")},
        {QStringLiteral("Restart "), QStringLiteral("Restarting ")},
        {QStringLiteral("Stop "), QStringLiteral("Stopping ")},
    };
    for (const auto& [verb, progressive] : verbs) {
        if (label.startsWith(verb))
            return progressive + label.mid(verb.size()) + QStringLiteral("\u2026");
    }
    return label + QStringLiteral("\u2026");
}

} // namespace brevane::toolbar

#include "fetchmail/EditingRule.h"

namespace brevane {

bool shouldEndEditing(bool isTableView, const QString& columnIdentifier, const QString& text)
{
    if (isTableView
        && (columnIdentifier == QLatin1String("node") || columnIdentifier == QLatin1String("aka")
            || columnIdentifier == QLatin1String("via")))
        return true;
    return !text.isEmpty();
}

} // namespace brevane

#include "status/StatusSettings.h"

#include "status/StatusRules.h"

namespace brevane::status {

qsizetype queueLimitFrom(const QVariant& stored)
{
    bool whole = false;
    const qlonglong limit = stored.toString().trimmed().toLongLong(&whole);
    if (!whole || limit < queueLimitMinimum || limit > queueLimitMaximum)
        return QueueLimits {}.messages;
    return qsizetype(limit);
}

} // namespace brevane::status

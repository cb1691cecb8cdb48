#include "status/AlertRule.h"

namespace brevane::status {

AlertDecision decideAlert(const AlertMemory& memory, State state, qint64 nowSeconds)
{
    if (state == memory.told)
        return { false, memory };
    // A clock set back must not silence a check for the time it went back.
    const bool hourPassed
        = memory.toldAt == 0 || nowSeconds - memory.toldAt >= alertIntervalSeconds || nowSeconds < memory.toldAt;
    if (!hourPassed)
        return { false, memory };
    return { true, { state, nowSeconds } };
}

} // namespace brevane::status

// Any bytes as the watch job's state file: the reader must not crash, and
// what it accepts must write back to the same state.
#include "status/StatusState.h"

#include <cstdint>
#include <cstdlib>

using namespace brevane::status;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const StateRead read = readJobState(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (read.state.has_value() == !read.error.isEmpty())
        std::abort();
    if (read.state) {
        const StateRead again = readJobState(writeJobState(*read.state));
        if (!again.state || again.state->checks.size() != read.state->checks.size()
            || again.state->checkedAt != read.state->checkedAt)
            std::abort();
    }
    return 0;
}

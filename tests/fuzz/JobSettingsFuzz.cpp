// Any bytes as the watch job's settings file, which root reads: the reader
// must not crash, and what it accepts must write back to the same settings.
#include "status/job/JobSettings.h"

#include <cstdint>
#include <cstdlib>

using namespace brevane::status::job;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const SettingsRead read = readJobSettings(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (read.settings.has_value() == !read.error.isEmpty())
        std::abort();
    if (read.settings) {
        const SettingsRead again = readJobSettings(writeJobSettings(*read.settings));
        if (!again.settings || writeJobSettings(*again.settings) != writeJobSettings(*read.settings))
            std::abort();
    }
    return 0;
}

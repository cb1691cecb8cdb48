// Any bytes as a launchd property list: launchctl (root) must neither crash
// nor accept a job without a usable label or a program to run.
#include "Plist.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace brevane::launchd;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const JobParse parse = parseJobPlist(std::string(reinterpret_cast<const char*>(data), size));
    if (parse.job && (!isUsableLabel(parse.job->label) || parse.job->programArguments.empty()))
        std::abort();
    if (!parse.job && parse.error.empty())
        std::abort();
    return 0;
}

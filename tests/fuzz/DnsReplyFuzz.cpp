// Any bytes as a name server's reply: parsing must neither crash nor read
// past them, and what it answers must be a plain value of the type asked for.
#include "deliverability/DnsLookup.h"

#include <cstdint>
#include <cstdlib>

using namespace brevane::dns;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    for (const RecordType type : {RecordType::MX, RecordType::A, RecordType::AAAA, RecordType::TXT, RecordType::PTR}) {
        const Answer answer = parseReply(data, int(size), type);
        if ((answer.outcome == Outcome::Found) == answer.values.isEmpty())
            std::abort();
        for (const QString& value : answer.values) {
            if (value.isEmpty())
                std::abort();
            if (type == RecordType::MX && !value.contains(u' '))
                std::abort();
        }
    }
    return 0;
}

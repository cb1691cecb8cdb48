// Any bytes as one record's data from a name server: reading them must
// neither crash nor read past them, and what it answers must be a plain
// value of the type asked for.
#include "deliverability/DaneMatch.h"
#include "deliverability/DnsLookup.h"

#include <cstdint>
#include <cstdlib>

using namespace brevane::dns;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const RecordType type : {RecordType::MX, RecordType::A, RecordType::AAAA, RecordType::TXT, RecordType::PTR,
                                  RecordType::TLSA}) {
        const QString value = recordValue(type, bytes);
        if (type == RecordType::MX && !value.isEmpty() && !value.contains(u' '))
            std::abort();
        // A TLSA record naming a certificate made of the same bytes.
        if (type == RecordType::TLSA && !value.isEmpty())
            matchTlsa(value, {bytes});
    }
    return 0;
}

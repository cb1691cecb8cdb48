// Hexadecimal text comes from the .smartHosts file, which anyone with root
// may have edited: decoding must never crash and must round-trip.
#include "shell/TextHelpers.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QByteArray bytes = brevane::dataWithHexadecimalRepresentation(text);
    if (!bytes.isEmpty() && brevane::dataWithHexadecimalRepresentation(brevane::hexadecimalRepresentation(bytes)) != bytes)
        std::abort();
    return 0;
}

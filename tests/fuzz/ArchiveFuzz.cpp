// Settings documents and the relay-host list are archives written by
// someone else: every reader of them must reject damage without crashing.
#include "document/SettingsDocument.h"
#include "postfix/SmartHosts.h"
#include "shell/Archive.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (const auto archive = brevane::KeyedUnarchiver::open(bytes)) {
        (void)archive->decodeString(QStringLiteral("smartHosts"));
        (void)archive->decodeData(QStringLiteral("smartHosts"));
    }
    (void)brevane::unarchiveRows(bytes);
    (void)brevane::document::decode(bytes);
    (void)brevane::smartHostsFromFileText(QString::fromLatin1(bytes));
    return 0;
}

// Any bytes as the installed fetchmail run-control file: the reader must
// neither crash nor make a row the account table could not show.
#include "fetchmail/FetchmailAccounts.h"
#include "fetchmail/RunControlReader.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

using namespace brevane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const Row& row : parseFetchmailRunControl(text)) {
        if (row.size() != fetchmailRowKeys().size() || row.value(QStringLiteral("server")).toString().isEmpty())
            std::abort();
        if (!protocolChoices().contains(row.value(QStringLiteral("protocol")).toMap()))
            std::abort();
        for (const char* flag : {"keep", "ssl"})
            if (!yesNoChoices().contains(row.value(QLatin1String(flag)).toMap()))
                std::abort();
    }
    return 0;
}

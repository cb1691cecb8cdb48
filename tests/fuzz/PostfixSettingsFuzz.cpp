// Any bytes as what the configuration script wrote (main.cf's block,
// master.cf's lines, sasl_passwd, the virtual map): the readers must
// neither crash nor make a setting without a name.
#include "postfix/PostfixSettingsParse.h"

#include <cstdint>
#include <cstdlib>

using namespace brevane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const PostfixSettingsTable table = parseSettingsTable(text);
    if (table.contains(QString()))
        std::abort();
    destinationsFromValue(text);
    rblSitesFromRestrictions(text);
    portsFromServiceLines(text);
    relayAccountFromSaslPasswd(text);
    if (parseVirtualMap(text).text.startsWith(u' '))
        std::abort();
    return 0;
}

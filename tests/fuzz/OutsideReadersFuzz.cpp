// Any bytes as what a vantage point, an administrator or a block list says:
// the probe's output, the vantage and zone texts and a DNS answer's values
// must neither crash nor yield a command that runs more than ssh or ip.
#include "status/OutsideRules.h"

#include <cstdint>
#include <cstdlib>

using namespace brevane::status;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    portRule({ QStringLiteral("SMTP"), 25 }, text, text, size % 2 == 0);
    relayRule(QStringLiteral("x@y.invalid"), text, size % 2 == 1);
    readReply(text);
    readZones(text);
    classifyListing({ brevane::dns::Outcome::Found, text.split(u'\n') });
    const Vantage vantage = readVantage(text);
    if (!vantage.command.isEmpty() && vantage.command.first() != QLatin1String("ssh")
        && vantage.command.first() != QLatin1String("ip"))
        std::abort();
    for (const QString& word : vantage.command)
        if (word.contains(u';') || word.contains(u'$') || word.contains(u'`') || word.contains(u' '))
            std::abort();
    return 0;
}

// Any bytes as a queue listing: the parser must neither crash nor make a
// row that the table and the delete command could not take.
#include "maintenance/MailQueue.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

using namespace brevane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString listing = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const Rows rows = parseMailQueue(listing);

    QList<int> everyRow;
    for (int i = 0; i < rows.size(); ++i) {
        const Row& row = rows.at(i);
        const QString remarks = row.value(QStringLiteral("remarks")).toString();
        if (row.size() != 6 || (!remarks.isEmpty() && !remarks.startsWith(u'(')))
            std::abort();
        everyRow.append(i);
    }
    if (mailqDeleteCommands(rows, everyRow).size() != rows.size())
        std::abort();
    return 0;
}

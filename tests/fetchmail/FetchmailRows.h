#pragma once

#include "fetchmail/FetchmailAccounts.h"

#include <ostream>

// Readable failure messages for QString comparisons.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

// Rows as the account table holds them, for the tests.
inline brevane::Row fetchmailRow(const QString& server, const QString& protocol, const QString& keep,
                                 const QString& ssl, const QString& here = QStringLiteral("joe"))
{
    brevane::Row row = brevane::newFetchmailRow();
    row.insert("server", server);
    row.insert("protocol", brevane::choiceEntry(protocol));
    row.insert("there", "remote");
    row.insert("password", "secret");
    row.insert("here", here);
    row.insert("keep", brevane::choiceEntry(keep));
    row.insert("ssl", brevane::choiceEntry(ssl));
    return row;
}

#include "fetchmail/FetchmailAccounts.h"

#include "shell/TextHelpers.h"

namespace brevane {

namespace {

Rows choiceList(std::initializer_list<const char*> words)
{
    Rows entries;
    for (const char* word : words)
        entries.append(choiceEntry(QString::fromLatin1(word)));
    return entries;
}

} // namespace

const QStringList& fetchmailRowKeys()
{
    static const QStringList keys{QStringLiteral("server"), QStringLiteral("via"),      QStringLiteral("protocol"),
                                  QStringLiteral("aka"),    QStringLiteral("localdomains"), QStringLiteral("there"),
                                  QStringLiteral("password"), QStringLiteral("here"),   QStringLiteral("keep"),
                                  QStringLiteral("ssl")};
    return keys;
}

Rows fetchmailAccountRows(const Rows& rows)
{
    Rows accounts = rows;
    for (Row& row : accounts)
        row.remove(QStringLiteral("checkResult"));
    return accounts;
}

Row choiceEntry(const QString& value)
{
    return Row{{QStringLiteral("value"), value}};
}

QString choiceValue(const QVariant& entry)
{
    if (entry.typeId() == QMetaType::QVariantMap)
        return entry.toMap().value(QStringLiteral("value")).toString();
    if (entry.typeId() == QMetaType::QString)
        return entry.toString();
    return {};
}

const Rows& protocolChoices()
{
    static const Rows entries = choiceList({"POP3", "IMAP", "AUTO", "POP2", "APOP", "SDPS", "KPOP"});
    return entries;
}

const Rows& yesNoChoices()
{
    static const Rows entries = choiceList({"YES", "NO"});
    return entries;
}

Row newFetchmailRow()
{
    return Row{
        {QStringLiteral("server"), QStringLiteral("mail.example.com")},
        {QStringLiteral("via"), QString()},
        {QStringLiteral("protocol"), protocolChoices().at(0)},
        {QStringLiteral("aka"), QString()},
        {QStringLiteral("localdomains"), QString()},
        {QStringLiteral("there"), QStringLiteral("remoteUserID")},
        {QStringLiteral("password"), QStringLiteral("password")},
        {QStringLiteral("here"), QStringLiteral("localUserID")},
        {QStringLiteral("keep"), yesNoChoices().at(1)},
        {QStringLiteral("ssl"), yesNoChoices().at(1)},
    };
}

bool isCompleteFetchmailRow(const Row& row)
{
    return !trimSpacesAndTabs(row.value(QStringLiteral("server")).toString()).isEmpty()
        && !row.value(QStringLiteral("there")).toString().isEmpty()
        && !row.value(QStringLiteral("password")).toString().isEmpty()
        && !row.value(QStringLiteral("here")).toString().isEmpty();
}

} // namespace brevane

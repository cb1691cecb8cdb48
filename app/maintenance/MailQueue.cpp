#include "maintenance/MailQueue.h"

#include "maintenance/QueueListing.h"
#include "shell/CommandRunner.h"
#include "shell/ResourcePaths.h"
#include "shell/TextHelpers.h"

#include <QSet>

#include <optional>

namespace brevane {

namespace {

struct MessageHeader {
    QString queueID;
    QString size;
    QString time;
    QString sender;
};

// Postfix always prints seven fields: ID, size, four of the arrival time,
// sender. A shorter line defines no row, so its message is left out.
std::optional<MessageHeader> readHeader(const QString& line)
{
    const QStringList fields = contractSpaces(line).split(u' ');
    if (fields.size() < 7)
        return std::nullopt;
    return MessageHeader {fields.at(0), fields.at(1),
                          QStringLiteral("%1 %2 %3 %4").arg(fields.at(2), fields.at(3), fields.at(4), fields.at(5)),
                          fields.at(6)};
}

Row makeRow(const MessageHeader& header, const QString& recipient, const QString& remarks)
{
    return Row {{QStringLiteral("queueID"), header.queueID},     {QStringLiteral("size"), header.size},
                {QStringLiteral("time"), header.time},           {QStringLiteral("sender"), header.sender},
                {QStringLiteral("recipient"), recipient},        {QStringLiteral("remarks"), remarks}};
}

} // namespace

Rows parseMailQueue(const QString& listing)
{
    const QStringList lines = listing.split(u'\n');
    // Signed on purpose: with fewer than three lines the bound is below 1
    // and nothing is read. The column header and the summary are never read.
    const qsizetype bound = lines.size() - 2;
    Rows rows;
    qsizetype i = 1;
    while (i < bound) {
        if (lines.at(i).isEmpty()) {
            ++i;
            continue;
        }
        const std::optional<MessageHeader> header = readHeader(lines.at(i));
        QString remarks;
        bool nextMessage = false;
        while (i < bound) {
            const QString& line = lines.at(++i);
            if (line.isEmpty())
                continue;
            if (line.front() != u'(' && line.front() != u' ') {
                nextMessage = true; // this line is the next header
                break;
            }
            const QString trimmed = trimSpacesAndTabs(line);
            if (trimmed.startsWith(u'(')) {
                remarks = trimmed;
                continue;
            }
            if (header)
                rows.append(makeRow(*header, contractSpaces(line).mid(1), remarks));
        }
        if (!nextMessage)
            ++i;
    }
    return rows;
}

QStringList mailqListCommand()
{
    return {QStringLiteral("/usr/sbin/postqueue"), QStringLiteral("-p")};
}

QStringList mailqFlushCommand()
{
    return {QStringLiteral("/usr/sbin/postqueue"), QStringLiteral("-f")};
}

QString bareQueueID(const QString& queueID)
{
    qsizetype end = queueID.size();
    while (end > 0 && QStringView(u"*!#").contains(queueID.at(end - 1)))
        --end;
    return queueID.left(end);
}

std::optional<QStringList> queueActionCommand(QueueAction action, const QStringList& queueIDs)
{
    static const char* const options[] = {"-d", "-h", "-H", "-r"};
    QStringList command {QStringLiteral("/bin/sh"), QStringLiteral("-c"), scriptText(QStringLiteral("postsuper-ids.sh")),
                         QString(), QLatin1String(options[int(action)])};
    const qsizetype fixed = command.size();
    QSet<QString> named;
    for (const QString& printed : queueIDs) {
        const QString id = bareQueueID(printed);
        if (isQueueID(id) && !named.contains(id)) {
            named.insert(id);
            command.append(id);
        }
    }
    if (command.size() == fixed)
        return std::nullopt;
    return command;
}

QStringList mailqListingCommand(const QStringList& knownStamps)
{
    return shellCommand(scriptText(QStringLiteral("list-queue.sh"))) + QStringList{QString()} + knownStamps;
}

std::optional<QStringList> viewMessageCommand(const QString& queueID)
{
    const QString id = bareQueueID(queueID);
    if (!isQueueID(id))
        return std::nullopt;
    return QStringList {QStringLiteral("/usr/sbin/postcat"), QStringLiteral("-h"), QStringLiteral("-b"),
                        QStringLiteral("-q"), id};
}

namespace {

// Beyond this many the question says how many more: the alert stays readable.
constexpr int namedRecipients = 5;

QString recipientList(const QStringList& addresses)
{
    if (addresses.size() <= namedRecipients)
        return addresses.join(QStringLiteral(", "));
    return QStringLiteral("%1 and %2 more")
        .arg(addresses.first(namedRecipients).join(QStringLiteral(", ")))
        .arg(addresses.size() - namedRecipients);
}

} // namespace

AlertSpec deleteQuestion(const QueueListing& listing, const QList<qint32>& messages)
{
    AlertSpec question {{}, QStringLiteral("This cannot be undone."), QStringLiteral("Cancel"),
                        QStringLiteral("Delete")};
    const QSet<qint32> chosen(messages.cbegin(), messages.cend());
    QStringList addresses;
    for (const QueuedRecipient& recipient : listing.recipients)
        if (chosen.contains(recipient.message))
            addresses.append(recipient.address);
    if (chosen.size() == 1) {
        const QString sender = listing.messages.value(messages.first()).sender;
        // The null sender of bounces, as postqueue -p prints it.
        question.title = QStringLiteral("Delete the message from %1 to %2?")
                             .arg(sender.isEmpty() ? QStringLiteral("MAILER-DAEMON") : sender, recipientList(addresses));
        return question;
    }
    question.title = QStringLiteral("Delete %1 messages to %2 recipient%3?")
                         .arg(chosen.size())
                         .arg(addresses.size())
                         .arg(addresses.size() == 1 ? QString() : QStringLiteral("s"));
    return question;
}

} // namespace brevane

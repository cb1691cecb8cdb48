#include "status/AlertMail.h"

#include <QLocale>
#include <algorithm>

namespace brevane::status {

namespace {

    // Whole characters, a surrogate pair kept together.
    QStringList characters(const QString& text)
    {
        QStringList list;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const bool pair = text.at(i).isHighSurrogate() && i + 1 < text.size();
            list.append(text.mid(i, pair ? 2 : 1));
            i += pair;
        }
        return list;
    }

    // RFC 2047: an encoded word holds at most 75 characters, so a long text
    // becomes several, each whole UTF-8 characters, on folded lines.
    QByteArray encodedWords(const QString& text)
    {
        if (std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 127; }))
            return text.toLatin1();
        constexpr qsizetype chunkBytes = 45; // 60 characters of base64
        QList<QByteArray> words;
        QByteArray chunk;
        for (const QString& character : characters(text)) {
            const QByteArray bytes = character.toUtf8();
            if (chunk.size() + bytes.size() > chunkBytes) {
                words.append("=?UTF-8?B?" + chunk.toBase64() + "?=");
                chunk.clear();
            }
            chunk += bytes;
        }
        if (!chunk.isEmpty())
            words.append("=?UTF-8?B?" + chunk.toBase64() + "?=");
        return words.join("\n ");
    }

    QString subjectOf(const Alert& alert, const QString& hostName)
    {
        const QString title = headerLine(alert.outcome.title, 80);
        const QString host = headerLine(hostName, 80);
        if (alert.repair)
            return QStringLiteral("%1 on %2 is OK again").arg(title, host);
        return QStringLiteral("%1 on %2: %3").arg(title, host, stateText(alert.outcome.result.state).toLower());
    }

    // RFC 5322's date, in English whatever the machine's locale.
    QByteArray dateOf(const QDateTime& when)
    {
        return QLocale::c().toString(when.toUTC(), QStringLiteral("ddd, dd MMM yyyy HH:mm:ss +0000")).toLatin1();
    }

    QString bodyText(const QString& text)
    {
        QString body = text;
        body.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
        return body.isEmpty() ? QStringLiteral("-") : body;
    }

} // namespace

QString headerLine(const QString& text, qsizetype limit)
{
    QString line;
    for (QChar c : text)
        line.append(c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator
                ? QChar(u' ')
                : c);
    return line.simplified().left(limit);
}

QStringList sendmailArguments()
{
    return { QStringLiteral("/usr/sbin/sendmail"), QStringLiteral("-i"), QStringLiteral("--"),
        QLatin1String(alertRecipient) };
}

QByteArray alertMail(const Alert& alert, const QString& hostName, const QDateTime& when)
{
    const Result& result = alert.outcome.result;
    QByteArray mail;
    // Sent as nobody: the From line says who really speaks.
    mail += "From: Brevane watch job <" + QByteArray(alertRecipient) + ">\n";
    mail += "To: " + QByteArray(alertRecipient) + "\n";
    mail += "Subject: " + encodedWords(subjectOf(alert, hostName)) + "\n";
    mail += "Date: " + dateOf(when) + "\n";
    // Vacation responders and the like must not answer (RFC 3834).
    mail += "Auto-Submitted: auto-generated\n";
    mail += "MIME-Version: 1.0\nContent-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: 8bit\n\n";
    QString body = alert.repair
        ? QStringLiteral("The check \"%1\" is OK again.\n\n").arg(alert.outcome.title)
        : QStringLiteral("The check \"%1\" turned %2.\n\n").arg(alert.outcome.title, stateWord(result.state));
    body += QStringLiteral("Found: %1\n\nExpected: %2\n\n").arg(bodyText(result.found), bodyText(result.expected));
    if (!alert.repair)
        body += QStringLiteral("What to do: %1\n\n").arg(bodyText(result.whatToDo));
    body += QStringLiteral("Checked by Brevane's watch job on %1 at %2 UTC.\n")
                .arg(headerLine(hostName, 80), when.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm")));
    return mail + body.toUtf8();
}

} // namespace brevane::status

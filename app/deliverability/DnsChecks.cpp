#include "deliverability/DnsChecks.h"

#include <QRegularExpression>

#include <algorithm>

namespace brevane::dns {

namespace {

QString unreachable()
{
    return QString::fromLatin1(unreachableText);
}

// The row for a lookup that found no server: nothing can be judged.
CheckRow unreachableRow(CheckRow row)
{
    row.state = CheckState::Unreachable;
    row.found = unreachable();
    row.suggestion.clear();
    return row;
}

QString listed(const QStringList& values)
{
    return values.isEmpty() ? QStringLiteral("nothing") : values.join(QStringLiteral("; "));
}

bool sameHost(QString a, QString b)
{
    while (a.endsWith(u'.'))
        a.chop(1);
    while (b.endsWith(u'.'))
        b.chop(1);
    return !a.isEmpty() && a.compare(b, Qt::CaseInsensitive) == 0;
}

QString withoutBlanks(QString text)
{
    text.remove(QRegularExpression(QStringLiteral("\\s")));
    return text;
}

QStringList startingWith(const QStringList& values, const QString& prefix)
{
    QStringList matching;
    for (const QString& value : values) {
        const QString trimmed = value.trimmed();
        // "v=spf1" alone or followed by a blank; "v=spf10" is another thing.
        if (trimmed.compare(prefix, Qt::CaseInsensitive) == 0
            || trimmed.startsWith(prefix + u' ', Qt::CaseInsensitive))
            matching.append(trimmed);
    }
    return matching;
}

} // namespace

QString tagValue(const QString& tagList, const QString& tag, bool* present)
{
    for (const QString& part : tagList.split(u';')) {
        const int equals = part.indexOf(u'=');
        if (equals < 0 || part.left(equals).trimmed() != tag)
            continue;
        if (present)
            *present = true;
        return withoutBlanks(part.mid(equals + 1));
    }
    if (present)
        *present = false;
    return {};
}

QString mailHost(const QString& domain, const Answer& mx)
{
    // Without an MX the host to set up is the one the MX suggestion names.
    QString best = QStringLiteral("mail.") + domain;
    int bestPreference = 70000;
    for (const QString& value : mx.values) {
        const int blank = value.indexOf(u' ');
        bool ok = false;
        const int preference = value.left(blank).toInt(&ok);
        if (ok && blank > 0 && preference < bestPreference) {
            bestPreference = preference;
            best = value.mid(blank + 1);
        }
    }
    return best;
}

CheckRow mxRow(const QString& domain, const Answer& mx)
{
    CheckRow row{QStringLiteral("MX"), domain, CheckState::Failed, listed(mx.values),
                 QStringLiteral("a mail host for %1 (not \u201c.\u201d)").arg(domain),
                 QStringLiteral("%1. IN MX 10 mail.%1.").arg(domain)};
    if (mx.outcome == Outcome::Unreachable)
        return unreachableRow(row);
    // "0 ." is a domain saying it takes no mail at all (RFC 7505).
    const bool takesMail = std::any_of(mx.values.begin(), mx.values.end(), [](const QString& value) {
        const QString host = value.section(u' ', 1);
        return !host.isEmpty() && host != QLatin1String(".");
    });
    if (mx.outcome == Outcome::Found && takesMail) {
        row.state = CheckState::Passed;
        row.suggestion.clear();
    }
    return row;
}

CheckRow addressRow(const QString& host, const Answer& a, const Answer& aaaa)
{
    CheckRow row{QStringLiteral("A/AAAA"), host, CheckState::Failed, listed(a.values + aaaa.values),
                 QStringLiteral("the address of %1").arg(host),
                 QStringLiteral("%1. IN A <this server's address>").arg(host)};
    if (a.outcome == Outcome::Unreachable || aaaa.outcome == Outcome::Unreachable)
        return unreachableRow(row);
    if (!a.values.isEmpty() || !aaaa.values.isEmpty()) {
        row.state = CheckState::Passed;
        row.suggestion.clear();
    }
    return row;
}

CheckRow ptrRow(const QString& address, const QString& host, const Answer& ptr)
{
    const QString name = reverseName(address);
    CheckRow row{QStringLiteral("PTR"), name.isEmpty() ? QStringLiteral("(no address)") : name, CheckState::Failed,
                 listed(ptr.values), QStringLiteral("%1 (set by whoever provides the address)").arg(host),
                 name.isEmpty() ? QString() : QStringLiteral("%1. IN PTR %2.").arg(name, host)};
    if (name.isEmpty()) {
        row.found = QStringLiteral("no address to look up");
        return row;
    }
    if (ptr.outcome == Outcome::Unreachable)
        return unreachableRow(row);
    if (std::any_of(ptr.values.begin(), ptr.values.end(), [&host](const QString& v) { return sameHost(v, host); })) {
        row.state = CheckState::Passed;
        row.suggestion.clear();
    }
    return row;
}

CheckRow spfRow(const QString& domain, const Answer& txt)
{
    const QStringList spf = startingWith(txt.values, QStringLiteral("v=spf1"));
    CheckRow row{QStringLiteral("SPF"), domain, CheckState::Failed, listed(spf),
                 QStringLiteral("one TXT record starting \u201cv=spf1\u201d"),
                 QStringLiteral("%1. IN TXT \"v=spf1 mx -all\"").arg(domain)};
    if (txt.outcome == Outcome::Unreachable)
        return unreachableRow(row);
    if (spf.size() == 1) {
        row.state = CheckState::Passed;
        row.suggestion.clear();
    } else if (spf.size() > 1) {
        // Receivers treat two SPF records as an error, not as either one.
        row.found = QStringLiteral("%1 SPF records: %2").arg(spf.size()).arg(listed(spf));
        row.suggestion = QStringLiteral("keep one of them, for instance: %1").arg(row.suggestion);
    }
    return row;
}

QString dkimRecordName(const QString& selector, const QString& domain)
{
    return QStringLiteral("%1._domainkey.%2").arg(selector, domain);
}

QString dkimRecordText(const QString& publicKey)
{
    return QStringLiteral("v=DKIM1; k=rsa; p=%1").arg(publicKey);
}

QString txtZoneLine(const QString& name, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    QStringList pieces;
    for (qsizetype at = 0; at < bytes.size(); at += 255) {
        QByteArray piece = bytes.mid(at, 255);
        piece.replace('\\', "\\\\").replace('"', "\\\"");
        pieces.append(u'"' + QString::fromUtf8(piece) + u'"');
    }
    if (pieces.isEmpty())
        pieces.append(QStringLiteral("\"\""));
    return QStringLiteral("%1. IN TXT %2").arg(name, pieces.join(u' '));
}

CheckRow dkimRow(const QString& selector, const QString& domain, const QString& publicKey, const Answer& txt)
{
    const QString name = dkimRecordName(selector, domain);
    CheckRow row{QStringLiteral("DKIM"), name, CheckState::Failed, listed(txt.values),
                 publicKey.isEmpty() ? QStringLiteral("a key made by Apply DKIM first")
                                     : QStringLiteral("\u201cv=DKIM1; k=rsa; p=\u201d and our public key"),
                 publicKey.isEmpty() ? QString() : txtZoneLine(name, dkimRecordText(publicKey))};
    if (txt.outcome == Outcome::Unreachable)
        return unreachableRow(row);
    if (publicKey.isEmpty())
        return row;
    for (const QString& value : txt.values) {
        bool hasKey = false;
        const QString key = tagValue(value, QStringLiteral("p"), &hasKey);
        if (!hasKey)
            continue;
        if (key == withoutBlanks(publicKey)) {
            row.state = CheckState::Passed;
            row.suggestion.clear();
            return row;
        }
        row.found = key.isEmpty() ? QStringLiteral("a revoked key (empty p=)") : QStringLiteral("another key: %1").arg(value);
    }
    return row;
}

CheckRow dmarcRow(const QString& domain, const Answer& txt)
{
    const QString name = QStringLiteral("_dmarc.") + domain;
    CheckRow row{QStringLiteral("DMARC"), name, CheckState::Failed, listed(txt.values),
                 QStringLiteral("one TXT record \u201cv=DMARC1; p=none|quarantine|reject\u201d"),
                 QStringLiteral("%1. IN TXT \"v=DMARC1; p=quarantine; rua=mailto:postmaster@%2\"").arg(name, domain)};
    if (txt.outcome == Outcome::Unreachable)
        return unreachableRow(row);
    QStringList valid;
    for (const QString& value : txt.values) {
        // The version tag comes first, or receivers ignore the record.
        if (tagValue(value.section(u';', 0, 0), QStringLiteral("v")) != QLatin1String("DMARC1"))
            continue;
        const QString policy = tagValue(value, QStringLiteral("p"));
        if (policy == QLatin1String("none") || policy == QLatin1String("quarantine") || policy == QLatin1String("reject"))
            valid.append(value);
    }
    if (valid.size() == 1) {
        row.state = CheckState::Passed;
        row.suggestion.clear();
    }
    return row;
}

QList<CheckRow> runChecks(const CheckInput& input, const Lookup& lookup)
{
    const QString& domain = input.domain;
    const Answer mx = lookup(domain, RecordType::MX);
    if (mx.outcome == Outcome::Unreachable) {
        // Every further question would wait for the same silent server.
        const Answer none{Outcome::Unreachable, {}};
        return {mxRow(domain, mx), addressRow(domain, none, none),
                ptrRow(input.publicAddress.isEmpty() ? QStringLiteral("0.0.0.0") : input.publicAddress, domain, none),
                spfRow(domain, none), dkimRow(input.selector, domain, input.publicKey, none), dmarcRow(domain, none)};
    }
    const QString host = mailHost(domain, mx);
    const Answer a = lookup(host, RecordType::A);
    const Answer aaaa = lookup(host, RecordType::AAAA);
    QString address = input.publicAddress.trimmed();
    if (address.isEmpty())
        address = (a.values + aaaa.values).value(0);
    const QString reverse = reverseName(address);
    const Answer ptr = reverse.isEmpty() ? Answer{} : lookup(reverse, RecordType::PTR);
    return {mxRow(domain, mx),
            addressRow(host, a, aaaa),
            ptrRow(address, host, ptr),
            spfRow(domain, lookup(domain, RecordType::TXT)),
            dkimRow(input.selector, domain, input.publicKey,
                    lookup(dkimRecordName(input.selector, domain), RecordType::TXT)),
            dmarcRow(domain, lookup(QStringLiteral("_dmarc.") + domain, RecordType::TXT))};
}

} // namespace brevane::dns

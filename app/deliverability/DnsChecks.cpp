#include "deliverability/DnsChecks.h"

#include "deliverability/DaneMatch.h"

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

CheckRow passed(CheckRow row)
{
    row.state = CheckState::Passed;
    row.suggestion.clear();
    return row;
}

QString listed(const QStringList& values)
{
    return values.isEmpty() ? QStringLiteral("nothing") : values.join(QStringLiteral("; "));
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

bool isIpv6(const QString& address)
{
    return address.contains(u':');
}

// An address no one sends from (RFC 5737, RFC 6666), away from ours: a
// record that lets it send lets everyone.
QString nobodysAddress(const QString& ours)
{
    if (isIpv6(ours))
        return ours.startsWith(QLatin1String("100:")) ? QStringLiteral("2001:db8:ffff::1") : QStringLiteral("100::1");
    return ours.startsWith(QLatin1String("203.0.113.")) ? QStringLiteral("198.51.100.1") : QStringLiteral("203.0.113.1");
}

QString spfRecordFor(const QString& address)
{
    return QStringLiteral("v=spf1 mx %1:%2 -all").arg(isIpv6(address) ? QStringLiteral("ip6") : QStringLiteral("ip4"),
                                                       address);
}

QString mxHostOf(const QString& value)
{
    return value.section(u' ', 1);
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

CheckRow ptrRow(const QString& address, const QString& mailHost, const Answer& ptr, const QList<Answer>& forward,
                const QStringList& domains)
{
    const QString name = reverseName(address);
    CheckRow row{QString::fromLatin1(serverGroup), QStringLiteral("PTR"), name, CheckState::Failed, listed(ptr.values),
                 QStringLiteral("a host name whose address is %1 again (set by whoever provides the address)")
                     .arg(address),
                 QStringLiteral("%1. IN PTR %2.").arg(name, mailHost)};
    if (address.trimmed().isEmpty() || name.isEmpty()) {
        row.name = QStringLiteral("(no address)");
        row.state = CheckState::Unjudged;
        row.found = address.trimmed().isEmpty() ? QStringLiteral("no address typed")
                                                : QStringLiteral("\u201c%1\u201d is no IP address").arg(address);
        row.expected = QStringLiteral("type the address this server sends mail from in \u201cThis server's "
                                      "address\u201d, then Check DNS");
        row.suggestion.clear();
        return row;
    }
    if (ptr.outcome == Outcome::Unreachable)
        return unreachableRow(row);
    // Forward-confirmed: the name the address gives must give the address back.
    QStringList elsewhere;
    for (qsizetype i = 0; i < ptr.values.size(); ++i) {
        const Answer back = forward.value(i);
        if (back.outcome == Outcome::Unreachable)
            return unreachableRow(row);
        if (back.values.contains(address.trimmed())) {
            row.found = QStringLiteral("%1, whose address is %2 again").arg(ptr.values.at(i), address.trimmed());
            return passed(row);
        }
        elsewhere.append(QStringLiteral("%1, whose address is %2, not %3")
                             .arg(ptr.values.at(i), back.values.isEmpty() ? QStringLiteral("none") : listed(back.values),
                                  address.trimmed()));
    }
    if (!elsewhere.isEmpty()) {
        row.found = elsewhere.join(QStringLiteral("; "));
        // A host in one of our zones gets the address from us; any other
        // name is the provider's to change into our mail host.
        const QString named = ptr.values.first();
        const bool ours = std::any_of(domains.begin(), domains.end(), [&named](const QString& domain) {
            return sameHost(named, domain) || named.endsWith(u'.' + domain, Qt::CaseInsensitive);
        });
        if (ours)
            row.suggestion = QStringLiteral("%1. IN %2 %3").arg(named, isIpv6(address) ? "AAAA" : "A", address.trimmed());
    }
    return row;
}

CheckRow mxRow(const QString& domain, const Answer& mx, const Answer& hostAddresses)
{
    CheckRow row{domain, QStringLiteral("MX"), domain, CheckState::Failed, listed(mx.values),
                 QStringLiteral("a mail host for %1 (not \u201c.\u201d)").arg(domain),
                 QStringLiteral("%1. IN MX 10 mail.%1.").arg(domain)};
    if (mx.outcome == Outcome::Unreachable)
        return unreachableRow(row);
    // "0 ." is a domain saying it takes no mail at all (RFC 7505).
    const bool takesMail = std::any_of(mx.values.begin(), mx.values.end(), [](const QString& value) {
        const QString host = mxHostOf(value);
        return !host.isEmpty() && host != QLatin1String(".");
    });
    if (mx.outcome != Outcome::Found || !takesMail)
        return row;
    if (!hostAddresses.canonicalName.isEmpty()) {
        row.found = QStringLiteral("%1, an alias (CNAME) of %2").arg(listed(mx.values), hostAddresses.canonicalName);
        row.expected = QStringLiteral("a mail host that is no alias: RFC 5321 \u00a75.1 and RFC 2181 \u00a710.3 "
                                      "say an MX names the host itself, and some senders refuse an alias");
        row.suggestion = QStringLiteral("%1. IN MX 10 %2.").arg(domain, hostAddresses.canonicalName);
        return row;
    }
    return passed(row);
}

CheckRow addressRow(const QString& host, const Answer& a, const Answer& aaaa)
{
    CheckRow row{QString(), QStringLiteral("A/AAAA"), host, CheckState::Failed, listed(a.values + aaaa.values),
                 QStringLiteral("the address of %1").arg(host),
                 QStringLiteral("%1. IN A <this server's address>").arg(host)};
    if (a.outcome == Outcome::Unreachable || aaaa.outcome == Outcome::Unreachable)
        return unreachableRow(row);
    if (a.values.isEmpty() && aaaa.values.isEmpty())
        return row;
    const QString alias = a.canonicalName.isEmpty() ? aaaa.canonicalName : a.canonicalName;
    if (!alias.isEmpty())
        row.found += QStringLiteral(" (through the alias to %1)").arg(alias);
    return passed(row);
}

CheckRow spfRow(const QString& domain, const QString& address, const Answer& txt, const SpfVerdict& ours,
                const SpfVerdict& anyone)
{
    const QStringList spf = startingWith(txt.values, QStringLiteral("v=spf1"));
    const QString typed = address.trimmed();
    CheckRow row{domain, QStringLiteral("SPF"), domain, CheckState::Failed, listed(spf),
                 QStringLiteral("one TXT record \u201cv=spf1 \u2026\u201d giving \u201cpass\u201d for %1 and "
                                "\u201cfail\u201d for others")
                     .arg(typed.isEmpty() ? QStringLiteral("this server") : typed),
                 typed.isEmpty() ? QStringLiteral("%1. IN TXT \"v=spf1 mx -all\"").arg(domain)
                                 : txtZoneLine(domain, spfRecordFor(typed))};
    if (txt.outcome == Outcome::Unreachable)
        return unreachableRow(row);
    if (spf.size() > 1) {
        // Receivers treat two SPF records as an error, not as either one.
        row.found = QStringLiteral("%1 SPF records, which receivers take as an error (permerror): %2")
                        .arg(spf.size())
                        .arg(listed(spf));
        row.suggestion = QStringLiteral("; keep only one of them, for instance:\n") + row.suggestion;
        return row;
    }
    if (spf.isEmpty())
        return row;
    if (typed.isEmpty() || reverseName(typed).isEmpty()) {
        row.state = CheckState::Unjudged;
        row.expected = QStringLiteral("type the address this server sends mail from, then Check DNS");
        row.suggestion.clear();
        return row;
    }
    const QString result = QStringLiteral("%1 gets \u201c%2\u201d").arg(typed, resultName(ours.result));
    const QString because = ours.problem.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(ours.problem);
    row.found = QStringLiteral("%1: %2%3").arg(spf.first(), result, because);
    switch (ours.result) {
    case SpfResult::Pass:
        if (anyone.result == SpfResult::Pass) {
            row.found = QStringLiteral("%1: lets every server on the Internet send as %2, so receivers cannot "
                                       "tell forged mail from ours")
                            .arg(spf.first(), domain);
            return row;
        }
        return passed(row);
    case SpfResult::TempError:
        return unreachableRow(row);
    case SpfResult::PermError:
        row.found = QStringLiteral("%1: an error for receivers (permerror%2), as if there were no SPF")
                        .arg(spf.first(), ours.problem.isEmpty() ? QString() : QStringLiteral(": ") + ours.problem);
        return row;
    default:
        row.found += QStringLiteral(": receivers do not take mail from this server as %1's").arg(domain);
        return row;
    }
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

namespace {

// Why a verifier would not take our rsa-sha256 signatures with this key
// record (RFC 6376 §3.6.1); empty when it would.
QString dkimProblem(const QString& record, const QString& publicKey)
{
    // The version tag, when there is one, comes first (RFC 6376 §3.6.1).
    bool versionFirst = false;
    const QString version = tagValue(record.section(u';', 0, 0), QStringLiteral("v"), &versionFirst);
    if (versionFirst && version != QLatin1String("DKIM1"))
        return QStringLiteral("its version is \u201c%1\u201d, not DKIM1").arg(version);
    bool versionAnywhere = false;
    tagValue(record, QStringLiteral("v"), &versionAnywhere);
    if (!versionFirst && versionAnywhere)
        return QStringLiteral("v=DKIM1 is not its first tag");
    bool hasType = false;
    const QString type = tagValue(record, QStringLiteral("k"), &hasType);
    if (hasType && type.compare(QLatin1String("rsa"), Qt::CaseInsensitive) != 0)
        return QStringLiteral("k=%1 says the key is no RSA key, and ours is").arg(type);
    bool hasHashes = false;
    const QStringList hashes = tagValue(record, QStringLiteral("h"), &hasHashes).split(u':');
    if (hasHashes && !hashes.contains(QStringLiteral("sha256"), Qt::CaseInsensitive))
        return QStringLiteral("h=%1 leaves out sha256, and we sign with rsa-sha256").arg(hashes.join(u':'));
    if (tagValue(record, QStringLiteral("t")).split(u':').contains(QStringLiteral("y"), Qt::CaseInsensitive))
        return QStringLiteral("t=y: the domain is testing DKIM, so verifiers treat signed mail as unsigned");
    bool hasKey = false;
    const QString key = tagValue(record, QStringLiteral("p"), &hasKey);
    if (!hasKey)
        return QStringLiteral("it has no key (no p=)");
    if (key.isEmpty())
        return QStringLiteral("the key is revoked (empty p=)");
    if (key != withoutBlanks(publicKey))
        return QStringLiteral("it holds another key than ours");
    return {};
}

} // namespace

CheckRow dkimRow(const QString& selector, const QString& domain, const QString& publicKey, const Answer& txt)
{
    const QString name = dkimRecordName(selector, domain);
    CheckRow row{domain, QStringLiteral("DKIM"), name, CheckState::Failed, listed(txt.values),
                 publicKey.isEmpty() ? QStringLiteral("a key made by Apply DKIM first")
                                     : QStringLiteral("one record \u201cv=DKIM1; k=rsa; p=\u201d and our public key"),
                 publicKey.isEmpty() ? QString() : txtZoneLine(name, dkimRecordText(publicKey))};
    if (txt.outcome == Outcome::Unreachable)
        return unreachableRow(row);
    if (publicKey.isEmpty() || txt.values.isEmpty())
        return row;
    if (txt.values.size() > 1) {
        row.found = QStringLiteral("%1 records at %2, and verifiers take any one of them: %3")
                        .arg(txt.values.size())
                        .arg(name, listed(txt.values));
        row.suggestion = QStringLiteral("; keep only this one:\n") + row.suggestion;
        return row;
    }
    const QString problem = dkimProblem(txt.values.first(), publicKey);
    if (problem.isEmpty())
        return passed(row);
    row.found = QStringLiteral("%1: %2").arg(txt.values.first(), problem);
    return row;
}

CheckRow dmarcRow(const QString& domain, const Answer& txt)
{
    const QString name = QStringLiteral("_dmarc.") + domain;
    CheckRow row{domain, QStringLiteral("DMARC"), name, CheckState::Failed, listed(txt.values),
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
    return valid.size() == 1 ? passed(row) : row;
}

CheckRow dnssecRow(const QString& domain, const Answer& apex, bool validates)
{
    CheckRow row{domain, QStringLiteral("DNSSEC"), domain, CheckState::Passed, {},
                 QStringLiteral("signed and valid (secure), or not signed (insecure)"), {}};
    if (apex.outcome == Outcome::Unreachable)
        return unreachableRow(row);
    if (!validates) {
        row.state = CheckState::Unjudged;
        row.found = QStringLiteral("not known: the name servers in /etc/resolv.conf pass on no DNSSEC signatures");
        return row;
    }
    switch (apex.security) {
    case Security::Secure:
        row.found = QStringLiteral("secure: signed, and the signatures check out");
        break;
    case Security::Insecure:
        row.found = QStringLiteral("insecure: not signed, so receivers take the records as they are (and DANE "
                                   "is not used)");
        break;
    case Security::Bogus:
        row.state = CheckState::Failed;
        row.found = QStringLiteral("bogus: the signatures do not check out (%1), so validating receivers get no "
                                   "answer at all for %2")
                        .arg(apex.whyBogus.isEmpty() ? QStringLiteral("no reason given") : apex.whyBogus, domain);
        row.suggestion = QStringLiteral("; %1: sign the zone again with the key its DS record names, or remove the "
                                        "DS record at the registrar")
                             .arg(domain);
        break;
    }
    return row;
}

CheckRow tlsaRow(const QString& mailHost, const Answer& tlsa, const std::function<QList<QByteArray>()>& chain)
{
    const QString name = QStringLiteral("_25._tcp.") + mailHost;
    CheckRow row{QString(), QStringLiteral("TLSA"), name, CheckState::Passed, listed(tlsa.values),
                 QStringLiteral("where the zone is signed: none, or one naming the certificate Postfix serves"), {}};
    if (tlsa.outcome == Outcome::Unreachable)
        return unreachableRow(row);
    if (tlsa.security == Security::Bogus) {
        row.state = CheckState::Failed;
        row.found = QStringLiteral("the answer does not validate (%1): senders using DANE will not deliver")
                        .arg(tlsa.whyBogus);
        row.suggestion = QStringLiteral("; %1: sign the zone of %2 again").arg(name, mailHost);
        return row;
    }
    if (tlsa.security == Security::Insecure) {
        row.found = QStringLiteral("not used: the zone of %1 is not signed").arg(mailHost);
        return row;
    }
    if (tlsa.values.isEmpty()) {
        row.found = QStringLiteral("none: senders use TLS without DANE");
        return row;
    }
    const QList<QByteArray> served = chain();
    if (served.isEmpty()) {
        row.state = CheckState::Failed;
        row.found = QStringLiteral("%1, but no certificate could be had from %2 port 25 to match it against")
                        .arg(listed(tlsa.values), mailHost);
        row.expected = QStringLiteral("Postfix answering STARTTLS on port 25, with the certificate a record names");
        row.suggestion = QStringLiteral("; %1: start Postfix with TLS, then check again").arg(mailHost);
        return row;
    }
    const bool matches = std::any_of(tlsa.values.begin(), tlsa.values.end(), [&served](const QString& value) {
        return matchTlsa(value, served) == TlsaMatch::Matches;
    });
    if (matches) {
        row.found = QStringLiteral("%1: names the certificate Postfix serves").arg(listed(tlsa.values));
        return row;
    }
    row.state = CheckState::Failed;
    row.found = QStringLiteral("%1: names no certificate Postfix serves, so senders using DANE will not deliver "
                               "(RFC 7672 \u00a72.2)")
                    .arg(listed(tlsa.values));
    row.suggestion = QStringLiteral("%1. IN TLSA %2").arg(name, tlsaRecordFor(served.first()));
    return row;
}

namespace {

QList<CheckRow> silentRows(const CheckInput& input, const QString& domain)
{
    const Answer none{Outcome::Unreachable, {}};
    QList<CheckRow> rows{mxRow(domain, none, none),
                         addressRow(domain, none, none),
                         spfRow(domain, input.publicAddress, none, {}, {}),
                         dkimRow(input.selector, domain, input.publicKeys.value(domain), none),
                         dmarcRow(domain, none),
                         dnssecRow(domain, none, input.validates),
                         tlsaRow(domain, none, {})};
    for (CheckRow& row : rows)
        row.group = domain;
    return rows;
}

QList<CheckRow> domainRows(const CheckInput& input, const QString& domain, const Answer& mx, const Lookup& lookup,
                           const ServedChain& served)
{
    const QString host = mailHost(domain, mx);
    const Answer a = lookup(host, RecordType::A);
    const Answer aaaa = lookup(host, RecordType::AAAA);
    const QString address = input.publicAddress.trimmed();
    SpfVerdict ours;
    SpfVerdict anyone;
    const Answer txt = lookup(domain, RecordType::TXT);
    if (!reverseName(address).isEmpty() && txt.outcome == Outcome::Found) {
        ours = evaluateSpf(domain, address, lookup);
        if (ours.result == SpfResult::Pass)
            anyone = evaluateSpf(domain, nobodysAddress(address), lookup);
    }
    // DANE is only for a mail host whose own zone is signed.
    const Answer tlsa = a.security == Security::Secure || aaaa.security == Security::Secure
        ? lookup(QStringLiteral("_25._tcp.") + host, RecordType::TLSA)
        : Answer{Outcome::NoRecord, {}, a.security == Security::Bogus ? Security::Bogus : Security::Insecure};
    const QString hostAddress = (a.values + aaaa.values).value(0);
    QList<CheckRow> rows{mxRow(domain, mx, a),
                         addressRow(host, a, aaaa),
                         spfRow(domain, address, txt, ours, anyone),
                         dkimRow(input.selector, domain, input.publicKeys.value(domain),
                                 lookup(dkimRecordName(input.selector, domain), RecordType::TXT)),
                         dmarcRow(domain, lookup(QStringLiteral("_dmarc.") + domain, RecordType::TXT)),
                         dnssecRow(domain, mx, input.validates),
                         tlsaRow(host, tlsa, [&] { return served ? served(hostAddress) : QList<QByteArray>{}; })};
    for (CheckRow& row : rows)
        row.group = domain;
    return rows;
}

} // namespace

QList<CheckRow> runChecks(const CheckInput& input, const Lookup& lookup, const ServedChain& served)
{
    QList<CheckRow> domainGroups;
    bool silent = false;
    QString firstHost;
    for (const QString& domain : input.domains) {
        // When the very first question goes unanswered, every further one
        // would wait for the same silent server; a later domain's failure is
        // that domain's own (its name servers), and the others are still asked.
        const Answer mx = silent ? Answer{Outcome::Unreachable, {}} : lookup(domain, RecordType::MX);
        silent = silent || (domain == input.domains.first() && mx.outcome == Outcome::Unreachable);
        if (mx.outcome == Outcome::Unreachable) {
            domainGroups += silentRows(input, domain);
            continue;
        }
        const QList<CheckRow> rows = domainRows(input, domain, mx, lookup, served);
        if (firstHost.isEmpty())
            firstHost = rows.at(1).name;
        domainGroups += rows;
    }
    const QString address = input.publicAddress.trimmed();
    const QString reverse = reverseName(address);
    const RecordType back = isIpv6(address) ? RecordType::AAAA : RecordType::A;
    Answer ptr{Outcome::Unreachable, {}};
    QList<Answer> forward;
    if (!silent && !reverse.isEmpty()) {
        ptr = lookup(reverse, RecordType::PTR);
        // A hostile reverse zone could name hosts by the hundred.
        ptr.values = ptr.values.mid(0, 10);
        for (const QString& host : ptr.values)
            forward.append(lookup(host, back));
    }
    const QString host = firstHost.isEmpty() ? QStringLiteral("mail.") + input.domains.value(0) : firstHost;
    return QList<CheckRow>{ptrRow(address, host, ptr, forward, input.domains)} + domainGroups;
}

} // namespace brevane::dns

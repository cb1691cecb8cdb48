#include "status/OutsideRules.h"

#include <QMap>
#include <QRegularExpression>
#include <arpa/inet.h>
#include <array>

namespace brevane::status {

namespace {

    int rank(State state)
    {
        return state == State::Red ? 2 : state == State::Yellow ? 1 : 0;
    }

    void raise(State& state, State to)
    {
        if (rank(to) > rank(state))
            state = to;
    }

    bool isAddress(const QString& text)
    {
        return !dns::reverseName(text).isEmpty();
    }

    bool isHostName(QString text)
    {
        if (text.endsWith(u'.'))
            text.chop(1);
        // Whole-text anchors: "$" alone also matches before a final line break,
        // which a remote shell would read as the end of the command.
        static const QRegularExpression label(
            QRegularExpression::anchoredPattern(QStringLiteral("[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?")));
        if (text.isEmpty() || text.size() > 253)
            return false;
        for (const QString& part : text.split(u'.'))
            if (!label.match(part).hasMatch())
                return false;
        return true;
    }

    // The -o options that only change how ssh reaches the vantage. Those
    // that run commands (ProxyCommand, LocalCommand, KnownHostsCommand) or
    // would let it ask for a password (BatchMode) are not among them.
    const QStringList& sshOptions()
    {
        static const QStringList keys { "port", "user", "connecttimeout", "stricthostkeychecking", "userknownhostsfile",
            "identityfile", "identitiesonly", "addressfamily", "serveraliveinterval", "serveralivecountmax",
            "hostkeyalias", "checkhostip", "loglevel" };
        return keys;
    }

    QString sshError(const QStringList& words, QStringList* options, QString* destination)
    {
        static const QRegularExpression value(QStringLiteral("^[A-Za-z0-9._/~+-]+$"));
        static const QRegularExpression user(QStringLiteral("^[A-Za-z0-9_][A-Za-z0-9._-]*$"));
        for (qsizetype i = 1; i < words.size(); ++i) {
            const QString& word = words.at(i);
            if (word == QLatin1String("-4") || word == QLatin1String("-6")) {
                options->append(word);
            } else if (word == QLatin1String("-p") && i + 1 < words.size()) {
                const int port = words.at(++i).toInt();
                if (port < 1 || port > 65535)
                    return QStringLiteral("\u201c-p %1\u201d is not a port.").arg(words.at(i));
                options->append({ word, QString::number(port) });
            } else if (word == QLatin1String("-o") && i + 1 < words.size()) {
                const QString option = words.at(++i);
                const QString key = option.section(u'=', 0, 0);
                if (!sshOptions().contains(key.toLower()) || !value.match(option.section(u'=', 1)).hasMatch())
                    return QStringLiteral("The ssh option \u201c%1\u201d is not taken here.").arg(option);
                options->append({ word, option });
            } else if (word.startsWith(u'-')) {
                return QStringLiteral("The ssh option \u201c%1\u201d is not taken here.").arg(word);
            } else if (!destination->isEmpty()) {
                return QStringLiteral("Nothing may follow the destination \u201c%1\u201d.").arg(*destination);
            } else {
                const QString host = word.section(u'@', -1);
                const QString name = word.contains(u'@') ? word.section(u'@', 0, -2) : QString();
                if (!isHostOrAddress(host) || (word.contains(u'@') && !user.match(name).hasMatch()))
                    return QStringLiteral("\u201c%1\u201d is not user@host.").arg(word);
                *destination = word;
            }
        }
        return destination->isEmpty() ? QStringLiteral("The ssh command names no host.") : QString();
    }

    QString portName(int port)
    {
        switch (port) {
        case 25:
            return QStringLiteral("SMTP");
        case 465:
            return QStringLiteral("submissions");
        case 587:
            return QStringLiteral("submission");
        default:
            return QStringLiteral("SMTP");
        }
    }

    QString lastLine(const QString& output)
    {
        const QString line = output.trimmed().section(u'\n', -1).trimmed();
        return line.isEmpty() ? QStringLiteral("it gave no output") : line;
    }

    Result vantageFailed(const QString& output)
    {
        return { State::Yellow, QStringLiteral("The probe did not run on the vantage point: %1").arg(lastLine(output)),
            QStringLiteral("A probe run from another host."),
            QStringLiteral("Check that the vantage command logs in without a password (an SSH key) and that "
                           "bash is there; then check again.") };
    }

    // Each reply of the relay probe, by the stage it answered.
    QMap<QString, Reply> replies(const QString& output)
    {
        QMap<QString, Reply> seen;
        for (const QString& line : output.split(u'\n'))
            seen.insert(line.section(u' ', 0, 0), readReply(line.section(u' ', 1).trimmed()));
        return seen;
    }

} // namespace

bool isHostOrAddress(const QString& text)
{
    return isAddress(text) || isHostName(text);
}

bool isZoneName(const QString& text)
{
    return isHostName(text) && !isAddress(text) && text.contains(u'.') && !text.startsWith(u'.');
}

bool isPlainMailAddress(const QString& text)
{
    static const QRegularExpression local(
        QRegularExpression::anchoredPattern(QStringLiteral("[A-Za-z0-9][A-Za-z0-9._+-]{0,63}")));
    const qsizetype at = text.lastIndexOf(u'@');
    return at > 0 && local.match(text.left(at)).hasMatch() && isZoneName(text.mid(at + 1));
}

Vantage readVantage(const QString& text)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9@._:=/~+ \\t-]*$"));
    const QString given = text.simplified();
    if (given.isEmpty())
        return {};
    if (!plain.match(given).hasMatch())
        return { {},
            QStringLiteral("The vantage command may hold only letters, digits, spaces and . _ - @ : = / ~ +.") };
    QStringList words = given.split(u' ');
    if (words.size() == 1 && !words.first().startsWith(u'-') && words.first() != QLatin1String("ssh")
        && words.first() != QLatin1String("ip"))
        words.prepend(QStringLiteral("ssh"));
    if (words.first() == QLatin1String("ip")) {
        static const QRegularExpression name(QStringLiteral("^[A-Za-z0-9_][A-Za-z0-9._-]*$"));
        if (words.size() == 4 && words.at(1) == QLatin1String("netns") && words.at(2) == QLatin1String("exec")
            && name.match(words.at(3)).hasMatch())
            return { words, {} };
        return { {}, QStringLiteral("A namespace vantage is \u201cip netns exec NAME\u201d.") };
    }
    if (words.first() != QLatin1String("ssh"))
        return { {},
            QStringLiteral("Give an SSH destination (user@host, or an ssh command) or \u201cip netns exec "
                           "NAME\u201d.") };
    QStringList options;
    QString destination;
    const QString error = sshError(words, &options, &destination);
    if (!error.isEmpty())
        return { {}, error };
    // ssh keeps the first value it is given: ours come first for BatchMode,
    // after the administrator's for the timeout.
    return { QStringList { QStringLiteral("ssh"), QStringLiteral("-o"), QStringLiteral("BatchMode=yes") } + options
            + QStringList { QStringLiteral("-o"), QStringLiteral("ConnectTimeout=5"), destination },
        {} };
}

QList<PortToProbe> portsToProbe(const QString& extraPorts, const QList<PortToProbe>& mailServices)
{
    static const QMap<QString, int> named { { QStringLiteral("smtp"), 25 }, { QStringLiteral("submission"), 587 },
        { QStringLiteral("submissions"), 465 }, { QStringLiteral("smtps"), 465 } };
    QList<PortToProbe> ports { { portName(25), 25 } };
    const auto add = [&ports](const PortToProbe& port) {
        for (const PortToProbe& have : ports)
            if (have.port == port.port)
                return;
        ports.append(port);
    };
    // A port bound to one address ("127.0.0.1:2525") is not meant for the
    // outside; plain numbers and service names are.
    for (const QString& word : extraPorts.split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts)) {
        bool number = false;
        const int port = word.toInt(&number);
        if (number && port > 0 && port < 65536)
            add({ portName(port), port });
        else if (named.contains(word.toLower()))
            add({ portName(named.value(word.toLower())), named.value(word.toLower()) });
    }
    for (const PortToProbe& service : mailServices)
        add(service);
    return ports;
}

Result portRule(const PortToProbe& port, const QString& vantageText, const QString& output, bool ran)
{
    const QString expected = QStringLiteral("Port %1 answers from another host.").arg(port.port);
    const QRegularExpression line(
        QStringLiteral("^port %1 (\\S+)$").arg(port.port), QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = line.match(output);
    if (!ran || !match.hasMatch())
        return vantageFailed(output);
    const QString state = match.captured(1);
    const QString where = QStringLiteral("from %1").arg(vantageText.simplified());
    if (state == QLatin1String("open"))
        return { State::Green, QStringLiteral("Port %1 (%2) answers %3.").arg(port.port).arg(port.name, where),
            expected, {} };
    const QString doing = QStringLiteral("Start %1 and let port %2 through the firewall and any router in front of "
                                         "this machine (forward it to this machine's address).")
                              .arg(port.name)
                              .arg(port.port);
    if (state == QLatin1String("unresolved"))
        return { State::Yellow, QStringLiteral("The vantage point cannot find the server's name."), expected,
            QStringLiteral("Give the server's public address on the Status tab, or publish its name in DNS.") };
    const QString why = state == QLatin1String("timeout")
        ? QStringLiteral("gets no answer: something on the way drops it")
        : QStringLiteral("is refused: nothing listens there, or a firewall refuses it");
    return { State::Red, QStringLiteral("Port %1 (%2) %3, seen %4.").arg(port.port).arg(port.name, why, where),
        expected, doing };
}

Reply readReply(const QString& line)
{
    static const QRegularExpression shape(QStringLiteral("^([2-5][0-9][0-9])([ -].*)?$"));
    const QRegularExpressionMatch match = shape.match(line);
    return { match.hasMatch() ? match.captured(1).toInt() : 0, line };
}

Result relayRule(const QString& recipient, const QString& output, bool ran)
{
    const QString expected = QStringLiteral("Mail to other domains refused from outside (RCPT TO answered 5xx, or "
                                            "454 4.7.1).");
    if (output.contains(QLatin1String("connect failed")))
        return { State::Yellow, QStringLiteral("The relay test could not connect to port 25 from the vantage point."),
            expected, QStringLiteral("Make port 25 reachable (see its row), then check again.") };
    const QMap<QString, Reply> seen = replies(output);
    if (!ran && !seen.contains(QStringLiteral("greeting")))
        return vantageFailed(output);
    const auto unclear = [&expected](const QString& stage, const Reply& reply) {
        return Result { State::Yellow,
            QStringLiteral("The server answered %1 with \u201c%2\u201d: the test could not go on.")
                .arg(stage, reply.text.isEmpty() ? QStringLiteral("nothing") : reply.text),
            expected, QStringLiteral("Read the Mail Log tab for why, then check again.") };
    };
    for (const char* stage : { "greeting", "ehlo", "mail" }) {
        const Reply reply = seen.value(QLatin1String(stage));
        if (reply.code / 100 != 2)
            return unclear(QLatin1String(stage), reply);
    }
    const Reply rcpt = seen.value(QStringLiteral("rcpt"));
    const QString found = QStringLiteral("RCPT TO:<%1> from outside: %2").arg(recipient, rcpt.text);
    if (rcpt.code / 100 == 2)
        return { State::Red, QStringLiteral("Open relay: anyone can send mail through this server (%1).").arg(found),
            expected,
            QStringLiteral("Narrow the trusted networks (Outgoing tab) to this machine, or require SMTP AUTH; "
                           "spammers find an open relay within hours and block lists follow.") };
    // A deferral that says "not authorized" (RFC 3463 X.7.1) is Postfix's
    // defer_unauth_destination: a refusal, only one the sender may retry.
    if (rcpt.code / 100 == 5 || (rcpt.code / 100 == 4 && rcpt.text.contains(QLatin1String(" 4.7.1"))))
        return { State::Green, found + u'.', expected, {} };
    return unclear(QStringLiteral("RCPT TO"), rcpt);
}

Listing classifyListing(const dns::Answer& answer)
{
    if (answer.outcome == dns::Outcome::Unreachable)
        return Listing::Unreachable;
    if (answer.outcome == dns::Outcome::NoRecord)
        return Listing::NotListed;
    bool refused = false;
    for (const QString& value : answer.values) {
        std::array<unsigned char, 4> bytes {};
        if (inet_pton(AF_INET, value.toLatin1().constData(), bytes.data()) != 1 || bytes[0] != 127)
            continue;
        if (bytes[1] == 255 && bytes[2] == 255)
            refused = true;
        else if (!(bytes[1] == 0 && bytes[2] == 0 && bytes[3] == 1))
            return Listing::Listed;
    }
    return refused ? Listing::Refused : Listing::Broken;
}

QString listingName(const QString& address, const QString& zone)
{
    QString name = dns::reverseName(address);
    for (const char* suffix : { ".in-addr.arpa", ".ip6.arpa" })
        if (name.endsWith(QLatin1String(suffix)))
            return name.chopped(int(qstrlen(suffix))) + u'.' + zone;
    return {};
}

QStringList readZones(const QString& text, QStringList* bad)
{
    QStringList zones;
    for (QString line : text.split(u'\n')) {
        line = line.section(u'#', 0, 0).trimmed();
        if (line.isEmpty())
            continue;
        if (isZoneName(line)) {
            if (!zones.contains(line, Qt::CaseInsensitive))
                zones.append(line.toLower());
        } else if (bad) {
            bad->append(line);
        }
    }
    return zones;
}

Result blockListRule(const QList<ZoneFinding>& findings, const QStringList& addresses)
{
    const QString expected = QStringLiteral("This server's address on none of the block lists.");
    if (addresses.isEmpty())
        return { State::Yellow, QStringLiteral("This server's public address is not known."), expected,
            QStringLiteral("Give the public address on the Status tab, or publish the host name's A record.") };
    if (findings.isEmpty())
        return { State::Yellow, QStringLiteral("No block list is set."), expected,
            QStringLiteral("Name the block lists to ask on the Status tab, one a line.") };
    State state = State::Green;
    QStringList found;
    QStringList todo;
    for (const ZoneFinding& f : findings) {
        const QString on = QStringLiteral("%1 on %2").arg(f.address, f.zone);
        switch (f.listing) {
        case Listing::Listed:
            raise(state, State::Red);
            found.append(f.reason.isEmpty() ? QStringLiteral("%1: LISTED").arg(on)
                                            : QStringLiteral("%1: LISTED (%2)").arg(on, f.reason));
            todo.append(QStringLiteral("find out why on %1's web site, stop the cause (an open relay, an infected "
                                       "account), then ask it to delist %2")
                            .arg(f.zone, f.address));
            continue;
        case Listing::Refused:
            found.append(QStringLiteral("%1: the list refused to answer this resolver").arg(on));
            todo.append(QStringLiteral("ask %1 through this machine's own resolver, not a public one").arg(f.zone));
            break;
        case Listing::Broken:
            found.append(QStringLiteral("%1: an answer that is no listing code").arg(on));
            todo.append(QStringLiteral("use a resolver that does not rewrite unknown names"));
            break;
        case Listing::Unreachable:
            found.append(QStringLiteral("%1: no answer").arg(on));
            todo.append(QStringLiteral("check DNS, or remove %1 if it is gone").arg(f.zone));
            break;
        case Listing::NotListed:
            if (!f.testEntryMissing) {
                found.append(QStringLiteral("%1: not listed").arg(on));
                continue;
            }
            found.append(QStringLiteral("%1: not listed, but the list does not list its test entry either").arg(on));
            todo.append(QStringLiteral("check that %1 is a block list that still answers").arg(f.zone));
            break;
        }
        raise(state, State::Yellow);
    }
    todo.removeDuplicates();
    QString whatToDo = todo.isEmpty() ? QString() : todo.join(QLatin1String("; ")) + u'.';
    if (!whatToDo.isEmpty())
        whatToDo[0] = whatToDo.at(0).toUpper();
    return { state, found.join(QLatin1String("; ")) + u'.', expected, whatToDo };
}

} // namespace brevane::status

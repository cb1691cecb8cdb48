#include "status/OutsideChecks.h"

#include "deliverability/UnboundResolver.h"
#include "shell/ResourcePaths.h"

#include <QProcess>

using namespace std::chrono_literals;

namespace brevane::status {

namespace {

    // Each under its check's limit, so a probe that hangs is ended here and
    // reported with what it said.
    constexpr int portProbeMs = 15000;
    constexpr int relayProbeMs = 45000;

    Result unset(const QString& what)
    {
        return { State::Yellow, QStringLiteral("Not checked: no vantage point is set."), what,
            QStringLiteral("Set a vantage point on the Status tab: an SSH login on another host, such as "
                           "\u201cssh -o ConnectTimeout=5 you@other.example\u201d, with a key so no password is "
                           "asked. Checking from this machine would not see a firewall or router.") };
    }

    // Why the outside checks cannot run as given; nullopt when they can.
    std::optional<Result> unusable(const OutsideInputs& inputs, const Vantage& vantage, const QString& expected)
    {
        if (inputs.vantage.trimmed().isEmpty())
            return unset(expected);
        if (!vantage.error.isEmpty())
            return Result { State::Yellow, QStringLiteral("The vantage point is not usable: %1").arg(vantage.error),
                expected, QStringLiteral("Correct the vantage point on the Status tab.") };
        if (!isHostOrAddress(inputs.target))
            return Result { State::Yellow,
                QStringLiteral("This server's public name or address is not known (\u201c%1\u201d).")
                    .arg(inputs.target),
                expected, QStringLiteral("Give the public address on the Status tab.") };
        return std::nullopt;
    }

    Check portCheck(const OutsideInputs& inputs, const Vantage& vantage, const PortToProbe& port)
    {
        return { QStringLiteral("outside-port-%1").arg(port.port),
            QStringLiteral("Port %1 (%2) from outside").arg(port.port).arg(port.name), 20s, [inputs, vantage, port] {
                const QString expected = QStringLiteral("Port %1 answers from another host.").arg(port.port);
                if (const auto why = unusable(inputs, vantage, expected))
                    return *why;
                const ProbeRun run = runProbe(vantage.command,
                    { QStringLiteral("ports"), inputs.target, QString::number(port.port) }, portProbeMs);
                return portRule(port, inputs.vantage, run.output, run.ran);
            } };
    }

    Check relayCheck(const OutsideInputs& inputs, const Vantage& vantage)
    {
        return { QStringLiteral("outside-relay"), QStringLiteral("Not an open relay"), 50s, [inputs, vantage] {
                    const QString expected = QStringLiteral("Mail to other domains refused from outside.");
                    if (const auto why = unusable(inputs, vantage, expected))
                        return *why;
                    if (!isPlainMailAddress(inputs.relaySender) || !isPlainMailAddress(inputs.relayRecipient))
                        return Result { State::Yellow,
                            QStringLiteral("The test addresses are not plain mail addresses."), expected,
                            QStringLiteral("Give an outside address such as relay-test@example.org.") };
                    const ProbeRun run = runProbe(vantage.command,
                        { QStringLiteral("relay"), inputs.target, inputs.relaySender, inputs.relayRecipient },
                        relayProbeMs);
                    return relayRule(inputs.relayRecipient, run.output, run.ran);
                } };
    }

    // The given addresses, or those DNS holds for the target.
    QStringList publicAddresses(const OutsideInputs& inputs, const dns::Lookup& lookup)
    {
        QStringList addresses;
        for (const QString& address : inputs.publicAddresses)
            if (!dns::reverseName(address).isEmpty())
                addresses.append(address.trimmed());
        if (!addresses.isEmpty() || inputs.target.isEmpty())
            return addresses;
        if (!dns::reverseName(inputs.target).isEmpty())
            return { inputs.target };
        for (const dns::RecordType type : { dns::RecordType::A, dns::RecordType::AAAA }) {
            const dns::Answer answer = lookup(inputs.target, type);
            if (answer.outcome == dns::Outcome::Found)
                addresses += answer.values;
        }
        return addresses;
    }

    // A listing's reason is the list's text: kept short and on one line.
    QString reasonOf(const dns::Answer& answer)
    {
        QString text = answer.outcome == dns::Outcome::Found ? answer.values.join(u' ') : QString();
        for (QChar& c : text)
            if (!c.isPrint())
                c = u' ';
        return text.simplified().left(200);
    }

} // namespace

QStringList defaultBlockZones()
{
    return { QStringLiteral("zen.spamhaus.org"), QStringLiteral("bl.spamcop.net"),
        QStringLiteral("b.barracudacentral.org") };
}

ProbeRun runProbe(const QStringList& vantage, const QStringList& arguments, int timeLimitMs)
{
    if (vantage.isEmpty())
        return {};
    QProcess probe;
    probe.setProcessChannelMode(QProcess::MergedChannels);
    probe.start(vantage.first(),
        vantage.mid(1) + QStringList { QStringLiteral("bash"), QStringLiteral("-s"), QStringLiteral("--") }
            + arguments);
    if (!probe.waitForStarted(timeLimitMs))
        return { probe.errorString(), false };
    probe.write(scriptText(QStringLiteral("outside-probe.sh")).toUtf8());
    probe.closeWriteChannel();
    if (!probe.waitForFinished(timeLimitMs)) {
        probe.kill();
        probe.waitForFinished(1000);
        return { QString::fromUtf8(probe.readAll()) + QStringLiteral("\nno answer within %1 s").arg(timeLimitMs / 1000),
            false };
    }
    return { QString::fromUtf8(probe.readAll()), probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0 };
}

QList<ZoneFinding> askBlockLists(const QStringList& addresses, const QStringList& zones, const dns::Lookup& lookup)
{
    QList<ZoneFinding> findings;
    for (const QString& zone : zones) {
        for (const QString& address : addresses) {
            const QString name = listingName(address, zone);
            ZoneFinding finding { zone, address, classifyListing(lookup(name, dns::RecordType::A)), {}, false };
            if (finding.listing == Listing::Listed) {
                finding.reason = reasonOf(lookup(name, dns::RecordType::TXT));
            } else if (finding.listing == Listing::NotListed) {
                // Only a list that names its test entry is believed when it
                // does not name us.
                const QString test
                    = address.contains(u':') ? QStringLiteral("::ffff:7f00:2") : QStringLiteral("127.0.0.2");
                const Listing testEntry = classifyListing(lookup(listingName(test, zone), dns::RecordType::A));
                finding.testEntryMissing = testEntry == Listing::NotListed;
                if (testEntry != Listing::Listed && testEntry != Listing::NotListed)
                    finding.listing = testEntry;
            }
            findings.append(finding);
        }
    }
    return findings;
}

QList<Check> outsideChecks(const OutsideInputs& inputs)
{
    const Vantage vantage = readVantage(inputs.vantage);
    QList<Check> checks;
    for (const PortToProbe& port : inputs.ports)
        checks.append(portCheck(inputs, vantage, port));
    checks.append(relayCheck(inputs, vantage));
    // Up to three questions a list and address, each waiting at most 2 s.
    checks.append({ QStringLiteral("blocklists"), QStringLiteral("Block lists"), 60s, [inputs] {
                       const auto ask = [&inputs](const dns::Lookup& lookup) {
                           const QStringList addresses = publicAddresses(inputs, lookup);
                           return blockListRule(askBlockLists(addresses, inputs.blockZones, lookup), addresses);
                       };
                       if (inputs.blockListLookup)
                           return ask(inputs.blockListLookup);
                       dns::ResolverOptions options;
                       options.trustAnchorFile.clear();
                       options.probeName.clear();
                       options.timeoutMilliseconds = 2000;
                       dns::UnboundResolver resolver(options);
                       return ask(resolver.lookup());
                   } });
    return checks;
}

} // namespace brevane::status

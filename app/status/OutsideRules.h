#pragma once

#include "deliverability/DnsLookup.h"
#include "status/StatusCheck.h"

#include <QList>
#include <QString>
#include <QStringList>

// How this server looks from the outside: its ports and its relaying as
// another host sees them, and whether DNS block lists name its address.
// Pure rules over what the probes answered.
namespace brevane::status {

/// The vantage command, or why it is refused; both empty when none is set.
struct Vantage {
    QStringList command; ///< the program and its arguments, run without a shell
    QString error;
};

/// Reads the administrator's vantage point: an SSH destination ("ssh
/// [-p PORT] [-o KEY=VALUE]... [user@]host", or just "user@host") or a
/// network namespace ("ip netns exec NAME"). Only options that change how
/// ssh connects are taken, never ones that run a command; BatchMode is
/// always on, so a password prompt can never wait for someone.
Vantage readVantage(const QString& text);

/// True for a host name of letters, digits and hyphens in dot-separated
/// labels (RFC 1123), or an IPv4/IPv6 address.
bool isHostOrAddress(const QString& text);
/// True for a host name of two or more labels (a block list's zone).
bool isZoneName(const QString& text);
/// True for local@domain of plain characters, safe on any command line.
bool isPlainMailAddress(const QString& text);

struct PortToProbe {
    QString name; ///< "submission", "POP3"
    int port = 0;
};
/// 25, each port of the extra ports field (master.cf's extra smtpd lines),
/// then the mail services that are offered; no port twice.
QList<PortToProbe> portsToProbe(const QString& extraPorts, const QList<PortToProbe>& mailServices);

/// One port as the probe's "port N open|refused|timeout" line reports it;
/// `output` is the whole output, `ran` false when the vantage did not run.
Result portRule(const PortToProbe& port, const QString& vantageText, const QString& output, bool ran);

struct Reply {
    int code = 0; ///< 0 when there was no reply, or it was not one
    QString text; ///< the last line as received
};
/// An SMTP reply line (RFC 5321 §4.2): three digits 2xx-5xx, then a space,
/// a hyphen or the end.
Reply readReply(const QString& line);

/// The relay test's verdict from the probe's "STAGE LINE" output
/// (greeting, ehlo, mail, rcpt).
Result relayRule(const QString& recipient, const QString& output, bool ran);

/// What one block list said of one address.
enum class Listing { NotListed, Listed, Refused, Broken, Unreachable };
/// An A answer in 127.0.0.0/8 is a listing (RFC 5782 §2.1), except
/// 127.255.255.0/24, the codes Spamhaus gives when it refuses to answer
/// (public resolver, over quota, typing error), and 127.0.0.1, which a list
/// never holds (§5). Any other address means a resolver that rewrites
/// missing names.
Listing classifyListing(const dns::Answer& answer);

/// The address reversed under the zone: octets for IPv4, nibbles for IPv6
/// (RFC 5782 §2.1, §2.4); empty for no address.
QString listingName(const QString& address, const QString& zone);

/// One line a zone; blank lines and "#" comments are skipped. Answers the
/// zones, and the lines that are not zone names in `bad`.
QStringList readZones(const QString& text, QStringList* bad = nullptr);

/// What the block lists check saw for one zone.
struct ZoneFinding {
    QString zone;
    QString address;
    Listing listing = Listing::NotListed;
    QString reason; ///< the TXT record, when listed
    /// The list's test entry 127.0.0.2 (RFC 5782 §5) was not listed: the
    /// zone does not answer as a list, whatever it says of us.
    bool testEntryMissing = false;
};
Result blockListRule(const QList<ZoneFinding>& findings, const QStringList& addresses);

} // namespace brevane::status

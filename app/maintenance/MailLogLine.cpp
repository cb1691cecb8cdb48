#include "maintenance/MailLogLine.h"

#include "maintenance/QueueId.h"

#include <array>

namespace brevane {

namespace {

using Kind = MailLogEvent::Kind;
constexpr std::size_t npos = std::string_view::npos;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Digits at [at, at + count) as a number; -1 when any is not a digit.
int number(std::string_view text, std::size_t at, std::size_t count)
{
    if (at + count > text.size())
        return -1;
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (!isDigit(text[i]))
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

int monthOf(std::string_view name)
{
    static constexpr std::array<std::string_view, 12> months{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (std::size_t i = 0; i < months.size(); ++i) {
        if (name == months[i])
            return int(i) + 1;
    }
    return 0;
}

// "HH:MM:SS" at `at` as seconds of the day; -1 when malformed.
int clockAt(std::string_view line, std::size_t at)
{
    if (at + 8 > line.size() || line[at + 2] != ':' || line[at + 5] != ':')
        return -1;
    const int hour = number(line, at, 2), minute = number(line, at + 3, 2), second = number(line, at + 6, 2);
    if (hour < 0 || minute < 0 || second < 0 || hour > 23 || minute > 59 || second > 60)
        return -1;
    return hour * 3600 + minute * 60 + second;
}

// Where the message text of "TIME HOST PROGRAM[PID]: MESSAGE" begins, and the
// program's last name component ("smtpd" of "postfix/submission/smtpd").
struct Parts {
    std::string_view program;
    std::string_view message;
};

Parts partsOf(std::string_view line)
{
    const std::size_t timeEnd = line.find(' ', line.size() > 15 && line[3] == ' ' ? 15 : 0);
    if (timeEnd == npos)
        return {};
    const std::size_t hostEnd = line.find(' ', timeEnd + 1);
    if (hostEnd == npos)
        return {};
    const std::size_t colon = line.find(": ", hostEnd + 1);
    if (colon == npos)
        return {};
    std::string_view program = line.substr(hostEnd + 1, colon - hostEnd - 1);
    if (const std::size_t bracket = program.find('['); bracket != npos)
        program = program.substr(0, bracket);
    if (program.substr(0, 7) != "postfix")
        return {};
    if (const std::size_t slash = program.rfind('/'); slash != npos)
        program = program.substr(slash + 1);
    return {program, line.substr(colon + 2)};
}

// The queue ID at the start of `text`, ended by `end` or by the text's end
// when `end` is empty.
std::string_view idAtStart(std::string_view text, std::string_view end)
{
    std::size_t length = 0;
    while (length < text.size() && isQueueIdCharacter(text[length]))
        ++length;
    const std::string_view id = text.substr(0, length);
    const bool ended = end.empty() ? length == text.size() : text.substr(length).starts_with(end);
    return ended && isQueueId(id) ? id : std::string_view{};
}

// "QUEUEID: rest" → QUEUEID; empty for "NOQUEUE", "warning", "connect from ...".
std::string_view leadingQueueId(std::string_view message)
{
    return idAtStart(message, ": ");
}

// Where the address that starts at `text[start]` (just after its "<") ends:
// at the first ">" outside the quoted local part Postfix writes for one
// such as <"x@trusted.example>"@evil.example>. npos when it never closes.
std::size_t addressEnd(std::string_view text, std::size_t start)
{
    bool quoted = false;
    for (std::size_t i = start; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted && c == '\\')
            ++i;
        else if (c == '"')
            quoted = !quoted;
        else if (c == '>' && !quoted)
            return i;
    }
    return npos;
}

// Reads "KEY=<address>" at the start of `text`; on success `address` is the
// address and `rest` what follows the closing ">".
bool readAddressField(std::string_view text, std::string_view key, std::string_view& address, std::string_view& rest)
{
    if (!text.starts_with(key) || text.substr(key.size(), 2) != "=<")
        return false;
    const std::size_t start = key.size() + 2;
    const std::size_t end = addressEnd(text, start);
    if (end == npos)
        return false;
    address = text.substr(start, end - start);
    rest = text.substr(end + 1);
    return true;
}

// "to=<a@b>, orig_to=<c@d>, relay=..., dsn=5.1.1, status=bounced (...)": the
// fields after the recipient one by one, up to status=. Its first word only.
std::string_view deliveryStatus(std::string_view fields)
{
    while (fields.starts_with(", ")) {
        fields.remove_prefix(2);
        if (fields.starts_with("status="))
            return fields.substr(7, fields.substr(7).find_first_of(" ,"));
        std::string_view address;
        const std::size_t equals = fields.find('=');
        if (equals == npos)
            return {};
        if (fields.substr(equals, 2) == "=<") {
            if (!readAddressField(fields, fields.substr(0, equals), address, fields))
                return {};
        } else {
            fields.remove_prefix(std::min(fields.find(", "), fields.size()));
        }
    }
    return {};
}

MailLogEvent deliveryEvent(std::string_view rest, MailLogEvent event)
{
    std::string_view fields;
    if (!readAddressField(rest, "to", event.address, fields))
        return event;
    const std::string_view status = deliveryStatus(fields);
    if (status == "sent")
        event.kind = Kind::Delivered;
    else if (status == "deferred")
        event.kind = Kind::Deferred;
    else if (status == "bounced" || status == "expired")
        event.kind = Kind::Bounced;
    else
        event.address = {};
    return event;
}

// "from=<sender>, size=446, nrcpt=1 (queue active)" or "from=<sender>,
// status=expired, returned to sender".
MailLogEvent queueManagerEvent(std::string_view rest, MailLogEvent event)
{
    std::string_view after;
    if (event.queueId.empty() || !readAddressField(rest, "from", event.address, after))
        return event;
    if (after.starts_with(", size=") && after.find(", nrcpt=") != npos)
        event.kind = Kind::SenderSeen;
    else if (after == ", status=expired, returned to sender")
        event.kind = Kind::Expired;
    else
        event.address = {};
    return event;
}

// "uid=103 from=<bob@sender.example> orig_id=5F9B96A": a requeued message
// coming back under a new ID.
MailLogEvent pickupEvent(std::string_view rest, MailLogEvent event)
{
    const std::size_t from = rest.find(" from=<");
    std::string_view after;
    if (event.queueId.empty() || !rest.starts_with("uid=") || from == npos
        || !readAddressField(rest.substr(from + 1), "from", event.address, after))
        return event;
    event.address = {};
    if (after.starts_with(" orig_id=")) {
        event.originalId = idAtStart(after.substr(9), {});
        if (!event.originalId.empty())
            event.kind = Kind::Requeued;
    }
    return event;
}

// Drops a refusal's own words for who was refused, so that one reason from
// many clients counts as one: the leading "<name>: " and a trailing
// ", [address]" ("cannot find your hostname, [192.0.2.1]").
std::string_view withoutClient(std::string_view reason)
{
    if (reason.starts_with('<')) {
        const std::size_t end = addressEnd(reason, 1);
        if (end != npos && reason.substr(end + 1, 2) == ": ")
            reason.remove_prefix(end + 3);
    }
    if (reason.ends_with(']')) {
        if (const std::size_t client = reason.rfind(", ["); client != npos)
            reason = reason.substr(0, client);
    }
    return reason;
}

// The reply text of "554 5.7.1 <a@b>: Relay access denied; from=<...> ...":
// "Relay access denied". Blocklists name the client and their own text:
// only "blocked using LIST" is kept.
std::string_view replyReason(std::string_view reply)
{
    if (reply.size() > 4 && isDigit(reply[0]) && isDigit(reply[1]) && isDigit(reply[2]) && reply[3] == ' ')
        reply.remove_prefix(4);
    if (!reply.empty() && isDigit(reply[0]) && reply.size() > 1 && reply[1] == '.')
        reply.remove_prefix(std::min(reply.find(' ') + 1, reply.size()));
    if (const std::size_t envelope = reply.find("; from=<"); envelope != npos)
        reply = reply.substr(0, envelope);
    if (const std::size_t rbl = reply.find("blocked using "); rbl != npos) {
        reply = reply.substr(rbl);
        return reply.substr(0, reply.find(';'));
    }
    return withoutClient(reply);
}

// The recipient of a refusal's envelope "; from=<s> to=<r> proto=..."
// (postscreen separates the fields with commas).
std::string_view refusedRecipient(std::string_view reply)
{
    const std::size_t envelope = reply.find("; from=<");
    std::string_view sender, after, recipient;
    if (envelope == npos || !readAddressField(reply.substr(envelope + 2), "from", sender, after))
        return {};
    if (after.starts_with(","))
        after.remove_prefix(1);
    if (after.starts_with(" ") && readAddressField(after.substr(1), "to", recipient, after))
        return recipient;
    return {};
}

// smtpd and postscreen: "reject: STAGE from CLIENT: REPLY; from=<...> ...",
// the client a name and address without blanks. cleanup's header and body
// checks: "reject: header ... from CLIENT; from=<...> ... helo=<...>: REPLY".
MailLogEvent rejectEvent(std::string_view afterReject, MailLogEvent event)
{
    event.kind = Kind::Rejected;
    const std::size_t stageEnd = afterReject.find(' ');
    if (stageEnd != npos && afterReject.substr(stageEnd, 6) == " from ") {
        const std::string_view client = afterReject.substr(stageEnd + 6);
        const std::size_t clientEnd = client.find(": ");
        if (clientEnd != npos && client.substr(0, clientEnd).find(' ') == npos) {
            const std::string_view reply = client.substr(clientEnd + 2);
            event.reason = replyReason(reply);
            event.address = refusedRecipient(reply);
            return event;
        }
    }
    // The header and the HELO name are the client's words; the reply is last.
    if (const std::size_t helo = afterReject.find(" helo=<"); helo != npos) {
        if (const std::size_t end = afterReject.rfind(">: "); end != npos && end > helo)
            event.reason = replyReason(afterReject.substr(end + 3));
    }
    return event;
}

// The filter's refusals: cleanup's "milter-reject: END-OF-MESSAGE from
// CLIENT: 5.7.1 TEXT; from=<...>". Temporary ones (greylisting) stay plain
// refusals. rspamd's reply for a virus is "SCANNER: virus found: ..." (our
// RspamdConfig): the scanner's word, never a sender's, starts it.
MailLogEvent filterRejectEvent(std::string_view afterReject, MailLogEvent event)
{
    event = rejectEvent(afterReject, event);
    const std::size_t reply = afterReject.find(": ");
    if (!afterReject.starts_with("END-OF-MESSAGE from ") || event.queueId.empty() || reply == npos
        || afterReject.substr(reply + 2, 2) != "5.")
        return event;
    const std::string_view reason = event.reason;
    std::size_t scanner = 0;
    while (scanner < reason.size() && ((reason[scanner] >= 'a' && reason[scanner] <= 'z') || reason[scanner] == '_'))
        ++scanner;
    const bool virus = scanner > 0 && reason.substr(scanner).starts_with(": virus found: ");
    event.kind = virus ? Kind::VirusRejected : Kind::SpamRejected;
    return event;
}

// cleanup's "milter-header-info: header X-Spam: Yes from CLIENT; from=<...>
// ... helo=<...>: marked as spam": only headers a milter added are checked,
// and the closing words are our main.cf's.
bool isSpamMarking(std::string_view rest)
{
    return rest.starts_with("milter-header-info: header X-Spam: Yes from ") && rest.ends_with(">: marked as spam");
}

// "warning: CLIENT: SASL MECHANISM authentication failed: ...", the client
// a name and address without blanks. A remote party's own words, such as a
// non-SMTP command quoting this text, sit elsewhere in the line.
bool isFailedLogin(std::string_view rest)
{
    if (!rest.starts_with("warning: "))
        return false;
    rest.remove_prefix(9);
    const std::size_t clientEnd = rest.find(": ");
    if (clientEnd == npos || clientEnd == 0 || rest[clientEnd - 1] != ']'
        || rest.substr(0, clientEnd).find(' ') != npos)
        return false;
    rest.remove_prefix(clientEnd + 2);
    if (!rest.starts_with("SASL "))
        return false;
    rest.remove_prefix(5);
    const std::size_t mechanismEnd = rest.find(' ');
    return mechanismEnd != npos && mechanismEnd > 0 && rest.substr(mechanismEnd).starts_with(" authentication failed");
}

// The ID that ends `line` after `marker` ("... notification: 237F06C").
std::string_view idAfter(std::string_view line, std::string_view marker)
{
    const std::size_t at = line.rfind(marker);
    return at == npos ? std::string_view{} : idAtStart(line.substr(at + marker.size()), {});
}

} // namespace

std::int64_t civilSeconds(int year, int month, int day, int hour, int minute, int second)
{
    // Days from civil (H. Hinnant's algorithm), valid for the proleptic calendar.
    year -= month <= 2;
    const int era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = unsigned(year - era * 400);
    const unsigned dayOfYear = unsigned((153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1);
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const std::int64_t days = std::int64_t(era) * 146097 + std::int64_t(dayOfEra) - 719468;
    return days * 86400 + hour * 3600 + minute * 60 + second;
}

std::int64_t logLineTime(std::string_view line, int year)
{
    if (line.size() >= 19 && line[4] == '-' && line[7] == '-' && line[10] == 'T') {
        const int y = number(line, 0, 4), month = number(line, 5, 2), day = number(line, 8, 2);
        const int clock = clockAt(line, 11);
        if (y < 0 || month < 1 || month > 12 || day < 1 || day > 31 || clock < 0)
            return -1;
        return civilSeconds(y, month, day, 0, 0, 0) + clock;
    }
    if (line.size() < 15 || line[3] != ' ' || line[6] != ' ')
        return -1;
    const int month = monthOf(line.substr(0, 3));
    const int day = line[4] == ' ' ? number(line, 5, 1) : number(line, 4, 2);
    const int clock = clockAt(line, 7);
    if (month == 0 || day < 1 || day > 31 || clock < 0)
        return -1;
    return civilSeconds(year, month, day, 0, 0, 0) + clock;
}

std::string_view queueIdOfLine(std::string_view line)
{
    return leadingQueueId(partsOf(line).message);
}

std::vector<std::string_view> queueIdsOfLine(std::string_view line)
{
    std::vector<std::string_view> ids;
    const std::string_view message = partsOf(line).message;
    const std::string_view own = leadingQueueId(message);
    if (own.empty())
        return ids;
    ids.push_back(own);
    for (std::string_view marker : {" orig_id=", "notification: ", "queued as "}) {
        std::string_view tail = message;
        if (marker == std::string_view("queued as ") && tail.ends_with(')'))
            tail.remove_suffix(1);
        if (const std::string_view other = idAfter(tail, marker); !other.empty() && other != own)
            ids.push_back(other);
    }
    return ids;
}

std::string_view queueIdAt(std::string_view line, std::size_t offset)
{
    if (offset > line.size())
        return {};
    std::size_t start = offset, end = offset;
    while (start > 0 && isQueueIdCharacter(line[start - 1]))
        --start;
    while (end < line.size() && isQueueIdCharacter(line[end]))
        ++end;
    const std::string_view word = line.substr(start, end - start);
    for (const std::string_view id : queueIdsOfLine(line)) {
        // The very place the line names it, not the same letters elsewhere.
        if (id == word && id.data() == line.data() + start)
            return id;
    }
    return {};
}

MailLogEvent parseMailLogLine(std::string_view line, int year)
{
    MailLogEvent event;
    event.time = logLineTime(line, year);
    if (event.time < 0)
        return event;
    const Parts parts = partsOf(line);
    if (parts.message.empty())
        return event;
    event.queueId = leadingQueueId(parts.message);
    const std::string_view rest
        = event.queueId.empty() ? parts.message : parts.message.substr(event.queueId.size() + 2);
    const std::string_view program = parts.program;

    if (const std::string_view refusal = rest.starts_with("NOQUEUE: ") ? rest.substr(9) : rest;
        refusal.starts_with("reject: "))
        return rejectEvent(refusal.substr(8), event);
    else if (refusal.starts_with("milter-reject: "))
        return filterRejectEvent(refusal.substr(15), event);
    if (program == "cleanup") {
        if (!event.queueId.empty() && rest.starts_with("message-id="))
            event.kind = Kind::Received;
        else if (!event.queueId.empty() && isSpamMarking(rest))
            event.kind = Kind::SpamMarked;
    } else if (program == "qmgr") {
        return queueManagerEvent(rest, event);
    } else if (program == "pickup") {
        return pickupEvent(rest, event);
    } else if (program == "smtpd") {
        if (isFailedLogin(rest))
            event.kind = Kind::AuthFailed;
    } else if (!event.queueId.empty()) {
        // smtp, lmtp, local, virtual, pipe, error, discard, retry, bounce...
        return deliveryEvent(rest, event);
    }
    return event;
}

} // namespace brevane

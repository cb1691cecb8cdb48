#include "maintenance/MailLogLine.h"

#include <array>

namespace brevane {

namespace {

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
    if (timeEnd == std::string_view::npos)
        return {};
    const std::size_t hostEnd = line.find(' ', timeEnd + 1);
    if (hostEnd == std::string_view::npos)
        return {};
    const std::size_t colon = line.find(": ", hostEnd + 1);
    if (colon == std::string_view::npos)
        return {};
    std::string_view program = line.substr(hostEnd + 1, colon - hostEnd - 1);
    if (const std::size_t bracket = program.find('['); bracket != std::string_view::npos)
        program = program.substr(0, bracket);
    if (program.substr(0, 7) != "postfix")
        return {};
    if (const std::size_t slash = program.rfind('/'); slash != std::string_view::npos)
        program = program.substr(slash + 1);
    return {program, line.substr(colon + 2)};
}

bool isQueueIdChar(char c)
{
    return isDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// "QUEUEID: rest" → QUEUEID; empty for "NOQUEUE", "warning", "connect from ...".
std::string_view leadingQueueId(std::string_view message)
{
    std::size_t end = 0;
    while (end < message.size() && isQueueIdChar(message[end]))
        ++end;
    if (end < 5 || end > 20 || message.substr(end, 2) != ": ")
        return {};
    const std::string_view id = message.substr(0, end);
    if (id == "NOQUEUE" || id == "warning" || id == "error" || id == "fatal" || id == "panic" || id == "statistics")
        return {};
    for (char c : id) {
        if (c >= 'a' && c <= 'z' && id.find('z') == std::string_view::npos)
            return {}; // short IDs are upper-case hex; long ones hold a 'z'
    }
    return id;
}

// The address in "KEY=<address>" within `text`.
std::string_view bracketed(std::string_view text, std::string_view key)
{
    const std::size_t at = text.find(key);
    if (at == std::string_view::npos)
        return {};
    const std::size_t start = at + key.size();
    const std::size_t end = text.find('>', start);
    return end == std::string_view::npos ? std::string_view{} : text.substr(start, end - start);
}

// "RCPT from host[1.2.3.4]: 554 5.7.1 <a@b>: Relay access denied; from=<...> ..."
// → "Relay access denied".
std::string_view rejectReason(std::string_view afterReject)
{
    std::size_t start = afterReject.find("]: ");
    start = start == std::string_view::npos ? 0 : start + 3;
    std::string_view reason = afterReject.substr(start);
    if (const std::size_t envelope = reason.find("; from=<"); envelope != std::string_view::npos)
        reason = reason.substr(0, envelope);
    if (const std::size_t rbl = reason.find("blocked using "); rbl != std::string_view::npos) {
        reason = reason.substr(rbl);
        return reason.substr(0, reason.find(';'));
    }
    // The SMTP code and the enhanced status code.
    if (reason.size() > 4 && isDigit(reason[0]) && reason[3] == ' ') {
        reason.remove_prefix(4);
        if (!reason.empty() && isDigit(reason[0]))
            reason.remove_prefix(std::min(reason.find(' ') + 1, reason.size()));
    }
    // The address or client the refusal names: "<someone@example>: ".
    if (!reason.empty() && reason[0] == '<') {
        if (const std::size_t end = reason.find(">: "); end != std::string_view::npos)
            reason.remove_prefix(end + 3);
    }
    return reason;
}

MailLogEvent deliveryEvent(std::string_view rest, MailLogEvent event)
{
    const std::size_t status = rest.find(", status=");
    if (status == std::string_view::npos)
        return event;
    const std::string_view word = rest.substr(status + 9, 8);
    if (word.substr(0, 4) == "sent")
        event.kind = MailLogEvent::Kind::Delivered;
    else if (word == "deferred")
        event.kind = MailLogEvent::Kind::Deferred;
    else if (word.substr(0, 7) == "bounced" || word.substr(0, 7) == "expired")
        event.kind = MailLogEvent::Kind::Bounced;
    else
        return event;
    event.address = bracketed(rest, "to=<");
    return event;
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

    if (const std::size_t reject = rest.find("reject: "); reject != std::string_view::npos
        && (reject == 0 || rest.substr(0, reject) == "NOQUEUE: " || rest.substr(0, reject) == "milter-")) {
        event.kind = MailLogEvent::Kind::Rejected;
        event.reason = rejectReason(rest.substr(reject + 8));
        event.address = bracketed(rest, "to=<");
    } else if (program == "cleanup") {
        if (!event.queueId.empty() && rest.substr(0, 11) == "message-id=")
            event.kind = MailLogEvent::Kind::Received;
    } else if (program == "qmgr") {
        if (!event.queueId.empty() && rest.substr(0, 6) == "from=<" && rest.find(", nrcpt=") != std::string_view::npos) {
            event.kind = MailLogEvent::Kind::SenderSeen;
            event.address = bracketed(rest, "from=<");
        }
    } else if (program == "smtpd" || program == "submission") {
        if (rest.substr(0, 9) == "warning: " && rest.find(" authentication failed") != std::string_view::npos)
            event.kind = MailLogEvent::Kind::AuthFailed;
    } else if (!event.queueId.empty()) {
        // smtp, lmtp, local, virtual, pipe, error, discard, retry, bounce...
        return deliveryEvent(rest, event);
    }
    return event;
}

} // namespace brevane

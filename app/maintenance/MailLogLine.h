#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// One line of Postfix's mail log, reduced to what the traffic summary counts.
// Works on bytes (std::string_view into the caller's buffer): a busy server's
// log is read a million lines at a time, and nothing here allocates.
//
// Addresses, HELO names and reply texts in a line come from remote clients
// and servers, so the line is read field by field as Postfix writes it, never
// by searching it for text that a remote party could have put there.
namespace brevane {

struct MailLogEvent {
    enum class Kind {
        Other,
        Received,   ///< cleanup took a message in
        Requeued,   ///< pickup took back a message postsuper -r requeued
        SenderSeen, ///< qmgr names the sender as the message enters the active queue
        Delivered,
        Deferred,
        Bounced,
        Expired, ///< qmgr returned a message whose time in the queue ran out
        Rejected,
        AuthFailed,
        SpamMarked,    ///< rspamd's spam header, logged by milter_header_checks
        SpamRejected,  ///< a refusal of the whole message by the filter
        VirusRejected, ///< the same, for a virus the scanner found
    };
    Kind kind = Kind::Other;
    /// Seconds since 1970-01-01 00:00 of the line's wall-clock time, read as
    /// if it were UTC (the log's own time zone is kept); -1 when unreadable.
    std::int64_t time = -1;
    std::string_view queueId;
    /// Requeued: the ID the message had before.
    std::string_view originalId;
    /// Sender (SenderSeen, Expired) or recipient (Delivered, Deferred,
    /// Bounced, Rejected) address, without the angle brackets.
    std::string_view address;
    /// Rejected, SpamRejected, VirusRejected: the refusal without the client
    /// and the envelope, e.g. "Relay access denied", "blocked using rbl.test"
    /// or "clamav: virus found: \"Eicar-Signature\"".
    std::string_view reason;
};

/// The wall-clock time at the start of a log line, in either of the two
/// formats syslog daemons and Postfix's own log writer use: "Dec  8 00:41:10"
/// (no year: `year` is taken) and "2026-12-08T00:41:10.123456+01:00".
/// -1 when the line starts with neither.
std::int64_t logLineTime(std::string_view line, int year);

/// What the line tells about mail traffic; Kind::Other for the rest
/// (connects, removals, daemon messages, other programs).
MailLogEvent parseMailLogLine(std::string_view line, int year);

/// The queue ID a Postfix line is about ("DEE7060" in
/// "postfix/qmgr[167]: DEE7060: removed"); empty when it names none.
std::string_view queueIdOfLine(std::string_view line);

/// Every queue ID a Postfix line names, where Postfix writes one: the one it
/// is about, the message it was requeued from ("orig_id="), the bounce notice
/// it caused ("notification: ID") and the copy a relay queued ("queued as
/// ID"), in the order they appear.
std::vector<std::string_view> queueIdsOfLine(std::string_view line);

/// The queue ID a click at byte `offset` of `line` lands on: one of
/// queueIdsOfLine's, where the line names it; empty elsewhere.
std::string_view queueIdAt(std::string_view line, std::size_t offset);

/// Seconds since 1970 of a civil date and time, as logLineTime counts them.
std::int64_t civilSeconds(int year, int month, int day, int hour, int minute, int second);

} // namespace brevane

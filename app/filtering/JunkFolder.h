#pragma once

#include "filtering/RspamdConfig.h"

#include <QList>

// The mailbox side of filtering: Postfix hands mailbox delivery to a Dovecot
// LMTP instance of our own whose sieve files marked mail in the user's Junk
// folder, and the IMAP instances teach rspamd what users move into Junk
// (spam) or out of it (not spam).
namespace brevane::filtering {

inline constexpr char junkFolder[] = "/usr/local/tarnwick/etc/dovecot/junk";
/// Postfix's mailbox_transport; the socket only Postfix may open.
inline constexpr char lmtpTransport[] = "lmtp:unix:/run/dovecot-brevane-lmtp/lmtp";
inline constexpr char lmtpSocketPath[] = "/run/dovecot-brevane-lmtp/lmtp";
/// Who runs the learning program for the users' IMAP processes: rspamd's own
/// account, which alone besides root may open the controller's socket.
inline constexpr char learningUser[] = "_rspamd";
/// The header rspamd's milter adds at the header score, value "Yes".
inline constexpr char spamHeader[] = "X-Spam";

/// The Dovecot files, in a fixed order: the LMTP instance's configuration,
/// the IMAP instances' learning include, the three sieve scripts and the
/// program they pipe to (its name holds no dot).
QList<ConfigFile> junkFiles();

} // namespace brevane::filtering

#!/usr/bin/env bash
# Captures what the "Test Account" script answers for the summary tests. Run
# inside the sandbox, from the repository root:
#   tests/system/sandbox.sh tests/fetchmail/capture-check.sh BUILD_DIR tests/fetchmail/data
set -euo pipefail
build=$(realpath "${1:?usage: capture-check.sh BUILD_DIR OUTPUT_DIR}")
out=$(realpath "${2:?usage: capture-check.sh BUILD_DIR OUTPUT_DIR}")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/mail-servers-fixture.sh"
start_mail_servers "$build/Resources/BrevaneStuff/postfix.tar.gz"

# check NAME LINE: the script's answer for one poll line, as the window runs it.
check() {
  sh -c "$(cat "$here/../../app/scripts/check-fetchmail-account.sh")" "" "$2" >"$out/check-$1.txt" || true
}
line() { # SERVER PROTOCOL PASSWORD SSL_PART
  printf 'poll "%s"  protocol %s timeout 20     user "remote1" password "%s" is "alice" here keep %s' "$@"
}
fill_mailbox 3
check pop3-three "$(line 127.0.0.1 POP3 'Remote pw 3' "sslproto ''")"
check imap-three "$(line 127.0.0.1 IMAP 'Remote pw 3' "sslproto ''")"
check pop3-wrong-password "$(line 127.0.0.1 POP3 'wrong' "sslproto ''")"
check imap-wrong-password "$(line 127.0.0.1 IMAP 'wrong' "sslproto ''")"
# What a row without SSL got before: STARTTLS tried on a server without it.
check pop3-no-starttls "$(line 127.0.0.1 POP3 'Remote pw 3' "")"
check pop3s-refused "$(line 127.0.0.1 POP3 'Remote pw 3' ssl)"
check unknown-host "$(line no-such-host.invalid IMAP 'Remote pw 3' "sslproto ''")"
fill_mailbox 1
check imap-one "$(line 127.0.0.1 IMAP 'Remote pw 3' "sslproto ''")"
fill_mailbox 0
check pop3-none "$(line 127.0.0.1 POP3 'Remote pw 3' "sslproto ''")"

#!/usr/bin/env bash
# Captures real Postfix mail-log lines for the parser tests. Run inside the
# sandbox, from the repository root:
#   tests/system/sandbox.sh tests/maintenance/capture-maillog.sh tests/maintenance/data
set -euo pipefail
out=$(realpath "${1:?usage: capture-maillog.sh OUTPUT_DIR}")
source "$(dirname "$0")/maillog-fixture.sh"

start_logging_postfix
smtp_message bob@sender.example alice@probe.local
wait_for_log 'status=sent'
local_message root@probe.local nobody-here@probe.local
wait_for_log 'status=bounced'
smtp_message bob@sender.example joe@closed.example
wait_for_log 'status=deferred'
smtp_message spam@listed.example alice@probe.local --local-interface 127.0.0.5
wait_for_log 'blocked using rbl.test'
smtp_message spam@refused.example alice@probe.local --local-interface 127.0.0.6
wait_for_log 'Refused by the local client list'
smtp_message bob@sender.example someone@elsewhere.example --local-interface 127.0.0.7
wait_for_log 'Relay access denied'
smtp_message carol@probe.local alice@probe.local --auth LOGIN --auth-user carol@probe.local --auth-password wrong
wait_for_log 'authentication failed'
postfix stop >/dev/null 2>&1 || true
cp /var/log/mail.log "$out/mail.log-captured.txt"

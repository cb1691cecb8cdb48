#!/usr/bin/env bash
# Captures the mail-log lines the summary must not miscount: a requeued
# message (postsuper -r gives it a new queue ID), one that expires in the
# queue, a message to two recipients, addresses whose quoted local parts hold
# "status=", ">" and a reject text, a non-SMTP command quoting a SASL failure
# and postscreen's deep-protocol refusal. Run inside the sandbox, from the
# repository root:
#   tests/system/sandbox.sh tests/maintenance/capture-maillog-hostile.sh tests/maintenance/data
set -euo pipefail
out=$(realpath "${1:?usage: capture-maillog-hostile.sh OUTPUT_DIR}")
source "$(dirname "$0")/maillog-fixture.sh"

start_logging_postfix
wait_for_log 'daemon started'
# Two recipients, one message.
swaks --server 127.0.0.1 --from bob@sender.example --to alice@probe.local,root@probe.local --hide-all
wait_for_log 'status=sent' 2
# Deferred, then requeued: the message comes back under a new queue ID.
smtp_message bob@sender.example joe@closed.example
wait_for_log 'status=deferred'
postsuper -r ALL >/dev/null 2>&1
postkick public pickup W
wait_for_log 'status=deferred' 2
# Quoted local parts that hold the log's own separators.
smtp_message '"x@trusted.example>"@evil.example' alice@probe.local
local_message root@probe.local '"x, status=bounced"@probe.local'
wait_for_log 'status=bounced'
smtp_message '"a>: Listed as spam"@nx.example' someone@elsewhere.example --local-interface 127.0.0.7
wait_for_log 'Relay access denied'
# A client that sends a header line where a command belongs.
python3 - <<'PY'
import socket
s = socket.create_connection(("127.0.0.1", 25))
f = s.makefile("rwb")
f.readline()
f.write(b"GET SASL LOGIN authentication failed: x\r\n"); f.flush()
f.readline()
s.close()
PY
wait_for_log 'non-SMTP command'
# Expiry: the deferred message's lifetime runs out at its next attempt.
postconf -e maximal_queue_lifetime=0 bounce_queue_lifetime=0
postfix reload >/dev/null 2>&1
postqueue -f
wait_for_log 'status=expired'
# Postscreen with a deep protocol test: a new client is told to come back.
postconf -e postscreen_non_smtp_command_enable=yes postscreen_non_smtp_command_action=enforce \
  postscreen_greet_wait=1s 'postscreen_access_list=cidr:{{127.0.0.1/32 permit}}'
postconf -Me 'smtp/inet=smtp inet n - n - 1 postscreen' 'smtpd/pass=smtpd pass - - n - - smtpd' \
  'dnsblog/unix=dnsblog unix - - n - 0 dnsblog' 'tlsproxy/unix=tlsproxy unix - - n - 0 tlsproxy'
postfix reload >/dev/null 2>&1
sleep 1
smtp_message bob@sender.example alice@probe.local --local-interface 127.0.0.8
wait_for_log 'Service currently unavailable' || true
sleep 1
postfix stop >/dev/null 2>&1 || true
cp /var/log/mail.log "$out/mail.log-hostile.txt"

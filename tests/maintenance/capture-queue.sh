#!/usr/bin/env bash
# Captures real `postqueue -p` listings for the parser tests. Run inside the
# sandbox, from the repository root:
#   tests/system/sandbox.sh tests/maintenance/capture-queue.sh tests/maintenance/data
set -euo pipefail
out=$(realpath "${1:?usage: capture-queue.sh OUTPUT_DIR}")
source "$(dirname "$0")/queue-fixture.sh"

start_queueing_postfix
postqueue -p >"$out/postqueue-empty.txt" || true

# Two messages: one with two recipients behind one remark, one in delivery.
queue_message alice@probe.local bob@remote-one.example ben@remote-one.example
queue_message root@probe.local frank@slow.example
wait_until has_remarks '^(Host or domain' 1
wait_until has_remarks '^[0-9A-F]*\*' 1
postqueue -p >"$out/postqueue-two-messages.txt"

# Every status mark: active "*", held "!", force-expired "#", both "!#".
queue_message root@probe.local gina@slow.example dave@refused.example
queue_message root@probe.local erin@remote-four.example
queue_message root@probe.local hal@remote-five.example
queue_message root@probe.local ivy@remote-six.example
wait_until has_remarks '^(Host or domain' 4
wait_until has_remarks 'Connection refused' 1
postsuper -h "$(queue_id_of erin@remote-four.example)"
postsuper -e "$(queue_id_of hal@remote-five.example)"
postsuper -h "$(queue_id_of ivy@remote-six.example)"
postsuper -e "$(queue_id_of ivy@remote-six.example)"
postqueue -p >"$out/postqueue-marks.txt"

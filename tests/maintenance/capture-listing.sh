#!/usr/bin/env bash
# Captures one queue both ways for the listing reader's tests: the listing
# command's output (retry times, then `postqueue -j`) and `postqueue -p` of
# the same moment. Run inside the sandbox, from the repository root:
#   tests/system/sandbox.sh tests/maintenance/capture-listing.sh tests/maintenance/data
set -euo pipefail
out=$(realpath "${1:?usage: capture-listing.sh OUTPUT_DIR}")
source "$(dirname "$0")/queue-fixture.sh"

start_queueing_postfix
queue_message alice@probe.local bob@remote-one.example ben@remote-one.example
queue_message root@probe.local frank@slow.example
queue_message root@probe.local gina@slow.example dave@refused.example
queue_message root@probe.local erin@remote-four.example
wait_until has_remarks '^(Host or domain' 2
wait_until has_remarks 'Connection refused' 1
postsuper -h "$(queue_id_of erin@remote-four.example)"
postsuper -e "$(queue_id_of erin@remote-four.example)"
sh -c "$(cat "$(dirname "$0")/../../app/scripts/list-queue.sh")" >"$out/queue-listing-json.txt"
postqueue -p >"$out/queue-listing-classic.txt"

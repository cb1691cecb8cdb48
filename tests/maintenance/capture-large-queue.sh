#!/usr/bin/env bash
# Captures a real 10,000-message queue both ways for maintenance_bench: the
# listing command's output (retry times, then `postqueue -j`) and
# `postqueue -p`, xz-compressed (a few MB each, a few dozen kB packed).
# Run inside the sandbox, from the repository root:
#   tests/system/sandbox.sh tests/maintenance/capture-large-queue.sh tests/maintenance/data
set -euo pipefail
out=$(realpath "${1:?usage: capture-large-queue.sh OUTPUT_DIR}")
here=$(cd "$(dirname "$0")" && pwd)
bash "$here/../bench/fill-queue.sh" 10000 true </dev/null >/dev/null 2>&1
sh -c "$(cat "$here/../../app/scripts/list-queue.sh")" 2>/dev/null | xz -9 >"$out/queue-listing-10k-json.txt.xz"
postqueue -p 2>/dev/null | xz -9 >"$out/queue-listing-10k-classic.txt.xz"

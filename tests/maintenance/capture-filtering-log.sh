#!/usr/bin/env bash
# Captures the mail-log and rspamd lines of filtered mail for the parser
# tests: the filtering scenario's verdicts (marked, refused by GTUBE, by
# score and for a virus, and Bayes before and after learning), run in the
# sandbox with real rspamd, clamd and Postfix. From the repository root:
#   tests/maintenance/capture-filtering-log.sh build tests/maintenance/data
set -euo pipefail
build=$(realpath "${1:?usage: capture-filtering-log.sh BUILD_DIR OUTPUT_DIR}")
out=$(realpath "${2:?usage: capture-filtering-log.sh BUILD_DIR OUTPUT_DIR}")
scratch=$(mktemp -d "$build/capture.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
BREVANE_CAPTURE_DIR=$scratch "$(dirname "$0")/../system/sandbox.sh" \
  "$build/tests/filtering/filtering_system_tests" --gtest_filter='*Verdicts*' >/dev/null
cp "$scratch/mail.log" "$out/mail.log-filtering.txt"
# The proxy's lines about the messages; its start-up chatter is left out.
grep -F '(rspamd_proxy)' "$scratch/rspamd.log" | grep -E 'qid: <|queue-id: <' >"$out/rspamd.log-filtering.txt"

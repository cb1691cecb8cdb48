#!/usr/bin/env bash
# A job that ignores SIGTERM is killed, with what it started, 20 s after
# unload asked it to stop; unload returns only then.
#   sigkill-scenario.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$1 source=$2
. "$(dirname "$0")/lib.sh"
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
bash "$source/platform/install.sh" "$build" >/dev/null || { echo "install failed" >&2; exit 1; }

label=com.example.stubborn
plist=$(write_job $label /bin/sh -c "trap '' TERM; sleep 1000 & while :; do sleep 1; done")
launchctl load -w "$plist"
sleep 0.5
pid=$(job_pid $label)
pgid=$(ps -o pgid= -p "$pid" | tr -d ' ')
check "job and its children share a process group" test "$(pgrep -g "$pgid" | wc -l)" -ge 2
started=$(date +%s)
launchctl unload -w "$plist"
elapsed=$(($(date +%s) - started))
check "unload waited the 20 s grace ($elapsed s)" test "$elapsed" -ge 19 -a "$elapsed" -le 25
check "the job is gone" test ! -e "/proc/$pid"
same "nothing of its process group is left" "" "$(pgrep -g "$pgid")"
same "probe prints nothing" "" "$(probe $label)"
same "no zombies left" 0 "$(zombies)"
finish

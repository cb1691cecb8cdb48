#!/usr/bin/env bash
# Checks the six launchd property lists of the server tree: each job's Label is
# its file name, and it runs the program its service needs (a launcher, or a
# Dovecot instance whose configuration ships beside it).
#
#   plists-check.sh SERVER_TREE
set -uo pipefail
. "$(dirname "$0")/sandbox-common.sh"
server=$1
jobs=$server/usr/local/tarnwick/postfix/LaunchDaemons
failures=0
complain() { printf 'FAIL: %s\n' "$*"; failures=$((failures + 1)); }

expect_job() {
  local label=$1 expected=$2 file=$jobs/$1.plist args
  [[ -f $file ]] || { complain "$label: no $file"; return; }
  [[ $(head -n 1 "$file") == '<?xml version="1.0" encoding="UTF-8"?>' ]] || complain "$label: no XML declaration"
  grep -q '<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN"' "$file" || complain "$label: no plist doctype"
  local found
  found=$(sed -n '/<key>Label<\/key>/{n;s/.*<string>\(.*\)<\/string>.*/\1/p;}' "$file")
  [[ $found == "$label" ]] || complain "$label: Label is '$found'"
  mapfile -t args < <(plist_args "$file")
  [[ "${args[*]}" == "$expected" ]] || complain "$label: ProgramArguments '${args[*]}', expected '$expected'"
}

expect_job com.dadarozudedarid.postfix /usr/local/tarnwick/postfix/bin/smtpwarden
expect_job com.dadarozudedarid.fetchmail /usr/local/tarnwick/postfix/bin/pollwarden
declare -A ports=([pop3]=110 [pop3s]=995 [imap]=143 [imaps]=993)
for service in pop3 pop3s imap imaps; do
  conf=/usr/local/tarnwick/etc/dovecot/uw_$service.conf
  expect_job "com.dadarozudedarid.uw_$service" "/usr/sbin/dovecot -F -c $conf"
  # launchctl load waits until the job's socket listens, as launchd's would.
  port=$(sed -n '/<key>SockServiceName<\/key>/{n;s/.*<string>\(.*\)<\/string>.*/\1/p;}' "$jobs/com.dadarozudedarid.uw_$service.plist")
  [[ $port == "${ports[$service]}" ]] || complain "uw_$service: SockServiceName '$port', expected ${ports[$service]}"
  [[ -f $server$conf ]] || complain "uw_$service: $conf not in the server tree"
done
count=$(find "$jobs" -name '*.plist' | wc -l)
((count == 6)) || complain "$count property lists, expected 6"

((failures == 0)) && say "PASS" || exit 1

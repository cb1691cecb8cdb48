#!/usr/bin/env bash
# Sandbox scenario: the launchers as their launchd jobs run them. smtpwarden
# starts the real Postfix from our configuration directory, reloads it on
# SIGHUP and stops it on SIGTERM; pollwarden does the same for a fetchmail
# daemon and makes it take up a changed run-control file on SIGHUP.
#
#   launcher-system.sh SERVER_TREE SMTPWARDEN POLLWARDEN
set -uo pipefail
. "$(dirname "$0")/sandbox-common.sh"
server=$1
jobs=/usr/local/tarnwick/postfix/LaunchDaemons
bin=/usr/local/tarnwick/postfix/bin
install -D -m 755 "$2" "$bin/smtpwarden"
install -D -m 755 "$3" "$bin/pollwarden"

# run_job NAME: starts the job's ProgramArguments as launchd would; sets $pid.
run_job() {
  local args
  mapfile -t args < <(plist_args "$server$jobs/com.dadarozudedarid.$1.plist")
  ((${#args[@]})) || fail "$1: no ProgramArguments"
  "${args[@]}" </dev/null >"/tmp/$1.out" 2>&1 &
  pid=$!
}

# end_job NAME: SIGTERM as on unload; the launcher must exit 0.
end_job() {
  kill -TERM "$pid"
  wait_until 25 eval "! kill -0 $pid 2>/dev/null" || fail "$1: launcher still running after SIGTERM"
  wait "$pid"
  local status=$?
  ((status == 0)) || fail "$1: launcher exit status $status"
}

alive() { kill -0 "$pid" 2>/dev/null; }

## smtpwarden
make_postfix_config
run_job postfix
wait_until 20 port_open 25 || fail "postfix: port 25 never opened"
line=$(banner 25)
[[ $line == "220 "*"ESMTP Brevane sandbox" ]] || fail "postfix: banner '$line' is not our configuration's"
alive || fail "smtpwarden ended after the start"
say "ok: smtpwarden started Postfix from our directory: $line"

kill -HUP "$pid"
wait_until 20 grep -q 'refreshing the Postfix mail system' /var/log/mail.log || fail "postfix: no reload on SIGHUP"
alive && port_open 25 || fail "postfix: down after SIGHUP"
say "ok: SIGHUP reloaded Postfix"

end_job postfix
port_open 25 && fail "postfix: port 25 still open after SIGTERM"
postfix status >/dev/null 2>&1 && fail "postfix: master still running after SIGTERM"
say "ok: SIGTERM stopped Postfix and smtpwarden exited 0"

## pollwarden
rc=$jobs/.fetchmailrc
mkdir -p "$jobs"
touch /var/log/fetchmail.log
cat >"$rc" <<'RC'
set daemon 300
set logfile /var/log/fetchmail.log
poll 127.0.0.1 proto pop3 port 1110 user "alice" password "secret"
RC
chmod 600 "$rc"
pidfile=/var/run/fetchmail.pid
daemon_pid() { [[ -s $pidfile ]] && head -n 1 "$pidfile"; }

run_job fetchmail
wait_until 10 daemon_pid >/dev/null || fail "fetchmail: no daemon after the start"
old=$(daemon_pid)
wait_until 10 grep -q '127.0.0.1:1110' /var/log/fetchmail.log || fail "fetchmail: first poll missing"
alive || fail "pollwarden ended after the start"
say "ok: pollwarden started the fetchmail daemon ($old)"

sed -i 's/port 1110/port 1111/' "$rc"
kill -HUP "$pid"
wait_until 20 grep -q '127.0.0.1:1111' /var/log/fetchmail.log || fail "fetchmail: changed run-control file not taken up"
new=$(daemon_pid)
[[ -n $new ]] && kill -0 "$new" 2>/dev/null || fail "fetchmail: no daemon after the restart"
kill -0 "$old" 2>/dev/null && [[ $old != "$new" ]] && fail "fetchmail: old daemon $old still running"
alive || fail "pollwarden ended after SIGHUP"
say "ok: SIGHUP made fetchmail take up the changed run-control file ($new)"

# A daemon that has gone away comes back on SIGHUP.
/usr/bin/fetchmail -q >/dev/null 2>&1
wait_until 10 eval '! kill -0 $new 2>/dev/null' || fail "fetchmail: daemon survived fetchmail -q"
kill -HUP "$pid"
wait_until 20 daemon_pid >/dev/null || fail "fetchmail: SIGHUP did not bring a stopped daemon back"
new=$(daemon_pid)
kill -0 "$new" 2>/dev/null || fail "fetchmail: pid file names no live daemon"
say "ok: SIGHUP brought a stopped fetchmail daemon back ($new)"

end_job fetchmail
wait_until 10 eval '! kill -0 $new 2>/dev/null' || fail "fetchmail: daemon still running after SIGTERM"
[[ -e $pidfile ]] && fail "fetchmail: pid file left behind"
say "ok: SIGTERM stopped fetchmail and pollwarden exited 0"
say "PASS"

#!/usr/bin/env bash
# Inside the sandbox: the installed program on an X display, logged in by
# typing into its login sheet, is ended three ways: the menu's Quit
# (Ctrl+Q), the window's close button answered with the alert's Quit, and
# SIGTERM. Each must end the process within 2 s after writing the relay-host
# list and the last tab.
#   quit-scenario.sh BUILD_DIR
set -euo pipefail
[[ ${BREVANE_IN_SANDBOX:-} == 1 ]] || { echo "run me through tests/system/sandbox.sh" >&2; exit 77; }
here=$(cd "$(dirname "$0")" && pwd)
build=$1
poke() { DISPLAY=:57 python3 "$here/xpoke.py" "$@"; }

bash "$here/../../tools/install-app.sh" "$build" /opt/brevane >/dev/null
# No full name, so the sheet offers the account name.
useradd -m -u 601 -G admin -c "" quitter
echo 'quitter:quit2pass' | chpasswd
# -noreset: otherwise the probe below, the last client to leave, makes the
# server reset just as the window connects.
Xvfb :57 -screen 0 1280x900x24 -nolisten tcp -ac -noreset >/dev/null 2>&1 &
# A busy machine can take seconds to bring the display up; the program
# aborts on a display that does not answer yet.
# Asked as the user the program runs as, for that is whose connection counts.
as_quitter() { setpriv --reuid=quitter --regid=quitter --init-groups env -i HOME=/home/quitter DISPLAY=:57 "$@"; }
for _ in $(seq 300); do as_quitter xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
if ! as_quitter xdpyinfo >/dev/null 2>&1; then
  echo "SKIPPED: quit scenario: the test display :57 does not accept the test user here"
  exit 77
fi

smart_hosts=/usr/local/tarnwick/postfix/LaunchDaemons/.smartHosts
settings=/home/quitter/.config/Tarnwick/brevane.conf
failures=0

# Polls COMMAND every 50 ms for up to SECONDS; false when it never held.
within() {
  local seconds=$1
  shift
  for _ in $(seq $((seconds * 20))); do "$@" && return 0; sleep 0.05; done
  return 1
}
sheet_is_up() { DISPLAY=:57 xwininfo -name "Log In" 2>/dev/null | grep -q IsViewable; }
sheet_is_gone() { ! sheet_is_up; }
alert_is_up() { DISPLAY=:57 xwininfo -name "Alert" 2>/dev/null | grep -q IsViewable; }
ended() { ! kill -0 "$1" 2>/dev/null; }
# What the display showed when a step failed, for whoever reads the log.
fail() {
  DISPLAY=:57 import -window root "$build/quit-scenario-failure.png" 2>/dev/null || true
  echo "quit-scenario: $*" >&2
  exit 1
}

for way in menu alert sigterm; do
  rm -f "$smart_hosts" "$settings"
  setpriv --reuid=quitter --regid=quitter --init-groups \
    env -i HOME=/home/quitter PATH=/usr/bin:/bin:/usr/local/bin DISPLAY=:57 /opt/brevane/brevane 2>>"$build/quit-scenario-stderr.log" &
  pid=$!
  within 20 sheet_is_up || fail "$way: no login sheet"
  poke focus "Log In"
  poke type quit2pass
  poke key Return
  within 30 sheet_is_gone || fail "$way: the login was refused (see $build/quit-scenario-failure.png)"
  sleep 1
  case $way in
    menu) poke focus Brevane && poke key ctrl+q ;;
    alert)
      poke close Brevane
      within 5 alert_is_up || fail "alert: no quit alert"
      poke focus Alert && poke key Return ;;
    sigterm) kill -TERM "$pid" ;;
  esac
  asked=$(date +%s%N)
  if within 2 ended "$pid"; then
    wait "$pid" || true
    [[ -s $smart_hosts ]] || { echo "quit-scenario: $way: .smartHosts not written" >&2; failures=$((failures + 1)); }
    grep -q '^lastTabUsed=Outgoing$' "$settings" 2>/dev/null ||
      { echo "quit-scenario: $way: lastTabUsed not written" >&2; failures=$((failures + 1)); }
    echo "quit-scenario: $way ended the program in $((($(date +%s%N) - asked) / 1000000)) ms"
  else
    echo "quit-scenario: $way: still running after 2 s" >&2
    failures=$((failures + 1))
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
done
((failures == 0)) && echo "quit-scenario: every way to quit saved and ended"
exit $((failures > 0))

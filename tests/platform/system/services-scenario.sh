#!/usr/bin/env bash
# Debian's own mail services, the boot unit and the platform layer, as root in
# the sandbox:
#   services-scenario.sh BUILD_DIR SOURCE_DIR
# The sandbox has no systemd, so a stand-in systemctl records what it is asked
# and answers as a machine where postfix is enabled, dovecot runs without
# being enabled, and fetchmail has no unit. Each service is disabled and
# stopped (enabled and started) in two steps: "--now" leaves an init
# script's service (Debian's fetchmail) as it was.
set -uo pipefail
build=$1 source=$2
. "$(dirname "$0")/lib.sh"

stubs=$(mktemp -d)
calls=$stubs/calls
cat >"$stubs/systemctl" <<STUB
#!/bin/sh
echo "\$*" >>"$calls"
case "\$*" in
  "cat postfix.service"|"cat dovecot.service") exit 0 ;;
  "is-enabled --quiet postfix.service") exit 0 ;;
  "is-active --quiet dovecot.service") exit 0 ;;
  disable*|enable*|stop*|start*|daemon-reload) exit 0 ;;
esac
exit 1
STUB
chmod 0755 "$stubs/systemctl"
export PATH=$stubs:/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
record=/var/lib/brevane-platform/installed

check "install.sh without systemd succeeds" bash "$source/platform/install.sh" "$build"
check "without systemd no service is touched" test ! -e "$calls"
check "uninstall.sh succeeds" bash "$source/platform/uninstall.sh"

mkdir -p /run/systemd/system
check "install.sh with systemd succeeds" bash "$source/platform/install.sh" "$build"
changes=$(grep -E '^(disable|enable|stop|start)' "$calls")
same "postfix and dovecot stopped and disabled, fetchmail (no unit) left alone, the boot unit enabled" \
  "disable --quiet postfix.service
stop --quiet postfix.service
disable --quiet dovecot.service
stop --quiet dovecot.service
enable --quiet brevane-launchd.service" "$changes"
same "both noted" "service postfix.service
service dovecot.service" "$(grep '^service ' "$record")"
check "a second install succeeds" bash "$source/platform/install.sh" "$build"
: >"$calls"
check "uninstall.sh succeeds" bash "$source/platform/uninstall.sh"
same "uninstall disables the boot unit and gives both services back" "disable --now --quiet brevane-launchd.service
enable --quiet postfix.service
start --quiet postfix.service
enable --quiet dovecot.service
start --quiet dovecot.service" "$(grep -E '^(disable|enable|stop|start)' "$calls")"
finish

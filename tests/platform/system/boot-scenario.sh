#!/usr/bin/env bash
# Jobs across a reboot, as root in the sandbox:
#   boot-scenario.sh BUILD_DIR SOURCE_DIR
# What brevane-launchd.service runs at shutdown and at boot: only the jobs the
# administrator left enabled come back, as launchd would bring them back.
set -uo pipefail
build=$1 source=$2
. "$(dirname "$0")/lib.sh"
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
boot=/usr/local/libexec/brevane-launchd

check "install.sh succeeds" bash "$source/platform/install.sh" "$build"
check "the boot script is installed" test -x "$boot"
check "systemd accepts the unit" systemd-analyze verify /etc/systemd/system/brevane-launchd.service

disabled_job() { sed -i 's|^<dict>$|<dict>\n  <key>Disabled</key>\n  <true/>|' "$(write_job "$@")"; }
disabled_job com.example.started /bin/sleep 1000
disabled_job com.example.stopped /bin/sleep 1000
disabled_job com.example.untouched /bin/sleep 1000
write_job com.example.enabled-by-default /bin/sleep 1000 >/dev/null
check "a disabled job does not load without -w" sh -c "! launchctl load /Library/LaunchDaemons/com.example.started.plist 2>/dev/null"
check "started with -w" launchctl load -w /Library/LaunchDaemons/com.example.started.plist
launchctl load -w /Library/LaunchDaemons/com.example.stopped.plist
check "stopped with -w" launchctl unload -w /Library/LaunchDaemons/com.example.stopped.plist

labels() { launchctl list | awk 'NR > 1 { print $3 }' | sort | tr '\n' ' '; }
check "shutdown succeeds" "$boot" stop
same "nothing runs after the shutdown" "" "$(labels)"
# /run is empty after a reboot; the overrides under /var/db are not.
rm -rf /var/run/launchd-jobs
check "boot succeeds" "$boot" start
# The platform's own saslauthd job is enabled by default too.
same "the started job and the ones enabled by default come back" \
  "com.example.enabled-by-default com.example.started org.brevane.saslauthd " "$(labels)"
check "the boot jobs run" test -n "$(job_pid com.example.started)" -a "$(job_pid com.example.started)" != "-"
check "a second boot run changes nothing" "$boot" start
same "still the same jobs" "com.example.enabled-by-default com.example.started org.brevane.saslauthd " "$(labels)"
"$boot" stop
rm -f /Library/LaunchDaemons/com.example.*.plist

# Brevane's own jobs are disabled until the window starts them.
gnutar -xzpf "$build/Resources/BrevaneStuff/postfix.tar.gz" -C /
ln -fs /usr/local/tarnwick/postfix/LaunchDaemons/com.dadarozudedarid.*.plist /Library/LaunchDaemons/
check "boot with Brevane's jobs never started" "$boot" start
same "none of them runs, only the platform's saslauthd" "org.brevane.saslauthd " "$(labels)"

check "uninstall.sh succeeds" bash "$source/platform/uninstall.sh"
check "the boot script is gone" test ! -e "$boot"
check "the unit is gone" test ! -e /etc/systemd/system/brevane-launchd.service
same "no zombies left" 0 "$(zombies)"
finish

#!/usr/bin/env bash
# Inside the sandbox: a machine with nothing of Brevane's installed but the
# platform layer, the system's own Postfix job loaded, two local users, and an
# administrator who launches Brevane twice.
#   startup-scenario.sh BUILD_DIR TEST_BINARY
set -euo pipefail
[[ ${BREVANE_IN_SANDBOX:-} == 1 ]] || { echo "run me through tests/system/sandbox.sh" >&2; exit 77; }
here=$(cd "$(dirname "$0")/../.." && pwd)
build=$1 binary=$2

bash "$here/tools/install-app.sh" "$build" /opt/brevane >/dev/null
useradd -m -u 601 -G admin -c "Scenario Admin" scenario-admin
echo 'scenario-admin:Adm1n-pass' | chpasswd
useradd -M -u 501 alice
useradd -M -u 502 bob

# A job labelled like the operating system's own Postfix.
cat > /System/Library/LaunchDaemons/org.postfix.master.plist <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
  <key>Label</key><string>org.postfix.master</string>
  <key>ProgramArguments</key><array><string>/bin/sleep</string><string>1000</string></array>
</dict></plist>
PLIST
launchctl load -w /System/Library/LaunchDaemons/org.postfix.master.plist

as_admin() {
  setpriv --reuid=scenario-admin --regid=scenario-admin --init-groups \
    env -i HOME=/home/scenario-admin PATH=/usr/bin:/bin:/usr/local/bin QT_QPA_PLATFORM=offscreen \
    BREVANE_RESOURCES=/opt/brevane/Resources SCENARIO_ADMIN=scenario-admin SCENARIO_PASSWORD=Adm1n-pass \
    "$binary" "$@"
}
as_admin --gtest_filter='FirstLaunch.*'
rm /Library/LaunchDaemons/com.dadarozudedarid.uw_imap.plist
as_admin --gtest_filter='SecondLaunch.*'

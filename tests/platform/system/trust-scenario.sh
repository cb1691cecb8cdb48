#!/usr/bin/env bash
# The installed program takes its authority and helper from beside its own
# executable, and only from folders that are root's alone, as root in the
# sandbox:   trust-scenario.sh BUILD_DIR SOURCE_DIR
# The attacker is any process of the administrator's account: it can set
# the session's environment and hopes for the password at the next login.
set -uo pipefail
build=$1 source=$2
. "$(dirname "$0")/lib.sh"
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin

bash "$source/tools/install-app.sh" "$build" /opt/brevane >/dev/null || { echo "install failed" >&2; exit 1; }
useradd -m -G admin -s /bin/bash admin1
echo 'admin1:Adm1n-pass' | chpasswd
evil=/home/admin1/evil
install -d -o admin1 -g admin1 "$evil"
printf '#!/bin/sh\ncat >>"$(dirname "$0")/captured"\nexit 1\n' >"$evil/brevane-authorize"
cp "$evil/brevane-authorize" "$evil/shellTool"
chown admin1: "$evil"/*
chmod 0755 "$evil"/*

# The real window logs in with the demo hook, then quits.
launch() {
  su admin1 -c "cd && BREVANE_RESOURCES=$evil BREVANE_DEMO_LOGIN=admin1:Adm1n-pass QT_QPA_PLATFORM=offscreen \
    timeout 60 /opt/brevane/brevane --demo-screenshot /home/admin1/shot.png" 2>&1
}
launch >/dev/null
check "the environment's authority was handed nothing" test ! -e "$evil/captured"
check "the login went through the installed authority" test -f /usr/local/tarnwick/postfix/etc/main.cf.default

# A folder the administrators' group may change is no place to trust.
rm -rf /usr/local/tarnwick
chgrp admin /opt/brevane
chmod 0775 /opt/brevane
output=$(launch)
check "a group-writable install is refused" grep -q "is not root's alone" <<<"$output"
check "and logs nobody in" test ! -e /usr/local/tarnwick/postfix/etc/main.cf.default
finish

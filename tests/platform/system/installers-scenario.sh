#!/usr/bin/env bash
# The installers grant privileges through no link, take ownership only of
# what they copy, and give back on removal what they replaced, as root in
# the sandbox:   installers-scenario.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$1 source=$2
. "$(dirname "$0")/lib.sh"
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin

# What the machine had before: its own tools and PAM service pop.
for tool in launchctl dscl gnutar; do
  printf '#!/bin/sh\necho the machine'"'"'s %s\n' "$tool" >/usr/local/bin/$tool
  chmod 0755 /usr/local/bin/$tool
done
tools_before=$(cat /usr/local/bin/{launchctl,dscl,gnutar})
printf 'auth required pam_unix.so\n' >/etc/pam.d/pop
rm -f /etc/pam.d/imap
# Another program's files in the shared /opt.
install -d -o 4321 -g 4321 /opt/other
install -o 4321 -g 4321 /dev/null /opt/other/tool

# A build tree as its owner left it: whatever it holds, root installs it.
tree=/tmp/tree
mkdir -p "$tree/platform/launchctl" "$tree/platform/tools"
cp "$build/brevane" "$tree/"
cp -R "$build/Resources" "$tree/"
cp "$build/platform/launchctl/launchctl" "$tree/platform/launchctl/"
cp "$build/platform/tools/dscl" "$tree/platform/tools/"
dash=$(realpath /usr/bin/dash)

ln -sf "$dash" "$tree/Resources/shellTool"
check "install-app.sh refuses a build with a link for the helper" \
  sh -c "! bash '$source/tools/install-app.sh' '$tree' /opt/linked >/dev/null 2>&1"
same "the link's target stays as it was" 755 "$(stat -c %a "$dash")"
mkdir -p /opt/app/Resources
ln -sf "$dash" /opt/app/Resources/shellTool
cp "$build/Resources/brevane-authorize" /opt/app/Resources/
check "install-part.sh refuses a link for the helper" \
  sh -c "! bash '$source/platform/auth/install-part.sh' /opt/app >/dev/null 2>&1"
same "nothing became setuid through it" 755 "$(stat -c %a "$dash")"

rm "$tree/Resources/shellTool"
cp "$build/Resources/shellTool" "$tree/Resources/"
check "install-app.sh into the shared /opt" bash "$source/tools/install-app.sh" "$tree" /opt
same "another program's files keep their owner" "4321 4321" "$(stat -c %u "/opt/other" "/opt/other/tool" | xargs)"
same "the helper is root's and setuid" "0 4755" "$(stat -c '%u %a' /opt/Resources/shellTool)"
same "while installed, launchctl is Brevane's" "PID	Status	Label" "$(launchctl list | sed 1q)"
# The first-use installation's PAM lines, as the application runs them.
sh -c "$(grep pam.d "$source/app/scripts/install-server.sh")"

check "uninstall.sh succeeds" bash "$source/platform/uninstall.sh"
same "the machine's tools are back" "$tools_before" "$(cat /usr/local/bin/{launchctl,dscl,gnutar} 2>&1)"
same "the machine's PAM service pop is back" "auth required pam_unix.so" "$(cat /etc/pam.d/pop 2>&1)"
check "no PAM service imap is left behind" test ! -e /etc/pam.d/imap -a ! -L /etc/pam.d/imap
finish

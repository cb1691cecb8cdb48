#!/usr/bin/env bash
# Mail for postmaster goes to root from the first install on, and an apply
# keeps the alias as the window read it back, as root in the sandbox:
#   postmaster-scenario.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$1 source=$2
. "$(dirname "$0")/lib.sh"
. "$source/tests/launcher/sandbox-common.sh"
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
config=/usr/local/tarnwick/postfix/etc

# The first-use installation, as the window runs it.
stuff=/tmp/BrevaneStuff
cp -R "$build/Resources/BrevaneStuff" "$stuff"
mkdir -p /Library/LaunchDaemons
ln -sf /bin/tar /usr/local/bin/gnutar
sh -c "$(cat "$source/app/scripts/install-server.sh")" "" "$stuff" 2>/dev/null
same "the installed aliases name postmaster" "postmaster: root" "$(cat $config/aliases)"

# apply ALIASES_TEXT: the configuration script with the aliases field's text
# (line feeds become carriage returns on the way, as the window sends them).
apply() {
  local values=(admin "" "" "" "" "$(printf '%s' "$1" | tr '\n' '\r')" "" probe.test "" empty 10240000 "" "" ""
                51200000 "" "" "" "" "" "" "")
  sh -c "$(cat "$source/app/scripts/configure-postfix.sh")" "" "$stuff" "${values[@]}" 2>&1
}
# The aliases field shows the file as it is (cat, less the last line feed).
output=$(apply "$(cat $config/aliases)")
same "an apply of what was read back keeps it" "postmaster: root" "$(cat $config/aliases)"
same "Postfix finds it" root "$(postalias -c $config -q postmaster hash:$config/aliases)"
# Mail to postmaster reaches root's mailbox, and local delivery misses nothing.
touch /var/log/mail.log
postfix -c $config start >/dev/null 2>&1
printf 'Subject: For the postmaster\n\nhello\n' | sendmail postmaster
check "mail to postmaster reaches root" wait_until 20 grep -q 'Subject: For the postmaster' /var/mail/root
check "Postfix misses no required alias" sh -c "! grep -q 'required alias not found' /var/log/mail.log"

output=$(apply "$(printf 'postmaster: root\nroot: carla')")
same "lines added beside it are kept with it" carla "$(postalias -c $config -q root hash:$config/aliases)"
same "postmaster still goes to root" root "$(postalias -c $config -q postmaster hash:$config/aliases)"

# Only the administrator takes it away.
output=$(apply "root: carla")
check "removed when the field no longer holds it" sh -c "! postalias -c $config -q postmaster hash:$config/aliases"
postfix reload >/dev/null 2>&1
printf 'Subject: Lost\n\nhello\n' | sendmail postmaster
check "and then Postfix misses it" wait_until 20 grep -q 'required alias not found: postmaster' /var/log/mail.log
postfix stop >/dev/null 2>&1
finish

#!/usr/bin/env bash
# SMTP logins with the machine's user accounts and with the SMTP user list,
# through the real configuration script, Postfix job and saslauthd job, as
# root in the sandbox:   sasl-scenario.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$1 source=$2
. "$(dirname "$0")/lib.sh"
. "$source/tests/launcher/sandbox-common.sh"
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
domain=probe.test
job=org.brevane.saslauthd

check "install.sh succeeds" bash "$source/platform/install.sh" "$build"
check "the saslauthd job runs" wait_until 10 test -S /var/run/saslauthd/mux
same "its socket folder is root's and the group sasl's alone" "710 root sasl" \
  "$(stat -c '%a %U %G' /var/run/saslauthd)"
check "postfix may reach the socket" sh -c "id -nG postfix | grep -qw sasl"
check "nobody else may" sh -c "! setpriv --reuid=nobody --regid=nogroup --clear-groups \
  testsaslauthd -u x -p y -s smtp -f /var/run/saslauthd/mux >/dev/null 2>&1"

gnutar -xzpf "$build/Resources/BrevaneStuff/postfix.tar.gz" -C /
ln -fs /usr/local/tarnwick/postfix/LaunchDaemons/com.dadarozudedarid.*.plist /Library/LaunchDaemons/
touch /var/log/mail.log
make_user carla 'Sys pw 1'
echo 'root:Root pw 1' | chpasswd
stuff=/tmp/BrevaneStuff
cp -R "$build/Resources/BrevaneStuff" "$stuff"
# configure SASLDB_LIST PAM: the window's values for a mail domain and the
# chosen client authentication.
configure() {
  local values=(admin "" "" "" "" "" "" "$domain" "$1" empty 10240000 "$2" "" "" 51200000 "" "" "" "" "" "" "")
  sh -c "$(cat "$source/app/scripts/configure-postfix.sh")" "" "$stuff" "${values[@]}" >/dev/null 2>&1
}
plist=/Library/LaunchDaemons/com.dadarozudedarid.postfix.plist
restart_postfix() {
  launchctl unload -w "$plist" 2>/dev/null
  configure "$@"
  launchctl load -w "$plist"
  wait_until 15 port_open 25
}
# Warnings every Postfix command would print for the chosen row.
warnings() { postconf -c /usr/local/tarnwick/postfix/etc -n 2>&1 >/dev/null | grep -E 'undefined|overriding'; }
# login USER PASSWORD [MECHANISM]: the server's answer to AUTH.
login() {
  swaks --server 127.0.0.1 --port 25 --quit-after AUTH --auth "${3:-PLAIN}" --auth-user "$1" \
    --auth-password "$2" 2>&1 | grep -Eo '^<[-*~]+ +(235|535|454)' | grep -Eo '[0-9]+$'
}

# "This machine's user accounts".
check "Postfix starts with the accounts row" restart_postfix empty yes
same "Postfix finds every parameter it is asked about" "" "$(warnings)"
same "a local user logs in with the system password" 235 "$(login carla 'Sys pw 1')"
same "and with LOGIN too" 235 "$(login carla 'Sys pw 1' LOGIN)"
same "a wrong password is refused" 535 "$(login carla 'Sys pw 2')"
same "root's password is never taken" 535 "$(login root 'Root pw 1')"
same "an unknown user is refused" 535 "$(login nobody-here 'Sys pw 1')"
check "the password is not in the job's log" sh -c "! grep -q 'Sys pw' /var/log/launchd/$job.log"
same "the job's log is root's alone" 600 "$(stat -c %a /var/log/launchd/$job.log)"

# The SMTP user list: its users log in, the machine's accounts do not.
check "Postfix restarts with the user list" restart_postfix 'roamer:roam pw' ""
same "also with the user list" "" "$(warnings)"
same "a listed user logs in" 235 "$(login roamer@$domain 'roam pw')"
same "with a wrong password not" 535 "$(login roamer@$domain 'roam pw 2')"
same "a local user's system password is not taken there" 535 "$(login carla 'Sys pw 1')"

check "back to the accounts row" restart_postfix empty yes
same "the list's user is gone" 535 "$(login roamer@$domain 'roam pw')"
same "the local user logs in again" 235 "$(login carla 'Sys pw 1')"

launchctl unload -w "$plist"
check "uninstall.sh succeeds" bash "$source/platform/uninstall.sh"
check "saslauthd is stopped" sh -c "! pgrep -x saslauthd >/dev/null"
check "postfix has left the group sasl" sh -c "! id -nG postfix | grep -qw sasl"
check "the PAM service smtp is gone" test ! -e /etc/pam.d/smtp
check "the job's files are gone" test ! -e /usr/local/libexec/brevane-saslauthd -a ! -e /Library/LaunchDaemons/$job.plist
same "no zombies left" 0 "$(zombies)"
finish

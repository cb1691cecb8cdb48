#!/usr/bin/env bash
# Brevane installed for real on a booted Debian 12, as an administrator would:
# Debian's postfix, dovecot and fetchmail running with mail in a mailbox;
# install-app.sh (what setup.sh --for-real runs); a member of "admin" logs in
# through the setuid helper and starts Postfix, IMAP, POP3s and fetchmail;
# mail arrives and is read over IMAP; spam and virus filtering goes on from
# its tab; a reboot brings the jobs back, filtering's with them, and keeps
# Debian's services off; de-install and uninstall give them back, and the
# tree matches the one before the install file by file. As root.
#
#   scenario.sh SOURCE_DIR BUILD_DIR [HOST_SESSION]
# HOST_SESSION is the built host_session program (ctest passes its path:
# the build tree may lie anywhere, outside the checkout too); it defaults to
# BUILD_DIR/tests/host/host_session.
# Exits 77 when no container can be built or booted here. BREVANE_HOST_CACHE
# names another folder for the tree and the running machine than
# /var/lib/brevane-host (a second checkout's run beside the first).
set -euo pipefail
usage="usage: scenario.sh SOURCE_DIR BUILD_DIR [HOST_SESSION]"
source_dir=$(cd "${1:?$usage}" && pwd)
build=$(cd "${2:?$usage}" && pwd)
host_session=$(realpath -m -- "${3:-$build/tests/host/host_session}")
here=$source_dir/tests/host
skip() { echo "scenario.sh: SKIPPED: $*" >&2; exit 77; }
fail() { echo "scenario.sh: FAILED: $*" >&2; exit 1; }
step() { echo "== $*"; }

[[ $(id -u) == 0 ]] || skip "needs root"
command -v systemd-nspawn >/dev/null || skip "systemd-nspawn is not installed (systemd-container, tools/install-deps.sh)"
for program in "$host_session" "$build/brevane"; do
  [[ -x $program ]] || fail "$program is missing: build host_session and brevane first"
done
cache=${BREVANE_HOST_CACHE:-/var/lib/brevane-host}
tree=$(bash "$here/tree.sh" "$cache") || exit $?

MACHINE_DIR=${MACHINE_DIR:-$cache/run}
source "$here/machine.sh"
MACHINE_BINDS="$source_dir
$build
$(dirname "$host_session")"
trap machine_stop EXIT
machine_reset "$tree"
machine_boot || skip "systemd-nspawn cannot boot a container on this machine"
run() { machine_run "$@"; }
inside() { machine_run bash -euo pipefail -c "$1"; }

domain=mail.brevane.test
admin_password='Host admin 1'
alice_password='Alice-pw-2'
remote_password='Remote pw 3'
keeper_password='Keeper-pw-4'
debian_services="postfix dovecot fetchmail"
gtube='XJS*C4JDBQADN1.NSBN3*2IDNEN*GTUBE-STANDARD-ANTI-UBE-TEST-EMAIL*C.34X'
eicar='X5O!P%@AP[4\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*'
filtering_jobs="redis clamd rspamd"

# Debian's own daemons, told apart from Brevane's jobs running the same
# programs: Dovecot without a -c file, fetchmail as the fetchmail user;
# Postfix shares one master (counted apart below).
debian_processes() {
  case $1 in
    dovecot) run pgrep -c -f -x '/usr/sbin/dovecot -F' || true ;;
    fetchmail) run pgrep -c -u fetchmail -x fetchmail || true ;;
    *) echo - ;;
  esac
}
# Debian's services each enabled, active, and (fetchmail is an init script
# that counts as active without a daemon) running their daemon.
services_state() {
  local service
  for service in $debian_services; do
    echo "$service $(run systemctl is-enabled "$service" 2>/dev/null || true)" \
      "$(run systemctl is-active "$service" 2>/dev/null || true) $(debian_processes "$service")"
  done
}
expect_services() {
  local state
  state=$(services_state)
  [[ $state == "$1" ]] || fail "Debian's services: expected
$1
got
$state"
}
debian_running="postfix enabled active -
dovecot enabled active 1
fetchmail enabled active 1"
# postfix's process is "master"; count it apart. A job's master may take a
# moment after boot.
expect_postfix_master() {
  local count i
  for ((i = 0; i < 30; i++)); do
    count=$(run pgrep -c -x master || true)
    [[ $count == "$1" ]] && return 0
    sleep 0.5
  done
  fail "expected $1 Postfix master, found $count"
}

imap_search() { # USER PASSWORD SUBJECT: the message numbers holding SUBJECT
  run curl -sS --user "$1:$2" imap://127.0.0.1/INBOX -X "SEARCH SUBJECT \"$3\"" | tr -d '\r' | sed -n 's/^\* SEARCH *//p'
}
wait_for() { # SECONDS COMMAND...: until COMMAND prints something
  local i
  for ((i = 0; i < $1 * 2; i++)); do
    [[ -n $("${@:2}" 2>/dev/null) ]] && return 0
    sleep 0.5
  done
  return 1
}
session() { # PHASE: one login of admin1 through the window, printing its lights
  run setpriv --reuid=admin1 --regid=admin1 --init-groups env -i HOME=/home/admin1 USER=admin1 LOGNAME=admin1 \
    PATH=/usr/local/bin:/usr/bin:/bin XDG_CONFIG_HOME=/tmp/admin1-config XDG_RUNTIME_DIR=/tmp/admin1-runtime \
    BREVANE_RESOURCES=/opt/brevane/Resources HOST_ADMIN_PASSWORD="$admin_password" HOST_DOMAIN="$domain" \
    HOST_REMOTE_PASSWORD="$remote_password" "$host_session" "$1"
}
refusal() { # SUBJECT [SWAKS-ARGS...]: the server's 5xx reply to one message to alice, if any
  run swaks --server 127.0.0.1 --to "alice@$domain" --from friend@elsewhere.test --header "Subject: $1" "${@:2}" 2>&1 |
    sed -n 's/^<\*\* \(5[0-9][0-9] .*\)/\1/p' || true
}
spam_refusal() { refusal "Spam" --body "Buy now. $gtube"; }
expect_jobs() { # LABEL...: each listed by launchctl
  local label
  for label in "$@"; do
    run launchctl list | grep -q "com.dadarozudedarid.$label\$" || fail "job $label is not loaded: $(run launchctl list)"
  done
}
expect_lights() { # LIGHTS-OUTPUT NAME=COLOUR...
  local light
  for light in "${@:2}"; do
    grep -qxF "$light" <<<"$1" || fail "light $light expected; the window shows:
$1"
  done
}

step "the administrator's machine: Debian's mail services with mail in a mailbox"
inside "
useradd -m -s /bin/bash admin1; useradd -m -s /bin/bash alice; useradd -m -s /bin/bash remote1
useradd -m -s /bin/bash keeper
chpasswd <<<'admin1:$admin_password
alice:$alice_password
remote1:$remote_password
keeper:$keeper_password'
echo '127.0.0.1 $domain' >>/etc/hosts
# fetchmail polls as a daemon when it has a run-control file and is told to
# (here a provider this machine cannot reach).
printf 'set daemon 600\npoll provider.invalid proto pop3 user keeper password \"$keeper_password\" is keeper\n' >/etc/fetchmailrc
chown fetchmail /etc/fetchmailrc; chmod 0600 /etc/fetchmailrc
sed -i 's/^START_DAEMON=.*/START_DAEMON=yes/' /etc/default/fetchmail
# ClamAV's database, which this machine cannot download: the EICAR string.
printf 'Brevane.Test.EICAR:0:*:%s\n' \$(printf '%s' '$eicar' | od -An -tx1 | tr -d ' \n') >/var/lib/clamav/brevane-test.ndb
systemctl restart fetchmail
swaks --silent 2 --server 127.0.0.1 --to keeper@localhost --from admin1@localhost --header 'Subject: Before Brevane'
"
wait_for 20 imap_search keeper "$keeper_password" "Before Brevane" || fail "Debian's Postfix and Dovecot do not deliver and serve mail"
# Dovecot notes in the mbox, at the next session, that the message is no
# longer new ("Status: O"): a second session settles the file before the
# comparison, as any mail client's second look would.
imap_search keeper "$keeper_password" "Before Brevane" >/dev/null
expect_services "$debian_running"
expect_postfix_master 1
python3 "$here/snapshot.py" "$machine_dir/root" "$machine_dir/upper" "$tree" "$here/volatile.list" >"$machine_dir/before"
cp "$machine_dir/root/var/mail/keeper" "$machine_dir/keeper.before"

step "install (tools/install-app.sh, as setup.sh --for-real does) and make admin1 an administrator"
run bash "$source_dir/tools/install-app.sh" "$build" /opt/brevane
run usermod -aG admin admin1
expect_services "postfix disabled inactive -
dovecot disabled inactive 0
fetchmail disabled inactive 0"
expect_postfix_master 0
[[ $(run systemctl is-enabled brevane-launchd.service) == enabled ]] || fail "brevane-launchd.service is not enabled"
[[ $(run stat -c %a:%U /opt/brevane/Resources/shellTool) == 4755:root ]] || fail "shellTool is not setuid root"

step "admin1 logs in through the helper and starts Postfix, IMAP and POP3s"
lights=$(session services) || fail "the services session failed: $lights"
echo "$lights"
expect_lights "$lights" smtp=green imap=green pop3s=green ssl=green
# fetchmail checks the POP3s server's certificate: trust the test one, as
# an administrator would with a certificate of their own.
inside "cp /System/Library/OpenSSL/certs/ipop3d.pem /usr/local/share/ca-certificates/brevane-host-test.crt
openssl x509 -in /System/Library/OpenSSL/certs/ipop3d.pem -out /usr/local/share/ca-certificates/brevane-host-test.crt
update-ca-certificates >/dev/null"
run swaks --silent 2 --server 127.0.0.1 --to "remote1@$domain" --from friend@elsewhere.test --header 'Subject: From far away'
lights=$(session fetchmail) || fail "the fetchmail session failed: $lights"
echo "$lights"
expect_lights "$lights" fetchmail=green "fetchmailButton=Restart Fetchmail"

step "mail sent with swaks arrives and is read over IMAP; fetchmail collects"
run swaks --silent 2 --server 127.0.0.1 --to "alice@$domain" --from admin1@localhost --header 'Subject: Hello Alice'
wait_for 20 imap_search alice "$alice_password" "Hello Alice" || fail "the mail to alice is not served over IMAP"
wait_for 40 imap_search alice "$alice_password" "From far away" ||
  fail "fetchmail did not collect remote1's mail: $(run cat /var/log/fetchmail.log 2>&1 | tail -5)"

step "spam and virus filtering on from its tab; Restart Postfix hands mail to rspamd"
lights=$(session filtering) || fail "the filtering session failed: $lights"
echo "$lights"
expect_lights "$lights" smtp=green
expect_jobs $filtering_jobs
run grep -qx 'smtpd_milters=unix:/usr/local/tarnwick/rspamd/run/milter.sock' /usr/local/tarnwick/postfix/etc/main.cf ||
  fail "Postfix does not hand mail to rspamd"
run launchctl list

step "reboot: the jobs come back, filtering's too, Debian's services stay off"
machine_reboot || fail "the machine did not boot again"
expect_jobs postfix uw_imap uw_pop3s fetchmail $filtering_jobs
# rspamd reads all its rules at each start, its milter passing mail
# meanwhile (milter_default_action): GTUBE goes again until it is judged.
wait_for 240 run ss -Hltn 'sport = :11432' || fail "rspamd's milter does not listen after the reboot"
for ((i = 0; i < 40; i++)); do
  spam=$(spam_refusal)
  [[ -n $spam ]] && break
  sleep 3
done
[[ $spam == "554 5.7.1 Gtube pattern"* ]] ||
  fail "GTUBE is not refused by rspamd after the reboot: '$spam' $(run tail -5 /usr/local/tarnwick/rspamd/log/rspamd.log)"
echo "GTUBE refused (message $((i + 1))): $spam"
run sh -c "printf '%s' '$eicar' >/tmp/invoice.com"
virus=$(refusal "Invoice" --body "See the attachment." --attach /tmp/invoice.com)
[[ $virus == '554 5.7.1 clamav: virus found: "Brevane.Test.EICAR'* ]] || fail "EICAR is not refused by clamd: $virus"
echo "EICAR refused: $virus"
wait_for 20 imap_search alice "$alice_password" "Hello Alice" || fail "IMAP does not serve alice's mail after the reboot"
expect_services "postfix disabled inactive -
dovecot disabled inactive 0
fetchmail disabled inactive 0"
expect_postfix_master 1
lights=$(session lights) || fail "the session after the reboot failed: $lights"
echo "$lights"
# fetchmail's light follows its last poll, and the first poll after boot may
# race the POP3s server; its job coming back is checked above.
expect_lights "$lights" smtp=green imap=green pop3s=green imaps=red pop3=red filtering=green

step "de-install from the window, then uninstall the platform layer"
lights=$(session deinstall) || fail "the de-install session failed: $lights"
echo "$lights"
expect_lights "$lights" smtp=red imap=red pop3s=red fetchmail=red filtering=red
# rspamd names its processes anew; its milter's port and clamd's tell.
leftover=$(run pgrep -a -f /usr/local/tarnwick/rspamd || true; run ss -Hltn '( sport = :11432 or sport = :3310 )')
[[ -z $leftover ]] || fail "filtering's daemons outlive the de-install: $leftover"
run bash "$source_dir/platform/uninstall.sh"
inside "rm -f /usr/local/share/ca-certificates/brevane-host-test.crt; update-ca-certificates --fresh >/dev/null"
wait_for 20 imap_search keeper "$keeper_password" "Before Brevane" || fail "keeper's mail is not served by Debian's Dovecot again"
expect_services "$debian_running"
expect_postfix_master 1

step "leftover comparison with the tree before the install"
python3 "$here/snapshot.py" "$machine_dir/root" "$machine_dir/upper" "$tree" "$here/volatile.list" >"$machine_dir/after"
diff "$machine_dir/keeper.before" "$machine_dir/root/var/mail/keeper" || true
if ! diff "$machine_dir/before" "$machine_dir/after" >"$machine_dir/leftovers"; then
  cat "$machine_dir/leftovers"
  fail "the machine is not as it was before the install (< before, > after)"
fi
echo "leftover comparison: no difference"
echo "scenario.sh: PASSED"

#!/usr/bin/env bash
# Sandbox scenario: the watch job against real Postfix and Dovecot. With all
# green it mails nobody; then each local thing breaks in turn (a Dovecot job
# stopped, a certificate two days from its end, a full file system below the
# queue, a message deferred for five hours) and each time exactly that row
# turns red in the state file and exactly one mail reaches postmaster; a
# second run sends none; after the repair the row is green again and the
# repair is mailed once the hour since the last mail has passed. Then the
# Status tab's script installs the job and hands it the tab's settings (a
# hostile one refused whole); seen from a second namespace, an open relay
# and a listing on a local block list each turn their row red and mail once,
# as the local faults did. Last, de-installation leaves nothing.
#
#   status-job-system.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
source_dir=$1
build=$2
. "$source_dir/tests/launcher/sandbox-common.sh"
. "$source_dir/tests/status/outside-world.sh"
program=$build/Resources/brevane-status
state=/var/lib/brevane-watch/status.json
mailbox=/var/mail/watcher
certs=/System/Library/OpenSSL/certs

bash "$source_dir/platform/install.sh" "$build" >/tmp/platform-install.log 2>&1 || fail "platform install"
useradd -m watcher
sed -i 's/^postmaster:.*/postmaster: watcher/' /etc/aliases && newaliases || fail "aliases"

# certificate DAYS: the three certificate files, key and certificate in one.
certificate() {
  (cd /tmp && openssl req -new -x509 -nodes -out cert.pem -keyout cert.pem -days "$1" \
    -subj "/CN=$(hostname)" >/dev/null 2>&1) || fail "openssl"
  mkdir -p $certs
  for f in imapd ipop3d smtpd; do cp /tmp/cert.pem "$certs/$f.pem"; done
}
certificate 365

make_postfix_config
# Mail for other hosts waits in the deferred queue; the outside namespace
# made later reaches port 25 on every address.
postconf -c /usr/local/tarnwick/postfix/etc -e default_transport=smtp relay_transport=smtp defer_transports=smtp \
  inet_interfaces=all
postfix -c /usr/local/tarnwick/postfix/etc start >/dev/null 2>&1 || fail "postfix start"
# The launcher's job stands in here: the health probe asks for a listed job
# and a live master.
cat >/Library/LaunchDaemons/com.dadarozudedarid.postfix.plist <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>Label</key><string>com.dadarozudedarid.postfix</string>
<key>ProgramArguments</key><array><string>/bin/sleep</string><string>infinity</string></array>
</dict></plist>
PLIST
launchctl load /Library/LaunchDaemons/com.dadarozudedarid.postfix.plist || fail "postfix job"

mkdir -p /usr/local/tarnwick/etc/dovecot
cp "$source_dir"/server/usr/local/tarnwick/etc/dovecot/* /usr/local/tarnwick/etc/dovecot/
imap_plist=/Library/LaunchDaemons/com.dadarozudedarid.uw_imap.plist
cp "$source_dir/server/usr/local/tarnwick/postfix/LaunchDaemons/com.dadarozudedarid.uw_imap.plist" $imap_plist
launchctl load -w $imap_plist || fail "imap job"
wait_until 15 port_open 143 || fail "dovecot never listened on 143"

# A file system of its own below the queue, as a queue folder may have.
mount -t tmpfs -o size=4m tmpfs /var/spool/postfix/hold && chown postfix:root /var/spool/postfix/hold \
  && chmod 0700 /var/spool/postfix/hold || fail "tmpfs"

mails() { grep -c '^Subject: ' $mailbox 2>/dev/null || echo 0; }
# The state of one row in the state file.
row() { python3 -c 'import json,sys; print({c["id"]: c["state"] for c in json.load(open(sys.argv[1]))["checks"]}[sys.argv[2]])' $state "$1"; }
rows() { python3 -c 'import json,sys; print(" ".join(c["id"]+"="+c["state"] for c in json.load(open(sys.argv[1]))["checks"]))' $state; }
run_job() { (umask 077; "$program" --once) >>/tmp/job.log 2>&1 || fail "the job failed: $(tail -3 /tmp/job.log)"; }
# expect_mails COUNT: waits for Postfix to deliver, then counts exactly.
expect_mails() {
  wait_until 20 test "$(mails)" -ge "$1"
  sleep 1
  [[ $(mails) == "$1" ]] || fail "expected $1 mails to postmaster, found $(mails): $(grep '^Subject: ' $mailbox)"
}
# Each check's memory of its last mail an hour older, as if the hour passed.
hour_passes() {
  python3 - "$state" <<'PY' || fail "back-dating the state file"
import json, sys
data = json.load(open(sys.argv[1]))
for c in data["checks"]:
    c["mailedAt"] = max(0, c["mailedAt"] - 3601) if c["mailedAt"] else 0
open(sys.argv[1], "w").write(json.dumps(data))
PY
}
expect_only_red() {
  local want="$1" actual pair id value
  actual=$(rows)
  for pair in $actual; do
    id=${pair%%=*} value=${pair#*=}
    if [[ $id == "$want" ]]; then [[ $value == red ]] || fail "$want is $value, not red: $(cat $state)"
    else [[ $value == green ]] || fail "$id is $value, not green, while only $want is broken: $actual"; fi
  done
}

run_job
[[ $(rows) == "services=green certificates=green queue=green space=green" ]] || fail "not all green: $(rows); $(cat $state)"
[[ $(stat -c '%U %a' $state) == "root 644" ]] || fail "state file not root's 0644"
setpriv --reuid=nobody --regid=nogroup --clear-groups cat $state >/dev/null || fail "the window's user cannot read the state"
expect_mails 0
say "ok: all green, nothing mailed"

count=0
# scenario ID TITLE BREAK REPAIR
scenario() {
  local id=$1 title=$2
  eval "$3" || fail "$id: breaking"
  run_job
  expect_only_red "$id"
  count=$((count + 1)); expect_mails $count
  grep -q "^Subject: $title on .*: failing" $mailbox || fail "$id: no mail naming $title"
  run_job
  expect_mails $count
  say "ok: $id red, mailed once"
  eval "$4" || fail "$id: repairing"
  run_job
  [[ $(row "$id") == green ]] || fail "$id not green after the repair: $(rows)"
  expect_mails $count
  hour_passes
  run_job
  count=$((count + 1)); expect_mails $count
  grep -q "^Subject: $title on .* is OK again" $mailbox || fail "$id: no repair mail"
  run_job
  expect_mails $count
  say "ok: $id green again, the repair mailed once, after the hour"
}

imap_pid() { launchctl list | awk '$3 == "com.dadarozudedarid.uw_imap" { print $1 }'; }
scenario services Services \
  'kill -TERM $(imap_pid) && wait_until 10 eval "! port_open 143"' \
  'launchctl unload -w $imap_plist; launchctl load -w $imap_plist && wait_until 15 port_open 143'
scenario certificates Certificates 'certificate 2' 'certificate 365'
scenario space "Free space" \
  'dd if=/dev/zero of=/var/spool/postfix/hold/filler bs=64k 2>/dev/null; true' \
  'rm -f /var/spool/postfix/hold/filler'
deferred() { postqueue -j | grep -q '"queue_name": *"deferred"'; }
# A message deferred five hours ago: its queue file's arrival record set
# back (showq reads the time from the record, not from the file's dates).
stuck_message() {
  printf 'Subject: stuck\n\nstuck\n' | /usr/sbin/sendmail bob@remote.example && wait_until 30 deferred || return 1
  local file arrival
  file=$(find /var/spool/postfix/deferred -type f | head -1)
  arrival=$(postqueue -j | sed -n 's/.*"arrival_time": \([0-9]*\).*/\1/p')
  python3 -c 'import sys; p, t = sys.argv[1], sys.argv[2].encode()
d = open(p, "rb").read(); open(p, "r+b").write(d.replace(t, str(int(t) - 5 * 3600).encode()))' "$file" "$arrival"
}
scenario queue "Mail queue" stuck_message \
  'postsuper -d ALL deferred 2>/dev/null'

# Mail that cannot be sent is tried again on the next run.
grep -q '"mailed"' $state || fail "no mail memory in the state file"
# A hostile state file: a clear message, a fresh start, no crash.
printf '{"checkedAt": "x", "checks": [1, 2' >$state
run_job
grep -q "state file is damaged" /tmp/job.log || fail "a damaged state file went unmentioned"
ln -sf /etc/shadow /tmp/shadow-link && rm -f $state && ln -s /tmp/shadow-link $state
run_job
[[ -L $state ]] && fail "the job wrote through a link"
grep -q root /etc/shadow || fail "/etc/shadow was overwritten"
# A folder laid out as a link: refused, nothing written where it points.
rm -rf /var/lib/brevane-watch && mkdir /tmp/elsewhere && ln -s /tmp/elsewhere /var/lib/brevane-watch
"$program" --once >/tmp/link.log 2>&1 && fail "the job wrote into a linked folder"
grep -q "cannot open the folder" /tmp/link.log || fail "no clear message for a linked folder: $(cat /tmp/link.log)"
[[ -z $(ls -A /tmp/elsewhere) ]] || fail "the job wrote through the linked folder"
rm /var/lib/brevane-watch
say "ok: damaged and linked state files"

# The Status tab's script: the job installed, run at once, removed.
script=$source_dir/app/scripts/install-status-job.sh
loop=$(cat "$source_dir/app/scripts/watch-status.sh")
rm -f $state
out=$(cd "$build/Resources" && /bin/sh -c "$(cat "$script")" x "$build/Resources" on "$loop")
[[ $out == *"STATUS JOB ON"* ]] || fail "install: $out"
launchctl list | grep -qw com.dadarozudedarid.status || fail "the job is not loaded"
wait_until 60 test -s $state || fail "the loaded job wrote no state file"
out=$(/bin/sh -c "$(cat "$script")" x x bogus)
[[ $out == "REFUSED : "* ]] || fail "a bad mode was not refused: $out"
say "ok: installed from the tab's script"

# The tab's settings, as the window hands them over: the server seen from
# the outside namespace, its address asked of the local block list.
outside_network || fail "the outside namespace"
outside_resolver || fail "unbound: $(tail -5 /tmp/unbound.log)"
settings() {
  cat <<JSON
{"domains": [], "selector": "", "publicKeys": {}, "sendingAddress": "", "target": "$1", "publicAddresses": ["$outside_server"],
 "ports": [{"name": "SMTP", "port": 25}], "blockZones": ["$outside_zone"], "relayRecipient": "",
 "vantage": "${2:-ip netns exec outside}", "queueLimit": 1000}
JSON
}
give_settings() { (cd "$build/Resources" && /bin/sh -c "$(cat "$script")" x "$build/Resources" settings "$1"); }
out=$(give_settings "$(settings $outside_server)")
[[ $out == *"STATUS JOB SETTINGS"* ]] || fail "settings: $out"
[[ $(stat -c '%U %a' /usr/local/tarnwick/status/settings.json) == "root 644" ]] || fail "settings not root's 0644"
# Whatever a user's window might send is refused whole, and the good file stays.
out=$(give_settings "$(settings '$(touch /tmp/pwned)')")
[[ $out == "REFUSED : "*target* ]] || fail "a hostile target was taken: $out"
[[ -e /tmp/pwned ]] && fail "a value of the settings reached a shell"
grep -q "\"$outside_server\"" /usr/local/tarnwick/status/settings.json || fail "the refused settings replaced the good ones"
run_job
[[ $(rows) == "services=green certificates=green queue=green space=green outside-port-25=green outside-relay=green blocklists=green" ]] \
  || fail "the outside rows are not all there and green: $(rows); $(cat $state)"
say "ok: the job took the tab's settings and sees the server from outside"

config=/usr/local/tarnwick/postfix/etc
networks=$(postconf -c $config -h mynetworks)
relaying() { postconf -c $config -e "mynetworks=$1" && postfix -c $config reload >/dev/null 2>&1 && sleep 1.5; }
scenario outside-relay "Not an open relay" 'relaying 0.0.0.0/0' 'relaying "$networks"'
scenario blocklists "Block lists" "serve_lists $outside_server" 'serve_lists'

# An ssh vantage runs as nobody, with a key made for the probe alone: the
# known hosts file ssh makes is nobody's.
useradd -m -s /bin/bash -p '*' probe && mkdir -p /etc/brevane-watch /run/sshd \
  && ssh-keygen -q -t ed25519 -N '' -f /etc/brevane-watch/key && chown nobody /etc/brevane-watch/key \
  && install -d -o probe -m 0700 ~probe/.ssh && install -o probe -m 0600 /etc/brevane-watch/key.pub ~probe/.ssh/authorized_keys \
  && ip netns exec outside /usr/sbin/sshd -o ListenAddress=$outside_host -o UsePAM=no -o PidFile=/run/outside-sshd.pid \
  || fail "the probe's ssh login"
vantage="ssh -o IdentityFile=/etc/brevane-watch/key -o UserKnownHostsFile=/tmp/probe-hosts -o StrictHostKeyChecking=accept-new probe@$outside_host"
out=$(give_settings "$(settings $outside_server "$vantage")")
[[ $out == *"STATUS JOB SETTINGS"* ]] || fail "ssh settings: $out"
run_job
[[ $(rows) == *"outside-port-25=green outside-relay=green blocklists=green" ]] || fail "through ssh: $(rows); $(cat $state)"
[[ $(stat -c %U /tmp/probe-hosts) == nobody ]] || fail "ssh did not run as nobody"
expect_mails $count
say "ok: the same through ssh, as nobody"
# Settings only root may change are the only ones the job takes.
chmod 0666 /usr/local/tarnwick/status/settings.json
run_job
[[ $(rows) == "services=green certificates=green queue=green space=green settings=yellow" ]] \
  || fail "settings anyone may change were taken: $(rows)"
grep -q "settings .* are refused" /tmp/job.log || fail "no clear message for the settings refused"
/bin/sh "$source_dir/app/scripts/deinstall-additions.sh" >/dev/null 2>&1
launchctl list | grep -qw com.dadarozudedarid.status && fail "the job is still loaded"
for left in /usr/local/tarnwick/status /Library/LaunchDaemons/com.dadarozudedarid.status.plist /var/lib/brevane-watch; do
  [[ -e $left ]] && fail "de-installation left $left"
done
say "ok: removed by de-installation"
grep -q "^Return-Path: <nobody@" $mailbox || fail "the mail was not sent as nobody"
sed -n "/^Subject: Mail queue on .*: failing/,/^Checked by/p" $mailbox
say "all ok"

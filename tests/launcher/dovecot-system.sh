#!/usr/bin/env bash
# Sandbox scenario: each of the four Dovecot instances that stand in for the
# UW daemons starts from its shipped configuration, opens its port, lets a
# local user read mail that Postfix delivered, and stops on SIGTERM.
#
#   dovecot-system.sh SERVER_TREE
set -uo pipefail
. "$(dirname "$0")/sandbox-common.sh"
server=$1
confdir=/usr/local/tarnwick/etc/dovecot
jobs=$server/usr/local/tarnwick/postfix/LaunchDaemons

mkdir -p "$confdir" /System/Library/OpenSSL/certs
cp "$server$confdir"/* "$confdir/"
# Stand-ins for the PAM service files the server archive installs.
printf '@include common-auth\n@include common-account\n' >/etc/pam.d/pop
cp /etc/pam.d/pop /etc/pam.d/imap
# A test certificate as the certificate script makes it: key and certificate in one file.
(cd /tmp && openssl req -new -x509 -nodes -out cert.pem -keyout cert.pem -days 1 \
  -subj /CN=localhost >/dev/null 2>&1) || fail "openssl"
cp /tmp/cert.pem /System/Library/OpenSSL/certs/ipop3d.pem
cp /tmp/cert.pem /System/Library/OpenSSL/certs/imapd.pem

make_user alice 'open sesame'
make_postfix_config
postfix -c /usr/local/tarnwick/postfix/etc start >/dev/null 2>&1 || fail "postfix start"
printf 'Subject: hello from the sandbox\n\nfirst message\n' | /usr/sbin/sendmail alice
wait_until 20 grep -q 'first message' /var/mail/alice 2>/dev/null || fail "Postfix delivered nothing to /var/mail/alice"
postfix stop >/dev/null 2>&1
say "ok: Postfix delivered to /var/mail/alice"

declare -A pids
# start SERVICE PORT: runs the instance the way its launchd job does.
start() {
  local service=$1 port=$2
  port_open "$port" && fail "$service: port $port already open"
  local args
  mapfile -t args < <(plist_args "$jobs/com.dadarozudedarid.uw_$service.plist")
  "${args[@]}" &
  pids[$service]=$!
  wait_until 15 port_open "$port" || fail "$service: port $port never opened"
  say "ok: $service listens on $port"
}

# check SERVICE PORT URL-SCHEME PAM-SERVICE
check() {
  local service=$1 port=$2 scheme=$3 pam=$4 url message
  url="$scheme://127.0.0.1:$port/"
  case $scheme in
    pop3*) url+="1" ;;
    imap*) url+="INBOX;UID=1" ;;
  esac
  message=$(curl -s -k --max-time 20 --user 'alice:open sesame' "$url") || fail "$service: login as alice failed"
  [[ $message == *"first message"* ]] || fail "$service: message not read: $message"
  say "ok: $service lets alice read her mail"
  curl -s -k --max-time 20 --user 'alice:wrong' "$url" >/dev/null && fail "$service: wrong password accepted"
  say "ok: $service refuses a wrong password"
  # The instance asks its own PAM service: closing that one shuts alice out.
  cp "/etc/pam.d/$pam" /tmp/pam.saved
  printf 'auth required pam_deny.so\naccount required pam_deny.so\n' >"/etc/pam.d/$pam"
  curl -s -k --max-time 20 --user 'alice:open sesame' "$url" >/dev/null && fail "$service: PAM service $pam not used"
  cp /tmp/pam.saved "/etc/pam.d/$pam"
  say "ok: $service authenticates through PAM service $pam"
}

# stop SERVICE PORT: SIGTERM, as launchd sends when the job is unloaded.
stop() {
  local service=$1 port=$2 pid=${pids[$1]} status
  kill -TERM "$pid"
  wait_until 10 eval "! kill -0 $pid 2>/dev/null" || fail "$service: still running after SIGTERM"
  wait "$pid"
  status=$?
  ((status == 0)) || fail "$service: exit status $status after SIGTERM"
  port_open "$port" && fail "$service: port $port still open"
  say "ok: $service stops on SIGTERM"
}

# All four at once, as when every UW job is loaded.
start pop3 110
start pop3s 995
start imap 143
start imaps 993
check pop3 110 pop3 pop
check pop3s 995 pop3s pop
check imap 143 imap imap
check imaps 993 imaps imap
# The plain instances speak no SSL, the SSL ones nothing else.
curl -s --max-time 10 --user 'alice:open sesame' pop3://127.0.0.1:995/1 >/dev/null && fail "pop3s answered in clear"
curl -s -k --max-time 10 --user 'alice:open sesame' imaps://127.0.0.1:143/ >/dev/null && fail "imap answered SSL"
say "ok: plain and SSL ports keep to their kind"
stop pop3 110
port_open 995 || fail "stopping pop3 took pop3s down"
stop pop3s 995
stop imap 143
stop imaps 993
say "PASS"

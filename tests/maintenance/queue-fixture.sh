# Sourced by the queue scenarios inside the sandbox (as root): Debian's
# Postfix set up so that outgoing mail cannot leave and stays queued.
#   slow.example     -> a listener that accepts and never greets: the message
#                       stays in the active queue ("*" after its ID)
#   refused.example  -> a closed port: deferred, "(connect to ...)" remark
#   any other domain -> no name service in the sandbox: deferred with a
#                       "(Host or domain name not found ...)" remark

start_queueing_postfix() {
  python3 - <<'PY'
import os, socket
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", 2626))
s.listen(50)
if os.fork():
    os._exit(0)
os.setsid()
held = []
while True:
    held.append(s.accept()[0])
PY
  postconf -e myhostname=probe.local mydomain=probe.local myorigin=probe.local \
    'mydestination=probe.local, localhost' inet_interfaces=loopback-only inet_protocols=ipv4 \
    default_transport=smtp relay_transport=smtp relayhost= \
    transport_maps=texthash:/etc/postfix/transport maillog_file=/var/log/mail.log \
    smtp_helo_timeout=600s smtp_connect_timeout=5s
  printf '%s\n' 'slow.example smtp:[127.0.0.1]:2626' 'refused.example smtp:[127.0.0.1]:2627' \
    >/etc/postfix/transport
  # A bare start copies nothing into the chroot; run every service unchrooted.
  postconf -F '*/*/chroot = n'
  postfix start >/dev/null 2>&1
}

# queue_message SENDER RECIPIENT...: submits one message through sendmail,
# with the subject $SUBJECT (default "probe").
queue_message() {
  local sender=$1
  shift
  printf 'Subject: %s\n\nprobe\n' "${SUBJECT:-probe}" | /usr/sbin/sendmail -f "$sender" "$@"
}

# route DOMAIN TRANSPORT: sends DOMAIN's mail through TRANSPORT from now on
# ("smtp:[127.0.0.1]:2627" refuses, "local:" delivers to the local user).
route() {
  sed -i "/^$1 /d" /etc/postfix/transport
  printf '%s %s\n' "$1" "$2" >>/etc/postfix/transport
  postfix reload >/dev/null 2>&1
}

# wait_until COMMAND...: retries the command for up to 60 s.
wait_until() {
  local tries=0
  until "$@"; do
    ((tries++ < 240)) || { echo "timed out waiting for: $*" >&2; return 1; }
    sleep 0.25
  done
}

# remark_count PATTERN: how many lines of the listing match PATTERN.
remark_count() { postqueue -p | grep -c -- "$1" || true; }
has_remarks() { [[ $(remark_count "$1") == "$2" ]]; }

# queue_id_of RECIPIENT: the bare ID (marks dropped) of the message holding it.
queue_id_of() {
  postqueue -p | awk -v r="$1" '/^[0-9A-F]/ { id = $1 } $1 == r { sub(/[*!#]+$/, "", id); print id }'
}

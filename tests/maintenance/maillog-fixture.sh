# Sourced by the mail-log scenarios inside the sandbox (as root): Debian's
# Postfix on loopback, logging to /var/log/mail.log, set up so that each kind
# of line the traffic summary counts can be produced on demand:
#   alice@probe.local        a local user: received, then delivered
#   nobody-here@probe.local  no such user: a bounce when submitted locally
#   joe@closed.example       relayed to a closed loopback port: deferred
#   client 127.0.0.5         listed in the locally served zone rbl.test
#   client 127.0.0.6         refused by a check_client_access REJECT
#   carol@probe.local        SASL account; a wrong password fails the login

# Answers A and TXT queries for 5.0.0.127.rbl.test and NXDOMAIN for the rest,
# so reject_rbl_client works without any outside name service.
start_rbl_zone() {
  python3 - <<'PY'
import os, socket, struct
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("127.0.0.1", 53))
if os.fork():
    os._exit(0)
os.setsid()
while True:
    query, peer = s.recvfrom(512)
    end = 12
    while query[end]:
        end += query[end] + 1
    name = query[12:end].lower()
    qtype = struct.unpack("!H", query[end + 1:end + 3])[0]
    question = query[12:end + 5]
    listed = name == b"\x015\x010\x010\x03127\x03rbl\x04test"
    if listed and qtype in (1, 16):
        data = bytes([127, 0, 0, 2]) if qtype == 1 else b"\x1aListed in the test zone   "[:27]
        answer = b"\xc0\x0c" + struct.pack("!HHIH", qtype, 1, 60, len(data)) + data
        header = struct.pack("!HHHHHH", struct.unpack("!H", query[:2])[0], 0x8580, 1, 1, 0, 0)
    else:
        answer = b""
        header = struct.pack("!HHHHHH", struct.unpack("!H", query[:2])[0], 0x8583, 1, 0, 0, 0)
    s.sendto(header + question + answer, peer)
PY
  echo 'nameserver 127.0.0.1' >/etc/resolv.conf
}

start_logging_postfix() {
  start_rbl_zone
  id alice >/dev/null 2>&1 || useradd -m alice
  printf '%s\n' '127.0.0.6 REJECT Refused by the local client list' >/etc/postfix/client_access
  printf '%s\n' 'closed.example smtp:[127.0.0.1]:2627' >/etc/postfix/transport
  echo secret | saslpasswd2 -p -c -u probe.local carol
  chgrp postfix /etc/sasldb2 && chmod 640 /etc/sasldb2
  mkdir -p /etc/postfix/sasl
  printf '%s\n' 'pwcheck_method: auxprop' 'auxprop_plugin: sasldb' 'mech_list: PLAIN LOGIN' \
    >/etc/postfix/sasl/smtpd.conf
  postconf -e myhostname=probe.local mydomain=probe.local myorigin=probe.local \
    'mydestination=probe.local, localhost' inet_interfaces=loopback-only inet_protocols=ipv4 \
    mynetworks=127.0.0.1/32 default_transport=smtp relay_transport=smtp relayhost= \
    transport_maps=texthash:/etc/postfix/transport maillog_file=/var/log/mail.log \
    smtp_connect_timeout=5s smtpd_sasl_auth_enable=yes smtpd_sasl_path=smtpd \
    smtpd_sasl_local_domain=probe.local smtp_dns_support_level=disabled \
    'smtpd_client_restrictions=check_client_access texthash:/etc/postfix/client_access, reject_rbl_client rbl.test' \
    'smtpd_relay_restrictions=permit_mynetworks, permit_sasl_authenticated, reject_unauth_destination'
  postconf -F '*/*/chroot = n'
  postfix start >/dev/null 2>&1
}

# smtp_message FROM TO [SWAKS OPTION...]: one message over SMTP on port 25.
smtp_message() {
  local from=$1 to=$2
  shift 2
  swaks --server 127.0.0.1 --from "$from" --to "$to" --hide-all "$@" || true
}

# local_message FROM TO: one message through sendmail (pickup).
local_message() {
  printf 'Subject: probe\n\nprobe\n' | /usr/sbin/sendmail -f "$1" "$2"
}

# wait_for_log PATTERN [COUNT]: until mail.log holds COUNT lines matching PATTERN.
wait_for_log() {
  local tries=0
  until [[ $(grep -c -- "$1" /var/log/mail.log 2>/dev/null) -ge ${2:-1} ]]; do
    ((tries++ < 240)) || { echo "timed out waiting for: $1" >&2; return 1; }
    sleep 0.25
  done
}

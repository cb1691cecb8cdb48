#!/usr/bin/env bash
# With TLS offered and the certificates in place, the plain POP3 (110) and
# IMAP (143) servers offer STARTTLS and take a password in clear only from
# this machine, as root in the sandbox:
#   starttls-scenario.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$1 source=$2
. "$(dirname "$0")/lib.sh"
. "$source/tests/launcher/sandbox-common.sh"
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin

tar -xzpf "$build/Resources/BrevaneStuff/postfix.tar.gz" -C /
mkdir -p /System/Library/OpenSSL/certs
(cd /tmp && openssl req -new -x509 -nodes -out cert.pem -keyout cert.pem -days 1 -subj /CN=localhost) >/dev/null 2>&1
for pem in smtpd ipop3d imapd; do cp /tmp/cert.pem /System/Library/OpenSSL/certs/$pem.pem; done
printf '@include common-auth\n@include common-account\n' >/etc/pam.d/pop
cp /etc/pam.d/pop /etc/pam.d/imap
make_user alice 'open sesame'
# The configuration script with "Offer TLS" ticked ($14), everything else plain.
stuff=/tmp/BrevaneStuff
cp -R "$build/Resources/BrevaneStuff" "$stuff"
configure() {
  local values=(admin "" "" "" "" "" "" "" "" "" 10240000 "" "$1" "" 51200000 "" "" "" "" "" "" "")
  sh -c "$(cat "$source/app/scripts/configure-postfix.sh")" "" "$stuff" "${values[@]}" >/dev/null 2>&1
}
configure on
confdir=/usr/local/tarnwick/etc/dovecot
for service in pop3:110 imap:143; do
  dovecot -F -c "$confdir/uw_${service%:*}.conf" &
  wait_until 15 port_open "${service#*:}" || echo "FAIL: uw_${service%:*} never opened its port" >&2
done

# A second machine on the sandbox's own network: two more addresses on lo.
ip addr add 10.77.0.1/24 dev lo
ip addr add 10.77.0.2/24 dev lo
login() { # login URL [CURL_OPTION...]: a password login, in clear unless told otherwise
  local url=$1
  shift
  curl -s --noproxy '*' --max-time 20 --user 'alice:open sesame' "$@" "$url" >/dev/null
}
refused() { ! login "$@"; }
for scheme in pop3:110 imap:143; do
  name=${scheme%:*} port=${scheme#*:}
  check "$name offers STARTTLS on $port" sh -c \
    "openssl s_client -brief -starttls $name -connect 127.0.0.1:$port </dev/null 2>&1 | grep -q 'CONNECTION ESTABLISHED'"
  check "$name takes a password in clear from this machine" login "$name://127.0.0.1/"
  check "$name refuses a password in clear from elsewhere" refused "$name://10.77.0.1/" --interface 10.77.0.2
  check "$name takes it from elsewhere after STARTTLS" login "$name://10.77.0.1/" --interface 10.77.0.2 --ssl-reqd -k
done

# Untick the box: the running servers go back to plain service at once.
configure ""
check "without TLS offered, IMAP takes a password in clear from elsewhere again" \
  wait_until 10 login imap://10.77.0.1/ --interface 10.77.0.2
kill $(jobs -p) 2>/dev/null
wait
finish

#!/usr/bin/env bash
# Inside the sandbox, as root: a fresh machine with Brevane installed in
# /opt/brevane, an administrator and two local users, the mail domain in
# /etc/hosts; then the first-hour scenario runs as that administrator.
#
#   first-hour.sh BUILD_DIR [GTEST_ARGS...]
set -euo pipefail

[[ $(id -u) == 0 ]] || { echo "first-hour.sh: needs root (run it through sandbox.sh)" >&2; exit 77; }
[[ ${BREVANE_IN_SANDBOX:-} == 1 ]] || { echo "first-hour.sh: run it through tests/system/sandbox.sh" >&2; exit 2; }
build=$(cd "${1:?usage: first-hour.sh BUILD_DIR}" && pwd)
shift
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)

domain=mail.brevane.test
admin_password='First hour 1'
user_password='Alice-pw-2'
# Blanks inside: the window reads the run-control file back after each apply
# and writes the next one from what it read.
remote_password='Remote pw 3'

bash "$repo/tools/install-app.sh" "$build" /opt/brevane >/dev/null

useradd -m -u 501 -c "First Administrator" -G admin -s /bin/bash admin1
useradd -m -u 502 -c "Alice" -s /bin/bash alice
useradd -m -u 503 -c "Remote Account" -s /bin/bash remote1
chpasswd <<USERS
admin1:$admin_password
alice:$user_password
remote1:$remote_password
USERS
# The machine knows its own name, and the mail domain is this machine.
printf '127.0.1.1 %s\n127.0.0.1 %s\n' "$(hostname)" "$domain" >>/etc/hosts

# What the scenario may look at as root: mailboxes, and putting the test
# certificate into the trust store (what an administrator would do with sudo).
probe=/usr/local/sbin/brevane-e2e-probe
cat >"$probe" <<'PROBE'
#!/bin/sh
set -eu
case ${1:-} in
  mailbox)
    case ${2:-} in *[!a-z0-9]*|'') exit 2 ;; esac
    cat "/var/mail/$2" 2>/dev/null || true ;;
  cert-subject)
    openssl x509 -noout -subject -in /System/Library/OpenSSL/certs/smtpd.pem ;;
  fetchmail-log)
    cat /var/log/fetchmail.log /var/log/launchd/com.dadarozudedarid.fetchmail.log 2>/dev/null || true ;;
  trust-test-cert)
    openssl x509 -in /System/Library/OpenSSL/certs/ipop3d.pem \
      -out /usr/local/share/ca-certificates/brevane-test.crt
    update-ca-certificates >/dev/null ;;
  *) exit 2 ;;
esac
PROBE
chmod 0755 "$probe"
echo "admin1 ALL=(root) NOPASSWD: $probe" >/etc/sudoers.d/brevane-e2e
chmod 0440 /etc/sudoers.d/brevane-e2e

# A Pebble test CA on this sandbox's loopback for the certificate step.
acme_directory=$(bash "$repo/tests/certificates/start-pebble.sh")

# The program and a private home for the administrator's settings and documents.
install -d -m 0755 /opt/brevane-e2e
install -m 0755 "$build/tests/e2e/first_hour_tests" /opt/brevane-e2e/
work=/home/admin1/first-hour
install -d -o admin1 -g admin1 -m 0700 "$work" "$work/config" "$work/runtime"

cd /home/admin1
exec setpriv --reuid=admin1 --regid=admin1 --init-groups \
  env -i HOME=/home/admin1 USER=admin1 LOGNAME=admin1 SHELL=/bin/bash \
  PATH=/usr/local/bin:/usr/bin:/bin:/usr/local/sbin:/usr/sbin:/sbin \
  XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" \
  BREVANE_RESOURCES=/opt/brevane/Resources QT_QPA_PLATFORM=offscreen \
  E2E_DOMAIN="$domain" E2E_ADMIN_PASSWORD="$admin_password" E2E_USER_PASSWORD="$user_password" E2E_REMOTE_PASSWORD="$remote_password" \
  E2E_WORK="$work" E2E_PROBE="$probe" E2E_ACME_DIRECTORY="$acme_directory" \
  /opt/brevane-e2e/first_hour_tests "$@"

# Sourced inside the sandbox, as root: remote mailboxes served by plain POP3
# and IMAP servers without STARTTLS (the archive's Dovecot configurations,
# no certificates), and a local Postfix that fetchmail hands the mail to.
#   start_mail_servers ARCHIVE         postfix.tar.gz; remote1 ("Remote pw 3") and alice exist
#   fill_mailbox N                     N messages wait for remote1
source "$(dirname "${BASH_SOURCE[0]}")/../launcher/sandbox-common.sh"

start_mail_servers() {
  tar -xzpf "$1" -C /
  printf '@include common-auth\n@include common-account\n' >/etc/pam.d/pop
  cp /etc/pam.d/pop /etc/pam.d/imap
  id remote1 >/dev/null 2>&1 || make_user remote1 'Remote pw 3'
  id alice >/dev/null 2>&1 || make_user alice 'Alice pw 1'
  local service
  for service in pop3:110 imap:143; do
    setsid dovecot -F -c "/usr/local/tarnwick/etc/dovecot/uw_${service%:*}.conf" </dev/null >/dev/null 2>&1 &
    wait_until 15 port_open "${service#*:}" || fail "uw_${service%:*} never opened its port"
  done
  make_postfix_config
  postfix -c /usr/local/tarnwick/postfix/etc start >/dev/null 2>&1
  wait_until 15 port_open 25 || fail "Postfix never opened port 25"
}

fill_mailbox() {
  local i
  for ((i = 1; i <= $1; i++)); do
    printf 'From sender@example.com Tue Dec  8 00:00:00 2026\nFrom: sender@example.com\nSubject: Waiting %s\n\nbody %s\n\n' "$i" "$i"
  done >/var/mail/remote1
  chown remote1:mail /var/mail/remote1
  chmod 0600 /var/mail/remote1
}

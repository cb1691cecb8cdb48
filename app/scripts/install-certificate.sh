#!/bin/sh
# Installs a certbot certificate as the three files Postfix and the IMAP and
# POP3 daemons read, then has the running ones read it again. Called with
# the certificate's folder, or by "certbot renew" as its deploy hook, which
# names the folder in RENEWED_LINEAGE.
lineage=${1:-$RENEWED_LINEAGE}
live=/usr/local/tarnwick/postfix/acme/config/live
certs=/System/Library/OpenSSL/certs
set -f
umask 077

case $lineage in
	"$live"/*/* | "$live"/*/ | *..*) echo "install-certificate: not a certificate folder: $lineage" >&2; exit 2 ;;
	"$live"/?*) ;;
	*) echo "install-certificate: not a certificate folder: $lineage" >&2; exit 2 ;;
esac
if ! /usr/bin/openssl pkey -noout -in "$lineage/privkey.pem" 2>/dev/null \
	|| ! /usr/bin/openssl x509 -noout -in "$lineage/fullchain.pem" 2>/dev/null; then
	echo "install-certificate: no certificate with its key in $lineage" >&2
	exit 1
fi
# A pair that cannot work is refused before anything is written: the files
# that work stay in place. The key must be the certificate's own (their
# public keys compared), and the certificate valid now.
certificateKey=$(/usr/bin/openssl x509 -noout -pubkey -in "$lineage/fullchain.pem" 2>/dev/null)
privateKey=$(/usr/bin/openssl pkey -pubout -in "$lineage/privkey.pem" 2>/dev/null)
if test -z "$certificateKey" || test "$certificateKey" != "$privateKey"; then
	echo "install-certificate: the private key in $lineage is not the certificate's" >&2
	exit 1
fi
notBefore=$(/usr/bin/openssl x509 -noout -startdate -dateopt iso_8601 -in "$lineage/fullchain.pem" 2>/dev/null)
notBefore=$(date -u -d "${notBefore#notBefore=}" +%s 2>/dev/null) || notBefore=
if test -z "$notBefore" || test "$notBefore" -gt "$(date -u +%s)" \
	|| ! /usr/bin/openssl x509 -noout -checkend 0 -in "$lineage/fullchain.pem" >/dev/null 2>&1; then
	echo "install-certificate: the certificate in $lineage is not valid now" >&2
	exit 1
fi

# The folder is this system's: a link there could send the key elsewhere.
if test -L "$certs" || { test -e "$certs" && ! test -d "$certs"; }; then
	echo "install-certificate: $certs is not a plain folder" >&2
	exit 1
fi
mkdir -p "$certs" || exit 1

# Each file is written under a fresh name that mktemp creates owner-only
# and exclusively, then renamed over the old one: a link in its place is
# replaced, never followed, and readers never see half a file.
for name in imapd ipop3d smtpd; do
	new=$(mktemp "$certs/.$name.pem.XXXXXX") || exit 1
	if cat "$lineage/fullchain.pem" "$lineage/privkey.pem" > "$new" && mv -f "$new" "$certs/$name.pem"; then
		:
	else
		rm -f "$new"
		exit 1
	fi
done

# Postfix reads its certificate afresh on reload; each Dovecot instance on SIGHUP.
if /usr/sbin/postfix -c /usr/local/tarnwick/postfix/etc status >/dev/null 2>&1; then
	/usr/sbin/postfix -c /usr/local/tarnwick/postfix/etc reload >/dev/null 2>&1
fi
for job in uw_pop3 uw_pop3s uw_imap uw_imaps; do
	master=$(cat "/run/dovecot-$job/master.pid" 2>/dev/null)
	case $master in
		'' | *[!0-9]*) ;;
		*) kill -HUP "$master" 2>/dev/null ;;
	esac
done
exit 0

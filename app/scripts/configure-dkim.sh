# Sets up DKIM signing of outgoing mail: one 2048-bit RSA key a mail domain,
# OpenDKIM's tables and its launchd job, milter on a UNIX socket in Postfix's
# queue folder (main.cf names it "unix:brevane-opendkim/opendkim.sock").
# Run as root by "/bin/sh" "-c" with "" as $0:
#   sign|off|show SELECTOR "DOMAIN ..."
# "show" only prints the public keys that exist; "off" stops signing and
# keeps the keys, so a published record stays good for a later "sign".
# Every key made or found is printed as "DKIM key DOMAIN SELECTOR BASE64".
set -f
umask 022
mode=$1 selector=$2 domains=$3
dir=/usr/local/tarnwick/opendkim
job=/Library/LaunchDaemons/com.dadarozudedarid.opendkim.plist
# Not TCP: on the loopback connection a small milter packet waited for the
# delayed acknowledgement of the one before it (Nagle), some 40 ms, twice a
# message: Postfix's header macros behind its unanswered DATA macros, and
# the signer's final answer behind the header it adds. Postfix's daemons
# work in the queue folder, chrooted or not, so the relative name in
# main.cf finds this socket either way.
spool=/var/spool/postfix
sockets=$spool/brevane-opendkim

refuse() {
  printf 'Refused: %s\n' "$1"
  exit 1
}

# The values may come from a settings document someone else wrote: only a
# DNS label and host names get through, so they name files and table
# entries and nothing else.
case $mode in sign|off|show) ;; *) refuse "mode $mode" ;; esac
case $selector in ""|-*|*-|*[!A-Za-z0-9-]*) refuse "selector $selector" ;; esac
test ${#selector} -le 63 || refuse "selector $selector"
for d in $domains; do
  case $d in .*|*.|*..*|-*|*[!a-z0-9.-]*) refuse "domain $d" ;; esac
  test ${#d} -le 253 || refuse "domain $d"
done

asOpendkim() {
  /usr/bin/setpriv --reuid=opendkim --regid=opendkim --clear-groups "$@"
}

# A folder of ours: never a symlink, and one found already must belong to
# its owner ($2) rather than be taken over; then mode $3, before anything
# is written in it.
ownFolder() {
  test -L "$1" && refuse "$1 is a symlink"
  if test -d "$1"; then
    test "$(stat -c %U -- "$1")" = "${2%%:*}" || refuse "$1 belongs to someone else"
  else
    mkdir -m "$3" "$1" && chown -h "$2" "$1" || refuse "cannot make $1"
  fi
  chmod "$3" "$1" || refuse "cannot own $1"
}

# The public half of a key, read with OpenDKIM's rights only: the key
# folder is that user's, so root never follows what lies in it.
publicKey() {
  asOpendkim /usr/bin/openssl pkey -in "$1" -pubout -outform DER 2>/dev/null | /usr/bin/base64 -w0
}

showKeys() {
  for d in $domains; do
    key=$dir/keys/$d/$selector.private
    test -f "$key" || continue
    public=$(publicKey "$key")
    test -n "$public" && printf 'DKIM key %s %s %s\n' "$d" "$selector" "$public"
  done
}

if test "$mode" = show; then
  showKeys
  exit 0
fi

if test "$mode" = off; then
  /bin/launchctl unload -w $job >/dev/null 2>&1
  rm -f $job $dir/KeyTable $dir/SigningTable $dir/opendkim.conf
  test -L $sockets || rm -f $sockets/opendkim.sock
  exit 0
fi

test -n "$domains" || refuse "no mail domain to sign for"
id opendkim >/dev/null 2>&1 || refuse "OpenDKIM is not installed"
getent group postfix >/dev/null 2>&1 && test -d $spool || refuse "Postfix is not installed"

# Everything that could refuse is looked at before anything changes: a
# refusal leaves the running signer and every working key as they were.
checkFolder() {
  test -L "$1" && refuse "$1 is a symlink"
  if test -e "$1"; then
    test -d "$1" && test "$(stat -c %U -- "$1")" = "$2" || refuse "$1 belongs to someone else"
  fi
}
checkFolder $dir root
checkFolder $dir/keys root
checkFolder $spool root
checkFolder $sockets opendkim
for d in $domains; do
  checkFolder $dir/keys/$d opendkim
  key=$dir/keys/$d/$selector.private
  test -L "$key" && refuse "$key is a symlink"
  if test -e "$key" && test -z "$(publicKey "$key")"; then
    refuse "the key for $d cannot be read"
  fi
done

mkdir -p /usr/local/tarnwick /Library/LaunchDaemons
ownFolder $dir root:root 755
ownFolder $dir/keys root:root 755
# Only Postfix reaches the signer: the socket itself is open to all, the
# folder holding it to opendkim and the postfix group.
ownFolder $sockets opendkim:postfix 750
chown -h opendkim:postfix $sockets || refuse "cannot own $sockets"
rm -f $dir/KeyTable.new $dir/SigningTable.new $dir/opendkim.conf.new $job.new
: > $dir/KeyTable.new
: > $dir/SigningTable.new
for d in $domains; do
  ownFolder $dir/keys/$d opendkim:opendkim 700
  key=$dir/keys/$d/$selector.private
  # Made by the user that signs with it, private from the first byte.
  if ! test -e "$key" && ! test -L "$key"; then
    asOpendkim /bin/sh -c 'umask 077; exec /usr/bin/openssl genrsa -out "$1" 2048 2>/dev/null' sh "$key" \
      || refuse "no key could be made for $d"
  fi
  test -n "$(publicKey "$key")" || refuse "the key for $d cannot be read"
  printf '%s._domainkey.%s %s:%s:%s\n' "$selector" "$d" "$d" "$selector" "$key" >> $dir/KeyTable.new
  printf '*@%s %s._domainkey.%s\n' "$d" "$selector" "$d" >> $dir/SigningTable.new
done
mv -f $dir/KeyTable.new $dir/KeyTable
mv -f $dir/SigningTable.new $dir/SigningTable

printf '%s\n' "Syslog yes" "Mode s" "Socket local:$sockets/opendkim.sock" "UserID opendkim:opendkim" "UMask 000" \
  "Canonicalization relaxed/simple" "OversignHeaders From" "InternalHosts 127.0.0.1, ::1" \
  "KeyTable file:$dir/KeyTable" "SigningTable refile:$dir/SigningTable" > $dir/opendkim.conf.new
mv -f $dir/opendkim.conf.new $dir/opendkim.conf

cat > $job.new <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>Label</key>
	<string>com.dadarozudedarid.opendkim</string>
	<key>ProgramArguments</key>
	<array>
		<string>/usr/sbin/opendkim</string>
		<string>-f</string>
		<string>-x</string>
		<string>$dir/opendkim.conf</string>
	</array>
	<key>RunAtLoad</key>
	<true/>
</dict>
</plist>
PLIST
mv -f $job.new $job
# The signer reads its tables when it starts: it starts again on the new
# ones. Signing runs beside Postfix: the Postfix job's start and stop take
# it along.
/bin/launchctl unload -w $job >/dev/null 2>&1
if /bin/launchctl list 2>/dev/null | grep -q 'com\.dadarozudedarid\.postfix$'; then
  /bin/launchctl load -w $job >/dev/null 2>&1
fi
showKeys

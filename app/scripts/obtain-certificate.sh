# $1, the working folder, is not needed: nothing here reads from it.
directory=$2
hostname=$3
email=$4
method=$5
webroot=$6
installer=$7
renewer=$8

# Every value comes from the forms or a settings document someone else may
# have written, and this runs as root: each is checked against the few
# characters it may hold, and reaches certbot only quoted, as one
# "--option=value" word, so none can become an option or a command.
refuse () {
	echo "REFUSED : $1"
	exit 2
}
set -f
umask 077

case $directory in
	https://*) ;;
	*) refuse "the CA directory URL must begin with https://" ;;
esac
case $directory in
	*[!A-Za-z0-9._~%/:-]*) refuse "the CA directory URL holds a character that is not allowed" ;;
esac
test ${#directory} -le 255 || refuse "the CA directory URL is too long"

case $hostname in
	'' | *[!A-Za-z0-9.-]* | .* | *. | *..* | -* | *- | *.-* | *-.*)
		refuse "the host name is not a host name" ;;
	*.*) ;;
	*) refuse "the host name needs a domain: a CA certifies only full names" ;;
esac
test ${#hostname} -le 253 || refuse "the host name is too long"
# certbot names the certificate's folder after the name in lower case.
hostname=$(printf '%s' "$hostname" | tr A-Z a-z)

if test -n "$email"; then
	case $email in
		*[!A-Za-z0-9._%+@-]* | *@*@* | @* | -* | *@) refuse "the e-mail address is not an address" ;;
	esac
	case $email in
		*@*.* ) ;;
		*) refuse "the e-mail address is not an address" ;;
	esac
	case ${email#*@} in
		*[!.]*.*[!.]* ) ;;
		*) refuse "the e-mail address is not an address" ;;
	esac
	case ${email#*@} in
		.* | *. | *..*) refuse "the e-mail address is not an address" ;;
	esac
	contact="--email=$email"
else
	contact=--register-unsafely-without-email
fi

set --
case $method in
	standalone) set -- --standalone ;;
	webroot)
		# The renewal job checks the same before every renewal: one rule.
		why=$(/bin/sh -c "$renewer" renew-certificates.sh check "$webroot")
		test "$why" = safe || refuse "${why:-the web root could not be checked}"
		webroot=${webroot%/}
		set -- --webroot "--webroot-path=$webroot" ;;
	*) refuse "the method must be standalone or webroot" ;;
esac

# certbot keeps its account key and every private key here: root only,
# never a link someone laid out in advance.
acme=/usr/local/tarnwick/postfix/acme
for d in "$acme" "$acme/config" "$acme/work" "$acme/logs"; do
	if test -L "$d" || { test -e "$d" && ! test -d "$d"; }; then
		refuse "$d is not a plain folder"
	fi
	mkdir -p -m 0700 "$d" && chown root:root "$d" && chmod 0700 "$d" || refuse "cannot make $d"
done

# The installer and the renewal loop as files of their own, for certbot's
# deploy hook and the launchd job; each replaced whole.
for pair in "install-certificate.sh:$installer" "renew-certificates.sh:$renewer"; do
	name=${pair%%:*}
	rm -f "$acme/$name.new"
	printf '%s' "${pair#*:}" > "$acme/$name.new" && chmod 0700 "$acme/$name.new" \
		&& mv -f "$acme/$name.new" "$acme/$name" || refuse "cannot write $acme/$name"
done

# What certbot says ends up in the window when it fails. Its log grows by
# each run: only what this run added counts (all of it when the log is new).
log=$acme/logs/letsencrypt.log
before=$(stat -c '%i %s' "$log" 2>/dev/null)
output=$(/usr/bin/certbot certonly --non-interactive --agree-tos --no-eff-email \
	--config-dir "$acme/config" --work-dir "$acme/work" --logs-dir "$acme/logs" \
	"--server=$directory" "--cert-name=$hostname" "--domains=$hostname" "$contact" \
	"$@" --keep-until-expiring 2>&1)
status=$?
printf '%s\n' "$output" | tail -n 12
if test $status -ne 0 && printf '%s\n' "$output" | grep -qx 'An unexpected error occurred:'; then
	# certbot 2.1 crashes on a CA's refusal of the order ("AttributeError:
	# can't set attribute") and says nothing more: the CA's own words are in its log.
	offset=0
	test -n "$before" && test "${before% *}" = "$(stat -c %i "$log" 2>/dev/null)" && offset=${before#* }
	tail -c +$((offset + 1)) "$log" 2>/dev/null | sed -n 's/^acme\.messages\.Error: /CA ERROR : /p' | tail -n 1
fi
test $status -eq 0 && test -s "$acme/config/live/$hostname/fullchain.pem" || exit 1

# A certificate kept from an earlier run is installed too: the test
# certificate may have replaced it since.
/bin/sh "$acme/install-certificate.sh" "$acme/config/live/$hostname" || exit 1

# Renewal: launchd runs the loop, which calls certbot twice a day.
jobs=/usr/local/tarnwick/postfix/LaunchDaemons
plist=com.dadarozudedarid.certbot.plist
mkdir -p "$jobs"
rm -f "$jobs/$plist.new"
cat > "$jobs/$plist.new" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>Disabled</key>
	<true/>
	<key>Label</key>
	<string>com.dadarozudedarid.certbot</string>
	<key>ProgramArguments</key>
	<array>
		<string>/bin/sh</string>
		<string>/usr/local/tarnwick/postfix/acme/renew-certificates.sh</string>
	</array>
	<key>RunAtLoad</key>
	<true/>
</dict>
</plist>
EOF
chmod 0644 "$jobs/$plist.new" && mv -f "$jobs/$plist.new" "$jobs/$plist"
ln -fs "$jobs/$plist" /Library/LaunchDaemons/
/bin/launchctl list | grep -qw com.dadarozudedarid.certbot \
	|| /bin/launchctl load -w "/Library/LaunchDaemons/$plist" >/dev/null 2>&1
echo "CERTIFICATE INSTALLED FOR $hostname"

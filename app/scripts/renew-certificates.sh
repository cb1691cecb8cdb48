#!/bin/sh
# The com.dadarozudedarid.certbot job: asks certbot twice a day to renew
# what is due (it renews in the last 30 days of a certificate) and installs
# each renewed one. Ends by itself once the server is de-installed. The
# job's runs are spread by when each machine loaded it, so certbot's own
# random wait of up to eight minutes is left out.
#
#   renew-certificates.sh check WEBROOT   says what is wrong with the web
#                                         root, or "safe"
acme=/usr/local/tarnwick/postfix/acme
umask 077

# certbot writes, as root, a file the CA names into .well-known/acme-challenge
# below a web root, at the request and at every renewal: no folder on the way
# may be a link, nor one anybody but root could turn into a link later.
root_folder () {
	test -n "$(find "$1" -maxdepth 0 -type d -uid 0 ! -perm /022 -print 2>/dev/null)"
}

webroot_problem () {
	case $1 in
		/*) ;;
		*) echo "the web root must be an absolute path"; return ;;
	esac
	case $1 in
		/ | *[!A-Za-z0-9._/-]* | */../* | */.. | */./* | */. | *//*)
			echo "the web root holds a character that is not allowed"; return ;;
	esac
	set -- "${1%/}"
	case $1 in
		/var/www | /var/www/* | /srv/?*) ;;
		*) echo "the web root must lie in /var/www or /srv, the web server's folders"; return ;;
	esac
	real=$(realpath -e -- "$1" 2>/dev/null) && test "$real" = "$1" \
		|| { echo "the web root is not a folder, or a folder on its way is a link"; return; }
	path=/
	rest=${1#/}
	while :; do
		root_folder "$path" || { echo "$path is not a folder of root's alone"; return; }
		test -n "$rest" || break
		path=${path%/}/${rest%%/*}
		case $rest in
			*/*) rest=${rest#*/} ;;
			*) rest= ;;
		esac
	done
	for below in .well-known .well-known/acme-challenge; do
		if test -e "$1/$below" || test -L "$1/$below"; then
			root_folder "$1/$below" || { echo "$1/$below is not a folder of root's alone"; return; }
		fi
	done
}

# What is wrong with renewing by the configuration $1: a web root of it
# that is no longer safe, or none to be read from it. Runs in a subshell
# of its own: its IFS, one path a line, stays there.
renewal_problem () {
	IFS='
'
	set -f
	case $(sed -n 's/^authenticator *= *//p' "$1") in
		webroot) ;;
		*) return ;;
	esac
	roots=$(sed -n -e 's/^webroot_path *= *//p' -e '/^\[\[webroot_map\]\]/,/^\[/s/^[^[#][^=]*= *//p' "$1" \
		| tr ',' '\n' | sed 's/[[:space:]]*$//; /^$/d' | sort -u)
	test -n "$roots" || { echo "it names no web root"; return; }
	for root in $roots; do
		why=$(webroot_problem "$root")
		test -z "$why" || { echo "$why"; return; }
	done
}

if test "$1" = check; then
	why=$(webroot_problem "$2")
	echo "${why:-safe}"
	exit 0
fi

while test -d "$acme/config"; do
	for conf in "$acme"/config/renewal/*.conf; do
		test -f "$conf" || continue
		name=${conf##*/}
		name=${name%.conf}
		why=$(renewal_problem "$conf")
		if test -n "$why"; then
			echo "$(date -u '+%Y-%m-%d %H:%M:%S') renewal of $name refused: $why"
			continue
		fi
		/usr/bin/certbot renew --non-interactive --no-random-sleep-on-renew "--cert-name=$name" \
			--config-dir "$acme/config" --work-dir "$acme/work" --logs-dir "$acme/logs" \
			--deploy-hook "/bin/sh $acme/install-certificate.sh"
	done
	# Twelve hours in steps, so that the loop ends soon after de-installation.
	step=0
	while test $step -lt 72 && test -d "$acme/config"; do
		sleep 600
		step=$((step + 1))
	done
done

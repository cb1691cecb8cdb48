# $1, the working folder, holds the watch job's program (this runs in it).
# $2 is "on", "off" or "settings". For "on", $3 is the job's loop script and
# $4 the window's settings for the job; for "settings", $3 the settings alone.
# The settings are a user's bytes: only the job's own reader looks inside.
mode=$2
loop=$3
settings=$4
dir=/usr/local/tarnwick/status
plist=/Library/LaunchDaemons/com.dadarozudedarid.status.plist
label=com.dadarozudedarid.status

refuse () {
	echo "REFUSED : $1"
	exit 2
}
set -f
umask 022

unload () {
	/bin/launchctl list | grep -qw "$label" && /bin/launchctl unload -w "$plist" >/dev/null 2>&1
	true
}

case $mode in
	off)
		unload
		rm -f "$plist" "$plist.new"
		rm -rf "$dir" /var/lib/brevane-watch
		echo "STATUS JOB OFF"
		exit 0 ;;
	on) ;;
	settings)
		settings=$3
		test -f "$dir/brevane-status" && ! test -L "$dir" || refuse "the watch job is not installed" ;;
	*) refuse "the mode must be on, off or settings" ;;
esac

# The settings in place once the installed program has read them as the job
# will: a new file made afresh (never through a link), then a rename.
put_settings () {
	new="$dir/settings.json.new"
	rm -f "$new"
	if test -z "$settings"; then
		rm -f "$dir/settings.json"
		return
	fi
	(set -C; printf '%s' "$settings" > "$new") && chown root:root "$new" && chmod 0644 "$new" \
		|| refuse "cannot write $dir/settings.json"
	if ! said=$("$dir/brevane-status" --check-settings "$new"); then
		rm -f "$new"
		refuse "$said"
	fi
	mv -f "$new" "$dir/settings.json" || refuse "cannot write $dir/settings.json"
}
# The program as built beside the helper: a plain file, never a link.
test -f ./brevane-status && ! test -L ./brevane-status || refuse "no brevane-status program beside the helper"
for d in /usr/local/tarnwick "$dir" /Library/LaunchDaemons; do
	if test -L "$d" || { test -e "$d" && ! test -d "$d"; }; then
		refuse "$d is not a plain folder"
	fi
done
if test "$mode" = settings; then
	put_settings
	echo "STATUS JOB SETTINGS"
	exit 0
fi
mkdir -p -m 0755 "$dir" && chown root:root "$dir" && chmod 0755 "$dir" || refuse "cannot make $dir"
mkdir -p /Library/LaunchDaemons

# Each file replaced whole: a new name, then a rename over the old one.
install_file () {
	rm -f "$2.new"
	"$1" > "$2.new" && chown root:root "$2.new" && chmod "$3" "$2.new" && mv -f "$2.new" "$2" \
		|| refuse "cannot write $2"
}
program () { cat ./brevane-status; }
script () { printf '%s' "$loop"; }
job () {
	cat <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>Disabled</key>
	<true/>
	<key>Label</key>
	<string>com.dadarozudedarid.status</string>
	<key>ProgramArguments</key>
	<array>
		<string>/bin/sh</string>
		<string>/usr/local/tarnwick/status/watch-status.sh</string>
	</array>
	<key>RunAtLoad</key>
	<true/>
</dict>
</plist>
PLIST
}
# A running job keeps the old program open: stop it before replacing it.
unload
install_file program "$dir/brevane-status" 0755
install_file script "$dir/watch-status.sh" 0644
install_file job "$plist" 0644
put_settings
/bin/launchctl load -w "$plist" >/dev/null 2>&1 || refuse "launchctl could not load $plist"
echo "STATUS JOB ON"

currentDir=$1
fetchmailRC=$2

cd "$currentDir"

# The text holds passwords: no copy of it is ever readable by others.
umask 077

echo "$fetchmailRC" > fetchmailrc
cp fetchmailrc /usr/local/tarnwick/postfix/LaunchDaemons/.fetchmailrc
chmod 0600 /usr/local/tarnwick/postfix/LaunchDaemons/.fetchmailrc
rm fetchmailrc

# fetchmail ignores "set logfile" unless the file is already there. Like
# Debian's mail log it is not for everyone: root writes it, and the group
# admin, whose members alone may run this window, reads it in the log view.
touch /var/log/fetchmail.log
chgrp admin /var/log/fetchmail.log
chmod 0640 /var/log/fetchmail.log

if ( test -f /var/run/fetchmail.pid ) then
	fetchmail
else
	launchctl load -w /Library/LaunchDaemons/com.dadarozudedarid.fetchmail.plist
fi

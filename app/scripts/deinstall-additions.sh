# The jobs and files that came after the mail server's own: the DKIM signer,
# the certificate renewal and the kept working configurations. Run before
# the server's removal, while the renewal job's plist still exists.
for i in opendkim certbot
do
  job=/Library/LaunchDaemons/com.dadarozudedarid.$i.plist
  /bin/launchctl list | grep -qw "com.dadarozudedarid.$i" && /bin/launchctl unload -w "$job"
  rm -f "$job"
done
rm -rf /usr/local/tarnwick/opendkim /var/lib/brevane
true

# The jobs and files that came after the mail server's own: the DKIM signer
# and the certificate renewal. Run before the server's removal, while the
# renewal job's plist still exists to be unloaded.
for i in opendkim certbot
do
  job=/Library/LaunchDaemons/com.dadarozudedarid.$i.plist
  /bin/launchctl list | grep -qw "com.dadarozudedarid.$i" && /bin/launchctl unload -w "$job"
  rm -f "$job"
done
rm -rf /usr/local/tarnwick/opendkim
true

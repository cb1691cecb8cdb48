# The jobs and files that came after the mail server's own: the DKIM signer,
# the certificate renewal, the watch job and its state, the spam and virus
# filters and the kept working configurations. Debian's own packages and
# their files stay. Run before the server's removal, while the renewal job's
# plist still exists.
for i in opendkim certbot rspamd clamd redis lmtp status
do
  job=/Library/LaunchDaemons/com.dadarozudedarid.$i.plist
  /bin/launchctl list | grep -qw "com.dadarozudedarid.$i" && /bin/launchctl unload -w "$job"
  rm -f "$job"
done
rm -rf /usr/local/tarnwick/opendkim /usr/local/tarnwick/rspamd /usr/local/tarnwick/status \
  /usr/local/tarnwick/etc/dovecot/junk /var/lib/brevane /var/lib/brevane-watch /var/spool/postfix/brevane-opendkim
true

for i in postfix fetchmail uw_imap uw_imaps uw_pop3 uw_pop3s

do 

(test `/bin/launchctl list | grep -w com.dadarozudedarid.$i | awk '{print $3}'`) && /bin/launchctl unload -w /Library/LaunchDaemons/com.dadarozudedarid.$i.plist

rm /Library/LaunchDaemons/com.dadarozudedarid.$i.plist

done

rm -r /usr/local/tarnwick/postfix
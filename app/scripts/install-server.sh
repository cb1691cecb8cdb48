currentDir=$1

cd "$currentDir"

 gnutar -xzpf postfix.tar.gz -C /

 ln -fs /usr/local/tarnwick/postfix/LaunchDaemons/com.dadarozudedarid.*.plist /Library/LaunchDaemons/

 ln -fs /usr/local/tarnwick/etc/pam_config /etc/pam.d/pop

 ln -fs /usr/local/tarnwick/etc/pam_config /etc/pam.d/imap
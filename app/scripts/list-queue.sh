# Lists the mail queue in one run. First the next delivery attempt of every
# deferred message: Postfix keeps it as its queue file's modification time.
find /var/spool/postfix/deferred -type f -printf '%f %T@\n' 2>/dev/null
# Then one JSON object a line (Postfix 3.1 and later); an older Postfix
# refuses -j and prints its classic listing instead.
/usr/sbin/postqueue -j 2>/dev/null || /usr/sbin/postqueue -p

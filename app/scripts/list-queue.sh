# Lists the mail queue in one run: one JSON object a line (Postfix 3.1 and
# later), then the next delivery attempt of every deferred message, which
# Postfix keeps as its queue file's modification time. find starts at once
# and its lines wait in the pipe until postqueue is done. An older Postfix
# refuses -j and prints its classic listing instead.
find /var/spool/postfix/deferred -type f -printf '%f %T@\n' 2>/dev/null |
  if /usr/sbin/postqueue -j 2>/dev/null; then cat; else cat >/dev/null; /usr/sbin/postqueue -p; fi

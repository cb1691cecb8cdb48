# Lists the mail queue in one run: one JSON object a line (Postfix 3.1 and
# later), then the next delivery attempt of every deferred message, which
# Postfix keeps as its queue file's modification time. Both are read at the
# same time. An older Postfix refuses -j and prints its classic listing.
times=$(mktemp) || exit 0
find /var/spool/postfix/deferred -type f -printf '%f %T@\n' >"$times" 2>/dev/null &
if /usr/sbin/postqueue -j 2>/dev/null; then
  wait
  cat "$times"
else
  wait
  /usr/sbin/postqueue -p
fi
rm -f "$times"

# Lists the mail queue in one run: one JSON object a line (Postfix 3.1 and
# later), then the next delivery attempt of every deferred message, which
# Postfix keeps as its queue file's modification time. find runs beside
# postqueue into a file of its own: through a pipe it would stop at the
# pipe's 64 kB and stat the rest of a large queue only after postqueue.
# Without a temporary file the listing comes without retry times.
# An older Postfix refuses -j and prints its classic listing instead.
if retry=$(mktemp 2>/dev/null); then
  trap 'rm -f "$retry"' EXIT
  find /var/spool/postfix/deferred -type f -printf '%f %T@\n' >"$retry" 2>/dev/null &
fi
if /usr/sbin/postqueue -j 2>/dev/null; then
  wait
  [ -z "$retry" ] || cat "$retry"
else
  /usr/sbin/postqueue -p
fi

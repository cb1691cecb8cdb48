# Lists the mail queue in one run: one JSON object a line (Postfix 3.1 and
# later), then the next delivery attempt of every deferred message, which
# Postfix keeps as its queue file's modification time. postqueue runs in
# the background while the shell gathers find's answer in memory: through
# a pipe to the same output find would stop at the pipe's 64 kB and stat
# the rest of a large queue only after postqueue. No temporary file, so no
# program is started to make or remove one.
# An older Postfix refuses -j and prints its classic listing instead.
/usr/sbin/postqueue -j 2>/dev/null &
listing=$!
retry=$(find /var/spool/postfix/deferred -type f -printf '%f %T@\n' 2>/dev/null)
if wait $listing; then
  [ -z "$retry" ] || printf '%s\n' "$retry"
else
  /usr/sbin/postqueue -p
fi

# Lists the mail queue in one run: one JSON object a line (Postfix 3.1 and
# later), then the next delivery attempt of deferred messages, which Postfix
# keeps as its queue file's modification time. postqueue runs in the
# background while the shell gathers the times in memory: no temporary file,
# so no program is started to make or remove one.
# "$@" are the stamps ("NAME INODE TIME") of the deferred folders whose
# times the window holds. Postfix renames a message into its folder each
# time it sets the next retry, so a folder with the same stamp holds the
# same times: it is named "kept", and only the other folders' files are
# read, each line naming its folder. A queue that stands still costs no
# stat of a message.
# An older Postfix refuses -j and prints its classic listing instead.
set -f
/usr/sbin/postqueue -j 2>/dev/null &
listing=$!
spool=/var/spool/postfix/deferred
IFS='|'
known="|$*|"
unset IFS
stamps=$(find $spool -mindepth 1 -maxdepth 1 -type d -printf '%f %i %T@\n' 2>/dev/null)
folders=
changed=
while read -r name inode time; do
  test -n "$name" || continue
  case $known in
    *"|$name $inode $time|"*) folders="$folders
kept $name $inode $time" ;;
    *) folders="$folders
folder $name $inode $time"
      changed="$changed $spool/$name" ;;
  esac
done <<STAMPS
$stamps
STAMPS
retry=
test -z "$changed" || retry=$(find $changed -type f -printf '%f %T@ %H\n' 2>/dev/null)
if wait $listing; then
  printf '%s\n' "$folders"
  test -z "$retry" || printf '%s\n' "$retry"
else
  /usr/sbin/postqueue -p
fi

# "Test Account": polls one account with "fetchmail --check", which tells
# whether mail is waiting and neither fetches nor deletes any. Run as root by
# "/bin/sh" "-c" with "" as $0; $1 is the account's poll line, checked like
# those of the run-control file.
entry=$1

# A folder of its own: the line holds the password, and the running daemon's
# pid file and root's ~/.fetchids stay out of the way.
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
(umask 077; printf '%s\n' "$entry" > "$dir/fetchmailrc")

# The line's own timeout covers each step; the whole poll is bounded too, as
# a server may answer without end (an endless capability list).
HOME=$dir timeout -k 5 30 /usr/bin/fetchmail --check --verbose --nosyslog -f "$dir/fetchmailrc" \
  --pidfile "$dir/pid" --idfile "$dir/ids" </dev/null 2>&1
echo "fetchmail status: $?"

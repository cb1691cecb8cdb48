# $1: the postsuper action (-d, -h, -H or -r); $2...: bare queue IDs. They
# reach postsuper on its standard input, so any number of messages takes one
# run and no ID is ever read as an option or as the word ALL.
action=$1
shift
printf '%s\n' "$@" | /usr/sbin/postsuper "$action" -
# Requeued mail waits in the maildrop queue: wake pickup rather than let it
# sit there until pickup next looks (a minute).
if [ "$action" = -r ]; then
  /usr/sbin/postkick public pickup W 2>/dev/null
fi
exit 0

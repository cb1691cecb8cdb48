# $1: the postsuper action (-d, -h, -H or -r); $2...: bare queue IDs. They
# reach postsuper on its standard input, so any number of messages takes one
# run and no ID is ever read as an option or as the word ALL.
action=$1
shift
printf '%s\n' "$@" | /usr/sbin/postsuper "$action" -

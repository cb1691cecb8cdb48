# What another host sees of this mail server. The Status tab runs it there
# through the administrator's vantage command as "bash -s -- MODE HOST ...",
# the script on standard input: it needs nothing but bash and timeout.
#
#   ports HOST PORT...           a line "port N open|refused|timeout|unresolved" each
#   relay HOST SENDER RECIPIENT  "STAGE REPLY" lines for greeting, ehlo, mail and
#                                rcpt; the transaction then ends with RSET and
#                                QUIT. DATA is never sent, so whatever RCPT TO
#                                answers, no message can be queued.
set -u
mode=${1:-}
host=${2:-}
shift 2 || exit 2

# Whether HOST:PORT takes a connection within 5 s; a dropped SYN would
# otherwise wait for the kernel's minutes.
connects() {
  local said status
  said=$(timeout 5 bash -c 'exec 3<>"/dev/tcp/$0/$1"' "$host" "$1" 2>&1)
  status=$?
  case $status in
    0) echo open ;;
    124) echo timeout ;;
    *) case $said in *"not known"*|*"resolution"*|*"No address"*) echo unresolved ;; *) echo refused ;; esac ;;
  esac
}

# The last line of one reply, a multi-line one read to its end (RFC 5321
# 4.2.1: "250-" goes on, "250 " ends it); sets code.
reply() {
  local line
  code=
  while IFS= read -r -t 10 line <&3; do
    line=${line%$'\r'}
    [[ ${line:3:1} == - ]] && continue
    echo "$1 $line"
    code=${line:0:3}
    return
  done
  echo "$1"
}

send() {
  printf '%s\r\n' "$1" >&3
}

case $mode in
  ports)
    for port; do
      echo "port $port $(connects "$port")"
    done
    ;;
  relay)
    [[ $(connects 25) == open ]] && exec 3<>"/dev/tcp/$host/25" || { echo "connect failed"; exit 0; }
    reply greeting
    [[ $code == 2* ]] && { send "EHLO relay-check.brevane-relay-check.invalid"; reply ehlo; }
    [[ $code == 2* ]] && { send "MAIL FROM:<$1>"; reply mail; }
    [[ $code == 2* ]] && { send "RCPT TO:<$2>"; reply rcpt; }
    send RSET
    reply rset
    send QUIT
    reply quit
    ;;
  *)
    echo "outside-probe: unknown mode $mode" >&2
    exit 2
    ;;
esac

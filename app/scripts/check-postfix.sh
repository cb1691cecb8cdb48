# Keeps Postfix on a configuration it can run. Run as root by "/bin/sh" "-c"
# with "" as $0, in the resource directory, the first argument naming what
# to do:
#
# apply, with the configuration script and its arguments: snapshot the files
#   that script writes, unload the Postfix job, run the script, check what it
#   wrote, load the job, wait for the master and ask it for mail; put the
#   snapshot back and load again when Postfix refuses the files, does not
#   come up or refuses mail on them.
# restore: put back the last configuration Postfix came up on, restart.
# saved: print when that configuration was saved.
#
# Lines for the window start with "check-postfix: ": "said" is Postfix's own
# words on why it failed, "note" a warning that did not stop it, "unsaved"
# why files Postfix runs on could not be kept as the last working ones,
# "result" what became of the new files, "previous" whether Postfix came
# back on the old ones. Nothing from the arguments is ever evaluated here.
set -f
# The configuration script writes with the umask it always had; the copies
# here are root's alone.
callerUmask=$(umask)
umask 077
PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
export PATH

config_dir=/usr/local/tarnwick/postfix/etc
state_dir=/var/lib/brevane
candidate=$state_dir/last-good.new
job=/Library/LaunchDaemons/com.dadarozudedarid.postfix.plist
label=com.dadarozudedarid.postfix
maillog=/var/log/mail.log
joblog=/var/log/launchd/$label.log
managed="main.cf master.cf access access.db aliases aliases.db virtual virtual.db sasl_passwd sasl_passwd.db sasldb_passwd"
# Bounds the wait for the launcher's "postfix start" (in hundredths of a
# second), which returns once the master has bound its sockets or given up.
startTicks=1500
wordLines=6
# How long an apply or restore waits for the one before it (seconds).
lockSeconds=60
# Bounds the SMTP dialogue that proves the new files take mail (seconds).
probeSeconds=5

say() { printf 'check-postfix: %s\n' "$*"; }
# "load" or "unload" the Postfix job. The launcher and Postfix outlive
# this script: they must not hold its lock (descriptor 9).
postfixJob() { launchctl "$1" -w $job >/dev/null 2>&1 9>&-; }

# A folder of root's alone, never a link: made when missing.
privateDir() {
  test -L "$1" && return 1
  test -d "$1" || mkdir -m 0700 "$1" || return 1
  test ! -L "$1" && test "$(stat -c %u -- "$1")" = 0 && chmod 0700 "$1"
}

# One apply or restore at a time: they share the snapshot, the candidate
# and the configuration script's temporary files. The lock file lies in the
# state folder, root's alone, so nobody else can put a link in its place.
takeLock() {
  { command exec 9>> "$state_dir/lock"; } 2>/dev/null || return 1
  flock -w $lockSeconds 9 || { say "result busy"; exit 1; }
  clearDebris
}

# Holding the lock, nothing else is mid-apply: what an interrupted one left
# goes (a start told to skip its checks, a half-copied candidate), and a
# last good configuration caught between its two renames is put back.
clearDebris() {
  rm -f /var/spool/postfix/quick-start
  rm -rf -- "$candidate"
  if test -d "$state_dir/last-good.old" && test ! -e "$state_dir/last-good"; then
    mv -- "$state_dir/last-good.old" "$state_dir/last-good"
  fi
  rm -rf -- "$state_dir/last-good.old"
}

# The managed files (links too) present in folder $1, as one list: one cp
# for all of them keeps the check cheap.
presentIn() {
  present=
  for f in $managed; do
    if test -e "$1/$f" || test -L "$1/$f"; then present="$present $1/$f"; fi
  done
}

# Copies the managed files of folder $1 into the fresh folder $2, links as
# links, with modes, owners and times.
copyOut() {
  rm -rf -- "$2"
  mkdir -m 0700 -- "$2" || return 1
  presentIn "$1"
  test -z "$present" || cp -P -p -- $present "$2/"
}

# Puts the files of snapshot $1 back into the configuration directory byte
# for byte; a managed file the snapshot lacks did not exist then.
copyBack() {
  presentIn "$1"
  absent=
  for f in $managed; do
    test -e "$1/$f" || test -L "$1/$f" || absent="$absent $config_dir/$f"
  done
  test -z "$present" || cp -P -p --remove-destination -- $present "$config_dir/"
  test -z "$absent" || rm -f -- $absent
}

masterRunning() {
  read -r pid < /var/spool/postfix/pid/master.pid 2>/dev/null || return 1
  read -r comm < /proc/$pid/comm 2>/dev/null && test "$comm" = master
}

# Whether process $1 has a child: the kernel's list of them costs no
# program, so the wait below can look often.
hasChild() {
  if test -r /proc/$1/task/$1/children; then
    children=
    { read -r children < /proc/$1/task/$1/children; } 2>/dev/null
    test -n "$children"
  else
    pgrep -P "$1" >/dev/null
  fi
}

# Loads the job and answers whether the master runs once the launcher's
# start command has ended. A start seen running and gone without a master
# has failed; one never seen may still be on its way, until the bound.
loadAndWait() {
  logMark=$(wc -c < $maillog 2>/dev/null || echo 0)
  jobMark=$(wc -c < $joblog 2>/dev/null || echo 0)
  postfixJob load
  launcher=$(launchctl list 2>/dev/null | awk -v l=$label '$3 == l { print $1 }')
  case $launcher in
    ''|-|0|*[!0-9]*) return 1 ;;
  esac
  n=0 seen=
  while test $n -lt $startTicks; do
    kill -0 "$launcher" 2>/dev/null || { masterRunning; return; }   # the launcher itself has gone
    if hasChild "$launcher"; then
      seen=yes
    else
      masterRunning && return 0
      test -n "$seen" && return 1
    fi
    sleep 0.01
    n=$((n + 1))
  done
  masterRunning
}

# What Postfix and the launcher logged since loadAndWait's marks.
loggedSinceLoad() {
  { tail -c +$((logMark + 1)) $maillog 2>/dev/null; tail -c +$((jobMark + 1)) $joblog 2>/dev/null; } \
    | grep -E 'fatal|error|warning|panic|[Aa]lready|not running|[Cc]annot' | tail -n $wordLines
}

# The master names no port it could not bind: it dies before its logger
# runs. Its inet services' ports that another program already holds, with
# that program's name, one "busy" line each.
busyPorts() {
  postconf -c $config_dir -M 2>/dev/null | awk '$2 == "inet" { n = split($1, a, ":"); print a[n] }' \
    | while read -r port; do
        case $port in
          *[!0-9]*) port=$(getent services "$port/tcp" | awk '{ split($2, a, "/"); print a[1] }') ;;
        esac
        test -n "$port" || continue
        holder=$(ss -Hltnp "sport = :$port" 2>/dev/null | sed -n 's/.*users:(("\([^"]*\)".*/\1/p' | head -n 1 | tr -cd 'A-Za-z0-9._-')
        test -z "$holder" && ss -Hltn "sport = :$port" 2>/dev/null | grep -q . && holder=unknown
        test -n "$holder" && say "busy $port $holder"
      done
}

# Postfix's words, one "said" or "note" line each; exit status 1 when one of
# them means Postfix refuses the files.
classify() {
  refused=0
  while IFS= read -r line; do
    line=$(printf '%s' "$line" | tr -d '\r')
    test -n "$line" || continue
    case $line in
      # Every Postfix tool reading main.cf says so of a custom line that
      # sets one of the tool's own parameters again: that is what it is for.
      *"overriding earlier entry"*) ;;
      *"unused parameter"*) say "note $line" ;;
      *fatal*|*error*|*panic*) say "said $line"; refused=1 ;;
      # Postfix's own integrity warnings (a link in its folders) stop nothing.
      *warning*) if test "$1" = strict; then say "said $line"; refused=1; fi ;;
    esac
  done
  return $refused
}

# Checks the written files in the configuration directory: the maps'
# builds (the configuration script's errors), postconf and postfix check.
validate() {
  ok=0
  grep -E '^(postmap|postalias): ' "$work/err" | head -n $wordLines | classify strict > "$work/said" || ok=1
  postconf -c $config_dir -n >/dev/null 2> "$work/postconf" || echo "postconf: fatal: exit status $?" >> "$work/postconf"
  head -n $wordLines "$work/postconf" | classify strict >> "$work/said" || ok=1
  # The part of "postfix check" that can refuse the files; it also stands
  # in for the one "postfix start" would run again (quick-start). Its
  # warnings-only part runs once Postfix is up (integrityWarnings).
  checkRc=0
  /usr/sbin/postfix -c $config_dir check-fatal > "$work/check" 2>&1 || checkRc=1
  # Postfix tells why only on a terminal: a refusal is asked again on one.
  if test $checkRc = 1; then
    SHELL=/bin/sh script -qec "/usr/sbin/postfix -c $config_dir check-fatal" /dev/null > "$work/tty" 2>&1
    # No terminal to be had: the check without Postfix's words beats none.
    grep -q '^script: ' "$work/tty" || mv -f -- "$work/tty" "$work/check"
  fi
  test $checkRc = 0 || ok=1
  head -n $wordLines "$work/check" | classify lenient >> "$work/said" || ok=1
  grep -q '^check-postfix: said ' "$work/said" || test $ok = 0 || say "said postfix check failed" >> "$work/said"
  return $ok
}

# The configuration script refuses a custom line Postfix cannot even read
# without saying why; Postfix's own words on the custom text $1, read as
# nobody like that script does, since the text is not trusted.
customWords() {
  dir=$(mktemp -d) || return
  { cat $config_dir/main.cf.default; printf '%s\n' "$1" | tr '\r' '\n'; } > "$dir/main.cf"
  chmod 755 "$dir" && chmod 644 "$dir/main.cf"
  setpriv --reuid=nobody --regid=nogroup --clear-groups postconf -c "$dir" -nx 2>&1 >/dev/null \
    | grep -v 'master.cf' | head -n $wordLines | classify strict
  rm -rf -- "$dir"
}

# What "postfix start" would have warned of (links, owners, modes) goes to
# Postfix's log as before; only warnings, so nobody waits for them, and
# they yield to the window's read-back, which runs meanwhile.
integrityWarnings() {
  (nice -n 19 /usr/sbin/postfix -c $config_dir check-warn >/dev/null 2>&1 </dev/null 9>&- &)
}

# The checked files are copied while Postfix starts on them (they no longer
# change), ready to become the last good configuration once it takes mail.
# The copy's complaints go outside the state folder, which may be full.
copyCandidate() {
  copyWords=$(mktemp) || copyWords=/dev/null
  { copyOut $config_dir "$candidate" && date -u '+%Y-%m-%d %H:%M:%S UTC' > "$candidate/saved-at"; } 2> "$copyWords" &
  copier=$!
}

# The candidate replaces the last good configuration whole or not at all;
# the one before stays until the new one is in place.
swapInCandidate() {
  last=$state_dir/last-good
  test ! -e "$last" || mv -- "$last" "$last.old" || return 1
  if mv -- "$candidate" "$last"; then
    rm -rf -- "$last.old"
  else
    mv -- "$last.old" "$last"
    return 1
  fi
}

# Says why, in the copying tools' words, when the candidate could not be kept.
saveLastGood() {
  if wait $copier && swapInCandidate 2>> "$copyWords"; then
    test "$copyWords" = /dev/null || rm -f -- "$copyWords"
    return
  fi
  words=$(grep -m 1 . "$copyWords" 2>/dev/null | tr -d '\r')
  dropCandidate
  say "unsaved ${words:-the copy in $state_dir failed}"
}

dropCandidate() {
  wait $copier
  rm -rf -- "$candidate"
  test "$copyWords" = /dev/null || rm -f -- "$copyWords"
}

# One SMTP dialogue on 127.0.0.1:25, from the greeting to the recipient and
# then RSET: nothing is queued. EHLO's first reply line names Postfix's own
# host, whose postmaster every mail server has (RFC 5321), so the probe
# reaches the restrictions wherever the configuration delivers. It greets
# with an address literal, which the HELO name restrictions let pass.
# Prints one line a reply: the command, then the reply's last line.
# Status 2: nothing listens; 3: the server hung up or fell silent.
smtpDialogue() {
  timeout $probeSeconds bash -c '
    exec 3<>/dev/tcp/127.0.0.1/25 || exit 2
    printf -v cr "\r"
    reply() {
      while IFS= read -r -t 3 line <&3; do
        line=${line%"$cr"}
        test -n "$first" || first=$line
        test "${line:3:1}" = - || { printf "%s %s\n" "$1" "$line"; return 0; }
      done
      exit 3
    }
    ask() { printf "%s\r\n" "$2" >&3; first=; reply "$1"; }
    reply greeting
    ask EHLO "EHLO [127.0.0.1]"
    host=${first#250?}
    case $host in ""|*[!A-Za-z0-9.-]*) host=localhost ;; esac
    ask MAIL "MAIL FROM:<>"
    ask RCPT "RCPT TO:<postmaster@$host>"
    ask RSET RSET
    ask QUIT QUIT
  ' 2>/dev/null 9>&-
}

# Words in the mail log that mean the configuration, not the probe, is at
# fault: a daemon that died, a restriction Postfix does not know, a table it
# cannot open.
configErrors='fatal:|configuration (error|problem)|unknown smtpd restriction|is unavailable\. (open database|unsupported dictionary type)'

# What smtpd and the master warned of since the mark, once smtpd has
# finished (postlogd writes a moment after the reply), without the date and
# host; the reject line only repeats the reply.
probeWords() {
  n=0
  while test $n -lt 50; do
    tail -c +$((probeMark + 1)) $maillog 2>/dev/null | grep -qE 'smtpd\[[0-9]+\]: (disconnect from|fatal:)' && break
    sleep 0.02
    n=$((n + 1))
  done
  tail -c +$((probeMark + 1)) $maillog 2>/dev/null | grep -E 'postfix[^ ]*/(smtpd|master)\[' \
    | grep -E 'warning:|error:|fatal:' | sed -E 's/^.* (postfix[^ ]*\[[0-9]+\]: )/\1/' | tr -d '\r'
}

# Whether Postfix takes mail on the files it runs. A "Server configuration
# error" (4.3.5), or a temporary failure or hang-up the log lays on the
# configuration, refuses every sender: Postfix's words are said. A 5xx
# reject of the probe, or a passing trouble (a milter's 4.7.1), is not the
# configuration's fault; nothing listening on 127.0.0.1:25 leaves nothing
# to judge.
takesMail() {
  probeMark=$(wc -c < $maillog 2>/dev/null || echo 0)
  replies=$(smtpDialogue)
  status=$?
  test $status = 2 && return 0
  case $replies in
    *" 4.3.5 "*) ;;
    *" 4"[0-9][0-9]" "*) ;;
    *) test $status = 0 && return 0 ;;
  esac
  words=$(probeWords)
  case $replies in
    *" 4.3.5 "*) ;;
    *) printf '%s\n' "$words" | grep -qE "$configErrors" || return 0 ;;
  esac
  { test -n "$words" && printf '%s\n' "$words"; printf '%s\n' "$replies" | grep -E ' [45][0-9][0-9] '; } \
    | head -n $wordLines | while IFS= read -r line; do say "said $line"; done
  test $status = 0 || say "said smtpd on 127.0.0.1:25 hung up before the recipient"
  return 1
}

# Back to the snapshot $1 and a fresh start on it.
revertTo() {
  postfixJob unload
  copyBack "$1"
  if loadAndWait; then say "previous up"; else say "previous down"; loggedSinceLoad | classify lenient; fi
}

apply() {
  configure=$1
  shift
  work=$state_dir/previous
  privateDir $state_dir && takeLock && copyOut $config_dir "$work" || { say "result unsafe"; exit 1; }
  # Postfix is down while its files change, as on every restart; unloaded
  # here, under the lock, so no caller cuts another's start short.
  wasLoaded=$(launchctl list 2>/dev/null 9>&- | awk -v l=$label '$3 == l { print "yes" }')
  test -z "$wasLoaded" || postfixJob unload
  (umask "$callerUmask"; exec /bin/sh -c "$configure" "" "$@" 9>&-) > "$work/out" 2> "$work/err"
  cat "$work/out"
  # A refused custom line: nothing was written, the caller decides.
  if grep -q '^Refused custom line: ' "$work/out"; then
    customWords "${15}"
    test -z "$wasLoaded" || postfixJob load
    say "result unchanged"
    return
  fi
  if ! validate; then
    cat "$work/said"
    say "result refused"
    copyBack "$work"
    loadAndWait && say "previous up" || say "previous down"
    return
  fi
  grep '^check-postfix: note ' "$work/said"
  touch /var/spool/postfix/quick-start
  copyCandidate
  loadAndWait
  up=$?
  # Spent by a start that ran; a stale one would skip the next start's checks.
  rm -f /var/spool/postfix/quick-start
  # Kept in memory: the state folder may be full.
  test $up = 0 && { probeSaid=$(takesMail) || up=2; }
  if test $up = 0; then
    integrityWarnings
    saveLastGood
    say "result up"
    return
  fi
  dropCandidate
  if test $up = 2; then
    printf '%s\n' "$probeSaid"
    say "result rejecting"
    revertTo "$work"
    return
  fi
  loggedSinceLoad | classify lenient
  busyPorts
  say "result down"
  revertTo "$work"
}

restore() {
  privateDir $state_dir && takeLock && test -f "$state_dir/last-good/saved-at" && test ! -L "$state_dir/last-good" || { say "result none"; return; }
  say "result restored"
  revertTo "$state_dir/last-good"
}

saved() {
  test ! -L "$state_dir/last-good" && cat "$state_dir/last-good/saved-at" 2>/dev/null
}

case $1 in
  apply|restore|saved) "$@" ;;
esac

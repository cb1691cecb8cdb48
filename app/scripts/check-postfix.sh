# Keeps Postfix on a configuration it can run. Run as root by "/bin/sh" "-c"
# with "" as $0, in the resource directory, the first argument naming what
# to do:
#
# apply, with the configuration script and its arguments: snapshot the files
#   that script writes, run it, check what it wrote, load the Postfix job and
#   wait for the master; put the snapshot back and load again when Postfix
#   refuses the files or does not come up.
# restore: put back the last configuration Postfix came up on, restart.
# saved: print when that configuration was saved.
#
# Lines for the window start with "check-postfix: ": "said" is Postfix's own
# words on why it failed, "note" a warning that did not stop it, "result"
# what became of the new files, "previous" whether Postfix came back on the
# old ones. Nothing from the arguments is ever evaluated here.
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

say() { printf 'check-postfix: %s\n' "$*"; }
# "load" or "unload" the Postfix job.
postfixJob() { launchctl "$1" -w $job >/dev/null 2>&1; }

# A folder of root's alone, never a link: made when missing.
privateDir() {
  test -L "$1" && return 1
  test -d "$1" || mkdir -m 0700 "$1" || return 1
  test ! -L "$1" && test "$(stat -c %u -- "$1")" = 0 && chmod 0700 "$1"
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
  (nice -n 19 /usr/sbin/postfix -c $config_dir check-warn >/dev/null 2>&1 </dev/null &)
}

# The checked files are copied while Postfix starts on them (they no longer
# change), ready to become the last good configuration once it is up.
copyCandidate() {
  { copyOut $config_dir "$candidate" && date -u '+%Y-%m-%d %H:%M:%S UTC' > "$candidate/saved-at"; } &
  copier=$!
}

saveLastGood() {
  wait $copier && rm -rf -- "$state_dir/last-good" && mv -- "$candidate" "$state_dir/last-good"
}

dropCandidate() {
  wait $copier
  rm -rf -- "$candidate"
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
  privateDir $state_dir && copyOut $config_dir "$work" || { say "result unsafe"; exit 1; }
  (umask "$callerUmask"; exec /bin/sh -c "$configure" "" "$@") > "$work/out" 2> "$work/err"
  cat "$work/out"
  # A refused custom line: nothing was written, the caller decides.
  if grep -q '^Refused custom line: ' "$work/out"; then
    customWords "${15}"
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
  if test $up = 0; then
    integrityWarnings
    saveLastGood
    say "result up"
    return
  fi
  dropCandidate
  loggedSinceLoad | classify lenient
  busyPorts
  say "result down"
  revertTo "$work"
}

restore() {
  privateDir $state_dir && test -f "$state_dir/last-good/saved-at" && test ! -L "$state_dir/last-good" || { say "result none"; return; }
  say "result restored"
  revertTo "$state_dir/last-good"
}

saved() {
  test ! -L "$state_dir/last-good" && cat "$state_dir/last-good/saved-at" 2>/dev/null
}

case $1 in
  apply|restore|saved) "$@" ;;
esac

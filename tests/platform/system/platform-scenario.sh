#!/usr/bin/env bash
# The platform layer end to end, as root in the sandbox:
#   platform-scenario.sh BUILD_DIR SOURCE_DIR
# install (twice), launchctl jobs and probes, dscl, tail -r, the server
# archive and the first-use installation script, then uninstall.
set -uo pipefail
build=$1 source=$2
. "$(dirname "$0")/lib.sh"
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin

accounts_before=$(getent passwd; getent group)

# --- install, and install again -------------------------------------------
check "install.sh succeeds" bash "$source/platform/install.sh" "$build"
record_once=$(cat /var/lib/brevane-platform/installed)
passwd_once=$(getent passwd; getent group)
check "install.sh succeeds a second time" bash "$source/platform/install.sh" "$build"
same "second install records nothing new" "$record_once" "$(cat /var/lib/brevane-platform/installed)"
same "second install adds no account" "$passwd_once" "$(getent passwd; getent group)"
same "tail diverted once" 1 "$(dpkg-divert --list /usr/bin/tail | wc -l)"
for tool in /usr/local/bin/launchctl /usr/local/bin/dscl /usr/local/bin/gnutar /bin/launchctl; do
  check "$tool runs" test -x "$tool"
done
for folder in /Library/LaunchDaemons /System/Library/LaunchDaemons /System/Library/OpenSSL/certs; do
  check "$folder exists" test -d "$folder"
done
check "SystemVersion.plist says 10.5.8" grep -q '<string>10.5.8</string>' /System/Library/CoreServices/SystemVersion.plist
check "group admin" getent group admin
check "group wheel" getent group wheel
check "user _postfix shares postfix's uid" test "$(id -u _postfix)" = "$(id -u postfix)"
touch /etc/sasldb2.db
check "chown _postfix:wheel works" chown _postfix:wheel /etc/sasldb2.db
rm -f /etc/sasldb2.db

# --- launchctl --------------------------------------------------------------
label=com.example.sleeper
plist=$(write_job $label /bin/sleep 1000)
same "nothing listed before loading" "" "$(probe $label)"
# The caller reads launchctl's output to its end: a job holding that pipe
# would make this hang until the timeout.
check "load -w returns without holding the caller's output" \
  timeout 10 sh -c "launchctl load -w '$plist' | cat"
pid=$(job_pid $label)
check "list shows the job's pid" test -n "$pid" -a "$pid" != "-"
check "the pid is the running job" grep -q '^/bin/sleep' "/proc/$pid/cmdline"
same "probe prints YES" YES "$(probe $label)"
same "any user sees the pid" "$pid" "$(su nobody -s /bin/sh -c "launchctl list" | awk -v l=$label '$3 == l { print $1 }')"
same "list heading" "PID	Status	Label" "$(launchctl list | sed 1q)"
check "job runs in its own session" test "$(ps -o sid= -p "$pid")" != "$(ps -o sid= -p $$)"
check "loading it again succeeds" launchctl load -w "$plist"
check "loading it again says so" sh -c "launchctl load -w '$plist' 2>&1 | grep -q 'Already loaded'"
same "loading it again starts nothing" "$pid" "$(job_pid $label)"
same "one row for the job" 1 "$(launchctl list | grep -c $label)"
check "unload -w succeeds" launchctl unload -w "$plist"
check "the job has ended when unload returns" test ! -e "/proc/$pid"
same "probe prints nothing" "" "$(probe $label)"
check "without -w a disabled job is not loaded" sh -c "! launchctl load '$plist' 2>/dev/null"
same "still nothing listed" "" "$(probe $label)"
check "load -w enables it again" launchctl load -w "$plist"
same "listed again" YES "$(probe $label)"
check "unload of a loaded job" launchctl unload "$plist"
check "unloading a job not loaded fails" sh -c "! launchctl unload '$plist' 2>/dev/null"

# Loaded through a link, as the first-use script installs the jobs, and
# twice at once: one supervisor wins, the other load leaves it alone.
mkdir -p /usr/local/jobs && mv "$plist" /usr/local/jobs/ && ln -s /usr/local/jobs/$label.plist "$plist"
launchctl load -w "$plist" 2>/dev/null & launchctl load -w "$plist" 2>/dev/null
wait
same "two loads at once start one job" 1 "$(pgrep -fc '^/bin/sleep 1000$')"
same "and list it once" 1 "$(launchctl list | grep -c $label)"
launchctl unload -w "$plist"
same "a linked job unloads" 0 "$(pgrep -fc '^/bin/sleep 1000$')"

# A job that tidies up on SIGTERM has done so when unload returns.
marker=/tmp/stopped-cleanly
plist=$(write_job com.example.tidy /bin/sh -c "trap 'sleep 1; echo done > $marker; exit 0' TERM; echo started; while :; do sleep 1; done")
launchctl load -w "$plist"
sleep 0.5
launchctl unload -w "$plist"
same "stop took effect before unload returned" done "$(cat $marker 2>/dev/null)"
check "job output went to its log" grep -qx started /var/log/launchd/com.example.tidy.log

# A job that ends by itself stays listed with its status, like launchd.
plist=$(write_job com.example.brief /bin/sh -c "exit 3")
launchctl load -w "$plist"
for _ in $(seq 50); do [[ $(job_pid com.example.brief) == - ]] && break; sleep 0.1; done
same "ended job listed with its status" "-	3	com.example.brief" "$(launchctl list | grep com.example.brief)"
same "probe still finds it" YES "$(probe com.example.brief)"
check "unloading an ended job" launchctl unload -w "$plist"
same "gone after unload" "" "$(probe com.example.brief)"

# The operating system's own jobs that the start-up checks look for.
same "start-up probe for the system's Postfix" "" \
  "$(/bin/sh -c "(test \`launchctl list | grep org.postfix.master* | awk '{print \$3}'\`) && echo YES")"
out=$(launchctl unload -w /System/Library/LaunchDaemons/org.postfix.master* 2>/tmp/err)
check "unloading an unmatched glob fails" test $? -ne 0
same "and prints nothing on stdout" "" "$out"
check "and names the path on stderr" grep -q 'org.postfix.master\*' /tmp/err
check "bad plist refused" sh -c "echo junk > /tmp/bad.plist; ! launchctl load /tmp/bad.plist 2>/dev/null"
same "no zombies left" 0 "$(zombies)"

# --- dscl ---------------------------------------------------------------------
users() { /bin/sh -c 'dscl . list ./users uid | grep "5[0123456789][0123456789]" | awk '"'"'{print $1}'"'"; }
same "no local users yet" "" "$(users)"
useradd -u 502 -m bob
useradd -u 501 -m alice
same "local users in order" "alice
bob" "$(users)"
check "dscl rows are name and uid" sh -c "dscl . list ./users uid | grep -qE '^alice +501\$'"
userdel -r alice 2>/dev/null; userdel -r bob 2>/dev/null

# --- tail -r --------------------------------------------------------------------
printf 'first\nsecond\nlast' >/tmp/mail.log
same "tail -r reverses" "last
second
first" "$(/usr/bin/tail -r /tmp/mail.log)"
same "tail -n 1 is GNU tail" "last" "$(/usr/bin/tail -n 1 /tmp/mail.log)"
check "tail --version is GNU's" sh -c "/usr/bin/tail --version | grep -q GNU"
same "the log command's tail through /bin" "last" "$(/bin/tail -r /tmp/mail.log | sed 1q)"

# --- server archive and the first-use installation script ---------------------
archive=$build/Resources/BrevaneStuff/postfix.tar.gz
check "archive built" test -s "$archive"
listing=$(tar -tzvf "$archive" --numeric-owner)
same "every entry is root's" "" "$(echo "$listing" | awk '$2 != "0/0"')"
same "every entry lies under usr/local/tarnwick" "" \
  "$(tar -tzf "$archive" | grep -v '^usr/local/tarnwick\(/\|$\)')"
same "no build files packed" "" "$(tar -tzf "$archive" | grep -E '(CMakeLists.txt|\.keep)$')"
check "gnutar lists it" gnutar -tzf "$archive"

script=$(printf '%s\n' 'currentDir=$1' 'cd "$currentDir"' \
  ' gnutar -xzpf postfix.tar.gz -C /' \
  ' ln -fs /usr/local/tarnwick/postfix/LaunchDaemons/com.dadarozudedarid.*.plist /Library/LaunchDaemons/' \
  ' ln -fs /usr/local/tarnwick/etc/pam_config /etc/pam.d/pop')
script+=$'\n'' ln -fs /usr/local/tarnwick/etc/pam_config /etc/pam.d/imap'
(cd "$build/Resources" && /bin/sh -c "$script" "" BrevaneStuff)
check "server root installed" test -d /usr/local/tarnwick/postfix
check "configuration folder installed" test -d /usr/local/tarnwick/postfix/etc
same "pop PAM service" /usr/local/tarnwick/etc/pam_config "$(readlink /etc/pam.d/pop)"
same "imap PAM service" /usr/local/tarnwick/etc/pam_config "$(readlink /etc/pam.d/imap)"
check "PAM configuration readable" test -r /etc/pam.d/pop
for plist in "$source"/server/usr/local/tarnwick/postfix/LaunchDaemons/com.dadarozudedarid.*.plist; do
  [[ -e $plist ]] || continue
  name=${plist##*/}
  same "$name linked" "/usr/local/tarnwick/postfix/LaunchDaemons/$name" "$(readlink "/Library/LaunchDaemons/$name")"
done
# Every file of the tree arrives with its content and mode.
while read -r file; do
  relative=${file#"$source/server"}
  check "$relative unpacked" cmp -s "$file" "$relative"
  same "$relative mode" "$(stat -c %a "$file" | sed 's/[2367]\(.\)$/\1/;s/\(.\)[2367]$/\1/')" \
    "$(stat -c %a "$relative" | sed 's/[2367]\(.\)$/\1/;s/\(.\)[2367]$/\1/')"
done < <(find "$source/server" -type f ! -name CMakeLists.txt ! -name .keep)
for launcher in smtpwarden pollwarden; do
  if tar -tzf "$archive" | grep -q "postfix/bin/$launcher\$"; then
    check "$launcher installed executable" test -x /usr/local/tarnwick/postfix/bin/$launcher
  fi
done

# --- uninstall -----------------------------------------------------------------
rm -f /Library/LaunchDaemons/com.dadarozudedarid.* /etc/pam.d/pop /etc/pam.d/imap
rm -rf /usr/local/tarnwick
plist=$(write_job com.example.leftover /bin/sleep 1000)
launchctl load -w "$plist"
pid=$(job_pid com.example.leftover)
rm -f "$plist" /Library/LaunchDaemons/com.example.*.plist
check "uninstall.sh succeeds" bash "$source/platform/uninstall.sh"
check "a job still loaded was stopped" test ! -e "/proc/$pid"
for gone in /usr/local/bin/launchctl /usr/local/bin/dscl /usr/local/bin/gnutar /bin/launchctl \
            /System /Library /var/lib/brevane-platform /var/run/launchd-jobs; do
  check "$gone removed" test ! -e "$gone" -a ! -L "$gone"
done
same "tail divert undone" /usr/bin/tail "$(dpkg-divert --truename /usr/bin/tail)"
check "GNU tail back in place" sh -c "/usr/bin/tail --version | grep -q GNU"
check "tail.distrib gone" test ! -e /usr/bin/tail.distrib
same "accounts as before install" "$accounts_before" "$(getent passwd; getent group)"
same "no zombies left" 0 "$(zombies)"
finish

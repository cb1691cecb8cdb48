# Sets up spam and virus filtering behind Postfix: rspamd (its milter on
# /usr/local/tarnwick/rspamd/run/milter.sock and 127.0.0.1:11432) with a
# redis of its own for statistics and greylisting, and ClamAV's clamd on
# 127.0.0.1:3310, as launchd jobs started with Postfix; beside them a Dovecot
# LMTP instance (job lmtp) that files marked mail in the user's Junk folder,
# and the IMAP instances' learning from that folder, all in
# /usr/local/tarnwick/etc/dovecot/junk.
# Debian's /etc/rspamd, /etc/clamav and /etc/redis stay as the packages
# left them: our overrides live in /usr/local/tarnwick/rspamd/local.d.
# Run as root by "/bin/sh" "-c" with "" as $0:
#   MODE VIRUS [NAME TEXT ...]
# MODE is on, off or show; VIRUS (virus scanning) yes or no; "on" takes the
# local.d files and the Dovecot ones, each by name and text.
# "off" stops the jobs and keeps what rspamd learned, for a later "on".
# "show" prints the installed jobs ("JOB NAME") and files ("--- NAME", then
# the file).
set -f
umask 022
mode=$1 virus=$2
dir=/usr/local/tarnwick/rspamd
conf=$dir/local.d
dovecot=/usr/local/tarnwick/etc/dovecot
junk=$dovecot/junk
daemons=/Library/LaunchDaemons

refuse() {
  printf 'Refused: %s\n' "$1"
  exit 1
}

case $mode in on|off|show) ;; *) refuse "mode $mode" ;; esac
case $virus in yes|no) ;; *) refuse "virus scanning $virus" ;; esac
shift 2

jobFile() {
  printf '%s/com.dadarozudedarid.%s.plist' $daemons "$1"
}

if test "$mode" = show; then
  for j in rspamd redis clamd lmtp; do
    test -f "$(jobFile $j)" && echo "JOB $j"
  done
  for f in actions.conf greylist.conf antivirus.conf; do
    test -f $conf/$f && ! test -L $conf/$f && { echo "--- $f"; cat $conf/$f; }
  done
  exit 0
fi

stopJobs() {
  for j in lmtp rspamd clamd redis; do
    /bin/launchctl unload -w "$(jobFile $j)" >/dev/null 2>&1
  done
}

# Running IMAP servers take learning from Junk up, or leave it (one that is
# down has nothing to reload).
reloadImap() {
  for i in uw_imap uw_imaps; do
    /usr/bin/doveadm -c $dovecot/$i.conf reload >/dev/null 2>&1
  done
}

if test "$mode" = off; then
  stopJobs
  rm -f "$(jobFile rspamd)" "$(jobFile redis)" "$(jobFile clamd)" "$(jobFile lmtp)"
  rm -rf $conf $junk
  reloadImap
  exit 0
fi

# The files are ours to name: nothing but rspamd's override files of these
# names is written, whatever the window sent.
test $(($# % 2)) -eq 0 || refuse "a file without its text"
n=0
for a in "$@"; do
  n=$((n + 1))
  test $((n % 2)) -eq 1 || continue
  case $a in
    actions.conf|greylist.conf|redis.conf|classifier-bayes.conf|worker-proxy.inc|worker-normal.inc) ;;
    worker-controller.inc|milter_headers.conf|antivirus.conf) ;;
    lmtp.conf|learning.conf.ext|junk.sieve|learn-spam.sieve|learn-ham.sieve|rspamd-learn) ;;
    *) refuse "file $a" ;;
  esac
done
test -x /usr/bin/rspamd && id _rspamd >/dev/null 2>&1 || refuse "rspamd is not installed"
test -x /usr/bin/redis-server && id redis >/dev/null 2>&1 || refuse "redis is not installed"
test -f $dovecot/uw-common.conf.ext || refuse "the mail server is not installed"
test -e /usr/lib/dovecot/modules/lib90_sieve_plugin.so && test -x /usr/lib/dovecot/lmtp \
  || refuse "Dovecot's sieve and LMTP (dovecot-sieve, dovecot-lmtpd) are not installed"
if test "$virus" = yes; then
  test -x /usr/sbin/clamd && id clamav >/dev/null 2>&1 || refuse "ClamAV's clamd is not installed"
fi

# A folder of ours: never a symlink, and one found already must belong to
# its owner ($2) rather than be taken over; then mode $3, before anything
# is written in it.
ownFolder() {
  test -L "$1" && refuse "$1 is a symlink"
  if test -d "$1"; then
    test "$(stat -c %U -- "$1")" = "${2%%:*}" || refuse "$1 belongs to someone else"
  else
    mkdir -m "$3" "$1" && chown -h "$2" "$1" || refuse "cannot make $1"
  fi
  chown -h "$2" "$1" && chmod "$3" "$1" || refuse "cannot own $1"
}

# Written beside, then renamed: a reader never sees half a file. Mode $3
# when given.
putFile() {
  rm -f "$1.new"
  printf '%s' "$2" > "$1.new" && chmod "${3:-644}" "$1.new" && mv -f "$1.new" "$1" || refuse "cannot write $1"
}

stopJobs
mkdir -p /usr/local/tarnwick $daemons
ownFolder $dir root:root 755
ownFolder $conf root:root 755
ownFolder $dir/db _rspamd:_rspamd 750
ownFolder $dir/run _rspamd:_rspamd 755
ownFolder $dir/log _rspamd:_rspamd 750
# Only redis and rspamd may reach redis's socket in here.
ownFolder $dir/redis redis:_rspamd 750
# Root's alone: the users' IMAP processes run what lies in here.
ownFolder $junk root:root 755
ownFolder $junk/pipe root:root 755
while test $# -ge 2; do
  case $1 in
    rspamd-learn) putFile $junk/pipe/$1 "$2" 755 ;;
    *.sieve|*.conf.ext|lmtp.conf) putFile $junk/$1 "$2" ;;
    *) putFile $conf/$1 "$2" ;;
  esac
  shift 2
done
# Compiled now, as root: the users' processes could not save the binaries.
/usr/bin/sievec -c $junk/lmtp.conf $junk/junk.sieve >/dev/null 2>&1
for s in learn-spam learn-ham; do
  /usr/bin/sievec -c $junk/learning.conf.ext $junk/$s.sieve >/dev/null 2>&1
done

putFile $dir/redis.conf "port 0
unixsocket $dir/redis/redis.sock
unixsocketperm 777
daemonize no
dir $dir/redis
dbfilename dump.rdb
save 3600 1 300 100
maxmemory 100mb
maxmemory-policy volatile-ttl
logfile \"\"
"

plist() {
  label=$1
  shift
  {
    printf '%s\n' '<?xml version="1.0" encoding="UTF-8"?>' \
      '<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">' \
      '<plist version="1.0">' '<dict>' '	<key>Label</key>' "	<string>com.dadarozudedarid.$label</string>" \
      '	<key>ProgramArguments</key>' '	<array>'
    for a in "$@"; do
      printf '		<string>%s</string>\n' "$a"
    done
    printf '%s\n' '	</array>' '	<key>RunAtLoad</key>' '	<true/>' '</dict>' '</plist>'
  } > "$(jobFile $label).new" && mv -f "$(jobFile $label).new" "$(jobFile $label)" || refuse "cannot write the $label job"
}

plist redis /usr/bin/setpriv --reuid=redis --regid=redis --clear-groups /usr/bin/redis-server $dir/redis.conf
plist rspamd /usr/bin/rspamd -f -u _rspamd -g _rspamd -c /etc/rspamd/rspamd.conf --var=LOCAL_CONFDIR=$dir \
  --var=DBDIR=$dir/db --var=RUNDIR=$dir/run --var=LOGDIR=$dir/log
rm -f "$(jobFile clamd)"
if test "$virus" = yes; then
  ownFolder $dir/clamd clamav:clamav 750
  # Debian's freshclam keeps /var/lib/clamav up to date; clamd only reads it.
  putFile $dir/clamd.conf "Foreground yes
User clamav
TCPSocket 3310
TCPAddr 127.0.0.1
DatabaseDirectory /var/lib/clamav
LogFile $dir/clamd/clamd.log
LogTime yes
StreamMaxLength 25M
"
  plist clamd /usr/sbin/clamd --foreground --config-file=$dir/clamd.conf
fi

plist lmtp /usr/sbin/dovecot -F -c $junk/lmtp.conf
reloadImap

# Filtering runs beside Postfix: the Postfix job's start and stop take it along.
if /bin/launchctl list 2>/dev/null | grep -q 'com\.dadarozudedarid\.postfix$'; then
  for j in redis clamd rspamd lmtp; do
    test -f "$(jobFile $j)" && /bin/launchctl load -w "$(jobFile $j)" >/dev/null 2>&1
  done
fi
echo "Filtering on"

#!/usr/bin/env bash
# Filtering's cost beside its floor, inside the sandbox: the Filtering tab's
# rspamd configuration (defaults, virus scanning on) installed by the real
# configure-filtering.sh, redis and clamd started on it, and two rspamd: the
# configuration as installed (with ClamAV, its milter on run/milter.sock and
# 127.0.0.1:11432), and the same without the antivirus module (its own
# socket, and 11433). Postfix takes mail on 2526 (no
# milter), 2527 (spam only) and 2528 (spam and virus); one message each way
# must arrive unrefused, with only 2528's attachment scanned by clamd, before
# filtering_bench runs, then the daemons'
# resident memory is read from /proc.
#   tests/system/sandbox.sh tests/bench/filtering.sh BUILD_DIR [BENCHMARK_ARGS...]
# Every smtpd runs outside Debian's chroot, as ours does, to reach the UNIX
# sockets. With BENCH_MILTER=inet Postfix reaches both rspamd over their
# loopback ports instead: TCP's delayed acknowledgements on the milter
# connection held each message some 40 ms and more, which is why the
# configuration uses the socket.
# ClamAV's real database cannot be downloaded here: clamd gets a one-line
# signature file, so its memory here is far below a real install's.
set -euo pipefail
[[ $(id -u) == 0 && ${BREVANE_IN_SANDBOX:-} == 1 ]] || { echo "run me through tests/system/sandbox.sh" >&2; exit 77; }
build=$(cd "${1:?usage: filtering.sh BUILD_DIR [BENCHMARK_ARGS...]}" && pwd)
shift
domain=bench.example
dir=/usr/local/tarnwick/rspamd
: >/etc/resolv.conf

eicar='X5O!P%@AP[4\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*'
printf 'Brevane.Test.EICAR:0:*:%s\n' "$(printf '%s' "$eicar" | od -An -tx1 | tr -d ' \n')" >/var/lib/clamav/brevane-test.ndb
# The configuration script wants the mail server's Dovecot files in place
# (it sets up the Junk folder beside them); the benchmark delivers through
# Postfix's own local delivery all the same.
src=$(cd "$(dirname "$0")/../.." && pwd)
install -d /usr/local/tarnwick/etc/dovecot
cp "$src"/server/usr/local/tarnwick/etc/dovecot/* /usr/local/tarnwick/etc/dovecot/
"$build/bench/filtering_bench" --write-config
# As the scenario does: a few top-level domains, not the whole public-suffix list.
printf 'com\nnet\norg\nexample\n' >$dir/tlds.dat
echo "url_tld = \"$dir/tlds.dat\";" >$dir/local.d/options.inc

# The spam-only rspamd: the same files less the antivirus module, its own
# proxy port, controller socket and run and log folders.
spam=$dir/spam-only
mkdir -p $spam/local.d
cp $dir/local.d/* $spam/local.d/
: >$spam/local.d/antivirus.conf
sed -i 's/11432/11433/' $spam/local.d/worker-proxy.inc
sed -i "s|$dir/run/|$spam/run/|" $spam/local.d/worker-controller.inc $spam/local.d/worker-proxy.inc
install -d -o _rspamd -g _rspamd $spam/run $spam/log
# Postfix reaches both over their UNIX sockets, as the configuration script
# sets it up; BENCH_MILTER=inet takes their loopback ports instead.
spamMilter=unix:$spam/run/milter.sock virusMilter=unix:$dir/run/milter.sock
if [[ ${BENCH_MILTER:-unix} == inet ]]; then
  spamMilter=inet:127.0.0.1:11433 virusMilter=inet:127.0.0.1:11432
fi

setpriv --reuid=redis --regid=redis --clear-groups /usr/bin/redis-server $dir/redis.conf >/dev/null &
/usr/sbin/clamd --foreground --config-file=$dir/clamd.conf >/dev/null 2>&1 &
rspamdFor() {
  /usr/bin/rspamd -u _rspamd -g _rspamd -c /etc/rspamd/rspamd.conf --var=LOCAL_CONFDIR="$1" \
    --var=DBDIR=$dir/db --var=RUNDIR="$2" --var=LOGDIR="$3"
}
rspamdFor $dir $dir/run $dir/log
rspamdFor $spam $spam/run $spam/log
listening() { ss -ltn "sport = :$1" | grep -q ":$1"; }
for _ in $(seq 600); do listening 11432 && listening 11433 && listening 3310 && break; sleep 0.2; done
listening 11432 && listening 11433 && listening 3310 || { echo "rspamd or clamd did not start" >&2; exit 1; }

id bob >/dev/null 2>&1 || useradd -m bob
postconf -e "myhostname=mail.$domain" "mydomain=$domain" "mydestination=\$myhostname, $domain, localhost" \
  inet_interfaces=loopback-only inet_protocols=ipv4 milter_default_action=accept
postconf -M "2526/inet=2526 inet n - n - - smtpd -o smtpd_milters="
postconf -M "2527/inet=2527 inet n - n - - smtpd -o smtpd_milters=$spamMilter"
postconf -M "2528/inet=2528 inet n - n - - smtpd -o smtpd_milters=$virusMilter"
postfix start 2>/dev/null

# One message each way: every one arrives, and only 2528 scans for viruses.
rm -f /var/mail/bob
head -c 15000 /dev/urandom >/tmp/report.pdf
for port in 2526 2527 2528; do
  swaks --silent 2 --server 127.0.0.1 --port $port --from alice@$domain --to bob@$domain \
    --header "Subject: port $port" --body "Through $port." --attach /tmp/report.pdf >/dev/null
done
for _ in $(seq 100); do [[ $(grep -c '^Subject: port' /var/mail/bob 2>/dev/null) == 3 ]] && break; sleep 0.1; done
[[ $(grep -c '^Subject: port' /var/mail/bob) == 3 ]] || { echo "a message did not arrive" >&2; exit 1; }
grep -q "clamav: .* is clean" $dir/log/rspamd.log || { echo "clamd scanned nothing" >&2; grep -i clam $dir/log/rspamd.log | tail -5 >&2; exit 1; }
! grep -q 'clamav: .* is clean' $spam/log/rspamd.log || { echo "the spam-only rspamd asked clamd" >&2; exit 1; }

echo "cores: $(nproc); milters: $spamMilter $virusMilter; load: $(uptime)"
"$build/bench/filtering_bench" --benchmark_enable_random_interleaving=true "$@"

# Resident memory of the filter's daemons, in kB, each program's processes summed.
rss() {
  local total=0 pid kb
  for pid in $(pidof "$1"); do
    kb=$(awk '/^VmRSS:/ { print $2 }' /proc/"$pid"/status)
    total=$((total + ${kb:-0}))
  done
  echo "$total"
}
# Both rspamd run, but a real install has one: halve their sum.
echo "resident kB: rspamd (one instance) $(($(rss rspamd) / 2)), redis $(rss redis-server), clamd $(rss clamd)"
postfix stop 2>/dev/null

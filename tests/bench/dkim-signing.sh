#!/usr/bin/env bash
# DKIM signing's cost beside its floor, inside the sandbox: keys and tables
# made by the real configure-dkim.sh, opendkim started on them, Postfix with
# the milter lines the configuration script writes on port 25 and a second
# smtpd without them on 2526; first one message each way to see that only
# port 25 signs, then dkim_signing_bench.
#   tests/system/sandbox.sh tests/bench/dkim-signing.sh BUILD_DIR [BENCHMARK_ARGS...]
# Debian's master.cf runs smtpd chrooted, so the socket's relative name is
# tried from inside the chroot. With BENCH_MILTER=inet the signer listens on
# 127.0.0.1:8891 instead, as installs made before the socket do: there TCP's
# delayed acknowledgements on the loopback milter connection cost most.
set -euo pipefail
[[ $(id -u) == 0 && ${BREVANE_IN_SANDBOX:-} == 1 ]] || { echo "run me through tests/system/sandbox.sh" >&2; exit 77; }
build=$(cd "${1:?usage: dkim-signing.sh BUILD_DIR [BENCHMARK_ARGS...]}" && pwd)
shift
repo=$(cd "$(dirname "$0")/../.." && pwd)
domain=bench.example

sh -c "$(cat "$repo/app/scripts/configure-dkim.sh")" "" sign bench "$domain" >/dev/null
milter=unix:brevane-opendkim/opendkim.sock
if [[ ${BENCH_MILTER:-unix} == inet ]]; then
  sed -i 's|^Socket .*|Socket inet:8891@127.0.0.1|' /usr/local/tarnwick/opendkim/opendkim.conf
  milter=inet:127.0.0.1:8891
fi
/usr/sbin/opendkim -x /usr/local/tarnwick/opendkim/opendkim.conf

id bob >/dev/null 2>&1 || useradd -m bob
printf 'postmaster: root\nsink: /dev/null\n' >/etc/aliases
newaliases
postconf -e "myhostname=mail.$domain" "mydomain=$domain" "mydestination=\$myhostname, $domain, localhost" \
  inet_interfaces=loopback-only inet_protocols=ipv4 smtpd_milters=$milter \
  'non_smtpd_milters=$smtpd_milters' milter_default_action=accept
postconf -M "2526/inet=2526 inet n - y - - smtpd -o smtpd_milters="
postfix start 2>/dev/null
for _ in $(seq 100); do { ss -ltn 'sport = :8891' | grep -q 8891 || test -S /var/spool/postfix/brevane-opendkim/opendkim.sock; } && break; sleep 0.1; done

# One message each way, to bob, to see which way signs.
rm -f /var/mail/bob
for port in 25 2526; do
  swaks --silent 2 --server 127.0.0.1 --port $port --from alice@$domain --to bob@$domain \
    --header "From: alice@$domain" --header "Subject: port $port" --body "Through $port." >/dev/null
done
for _ in $(seq 100); do [[ $(grep -c '^Subject: port' /var/mail/bob 2>/dev/null) == 2 ]] && break; sleep 0.1; done
signed=$(awk '/^DKIM-Signature:/ { s = 1 } /^Subject: port/ { print $3, s + 0; s = 0 }' /var/mail/bob)
[[ $signed == *"25 1"* && $signed == *"2526 0"* ]] || { echo "signing not as expected: $signed" >&2; exit 1; }

echo "cores: $(nproc); milter: $milter; load: $(uptime)"
# The signer's own CPU time (user and system, in clock ticks) over the run,
# a share per signed message: 20 of them a repetition.
ticks() { awk '{ print $14 + $15 }' /proc/"$(pidof opendkim)"/stat; }
before=$(ticks)
"$build/bench/dkim_signing_bench" --benchmark_enable_random_interleaving=true "$@"
repetitions=1
for a in "$@"; do [[ $a == --benchmark_repetitions=* ]] && repetitions=${a#*=}; done
awk -v t=$(($(ticks) - before)) -v hz="$(getconf CLK_TCK)" -v n=$((20 * repetitions)) \
  'BEGIN { printf "opendkim CPU per signed message: %.2f ms\n", t * 1000 / hz / n }'
# What of it is the RSA signature itself, with the key already loaded.
openssl speed -seconds 1 rsa2048 2>/dev/null | awk '/^rsa 2048/ { printf "RSA-2048 signature alone: %.2f ms\n", $4 * 1000 }'
postfix stop 2>/dev/null

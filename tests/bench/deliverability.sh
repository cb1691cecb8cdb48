#!/usr/bin/env bash
# The Deliverability benchmarks inside the sandbox: unbound on 127.0.0.1
# serving three mail domains with every record the check asks for, then
# stopped, so that the closing case finds port 53 silent.
#
#   tests/system/sandbox.sh tests/bench/deliverability.sh BUILD_DIR [BENCHMARK_ARGS...]
set -euo pipefail
[[ $(id -u) == 0 && ${BREVANE_IN_SANDBOX:-} == 1 ]] || { echo "run me through tests/system/sandbox.sh" >&2; exit 77; }
build=$(cd "${1:?usage: deliverability.sh BUILD_DIR [BENCHMARK_ARGS...]}" && pwd)
shift

rm -f /etc/resolv.conf
echo 'nameserver 127.0.0.1' >/etc/resolv.conf
conf=/etc/unbound/brevane-bench.conf
cat >$conf <<CONF
server:
  interface: 127.0.0.1
  do-ip6: no
  username: ""
  chroot: ""
  pidfile: "/run/brevane-bench-unbound.pid"
  module-config: "iterator"
  local-zone: "test." transparent
  local-zone: "127.in-addr.arpa." static
  local-data: "2.0.0.127.in-addr.arpa. IN PTR mail.a.test."
CONF
for d in a.test b.test c.test; do
  cat >/etc/unbound/$d.zone <<ZONE
\$TTL 300
$d. IN SOA ns.$d. hostmaster.$d. 1 3600 600 86400 300
$d. IN NS ns.$d.
ns.$d. IN A 127.0.0.1
$d. IN MX 10 mail.$d.
mail.$d. IN A 127.0.0.2
$d. IN TXT "v=spf1 mx include:spf.$d -all"
spf.$d. IN TXT "v=spf1 ip4:198.51.100.0/24 -all"
sel._domainkey.$d. IN TXT "v=DKIM1; k=rsa; p=MIIBIjANBgkqhkiG9w0BAQEFAAOCAQ8AMIIBCgKCAQEA"
_dmarc.$d. IN TXT "v=DMARC1; p=quarantine"
ZONE
  printf 'auth-zone:\n  name: "%s."\n  zonefile: "/etc/unbound/%s.zone"\n  for-downstream: yes\n  for-upstream: yes\n' \
    "$d" "$d" >>$conf
done
unbound -c $conf
for _ in $(seq 50); do dig @127.0.0.1 +short ns.a.test A | grep -q 127 && break; sleep 0.1; done

echo "cores: $(nproc); load: $(cut -d' ' -f1-3 /proc/loadavg)"
"$build/bench/deliverability_bench" --benchmark_filter='CheckThreeDomains|DigTheSameQuestions' "$@"
kill "$(cat /run/brevane-bench-unbound.pid)"
sleep 0.5
"$build/bench/deliverability_bench" --benchmark_filter=Close "$@"

# Sourced by sandbox scenarios: "another host" for the checks from outside.
# A network namespace "outside" joined to this one by a veth pair
# (10.233.0.1 here, 10.233.0.2 there), and unbound on 127.0.0.1 as this
# machine's resolver, serving a local block list zone.
outside_server=10.233.0.1
outside_host=10.233.0.2
outside_zone=bl.brevane.test

outside_network() {
  ip netns add outside && ip link add brv0 type veth peer name brv1 && ip link set brv1 netns outside \
    && ip addr add $outside_server/24 dev brv0 && ip link set brv0 up \
    && ip netns exec outside ip addr add $outside_host/24 dev brv1 && ip netns exec outside ip link set brv1 up \
    && ip netns exec outside ip link set lo up
}

outside_resolver() {
  rm -f /etc/resolv.conf && echo 'nameserver 127.0.0.1' >/etc/resolv.conf || return 1
  cat >/etc/unbound/brevane-test.conf <<'CONF'
server:
  interface: 127.0.0.1
  port: 53
  do-ip6: no
  username: ""
  chroot: ""
  pidfile: "/run/brevane-unbound.pid"
  logfile: "/tmp/unbound.log"
  module-config: "iterator"
  include: "/etc/unbound/brevane-lists.conf"
CONF
  serve_lists
}

# serve_lists [ADDRESS...]: the zone lists its test entry 127.0.0.2 and each
# IPv4 address given, then unbound starts afresh with it.
serve_lists() {
  local address name
  {
    echo "local-zone: \"$outside_zone.\" static"
    for address in 127.0.0.2 "$@"; do
      name=$(echo "$address" | awk -F. '{ print $4 "." $3 "." $2 "." $1 }').$outside_zone
      echo "local-data: \"$name. A 127.0.0.2\""
      echo "local-data: '$name. TXT \"listed for $address\"'"
    done
  } >/etc/unbound/brevane-lists.conf
  test -f /run/brevane-unbound.pid && kill "$(cat /run/brevane-unbound.pid)" 2>/dev/null
  sleep 0.3
  unbound -c /etc/unbound/brevane-test.conf || return 1
  wait_until 10 lists_answer
}
lists_answer() { dig +short +time=1 +tries=1 @127.0.0.1 "2.0.0.127.$outside_zone" A | grep -qx 127.0.0.2; }

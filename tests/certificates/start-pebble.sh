#!/usr/bin/env bash
# Inside the sandbox only: starts a Pebble test CA on its loopback, its own
# TLS certificate trusted in this sandbox's system store (certbot gets no
# option or variable for it). It checks host names on port 80, as a real CA
# would, and refuses orders for blocked.brevane.test, as a CA's policy may.
# Prints the CA's directory URL once it answers.
set -euo pipefail
[[ ${BREVANE_IN_SANDBOX:-} == 1 && $(id -u) == 0 ]] || { echo "start-pebble.sh: sandbox only" >&2; exit 2; }
dir=/tmp/pebble
mkdir -p "$dir"
key() { echo -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes; }
openssl req -x509 $(key) -days 2 -subj /CN=pebble-root -keyout "$dir/ca.key" -out "$dir/ca.pem" 2>/dev/null
openssl req $(key) -subj /CN=localhost -addext subjectAltName=DNS:localhost,IP:127.0.0.1 \
  -keyout "$dir/key.pem" -out "$dir/req.csr" 2>/dev/null
openssl x509 -req -in "$dir/req.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" -CAcreateserial -days 2 \
  -copy_extensions copy -out "$dir/cert.pem" 2>/dev/null
cp "$dir/ca.pem" /usr/local/share/ca-certificates/brevane-pebble.crt
update-ca-certificates >/dev/null 2>&1
cat >"$dir/config.json" <<JSON
{"pebble": {"listenAddress": "127.0.0.1:14000", "managementListenAddress": "127.0.0.1:15000",
 "certificate": "$dir/cert.pem", "privateKey": "$dir/key.pem", "httpPort": 80, "tlsPort": 5001,
 "ocspResponderURL": "", "externalAccountBindingRequired": false,
 "domainBlocklist": ["blocked.brevane.test"]}}
JSON
PEBBLE_VA_NOSLEEP=1 PEBBLE_WFE_NONCEREJECT=0 setsid pebble -config "$dir/config.json" >"$dir/pebble.log" 2>&1 &
for _ in $(seq 100); do
  (exec 3<>/dev/tcp/127.0.0.1/14000) 2>/dev/null && { echo https://localhost:14000/dir; exit 0; }
  sleep 0.1
done
echo "start-pebble.sh: pebble did not start" >&2
exit 1

#!/usr/bin/env bash
# Builds, once, the Debian 12 tree the host test boots: debootstrap from the
# mirror this machine's apt uses, with the packages of packages.list. The
# tree is rebuilt when that list changes. Prints the tree's path. As root.
#
#   tree.sh [CACHE_DIR]          (default /var/lib/brevane-host)
# Exits 77 when the tree cannot be built here (no debootstrap, no mirror).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cache=${1:-/var/lib/brevane-host}
skip() { echo "tree.sh: SKIPPED: $*" >&2; exit 77; }

[[ $(id -u) == 0 ]] || skip "needs root"
command -v debootstrap >/dev/null || skip "debootstrap is not installed (tools/install-deps.sh)"

# The first Debian archive apt is configured with, in either source format.
mirror() {
  local file
  for file in /etc/apt/sources.list.d/*.sources; do
    [[ -f $file ]] || continue
    awk 'tolower($1)=="uris:" && $2 !~ /security/ {print $2; exit}' "$file"
  done
  if [[ -f /etc/apt/sources.list ]]; then
    awk '$1=="deb" {for (i=2;i<=NF;i++) if ($i ~ /^[a-z]+:\/\// && $i !~ /security/) {print $i; exit}}' /etc/apt/sources.list
  fi
}
url=$(mirror | head -1)
[[ -n $url ]] || skip "no Debian mirror in this machine's apt sources"

packages=$(sed 's/#.*//' "$here/packages.list" | xargs)
# The recipe is this script and the list: a change to either rebuilds.
key=$(cat "$0" "$here/packages.list" <(echo "$url") | sha256sum | cut -c1-16)
tree=$cache/tree-$key
if [[ -f $tree/.brevane-host-ready ]]; then
  echo "$tree"
  exit 0
fi

mkdir -p "$cache"
rm -rf "$cache"/tree-* "$cache/building"
staging=$cache/building
echo "tree.sh: building the booted Debian's tree from $url (once)" >&2
# Postfix asks how it is used; a machine delivering its own mail says "Local only".
debootstrap --variant=minbase --include=systemd,systemd-sysv,dbus bookworm "$staging" "$url" >"$cache/debootstrap.log" 2>&1 ||
  { tail -20 "$cache/debootstrap.log" >&2; skip "debootstrap failed (log in $cache/debootstrap.log)"; }
echo "postfix postfix/main_mailer_type select Local only" | chroot "$staging" debconf-set-selections
echo "postfix postfix/mailname string brevane-host.test" | chroot "$staging" debconf-set-selections
# The chroot has no init: nothing starts now, the units are enabled for boot.
printf '#!/bin/sh\nexit 101\n' >"$staging/usr/sbin/policy-rc.d"
chmod 0755 "$staging/usr/sbin/policy-rc.d"
if ! chroot "$staging" env DEBIAN_FRONTEND=noninteractive sh -c \
    "apt-get update -qq && apt-get install -y -qq --no-install-recommends $packages && apt-get clean" \
    >>"$cache/debootstrap.log" 2>&1; then
  tail -20 "$cache/debootstrap.log" >&2
  skip "installing the packages failed (log in $cache/debootstrap.log)"
fi
rm -f "$staging/usr/sbin/policy-rc.d"
# Postfix's set-up in a chroot finds no network protocols and names the
# machine after the build host; a booted Debian has both.
chroot "$staging" postconf -e inet_protocols=ipv4 myhostname=brevane-host.test
# A booted machine with a name, no console login waiting and no clock jobs
# that would make the before/after comparison drift.
echo brevane-host >"$staging/etc/hostname"
printf '127.0.0.1 localhost\n127.0.1.1 brevane-host brevane-host.test\n' >"$staging/etc/hosts"
: >"$staging/etc/machine-id"
chroot "$staging" systemctl mask --quiet console-getty.service getty@.service systemd-timesyncd.service \
  apt-daily.timer apt-daily-upgrade.timer man-db.timer dpkg-db-backup.timer e2scrub_all.timer fstrim.timer 2>/dev/null || true
touch "$staging/.brevane-host-ready"
mv "$staging" "$tree"
echo "$tree"

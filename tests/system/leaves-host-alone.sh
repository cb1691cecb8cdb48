#!/usr/bin/env bash
# A sandbox run that renames the host, mounts, adds a user, writes files and
# leaves a process behind must leave none of it on the host.
#
#   leaves-host-alone.sh SANDBOX
set -euo pipefail
sandbox=$1
[[ $(id -u) == 0 ]] || { echo "needs root" >&2; exit 77; }

host_name=$(hostname)
mounts() { awk '{ print $5 }' /proc/self/mountinfo | sort; }
mounts_before=$(mounts)
passwd_before=$(sha256sum /etc/passwd)
marker=brevane-host-alone-$$

inner=$("$sandbox" bash -c "
  hostname $marker
  useradd $marker
  mkdir -p /mnt/$marker && mount -t tmpfs $marker /mnt/$marker
  touch /etc/$marker /tmp/$marker
  (exec -a $marker sleep 600) </dev/null >/dev/null 2>&1 &
  printf '%s\n' \"\$BREVANE_SANDBOX_ROOT\"")

fail() { echo "leaves-host-alone: $*" >&2; exit 1; }
[[ $(hostname) == "$host_name" ]] || fail "host name became $(hostname)"
[[ $(mounts) == "$mounts_before" ]] || fail "mount table changed: $(diff <(echo "$mounts_before") <(mounts) | head -5)"
[[ $(sha256sum /etc/passwd) == "$passwd_before" ]] || fail "/etc/passwd changed"
[[ ! -e /etc/$marker && ! -e /tmp/$marker && ! -e /mnt/$marker ]] || fail "files written inside remain"
[[ -n $inner && ! -e $inner ]] || fail "the overlay's folder ${inner:-?} remains"
! pgrep -f "^$marker" >/dev/null || fail "a process started inside still runs"
echo "leaves-host-alone: host name, mounts, users, files and processes untouched"

#!/usr/bin/env bash
# Runs a command as root inside a disposable copy of the whole machine:
# its own mount, PID, network and host-name (UTS) namespaces, every write
# landing in a tmpfs overlay over "/", loopback up. Users, groups, files under
# /etc, /usr/local and /Library, daemons and ports all vanish when the command
# ends, and the host keeps its name.
#
#   sandbox.sh COMMAND [ARG...]
#
# The working directory is kept; the repository and build trees are visible
# at their usual paths (and writable, as on the host: build outputs only).
# BREVANE_SANDBOX_BIND names more host paths to pass through (colon-separated),
# such as /tmp/.X11-unix for a window on the user's display.
set -euo pipefail

if [[ ${BREVANE_IN_SANDBOX:-} != 1 ]]; then
  [[ $(id -u) == 0 ]] || { echo "sandbox: needs root" >&2; exit 77; }
  (($#)) || { echo "usage: sandbox.sh COMMAND [ARG...]" >&2; exit 2; }
  export BREVANE_IN_SANDBOX=1 BREVANE_SANDBOX_CWD=$PWD
  exec unshare --mount --net --pid --uts --fork --kill-child --propagation private "$0" "$@"
fi

# Inside the new namespaces (PID 1 is a shell that reaps orphans).
root=$(mktemp -d /tmp/brevane-sandbox.XXXXXX)
mount -t tmpfs -o size=2g,mode=0755 brevane-sandbox "$root"
mkdir -p "$root"/{upper,work,merged}
mount -t overlay overlay -o "lowerdir=/,upperdir=$root/upper,workdir=$root/work" "$root/merged"
m=$root/merged
mount --rbind /dev "$m/dev"
mount -t proc proc "$m/proc"
mount --rbind /sys "$m/sys"
mount -t tmpfs tmpfs "$m/tmp"
mount -t tmpfs tmpfs "$m/run"
mkdir -p "$m/run/lock" "$m/var/run"
# Trees on other file systems than "/" are not part of the overlay.
IFS=: read -ra extra <<<"${BREVANE_SANDBOX_BIND:-}"
for shared in /work "${extra[@]}"; do
  [[ -n $shared && -e $shared ]] || continue
  if [[ -d $shared ]]; then mkdir -p "$m$shared"; else mkdir -p "$(dirname "$m$shared")"; touch "$m$shared"; fi
  mount --rbind "$shared" "$m$shared"
done

cd /
exec chroot "$m" /bin/bash -c '
  set -e
  ip link set lo up
  hostname brevane-sandbox 2>/dev/null || true
  cd "$BREVANE_SANDBOX_CWD"
  "$@" &
  child=$!
  trap "kill -TERM $child 2>/dev/null" TERM INT
  status=0
  wait $child || status=$?
  exit $status
' sandbox "$@"

#!/usr/bin/env bash
# Runs a command as root inside a disposable copy of the whole machine:
# its own mount, PID, network, UTS and IPC namespaces, every write landing in
# a tmpfs overlay over "/", loopback up. Users, groups, files under /etc,
# /usr/local and /Library, the host name, daemons and ports all vanish when
# the command ends.
#
#   sandbox.sh COMMAND [ARG...]
#
# The working directory is kept. The checkout this script belongs to and the
# build tree (BREVANE_BUILD_DIR, or the one the working directory lies in) are
# passed through at their own paths, wherever they are, and stay writable, as
# on the host: build outputs only. BREVANE_SANDBOX_BIND names more host paths
# to pass through (colon-separated), such as /tmp/.X11-unix for a window on
# the user's display.
set -euo pipefail

# The build tree holding DIR: the nearest folder at or above it with a
# CMakeCache.txt, so that ctest's per-test folders find theirs.
build_tree_of() {
  local dir=$1
  while [[ -n $dir && $dir != / ]]; do
    [[ -f $dir/CMakeCache.txt ]] && { printf '%s\n' "$dir"; return; }
    dir=$(dirname "$dir")
  done
}

# Paths to pass through, outermost first, without those that lie inside
# another (a recursive bind brings them along).
passed_through() {
  local -a all=("$@") kept=()
  local p k inside
  while IFS= read -r p; do
    [[ -n $p && -e $p ]] || continue
    inside=0
    for k in "${kept[@]}"; do
      [[ $p == "$k" || $p == "$k"/* ]] && { inside=1; break; }
    done
    ((inside)) || kept+=("$p")
  done < <(for p in "${all[@]}"; do [[ -n $p ]] && realpath -m -- "$p"; done | awk '{ print length, $0 }' | sort -n | cut -d' ' -f2-)
  printf '%s\n' "${kept[@]}"
}

if [[ ${BREVANE_IN_SANDBOX:-} != 1 ]]; then
  [[ $(id -u) == 0 ]] || { echo "sandbox: needs root" >&2; exit 77; }
  (($#)) || { echo "usage: sandbox.sh COMMAND [ARG...]" >&2; exit 2; }
  checkout=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  IFS=: read -ra extra <<<"${BREVANE_SANDBOX_BIND:-}"
  BREVANE_SANDBOX_PATHS=$(passed_through "$checkout" "${BREVANE_BUILD_DIR:-}" \
    "$(build_tree_of "$PWD")" "${extra[@]}")
  # The overlay's mount point lives in a folder of its own that is removed
  # afterwards, so not even an empty directory is left on the host.
  BREVANE_SANDBOX_ROOT=$(mktemp -d /tmp/brevane-sandbox.XXXXXX)
  export BREVANE_IN_SANDBOX=1 BREVANE_SANDBOX_CWD=$PWD BREVANE_SANDBOX_PATHS BREVANE_SANDBOX_ROOT
  status=0
  unshare --mount --net --pid --uts --ipc --fork --kill-child --propagation private "$0" "$@" || status=$?
  rmdir "$BREVANE_SANDBOX_ROOT" 2>/dev/null || true
  exit $status
fi

# Inside the new namespaces (PID 1 is a shell that reaps orphans).
root=$BREVANE_SANDBOX_ROOT
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

# Passed-through trees come last, so that the fresh /tmp and /run above do
# not hide a checkout that lives there. Their parents inside the copy are
# opened for traversal (a checkout under root's 0700 home must still be
# reachable by the scenarios' own users); only the copy changes.
while IFS= read -r shared; do
  [[ -n $shared ]] || continue
  if [[ -d $shared ]]; then mkdir -p "$m$shared"; else mkdir -p "$(dirname "$m$shared")"; touch "$m$shared"; fi
  mount --rbind "$shared" "$m$shared"
  parent=$(dirname "$shared")
  while [[ $parent != / ]]; do
    chmod o+x "$m$parent"
    parent=$(dirname "$parent")
  done
done <<<"$BREVANE_SANDBOX_PATHS"

cd /
exec chroot "$m" /bin/bash -c '
  set -e
  ip link set lo up
  hostname brevane-sandbox
  cd "$BREVANE_SANDBOX_CWD" 2>/dev/null || cd /
  "$@" &
  child=$!
  trap "kill -TERM $child 2>/dev/null" TERM INT
  status=0
  wait $child || status=$?
  exit $status
' sandbox "$@"

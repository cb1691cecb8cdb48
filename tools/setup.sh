#!/usr/bin/env bash
# Sets up Brevane on a fresh Debian 12 machine and starts it. As root.
#
#   setup.sh              try it safely: Brevane runs inside a disposable
#                         sandbox (a throwaway copy of this machine with its
#                         own network), its window on your display; log in as
#                         "demo" with the password "demo". Nothing you do there
#                         touches this machine.
#   setup.sh --xvfb       the same without a display: runs under Xvfb and saves
#                         a screenshot to build/demo-screenshot.png
#   setup.sh --for-real   installs Brevane and its platform layer on this
#                         machine (Postfix, fetchmail, Dovecot become yours to run)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BREVANE_BUILD_DIR:-$here/build}
mode=${1:-sandbox}

[[ $(id -u) == 0 ]] || { echo "setup.sh: run as root (sudo bash tools/setup.sh)" >&2; exit 1; }
bash "$here/tools/install-deps.sh"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)"

case $mode in
  sandbox|--xvfb)
    bind=/tmp/.X11-unix
    [[ -n ${XAUTHORITY:-} && -f $XAUTHORITY ]] && bind+=:$XAUTHORITY
    if [[ $mode == sandbox && -z ${DISPLAY:-} ]]; then
      echo "setup.sh: no DISPLAY; starting under Xvfb instead (see --xvfb)"
      mode=--xvfb
    fi
    BREVANE_BUILD_DIR=$build BREVANE_SANDBOX_BIND=$bind exec "$here/tests/system/sandbox.sh" \
      bash "$here/tools/demo-session.sh" "$build" "$mode"
    ;;
  --for-real)
    bash "$here/tools/install-app.sh" "$build" /opt/brevane
    user=${SUDO_USER:-}
    cat <<MSG

Brevane is installed in /opt/brevane. It asks for the name and password of a
member of the group "admin" (created by the installer) and runs its commands as
root through /opt/brevane/Resources/shellTool only after that login.
MSG
    if [[ -n $user && $user != root ]]; then
      if ! id -nG "$user" | grep -qw admin; then
        echo "Add yourself to that group first:  usermod -aG admin $user  (then log in again)"
      fi
      [[ -n ${DISPLAY:-} ]] && exec su "$user" -c "DISPLAY=$DISPLAY /opt/brevane/brevane"
    fi
    echo "Start it from your desktop session with: /opt/brevane/brevane"
    ;;
  *)
    sed -n '2,14p' "$0"; exit 2 ;;
esac

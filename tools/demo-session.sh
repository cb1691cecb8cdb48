#!/usr/bin/env bash
# Inside the sandbox: installs Brevane and its platform layer, creates the
# demo administrator and starts the window as that user.
#
#   demo-session.sh BUILD_DIR sandbox|--xvfb|--check
# --check starts the window under Xvfb, logs in through the real helper,
# saves a screenshot and quits: the setup path exercised by CI.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$1
mode=${2:-sandbox}

bash "$here/tools/install-app.sh" "$build" /opt/brevane >/dev/null
useradd -m -u 501 -c "Demo Administrator" -G admin -s /bin/bash demo
echo demo:demo | chpasswd
echo "Sandbox ready. Log in as \"demo\" with the password \"demo\"."

run_as_demo() { su demo -c "cd /home/demo && $*"; }
case $mode in
  sandbox)
    run_as_demo "DISPLAY=$DISPLAY /opt/brevane/brevane" ;;
  --xvfb|--check)
    shot=$build/demo-screenshot.png
    run_as_demo "BREVANE_DEMO_LOGIN=${BREVANE_DEMO_LOGIN:-} xvfb-run -a -s '-screen 0 1280x900x24' /opt/brevane/brevane --demo-screenshot $shot"
    echo "Screenshot: $shot" ;;
esac

#!/usr/bin/env bash
# Inside the sandbox: installs Brevane and its platform layer, creates the
# demo administrator and starts the window as that user.
#
#   demo-session.sh BUILD_DIR sandbox|--xvfb|--check
# --xvfb starts the window under Xvfb, saves a screenshot after four seconds
# and quits. --check does the same, logging in as the demo administrator
# through the real helper, and fails unless that installed the server: the
# setup path, exercised by ctest (setup_demo_session).
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
    login=${BREVANE_DEMO_LOGIN:-}
    [[ $mode == --check ]] && login=${login:-demo:demo}
    # The demo user saves the picture where it may write; root hands it over.
    run_as_demo "BREVANE_DEMO_LOGIN=$login xvfb-run -a -s '-screen 0 1280x900x24' /opt/brevane/brevane --demo-screenshot /home/demo/demo.png"
    shot=$build/demo-screenshot.png
    install -m 0644 /home/demo/demo.png "$shot"
    echo "Screenshot: $shot"
    if [[ $mode == --check ]]; then
      # Logging in ran the start-up checks as root through the helper: the
      # server files are in place.
      [[ -f /usr/local/tarnwick/postfix/etc/main.cf.default ]] ||
        { echo "demo-session: the demo login did not install the server" >&2; exit 1; }
      echo "demo-session: the demo logged in and installed the server"
    fi ;;
esac

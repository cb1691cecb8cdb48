#!/usr/bin/env bash
# Inside the sandbox, as root: Brevane installed in /opt/brevane with its
# platform layer and server files, a mail log; then the check scenarios run
# against the real launchctl, launcher and Postfix.
#
#   check-system.sh BUILD_DIR TEST_PROGRAM [GTEST_ARGS...]
set -euo pipefail
[[ $(id -u) == 0 ]] || { echo "check-system.sh: needs root (run it through sandbox.sh)" >&2; exit 77; }
[[ ${BREVANE_IN_SANDBOX:-} == 1 ]] || { echo "check-system.sh: run it through tests/system/sandbox.sh" >&2; exit 2; }
build=$(cd "${1:?usage: check-system.sh BUILD_DIR TEST_PROGRAM}" && pwd)
program=$(realpath -e "${2:?usage: check-system.sh BUILD_DIR TEST_PROGRAM}")
shift 2
repo=$(cd "$(dirname "$0")/../.." && pwd)

bash "$repo/tools/install-app.sh" "$build" /opt/brevane >/dev/null
cd /opt/brevane/Resources
sh -c "$(cat "$repo/app/scripts/install-server.sh")" "" BrevaneStuff
touch /var/log/mail.log
printf '127.0.0.1 mail.brevane.test\n' >>/etc/hosts
exec "$program" "$@"

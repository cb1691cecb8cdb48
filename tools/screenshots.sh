#!/usr/bin/env bash
# Renders every tab and sheet of the window into docs/screenshots/.
# Offscreen by default; `--xvfb` renders under a real X server instead.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BREVANE_BUILD_DIR:-$here/build}
cmake --build "$build" --target take_screenshots take_deliverability_screenshots take_status_screenshots -j2 >/dev/null
for program in take_screenshots take_deliverability_screenshots take_status_screenshots; do
  if [[ ${1:-} == --xvfb ]]; then
    xvfb-run -a -s "-screen 0 1280x900x24" "$build/tests/widgets/$program" "$here/docs/screenshots"
  else
    QT_QPA_PLATFORM=offscreen "$build/tests/widgets/$program" "$here/docs/screenshots"
  fi
done
ls "$here/docs/screenshots"

#!/usr/bin/env bash
# The queue refresh measured as an administrator sees it, inside the
# sandbox: a real user logged in through PAM, shellTool installed setuid,
# the queue filled at each size, then queue_refresh_bench as that user.
#   tests/system/sandbox.sh tests/bench/queue-refresh-scenario.sh BUILD_DIR [SIZE...] [-- BENCHMARK_ARGS...]
# One size a sandbox (Postfix takes a queue of copies only once); the sizes
# run one after another:
#   for n in 1000 10000 50000; do tests/system/sandbox.sh tests/bench/queue-refresh-scenario.sh build $n; done
# Prints the size's line: rows, both times, their ratio, the listing
# command's run alone (the refresh's floor before any parse) and its ratio,
# the table's paint after a reset, the longest stall of the window's thread
# and the heap a row holds.
set -euo pipefail
build=$(realpath "${1:?usage: queue-refresh-scenario.sh BUILD_DIR SIZE [BENCHMARK_ARGS...]}")
size=${2:?usage: queue-refresh-scenario.sh BUILD_DIR SIZE [BENCHMARK_ARGS...]}
shift 2
here=$(cd "$(dirname "$0")" && pwd)

export BREVANE_TEST_ADMIN=brevadmin BREVANE_TEST_ADMIN_PASSWORD='Adm1n pässword'
getent group admin >/dev/null || groupadd admin
id "$BREVANE_TEST_ADMIN" >/dev/null 2>&1 || useradd -m -G admin "$BREVANE_TEST_ADMIN"
chpasswd <<<"$BREVANE_TEST_ADMIN:$BREVANE_TEST_ADMIN_PASSWORD"

# A copy of the helpers, so that setuid bits never land in the build tree.
app=/opt/brevane-bench
mkdir -p "$app/Resources/BrevaneStuff"
cp "$build/Resources/shellTool" "$build/Resources/brevane-authorize" "$app/Resources/"
chmod 755 /opt "$app" "$app/Resources"
bash "$here/../../platform/auth/install-part.sh" "$app" >/dev/null
export BREVANE_RESOURCES=$app/Resources QT_QPA_PLATFORM=offscreen

results=$(mktemp -d)
chmod 777 "$results"
# Into a file, not a pipe: the fixture's listener keeps its standard output.
bash "$here/fill-queue.sh" "$size" \
  setpriv --reuid="$BREVANE_TEST_ADMIN" --regid="$BREVANE_TEST_ADMIN" --init-groups \
  env HOME="/home/$BREVANE_TEST_ADMIN" "$build/bench/queue_refresh_bench" \
  --benchmark_enable_random_interleaving=true --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true \
  --benchmark_out="$results/$size.json" --benchmark_out_format=json "$@" >"$results/log" 2>&1 </dev/null
grep -v 'warning: Mail system is down' "$results/log"

python3 - "$results" "$size" <<'PY'
import json, sys
folder, sizes = sys.argv[1], sys.argv[2:]
print("cores  size    rows   postqueue -p ms  refresh ms  ratio  listing run ms  ratio  paint ms  stall ms  bytes/row  peak/row")
for size in sizes:
    report = json.load(open(f"{folder}/{size}.json"))
    median = {b["run_name"].split("/")[0]: b for b in report["benchmarks"] if b.get("aggregate_name") == "median"}
    p, r, l = median["postqueueP"], median["refresh"], median["listingRun"]
    print(f'{report["context"]["num_cpus"]:>5}  {size:>5}  {r["rows"]:>6.0f}  {p["real_time"]:>15.1f}  '
          f'{r["real_time"]:>10.1f}  {r["real_time"] / p["real_time"]:>5.2f}  {l["real_time"]:>14.1f}  '
          f'{l["real_time"] / p["real_time"]:>5.2f}  {median["paintAfterReset"]["real_time"]:>8.1f}  '
          f'{r["stall_ms"]:>8.1f}  {r["bytes_per_row"]:>9.0f}  {r["peak_per_row"]:>8.0f}')
PY

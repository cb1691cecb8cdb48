#!/usr/bin/env bash
# The benchmarks of the real path, inside the sandbox: Brevane installed in
# /opt/brevane with its setuid helper, an administrator who logs in through
# PAM, then the run overhead and what the window waits for.
#
#   tests/system/sandbox.sh tests/bench/real-path.sh BUILD_DIR [BENCHMARK_ARGS...]
set -euo pipefail
[[ $(id -u) == 0 && ${BREVANE_IN_SANDBOX:-} == 1 ]] || { echo "run me through tests/system/sandbox.sh" >&2; exit 77; }
build=$(cd "${1:?usage: real-path.sh BUILD_DIR [BENCHMARK_ARGS...]}" && pwd)
shift
repo=$(cd "$(dirname "$0")/../.." && pwd)
password='Bench admin 1'

bash "$repo/tools/install-app.sh" "$build" /opt/brevane >/dev/null
useradd -m -u 501 -c "Bench Admin" -G admin -s /bin/bash benchadmin
echo "benchadmin:$password" | chpasswd
printf '127.0.1.1 %s\n127.0.0.1 mail.brevane.test\n' "$(hostname)" >>/etc/hosts
install -d -m 0755 /opt/brevane-bench
install -m 0755 "$build/tests/privileged/run_overhead_benchmark" "$build/bench/real_path_bench" /opt/brevane-bench/

echo "cores: $(nproc)"
cd /home/benchadmin
as_admin() {
  setpriv --reuid=benchadmin --regid=benchadmin --init-groups \
    env -i HOME=/home/benchadmin USER=benchadmin LOGNAME=benchadmin PATH=/usr/local/bin:/usr/bin:/bin \
    XDG_RUNTIME_DIR=/tmp QT_QPA_PLATFORM=offscreen BREVANE_RESOURCES=/opt/brevane/Resources \
    BENCH_ADMIN=benchadmin BENCH_ADMIN_PASSWORD="$password" "$@"
}
as_admin /opt/brevane-bench/run_overhead_benchmark "$@"
as_admin /opt/brevane-bench/real_path_bench "$@"

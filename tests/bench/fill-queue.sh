#!/usr/bin/env bash
# Fills the sandbox's queue with N deferred messages cheaply, then runs the
# given benchmark against it (as root, inside tests/system/sandbox.sh):
#   tests/system/sandbox.sh tests/bench/fill-queue.sh N build/bench/maintenance_bench [ARGS...]
# Two real messages are deferred (one with three recipients), Postfix is
# stopped, and their queue files are copied under fresh queue IDs: no
# submission or delivery per message, and postqueue lists them as it would
# any deferred mail.
set -euo pipefail
count=${1:?usage: fill-queue.sh N BENCHMARK [ARGS...]}
shift
source "$(dirname "$0")/../maintenance/queue-fixture.sh"
start_queueing_postfix
queue_message alice@probe.local bob@remote-one.example ben@remote-two.example bea@remote-three.example
queue_message root@probe.local erin@remote-four.example
wait_until has_remarks '^(Host or domain' 4
postfix stop >/dev/null 2>&1
python3 - "$count" <<'PY'
import glob, os, sys
count = int(sys.argv[1])
spool = "/var/spool/postfix/deferred"
models = [open(path, "rb").read() for path in sorted(glob.glob(spool + "/*/*"))]
stamps = [os.stat(path).st_mtime for path in sorted(glob.glob(spool + "/*/*"))]
for path in glob.glob(spool + "/*/*"):
    os.remove(path)
for i in range(count):
    qid = "%X" % (0x1000000 + i)
    folder = os.path.join(spool, qid[0])
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, qid)
    with open(path, "wb") as out:
        out.write(models[i % len(models)])
    os.chmod(path, 0o700)
    os.utime(path, (stamps[i % len(stamps)], stamps[i % len(stamps)]))
PY
chown -R postfix:postfix /var/spool/postfix/deferred
echo "queue: $count messages, $(postqueue -p | tail -1)" >&2
echo "cores: $(nproc)" >&2
"$@"

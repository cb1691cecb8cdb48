#!/usr/bin/env bash
# Fills the sandbox's queue with N deferred messages cheaply, then runs the
# given command against it (as root, inside tests/system/sandbox.sh):
#   tests/system/sandbox.sh tests/bench/fill-queue.sh N build/bench/maintenance_bench [ARGS...]
# Three real messages are deferred (with three, one and five recipients) and
# their queue files copied under fresh queue IDs: no submission or delivery
# per message, and postqueue lists them as it would any deferred mail.
# Postfix stays stopped, so nothing is delivered or moved while the
# benchmark lists it: postqueue, run as root, reads the queue directly.
set -euo pipefail
count=${1:?usage: fill-queue.sh N COMMAND [ARGS...]}
shift
source "$(dirname "$0")/../maintenance/queue-fixture.sh"
stopped() { ! postfix status >/dev/null 2>&1; }
stop_postfix() { postfix stop >/dev/null 2>&1 || true; wait_until stopped; }
start_queueing_postfix
queue_message alice@probe.local bob@remote-one.example ben@remote-two.example bea@remote-three.example
queue_message root@probe.local erin@remote-four.example
queue_message carol@probe.local cy@remote-five.example cat@remote-five.example cal@remote-five.example \
  dot@remote-six.example dan@remote-six.example
# Each model deferred, none still active ("*" after its ID).
wait_until has_remarks '^[0-9A-F][0-9A-F]* ' 3
stop_postfix
python3 - "$count" <<'PY'
import glob, os, sys, time
count = int(sys.argv[1])
spool = "/var/spool/postfix/deferred"
paths = sorted(glob.glob(spool + "/*/*"))
models = [open(path, "rb").read() for path in paths]
for path in paths:
    os.remove(path)
due = time.time() + 86400
for i in range(count):
    qid = "%X" % (0x1000000 + i)
    folder = os.path.join(spool, qid[0])
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, qid)
    with open(path, "wb") as out:
        out.write(models[i % len(models)])
    os.chmod(path, 0o700)
    os.utime(path, (due + i % 3600, due + i % 3600))
PY
chown -R postfix:postfix /var/spool/postfix/deferred
echo "queue: $count messages, $(postqueue -p | tail -1), cores: $(nproc)" >&2
"$@"

# The booted Debian of the host test, as shell functions (sourced):
#   machine_reset TREE   a fresh overlay of the pristine tree, nothing running
#   machine_boot         boots it (systemd as PID 1, loopback only) and waits
#   machine_run CMD...   runs a command inside, as root, in every namespace
#   machine_reboot       "systemctl reboot" and waits for the next boot
#   machine_stop         powers it off and removes the overlay
# The host's PID 1 is not systemd (no machined, no "machinectl shell"), so
# commands enter through the container's leader process with nsenter.
# MACHINE_BINDS: folders passed through read-only at the same paths, one a
# line (a path may hold blanks).

machine_dir=${MACHINE_DIR:-/var/lib/brevane-host/run}
machine_name=brevane-host
machine_nspawn_pid=

machine_reset() {
  machine_stop
  mkdir -p "$machine_dir"/{upper,work,root}
  mount -t overlay overlay -o "lowerdir=$1,upperdir=$machine_dir/upper,workdir=$machine_dir/work" "$machine_dir/root"
}

machine_leader() {
  [[ -n $machine_nspawn_pid ]] && pgrep -P "$machine_nspawn_pid" -x systemd | head -1
}

# Waits for the leader and for systemd to finish booting ("degraded" counts:
# a unit that fails is the scenario's to judge, not the boot's).
machine_wait_booted() {
  local state="" i
  for ((i = 0; i < 120; i++)); do
    if [[ -n $(machine_leader) ]]; then
      state=$(machine_run systemctl is-system-running --wait 2>/dev/null) || true
      [[ $state == running || $state == degraded ]] && return 0
    fi
    kill -0 "$machine_nspawn_pid" 2>/dev/null || break
    sleep 0.5
  done
  echo "machine: did not boot (state '$state'); console:" >&2
  tail -30 "$machine_dir/console.log" >&2
  return 1
}

machine_boot() {
  local bind binds=()
  while IFS= read -r bind; do
    [[ -n $bind ]] && binds+=("--bind-ro=$bind")
  done <<<"${MACHINE_BINDS:-}"
  # Without a system bus on the host nspawn can neither register nor make
  # a scope: it stays in our own cgroup.
  systemd-nspawn --quiet --boot --register=no --keep-unit --private-network \
    --machine="$machine_name" --directory="$machine_dir/root" "${binds[@]}" \
    </dev/null >"$machine_dir/console.log" 2>&1 &
  machine_nspawn_pid=$!
  machine_wait_booted
}

machine_run() {
  local leader
  leader=$(machine_leader)
  [[ -n $leader ]] || { echo "machine: not running" >&2; return 1; }
  nsenter --target "$leader" --all -- /usr/bin/env -i HOME=/root LANG=C.UTF-8 \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
}

# Waits up to TRIES × SECONDS for the container's nspawn to end.
machine_wait_for_exit() {
  local tries=$1 seconds=$2 i
  for ((i = 0; i < tries; i++)); do
    kill -0 "$machine_nspawn_pid" 2>/dev/null || return 0
    sleep "$seconds"
  done
}

# The container's init reboots; nspawn then exits (here it does not start
# the container again itself), and the same tree boots once more.
machine_reboot() {
  # The call's connection may drop as the machine goes down.
  machine_run systemctl reboot 2>/dev/null || true
  machine_wait_for_exit 120 0.25
  wait "$machine_nspawn_pid" 2>/dev/null || true
  machine_boot
}

machine_stop() {
  if [[ -n $machine_nspawn_pid ]] && kill -0 "$machine_nspawn_pid" 2>/dev/null; then
    machine_run systemctl poweroff 2>/dev/null || true
    machine_wait_for_exit 60 0.5
    kill -0 "$machine_nspawn_pid" 2>/dev/null && kill -KILL "$machine_nspawn_pid"
    wait "$machine_nspawn_pid" 2>/dev/null || true
  fi
  machine_nspawn_pid=
  mountpoint -q "$machine_dir/root" && umount "$machine_dir/root"
  rm -rf "${machine_dir:?}/upper" "$machine_dir/work"
}

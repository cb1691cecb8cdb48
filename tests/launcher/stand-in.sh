#!/bin/sh
# Stands in for a service command: notes in $STANDIN_LOG when it begins (with
# its pid) and ends, and takes as many seconds as STANDIN_<ROLE>_SLEEP says.
role=$1
echo "$role begin $$" >>"$STANDIN_LOG"
if [ -n "${STANDIN_PROBE:-}" ]; then
  echo "$role stdin $(readlink /proc/$$/fd/0)" >>"$STANDIN_LOG"
  echo "$role $(grep SigBlk: /proc/$$/status | tr -s '\t' ' ')" >>"$STANDIN_LOG"
fi
case $role in
  start) delay=${STANDIN_START_SLEEP:-0} ;;
  stop) delay=${STANDIN_STOP_SLEEP:-0} ;;
  *) delay=${STANDIN_RESTART_SLEEP:-0} ;;
esac
[ "$delay" = 0 ] || sleep "$delay"
echo "$role end" >>"$STANDIN_LOG"

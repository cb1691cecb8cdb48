#!/bin/sh
# The com.dadarozudedarid.status job: runs the health checks every 30
# minutes and mails postmaster when one changes state. Ends by itself once
# the program is removed.
program=/usr/local/tarnwick/status/brevane-status
while test -x "$program"; do
	"$program" --once
	# Half an hour in steps, so that the loop ends soon after removal.
	step=0
	while test $step -lt 30 && test -x "$program"; do
		sleep 60
		step=$((step + 1))
	done
done

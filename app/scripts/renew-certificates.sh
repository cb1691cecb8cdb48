#!/bin/sh
# The com.dadarozudedarid.certbot job: asks certbot twice a day to renew
# what is due (it renews in the last 30 days of a certificate) and installs
# each renewed one. Ends by itself once the server is de-installed. The
# job's runs are spread by when each machine loaded it, so certbot's own
# random wait of up to eight minutes is left out.
acme=/usr/local/tarnwick/postfix/acme
umask 077
while test -d "$acme/config"; do
	/usr/bin/certbot renew --non-interactive --no-random-sleep-on-renew \
		--config-dir "$acme/config" --work-dir "$acme/work" --logs-dir "$acme/logs" \
		--deploy-hook "/bin/sh $acme/install-certificate.sh"
	# Twelve hours in steps, so that the loop ends soon after de-installation.
	step=0
	while test $step -lt 72 && test -d "$acme/config"; do
		sleep 600
		step=$((step + 1))
	done
done

#!/usr/bin/env bash
# Removes what install-part.sh added: the PAM service and the authority's
# rights and grants (every login ends with it). Run as root.
set -uo pipefail
[[ $(id -u) == 0 ]] || { echo "uninstall-part.sh: must run as root" >&2; exit 1; }
rm -f /etc/pam.d/brevane
rm -rf /var/db/brevane-auth

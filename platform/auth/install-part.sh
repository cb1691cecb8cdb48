#!/usr/bin/env bash
# Installs the authorization layer of a Brevane build: the PAM service,
# the right database's directory, and the authority and shellTool setuid
# root in the build's Resources directory. Run as root.
#
#   install-part.sh BUILD_DIR
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:?usage: install-part.sh BUILD_DIR}
resources=$build/Resources

[[ $(id -u) == 0 ]] || { echo "install-part.sh: must run as root" >&2; exit 1; }
for program in shellTool brevane-authorize; do
  [[ -f $resources/$program ]] || { echo "install-part.sh: $resources/$program missing (build first)" >&2; exit 1; }
done

install -D -o root -g root -m 0644 "$here/brevane.pam" /etc/pam.d/brevane
install -d -o root -g root -m 0700 /var/db/brevane-auth /var/db/brevane-auth/rights /var/db/brevane-auth/grants

for program in shellTool brevane-authorize; do
  chown root:root "$resources/$program"
  chmod 4755 "$resources/$program"
done

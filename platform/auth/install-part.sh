#!/usr/bin/env bash
# Installs the authorization layer of a Brevane build: the PAM service,
# the right database's directory, and the authority and shellTool setuid
# root in the application's Resources directory. Run as root.
#
#   install-part.sh APP_DIR
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
. "$here/../install-lib.sh"
app=${1:?usage: install-part.sh APP_DIR}
resources=$app/Resources

[[ $(id -u) == 0 ]] || { echo "install-part.sh: must run as root" >&2; exit 1; }
# chown and chmod act on what a link names: only root's own single-linked
# files, in a folder nobody else can change, become setuid root.
root_only_chain "$resources" ||
  { echo "install-part.sh: $resources (or a folder above it) is not root's alone" >&2; exit 1; }
for program in shellTool brevane-authorize; do
  path=$resources/$program
  [[ -f $path && ! -L $path && $(stat -c %h "$path") == 1 ]] ||
    { echo "install-part.sh: $path is missing or not a plain file (build first)" >&2; exit 1; }
done

place_file "$here/brevane.pam" /etc/pam.d/brevane 0644
install -d -o root -g root -m 0700 /var/db/brevane-auth /var/db/brevane-auth/rights /var/db/brevane-auth/grants

for program in shellTool brevane-authorize; do
  chown root:root "$resources/$program"
  chmod 4755 "$resources/$program"
done

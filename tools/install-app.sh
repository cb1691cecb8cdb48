#!/usr/bin/env bash
# Copies a built Brevane (the program and its Resources/) to PREFIX, then
# installs the platform layer with the helper set up there. As root.
#
#   install-app.sh BUILD_DIR [PREFIX]        (PREFIX defaults to /opt/brevane)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: install-app.sh BUILD_DIR [PREFIX]}" && pwd)
prefix=${2:-/opt/brevane}
[[ $(id -u) == 0 ]] || { echo "install-app.sh: must be run as root" >&2; exit 1; }

new_prefix=false
[[ -e $prefix ]] || new_prefix=true
had_applications=false
[[ -d /usr/share/applications ]] && had_applications=true
install -d -m 0755 "$prefix"
install -m 0755 "$build/brevane" "$prefix/brevane"
rm -rf "$prefix/Resources"
cp -a "$build/Resources" "$prefix/Resources"
chown -R root:root "$prefix"
bash "$here/platform/install.sh" "$build" "$prefix"

# The desktop opens settings documents with Brevane.
install -D -m 0644 "$here/app/resources/desktop/brevane.desktop" /usr/share/applications/brevane.desktop
install -D -m 0644 "$here/app/resources/desktop/brevane-mime.xml" /usr/share/mime/packages/brevane.xml
sed -i "s|^Exec=.*|Exec=$prefix/brevane %f|" /usr/share/applications/brevane.desktop
command -v update-mime-database >/dev/null && update-mime-database /usr/share/mime || true

# Noted in the platform layer's record, so that uninstall.sh removes them too.
record=/var/lib/brevane-platform/installed
note() { grep -qxF "$*" "$record" || echo "$*" >>"$record"; }
$new_prefix && note "tree $prefix"
$had_applications || note "folder /usr/share/applications"
note "file /usr/share/applications/brevane.desktop"
note "file /usr/share/mime/packages/brevane.xml"
echo "install-app.sh: Brevane installed in $prefix"

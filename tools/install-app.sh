#!/usr/bin/env bash
# Copies a built Brevane (the program and its Resources/) to PREFIX, then
# installs the platform layer with the helper set up there. As root.
#
#   install-app.sh BUILD_DIR [PREFIX]        (PREFIX defaults to /opt/brevane)
#
# Only what it copies becomes root's: PREFIX may be a shared folder such as
# /opt. The program trusts its helper only in a folder that is root's alone
# all the way up, so PREFIX must be one.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: install-app.sh BUILD_DIR [PREFIX]}" && pwd)
prefix=${2:-/opt/brevane}
[[ $(id -u) == 0 ]] || { echo "install-app.sh: must be run as root" >&2; exit 1; }
refuse() { echo "install-app.sh: $*" >&2; exit 1; }
. "$here/platform/install-lib.sh"

# Links or special files would be copied as they are and their targets
# handed root's ownership or setuid bits later.
only_plain_files() { [[ -z $(find "$1" ! -type f ! -type d -print -quit) ]]; }
[[ -f $build/brevane && ! -L $build/brevane ]] || refuse "$build/brevane is missing or not a plain file"
only_plain_files "$build/Resources" || refuse "$build/Resources holds links or special files"

new_prefix=false
[[ -e $prefix ]] || new_prefix=true
had_applications=false
[[ -d /usr/share/applications ]] && had_applications=true
[[ -e $prefix ]] || install -d -o root -g root -m 0755 "$prefix"
prefix=$(realpath -e "$prefix")
root_only_chain "$prefix" || refuse "$prefix (or a folder above it) is not root's alone"
old=$prefix/Resources
if [[ -e $old || -L $old ]]; then
  [[ -d $old && ! -L $old && -f $old/brevane-authorize ]] || refuse "$old exists and is not an earlier Brevane's"
fi

install -o root -g root -m 0755 "$build/brevane" "$prefix/brevane"
# Staged in a folder of root's own, checked again there, then moved into place.
stage=$(mktemp -d "$prefix/.Resources.XXXXXX")
trap 'rm -rf "$stage"' EXIT
cp -R "$build/Resources/." "$stage/"
only_plain_files "$stage" || refuse "$build/Resources changed while it was copied"
chown -R root:root "$stage"
chmod -R go-w "$stage"
chmod 0755 "$stage"
rm -rf "$old"
mv "$stage" "$old"
trap - EXIT
bash "$here/platform/install.sh" "$build" "$prefix"

# The desktop opens settings documents with Brevane.
install -D -m 0644 "$here/app/resources/desktop/brevane.desktop" /usr/share/applications/brevane.desktop
install -D -m 0644 "$here/app/resources/desktop/brevane-mime.xml" /usr/share/mime/packages/brevane.xml
sed -i "s|^Exec=.*|Exec=$prefix/brevane %f|" /usr/share/applications/brevane.desktop
command -v update-mime-database >/dev/null && update-mime-database /usr/share/mime || true

# Noted in the platform layer's record, so that uninstall.sh removes them too.
$new_prefix && remember "tree $prefix"
$had_applications || remember "folder /usr/share/applications"
remember "file /usr/share/applications/brevane.desktop"
remember "file /usr/share/mime/packages/brevane.xml"
echo "install-app.sh: Brevane installed in $prefix"

#!/usr/bin/env bash
# Removes what install.sh added, as root: first every
# platform/*/uninstall-part.sh, then the jobs still loaded; Debian's mail
# services it disabled come back; then the tools, the tail divert, and the
# files, folders (when empty), accounts and group memberships that the
# install record names;
# what the install moved aside, and the machine's own PAM services pop and
# imap, come back.
# Goes on past a step that fails.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
[[ $(id -u) == 0 ]] || { echo "uninstall.sh: must be run as root" >&2; exit 1; }
[[ -f /var/lib/brevane-platform/installed ]] || { echo "uninstall.sh: nothing installed" >&2; exit 0; }
. "$here/install-lib.sh"

for part in "$here"/*/uninstall-part.sh; do
  [[ -f $part ]] && bash "$part"
done

# A job left running could not be stopped once launchctl is gone.
[[ -x /usr/local/libexec/brevane-launchd ]] && /usr/local/libexec/brevane-launchd stop
rm -rf /var/run/launchd-jobs /var/db/launchd.overrides /var/log/launchd

if noted "boot unit brevane-launchd.service"; then
  systemctl disable --now --quiet brevane-launchd.service
fi
# Debian's mail services, as they were before the install.
grep '^service ' "$record" | cut -d' ' -f2 | while read -r service; do
  # As on install, an init script's service (fetchmail) would be enabled
  # but not started by "enable --now".
  { systemctl enable --quiet "$service" && systemctl start --quiet "$service"; } ||
    echo "uninstall.sh: could not start $service again" >&2
done

if noted "divert /usr/bin/tail"; then
  grep -q tail.distrib /usr/bin/tail 2>/dev/null && rm -f /usr/bin/tail
  dpkg-divert --quiet --local --rename --remove /usr/bin/tail
fi
if noted "link /bin/launchctl" && [[ $(readlink /bin/launchctl) == /usr/local/bin/launchctl ]]; then
  rm -f /bin/launchctl
fi
grep '^file ' "$record" | cut -d' ' -f2- | while read -r file; do rm -f "$file"; done
grep '^pam ' "$record" | cut -d' ' -f2- | while read -r service; do
  [[ $(readlink -- "$service") == "$pam_config" ]] && rm -f "$service"
done
# Back where it was, unless someone put a file there since.
grep '^saved ' "$record" | cut -d' ' -f2- | while read -r file; do
  if [[ ! -e $file && ! -L $file ]]; then
    mv -- "$saved$file" "$file"
  elif cmp -s -- "$file" "$saved$file"; then
    rm -f -- "$saved$file"
  else
    echo "uninstall.sh: $file has changed since; the earlier one stays in $saved$file" >&2
  fi
done
[[ -d $saved ]] && find "$saved" -depth -type d -empty -delete
# What the server archive unpacked besides the server tree the window's
# de-installation removes: the Dovecot and PAM settings.
noted "folder /usr/local/tarnwick" && rm -rf /usr/local/tarnwick/etc
# Whole folders made by install-app.sh (the application's own).
grep '^tree ' "$record" | cut -d' ' -f2- | while read -r tree; do rm -rf "$tree"; done
if noted "file /usr/share/mime/packages/brevane.xml" && command -v update-mime-database >/dev/null; then
  update-mime-database /usr/share/mime
fi
[[ -d /run/systemd/system ]] && systemctl daemon-reload

noted "member postfix sasl" && gpasswd --delete postfix sasl >/dev/null
if noted "user _postfix"; then
  userdel _postfix 2>/dev/null || userdel --force _postfix
fi
grep '^group ' "$record" | cut -d' ' -f2 | while read -r group; do groupdel "$group"; done
# The test certificates the window makes hold their private keys; they lie
# in a Mac folder of ours that nothing else on Debian uses.
if noted "folder /System/Library/OpenSSL/certs"; then
  rm -f /System/Library/OpenSSL/certs/{smtpd,ipop3d,imapd}.pem
fi
# Deepest first; a folder that now holds someone else's files stays.
grep '^folder ' "$record" | cut -d' ' -f2- | sort -r | while read -r folder; do
  rmdir "$folder" 2>/dev/null || echo "uninstall.sh: $folder is not empty, left in place" >&2
done

rm -f "$record"
rmdir "${record%/*}" 2>/dev/null
echo "uninstall.sh: platform layer removed"

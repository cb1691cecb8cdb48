#!/usr/bin/env bash
# Installs what Linux lacks of the Mac platform, as root:
#   install.sh BUILD_DIR [APP_DIR]
# APP_DIR is where the installed application and its Resources/ live; the
# parts that set up the helper act on it, and without it they are left out
# (a build tree is no place for setuid programs).
# launchctl (also as /bin/launchctl), dscl and gnutar in /usr/local/bin, BSD
# `tail -r` in front of GNU tail, SystemVersion.plist, the Mac folders the
# scripts write to, the accounts admin, wheel and _postfix, Debian's own mail
# services out of the way, the unit that loads enabled jobs at boot, the
# saslauthd job behind SMTP logins with the machine's accounts; then every
# platform/*/install-part.sh. Safe to run again. Whatever it creates or
# replaces is noted in the record (install-lib.sh) so that uninstall.sh
# removes exactly that and restores what was there.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: install.sh BUILD_DIR [APP_DIR]}" && pwd)
app=${2:+$(cd "$2" && pwd)}
[[ $(id -u) == 0 ]] || { echo "install.sh: must be run as root" >&2; exit 1; }

launchctl_bin=$build/platform/launchctl/launchctl
dscl_bin=$build/platform/tools/dscl
for program in "$launchctl_bin" "$dscl_bin"; do
  [[ -x $program ]] || { echo "install.sh: $program is missing; build first" >&2; exit 1; }
done

. "$here/install-lib.sh"

# Creates a folder and each missing parent, noting every one it made.
make_folder() {
  local path="" part
  IFS=/ read -ra parts <<<"${1#/}"
  for part in "${parts[@]}"; do
    path+=/$part
    if [[ ! -d $path ]]; then
      mkdir -m 0755 "$path"
      remember "folder $path"
    fi
  done
}

install_tools() {
  place_file "$launchctl_bin" /usr/local/bin/launchctl 0755
  place_file "$dscl_bin" /usr/local/bin/dscl 0755
  place_file "$here/tools/gnutar" /usr/local/bin/gnutar 0755
  # With merged /usr, /bin/launchctl is /usr/bin/launchctl: link only when free.
  if [[ ! -e /bin/launchctl && ! -L /bin/launchctl ]]; then
    ln -s /usr/local/bin/launchctl /bin/launchctl
    remember "link /bin/launchctl"
  fi
}

# GNU tail moves aside to tail.distrib (dpkg keeps updating it there); the
# wrapper takes its place, staged first so /usr/bin/tail is never missing
# for longer than a rename.
install_tail() {
  install -m 0755 "$here/tools/tail" /usr/bin/tail.brevane-new
  if [[ $(dpkg-divert --truename /usr/bin/tail) != /usr/bin/tail.distrib ]]; then
    dpkg-divert --quiet --local --rename --add /usr/bin/tail
    remember "divert /usr/bin/tail"
  fi
  mv -f /usr/bin/tail.brevane-new /usr/bin/tail
}

install_system_files() {
  local folder
  # /var/db holds the authority's records; /usr/local/tarnwick the server
  # archive's files (made here so that uninstall.sh knows they are ours).
  for folder in /Library/LaunchDaemons /System/Library/LaunchDaemons /System/Library/OpenSSL/certs \
                /System/Library/CoreServices /var/db /usr/local/tarnwick; do
    make_folder "$folder"
  done
  place_file "$here/tools/SystemVersion.plist" /System/Library/CoreServices/SystemVersion.plist 0644
  keep_pam_services
}

# The first-use installation links the PAM services pop and imap to the
# server archive's pam_config. What the machine had there is kept aside now,
# while it is still the machine's own, for uninstall.sh to put back.
keep_pam_services() {
  local service
  for service in /etc/pam.d/pop /etc/pam.d/imap; do
    noted "pam $service" && continue
    if [[ -e $service || -L $service ]] && [[ $(readlink -- "$service") != "$pam_config" ]]; then
      set_aside "$service" cp -a
    fi
    remember "pam $service"
  done
}

install_accounts() {
  local group
  for group in admin wheel; do
    if ! getent group "$group" >/dev/null; then
      groupadd --system "$group"
      remember "group $group"
    fi
  done
  if ! getent passwd _postfix >/dev/null; then
    # The Mac's name for the Postfix account: sharing postfix's uid makes
    # "chown _postfix" hand files to the daemons that read them.
    if getent passwd postfix >/dev/null; then
      useradd --system --non-unique --uid "$(id -u postfix)" --gid "$(id -g postfix)" \
        --home-dir /nonexistent --no-create-home --shell /usr/sbin/nologin _postfix
    else
      useradd --system --user-group --home-dir /nonexistent --no-create-home \
        --shell /usr/sbin/nologin _postfix
    fi
    remember "user _postfix"
  fi
}

# Brevane's jobs run Postfix, Dovecot and fetchmail themselves, as the Mac's
# start-up checks take the system's own jobs out of the way. Debian's services
# would hold the same ports and the same Postfix queue (a job's "postfix
# start" would then find Debian's master running and change nothing), and
# Debian's saslauthd the socket of ours, so they
# are stopped and disabled while the layer is installed, and given back by
# uninstall.sh. Only where systemd runs: the sandbox has none.
take_over_services() {
  [[ -d /run/systemd/system ]] || return 0
  local service
  for service in postfix.service dovecot.service fetchmail.service saslauthd.service; do
    systemctl cat "$service" >/dev/null 2>&1 || continue
    if systemctl is-enabled --quiet "$service" || systemctl is-active --quiet "$service"; then
      # "disable --now" leaves a service from an init script (fetchmail)
      # running: stop it by itself.
      systemctl disable --quiet "$service"
      systemctl stop --quiet "$service"
      remember "service $service"
      echo "install.sh: Debian's $service is stopped and disabled; Brevane runs it from now on"
    fi
  done
}

# launchd loads the jobs the administrator left enabled at every boot; here
# a systemd unit does, through brevane-launchd (enabled where systemd runs).
install_boot_jobs() {
  make_folder /usr/local/libexec
  place_file "$here/launchctl/brevane-launchd" /usr/local/libexec/brevane-launchd 0755
  place_file "$here/launchctl/brevane-launchd.service" /etc/systemd/system/brevane-launchd.service 0644
  [[ -d /run/systemd/system ]] || return 0
  systemctl daemon-reload
  systemctl enable --quiet brevane-launchd.service
  remember "boot unit brevane-launchd.service"
}

# SMTP logins with the machine's accounts: smtpd asks saslauthd, which asks
# PAM. The job runs from the install on and comes back at every boot; only
# root and the group sasl reach its socket, so Postfix joins that group, as
# Debian has it.
install_sasl() {
  if [[ ! -x /usr/sbin/saslauthd ]] || ! getent group sasl >/dev/null || ! getent passwd postfix >/dev/null; then
    echo "install.sh: no saslauthd, group sasl or user postfix; SMTP logins with the machine's accounts will fail"
    return 0
  fi
  place_file "$here/sasl/smtp.pam" /etc/pam.d/smtp 0644
  make_folder /usr/local/libexec
  place_file "$here/sasl/brevane-saslauthd" /usr/local/libexec/brevane-saslauthd 0755
  place_file "$here/sasl/org.brevane.saslauthd.plist" /Library/LaunchDaemons/org.brevane.saslauthd.plist 0644
  if ! id -nG postfix | tr ' ' '\n' | grep -qx sasl; then
    usermod -aG sasl postfix
    remember "member postfix sasl"
  fi
  /usr/local/bin/launchctl load /Library/LaunchDaemons/org.brevane.saslauthd.plist
}

install_tools
install_tail
install_system_files
install_accounts
take_over_services
install_boot_jobs
install_sasl

if [[ -n $app ]]; then
  for part in "$here"/*/install-part.sh; do
    [[ -f $part ]] && bash "$part" "$app"
  done
else
  echo "install.sh: no application folder given; the helper is not set up"
fi
echo "install.sh: platform layer installed"

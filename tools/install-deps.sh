#!/usr/bin/env bash
# Installs, from Debian 12's archive, everything Brevane builds, runs and is
# tested with. Safe to run again; does nothing when all is present.
set -euo pipefail

packages=(
  build-essential cmake ccache clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev qtkeychain-qt6-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev libpam0g-dev
  postfix fetchmail dovecot-core dovecot-pop3d dovecot-imapd sasl2-bin
  openssl curl sudo openssh-client openssh-server iproute2 procps psmisc util-linux bsdutils swaks python3 xz-utils
  xvfb xauth x11-utils libxtst6 imagemagick gnome-keyring dbus dbus-x11 libsecret-tools
  systemd-container debootstrap
  opendkim opendkim-tools unbound libunbound-dev libspf2-dev libssl-dev dns-root-data ldnsutils bind9-dnsutils
  rspamd redis-server clamav-daemon dovecot-sieve dovecot-lmtpd
  certbot pebble
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  # Debian's postfix asks how to configure itself; the package default is enough.
  echo "postfix postfix/main_mailer_type select Local only" | debconf-set-selections
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

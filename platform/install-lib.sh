# Shared by the platform layer's installers, which run as root. Everything
# they create or replace is noted in one record, so that uninstall.sh
# removes exactly that and puts back what was there before.
record=/var/lib/brevane-platform/installed
saved=/var/lib/brevane-platform/saved
pam_config=/usr/local/tarnwick/etc/pam_config
mkdir -p "${record%/*}"
touch "$record"
remember() { grep -qxF "$*" "$record" || echo "$*" >>"$record"; }
noted() { grep -qxF "$*" "$record"; }

# root_only_chain PATH: PATH, links resolved, and every folder above it
# belong to root and are writable by nobody else.
root_only_chain() {
  local path mode
  path=$(realpath -e -- "$1" 2>/dev/null) || return 1
  while :; do
    read -r owner mode < <(stat -c '%u %a' -- "$path") || return 1
    [[ $owner == 0 ]] && (((8#$mode & 8#022) == 0)) || return 1
    [[ $path == / ]] && return 0
    path=$(dirname -- "$path")
  done
}

# set_aside TARGET COMMAND...: COMMAND (mv or cp -a) takes TARGET to the
# saved tree, for uninstall.sh to put back.
set_aside() {
  mkdir -p "$saved${1%/*}"
  "${@:2}" -- "$1" "$saved$1"
  remember "saved $1"
}

# place_file SOURCE TARGET MODE: installs SOURCE as root's TARGET. What stood
# at TARGET before and is not ours moves aside, for uninstall.sh to restore.
place_file() {
  local source=$1 target=$2 mode=$3
  if ! noted "file $target"; then
    [[ -e $target || -L $target ]] && set_aside "$target" mv
    remember "file $target"
  fi
  install -D -o root -g root -m "$mode" "$source" "$target"
}

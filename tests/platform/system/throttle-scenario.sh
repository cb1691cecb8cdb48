#!/usr/bin/env bash
# Password guesses at the authority, as root in the sandbox:
#   throttle-scenario.sh BUILD_DIR SOURCE_DIR
# A user who is no administrator tries the administrator's password from
# many processes at once: the checks run one after another, each refusal
# doubles the wait before the next, and the right password still works.
set -uo pipefail
build=$1 source=$2
. "$(dirname "$0")/lib.sh"
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin

getent group admin >/dev/null || groupadd admin
useradd -m -G admin admin1
useradd -m attacker
chpasswd <<<'admin1:Adm1n-pass'
app=/opt/brevane-test
mkdir -p "$app/Resources"
cp "$build/Resources/shellTool" "$build/Resources/brevane-authorize" "$app/Resources/"
bash "$source/platform/auth/install-part.sh" "$app" || { echo "install failed" >&2; exit 1; }
authority=$app/Resources/brevane-authorize
right=com.dadarozudedarid.lumbrel.admin
printf 'root\0-' | "$authority" define $right allow-root=true class=user group=admin shared=false

guess() {
  su attacker -s /bin/sh -c "printf 'admin1\\0%s' '$1' | $authority grant $right >/dev/null 2>&1"
}
record=/var/db/brevane-auth/attempts/$(id -u attacker)
refused=0
for n in 1 2 3 4; do guess "guess-$n" & done
for job in $(jobs -p); do wait "$job" || refused=$((refused + 1)); done
same "every guess is refused" 4 "$refused"
# Checks that overlapped would each have read no refusal and written one.
same "the four checks ran one after another" "failures 4" "$(sed -n 1p "$record")"
not_before=$(sed -n 's/^not-before //p' "$record")
check "the next check waits eight seconds after the last" test "$((not_before - $(stat -c %Y "$record")))" -eq 8
same "the record is root's alone" "0 600" "$(stat -c '%u %a' "$record")"
check "the right password after the back-off is granted" guess Adm1n-pass
same "and clears the refusals" "failures 0" "$(sed -n 1p "$record")"
finish

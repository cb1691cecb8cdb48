#!/bin/sh
# The built dscl against this machine's own passwd database: one row per
# account, "name<spaces>uid", sorted by name, and nothing but the one query.
#   dscl-format-test.sh DSCL
set -u
dscl=$1
fail() { echo "FAIL: $*" >&2; exit 1; }

out=$("$dscl" . list ./users uid) || fail "listing failed"
[ "$out" = "$("$dscl" . list /Users uid)" ] || fail "/Users differs from ./users"
echo "$out" | grep -qvE '^[^ ]+ +-?[0-9]+$' && fail "row not in name/uid form"
[ "$(echo "$out" | awk '{print $1}')" = "$(getent passwd | cut -d: -f1 | LC_ALL=C sort -u)" ] \
  || fail "names differ from the passwd database or are not sorted"
# uids as the passwd database has them (the overflow account as -2)
expected=$(getent passwd | awk -F: '{ print $1 " " ($3 == 65534 ? -2 : $3) }' | LC_ALL=C sort -u)
[ "$(echo "$out" | awk '{print $1 " " $2}')" = "$expected" ] || fail "uids differ"
# every uid starts in the same column
[ "$(echo "$out" | awk '{ n = match($0, / [^ ]+$/); print n }' | sort -u | wc -l)" = 1 ] || fail "uid column not aligned"

"$dscl" . list /Groups gid >/dev/null 2>&1 && fail "an unsupported query succeeded"
"$dscl" . list /Groups gid 2>&1 >/dev/null | grep -q "^dscl: " || fail "no message for an unsupported query"
echo "dscl: all cases passed"

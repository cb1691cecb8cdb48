#!/bin/sh
# BSD `tail -r` through the wrapper: newest line first, a last line without
# its line feed still a line of its own, missing files named on stderr.
#   tail-reverse-test.sh WRAPPER
set -u
wrapper=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

printf 'one\ntwo\nthree\n' >"$dir/ended"
printf 'one\ntwo\nthree' >"$dir/unended"
: >"$dir/empty"
printf 'only' >"$dir/single"

[ "$(sh "$wrapper" -r "$dir/ended" | od -An -c)" = "$(printf 'three\ntwo\none\n' | od -An -c)" ] || fail "ended"
[ "$(sh "$wrapper" -r "$dir/unended" | od -An -c)" = "$(printf 'three\ntwo\none\n' | od -An -c)" ] || fail "unended"
[ -z "$(sh "$wrapper" -r "$dir/empty")" ] || fail "empty"
[ "$(sh "$wrapper" -r "$dir/single" | od -An -c)" = "$(printf 'only\n' | od -An -c)" ] || fail "single line"
[ "$(printf 'a\nb' | sh "$wrapper" -r | od -An -c)" = "$(printf 'b\na\n' | od -An -c)" ] || fail "standard input"

# The mail-log heading goes on when the log is missing: nothing on stdout.
out=$(sh "$wrapper" -r "$dir/missing" 2>"$dir/err") && fail "missing file succeeded"
[ -z "$out" ] || fail "missing file printed to stdout"
grep -q "tail: $dir/missing: No such file or directory" "$dir/err" || fail "missing file message"

# Lines holding backslashes, percent signs and leading dashes come back as they were.
printf -- '-n 5\n%%s \\t\n' >"$dir/odd"
[ "$(sh "$wrapper" -r "$dir/odd" | od -An -c)" = "$(printf -- '%%s \\t\n-n 5\n' | od -An -c)" ] || fail "odd lines"
echo "tail -r: all cases passed"

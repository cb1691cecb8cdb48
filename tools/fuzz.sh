#!/usr/bin/env bash
# Builds the libFuzzer targets (tests/fuzz/) with clang, AddressSanitizer and
# UBSan in their own build tree, then runs each for a bounded time.
#
#   tools/fuzz.sh [SECONDS_PER_TARGET]     (default 30)
#
# Build tree: $BREVANE_FUZZ_BUILD_DIR or build-fuzz/. Each target keeps its
# growing corpus in build-fuzz/fuzz-corpus/NAME and starts from its seeds;
# a crash leaves its input as build-fuzz/fuzz-artifacts/NAME-crash-*.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
build=${BREVANE_FUZZ_BUILD_DIR:-$here/build-fuzz}
[[ $seconds =~ ^[0-9]+$ ]] || { echo "fuzz: seconds must be a number" >&2; exit 2; }

CC=clang CXX=clang++ cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBREVANE_FUZZ=ON -DBREVANE_SANITIZE=ON -DBREVANE_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j2 --target brevane_fuzz

status=0
for target in "$build"/fuzz/*; do
  [[ -f $target && -x $target ]] || continue
  name=$(basename "$target")
  corpus=$build/fuzz-corpus/$name
  mkdir -p "$corpus" "$build/fuzz-artifacts"
  seeds=()
  if [[ -f $target.seeds ]]; then
    while IFS= read -r dir; do [[ -n $dir ]] && seeds+=("$dir"); done <"$target.seeds"
  fi
  echo "fuzz: $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$build/fuzz-artifacts/$name-" "$corpus" "${seeds[@]}" || status=1
done
exit $status

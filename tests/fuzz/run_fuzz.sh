#!/usr/bin/env bash
# Builds the fuzz targets with clang (address and undefined-behaviour sanitizers) and runs each for
# SECONDS (default 60) from seed corpora made of the test fixtures. Prints the runs and any crash.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
seconds=${1:-60}
build=${FUZZ_BUILD:-$root/build-fuzz}
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DROWCASTER_FUZZ=ON \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer" >/dev/null
cmake --build "$build" --target fuzz_dbf fuzz_xls fuzz_csv extract_streams >/dev/null
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
mkdir -p "$corpus/dbf" "$corpus/xls" "$corpus/csv"
cp "$root"/tests/fuzz/inputs/csv/* "$corpus/csv/"
cp "$root"/tests/fixtures/*.dbf "$root"/tests/fixtures/shared/dbf/*.dbf "$corpus/dbf/"
"$build/extract_streams" "$corpus/xls" "$root"/tests/fixtures/*.xls "$root"/tests/fixtures/shared/xls/*.xls
for target in dbf xls csv; do
  echo "== fuzz_$target for ${seconds}s"
  "$build/fuzz_$target" -max_total_time="$seconds" -max_len=262144 -rss_limit_mb=2048 \
    -artifact_prefix="$build/crash-$target-" "$corpus/$target" 2>&1 | grep -E '^Done|ERROR|SUMMARY|crash-' || true
done

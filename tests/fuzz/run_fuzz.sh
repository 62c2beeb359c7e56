#!/usr/bin/env bash
# Builds the fuzz targets with clang (address and undefined-behaviour sanitizers, coverage of the
# whole library for libFuzzer to follow) and runs each for
# SECONDS (default 60) from seed corpora made of the test fixtures. Prints the runs and any crash.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
seconds=${1:-60}
build=${FUZZ_BUILD:-$root/build-fuzz}
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DROWCASTER_FUZZ=ON \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined,fuzzer-no-link -fno-omit-frame-pointer" >/dev/null
cmake --build "$build" --target fuzz_dbf fuzz_xls fuzz_csv fuzz_xlsx fuzz_records extract_streams >/dev/null
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
mkdir -p "$corpus/dbf" "$corpus/xls" "$corpus/csv" "$corpus/xlsx" "$corpus/records"
cp "$root"/tests/fuzz/inputs/records/* "$corpus/records/"
cp "$root"/tests/fuzz/inputs/csv/* "$corpus/csv/"
# .xlsx: the saved inputs, the fixture workbooks whole, and their worksheets' XML alone.
cp "$root"/tests/fixtures/*.xlsx "$corpus/xlsx/"
for f in "$root"/tests/fuzz/inputs/xlsx/*; do cp "$f" "$corpus/xlsx/saved_$(basename "$f")"; done
for f in "$root"/tests/fixtures/*.xlsx; do
  python3 - "$f" "$corpus/xlsx/$(basename "$f" .xlsx)" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    for n in z.namelist():
        if n.startswith("xl/worksheets/") and n.endswith(".xml"):
            open(sys.argv[2] + "_" + n.rsplit("/", 1)[1], "wb").write(z.read(n))
PY
done
cp "$root"/tests/fixtures/*.dbf "$root"/tests/fixtures/shared/dbf/*.dbf "$corpus/dbf/"
"$build/extract_streams" "$corpus/xls" "$root"/tests/fixtures/*.xls "$root"/tests/fixtures/shared/xls/*.xls
for target in dbf xls csv xlsx records; do
  echo "== fuzz_$target for ${seconds}s"
  "$build/fuzz_$target" -max_total_time="$seconds" -max_len=262144 -rss_limit_mb=2048 \
    -artifact_prefix="$build/crash-$target-" "$corpus/$target" 2>&1 | grep -E '^Done|ERROR|SUMMARY|crash-' || true
done

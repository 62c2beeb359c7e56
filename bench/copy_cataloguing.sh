#!/usr/bin/env bash
# Copy cataloguing speed: 1,000 ISBNs looked up in a local Zebra catalogue behind a proxy that holds
# every packet 100 ms, as a distant library's server would; lookups per second one connection at a
# time (over the first 100 rows) and with several connections (all 1,000 rows), then the second run
# that the cache answers. Usage: bench/copy_cataloguing.sh BUILD_DIR [CONNECTIONS]
set -eu
build="$1"
connections="${2:-16}"
cli="$build/rowcaster-cli"
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../tests/catalogue/zebra_lib.sh"
work=$(mktemp -d)
trap 'zebra_stop; helpers_stop; rm -rf "$work"' EXIT
export XDG_CACHE_HOME="$work/cache"

zebra_start "$work/zebra" 1000
helper_start delay "$zebra_port" 0.1
target="z3950://127.0.0.1:$helper_port/CNUTF8?name=BENCH"
{ echo "ISBN,题名"; cut -f1,2 "$work/zebra/books.tsv" | tr '\t' ','; } > "$work/all.csv"
head -101 "$work/all.csv" > "$work/first100.csv"

run() {  # rows file, extra flags…: prints the seconds the conversion took
  local t0 t1
  t0=$(date +%s.%N)
  "$cli" convert "$1" --map-by-name --rules recommended --dry-run --copy-from "$target" "${@:2}" > /dev/null 2> "$work/run.err"
  t1=$(date +%s.%N)
  grep '套录：' "$work/run.err" >&2
  echo "$t1 - $t0" | bc -l
}
seq_s=$(run "$work/first100.csv" --lookup-connections 1 --no-lookup-cache)
con_s=$(run "$work/all.csv" --lookup-connections "$connections" --no-lookup-cache)
run "$work/all.csv" --lookup-connections "$connections" > /dev/null   # fills the cache
cached_s=$(run "$work/all.csv" --lookup-connections "$connections")
printf 'sequential (1 connection, 100 ISBNs):       %8.1f lookups/s\n' "$(echo "100 / $seq_s" | bc -l)"
printf 'concurrent (%d connections, 1000 ISBNs):     %8.1f lookups/s\n' "$connections" "$(echo "1000 / $con_s" | bc -l)"
printf 'speed-up:                                    %8.1f x\n' "$(echo "(1000 / $con_s) / (100 / $seq_s)" | bc -l)"
printf 'cached rerun (1000 ISBNs):                    %8.1f lookups/s (%.2f s)\n' "$(echo "1000 / $cached_s" | bc -l)" "$cached_s"

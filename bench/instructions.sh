#!/usr/bin/env bash
# The instructions a conversion takes, by valgrind's callgrind: steady where times are not (the
# machine is shared), so a small step can be weighed. The first ROWS rows (default 20,000) of the
# 1,000,000-row CSV are converted by RULES; the total and the LINES functions that take most,
# callees included (INCLUSIVE=no: their own instructions only), are printed. Compare two builds'
# lines side by side.
#   [INCLUSIVE=no] bench/instructions.sh [CLI] [classic|recommended] [ROWS] [LINES]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cli=${1:-$here/../build/rowcaster-cli}
rules=${2:-recommended}
rows=${3:-20000}
lines=${4:-25}
data=$("$here/bench_data.sh")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -n "$((rows + 1))" "$data/books1m.csv" > "$work/rows.csv"
valgrind --tool=callgrind --callgrind-out-file="$work/callgrind.out" "$cli" convert "$work/rows.csv" --map-by-name \
  --rules "$rules" --now 2026-12-05T23:36:00 -o "$work/out.iso" >/dev/null 2>"$work/valgrind.err"
grep -o 'refs: .*' "$work/valgrind.err" | sed 's/refs:/instructions:/'
# The composing threads' functions; start-up (dynamic linking, ICU's tables) is left to the reader.
callgrind_annotate --inclusive=${INCLUSIVE:-yes} "$work/callgrind.out" 2>/dev/null | grep -E '^ *[0-9,]+ ' | grep 'rowcaster::' |
  sed -E 's/rowcaster::|\(anonymous namespace\)::|\[abi:cxx11\]//g; s/^( *[0-9,]+) \( *([0-9.]+%)\) +(\?\?\?:)?/\1 \2 /; s/\(.*//' |
  head -n "$lines"

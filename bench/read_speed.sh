#!/usr/bin/env bash
# Reading speed of every kind, into the table model, through the guarded reader the program uses
# ("child") and in process:
#   a 65,536-row x 20-column .xls (SheetJS)          target: under 1 s
#   a 1,000,000-row x 20-column .dbf (DBFFile)       target: under 3 s and 1 GB
#   a 100,000-row x 20-column .xlsx (SheetJS)        target: 5x SheetJS reading it, in the same run
#   a 1,000,000-row x 20-column .csv (UTF-8)         target: under 3 s, memory below twice its text
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${BUILD_DIR:-$here/../build}
data=$("$here/bench_data.sh")
for file in "$data/books65536.xls" "$data/books1m.dbf" "$data/books100k.xlsx" "$data/books1m.csv"; do
  "$build/bench_read" "$file" child
  "$build/bench_read" "$file" inprocess
done
# The .xlsx against SheetJS, three runs each, the best of each compared.
best() { sort -n | head -1; }
ours=$(for i in 1 2 3; do "$build/bench_read" "$data/books100k.xlsx" child | sed -n 's/.* in \([0-9.]*\) s.*/\1/p'; done | best)
peer=$(for i in 1 2 3; do NODE_PATH="$data/npm/node_modules" node --max-old-space-size=8192 "$here/sheetjs_read.js" \
  "$data/books100k.xlsx" | cut -d' ' -f2; done | best)
awk -v o="$ours" -v p="$peer" 'BEGIN { printf "books100k.xlsx: Rowcaster %.2f s, SheetJS %.2f s: %.1fx (target 5x)\n", o, p, p / o }'
size=$(stat -c %s "$data/books1m.csv")
rss=$("$build/bench_read" "$data/books1m.csv" inprocess | sed -n 's/.*peak RSS \([0-9.]*\) MB.*/\1/p')
awk -v r="$rss" -v s="$size" 'BEGIN { printf "books1m.csv: %.0f MB of text, peak memory in process %.0f MB: %.2fx the text (target under 2x)\n", s / 1048576, r, r * 1048576 / s }'

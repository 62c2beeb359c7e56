#!/usr/bin/env bash
# Makes (once) the benchmark tables and prints the folder that holds them: books65536.xls and
# books100k.xlsx (SheetJS), books1m.dbf (DBFFile) and books1m.csv, written by bench/gen_books.js
# with npm packages in a throw-away folder.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
data=${BENCH_DATA:-$here/../build/bench-data}
mkdir -p "$data"
if [ ! -s "$data/books65536.xls" ] || [ ! -s "$data/books1m.dbf" ] || [ ! -s "$data/books100k.xlsx" ] || [ ! -s "$data/books1m.csv" ]; then
  npmdir="$data/npm"
  if [ ! -d "$npmdir/node_modules/xlsx" ]; then
    mkdir -p "$npmdir"
    (cd "$npmdir" && npm init -y >/dev/null && npm install --silent xlsx@0.18.5 dbffile@1.13.0 >&2)
  fi
  [ -s "$data/books65536.xls" ] || NODE_PATH="$npmdir/node_modules" node "$here/gen_books.js" xls 65536 "$data/books65536.xls"
  [ -s "$data/books1m.dbf" ] || NODE_PATH="$npmdir/node_modules" node "$here/gen_books.js" dbf 1000000 "$data/books1m.dbf"
  [ -s "$data/books100k.xlsx" ] || NODE_PATH="$npmdir/node_modules" node --max-old-space-size=8192 "$here/gen_books.js" xlsx 100001 "$data/books100k.xlsx"
  [ -s "$data/books1m.csv" ] || NODE_PATH="$npmdir/node_modules" node "$here/gen_books.js" csv 1000000 "$data/books1m.csv"
fi
echo "$data"

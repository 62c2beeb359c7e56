#!/usr/bin/env bash
# Reading speed: a 65,536-row x 20-column .xls (SheetJS) and a 1,000,000-row x 20-column .dbf
# (DBFFile) of book data into the table model, through the guarded reader the program uses and,
# for the cost of the guard, in process. Targets: the .xls under 1 s, the .dbf under 3 s and 1 GB.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${BUILD_DIR:-$here/../build}
data=$("$here/bench_data.sh")
for file in "$data/books65536.xls" "$data/books1m.dbf"; do
  "$build/bench_read" "$file" child
  "$build/bench_read" "$file" inprocess
done

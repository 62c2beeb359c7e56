#!/usr/bin/env bash
# The functions a conversion spends its time in, by perf: the top of the self-time table.
#   bench/profile.sh [CLI] [iso|xls|dbf|dbf-recommended] [LINES]
# CLI defaults to build/rowcaster-cli; LINES (default 20) rows of the table are printed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cli=${1:-$here/../build/rowcaster-cli}
what=${2:-dbf}
lines=${3:-20}
data=$("$here/bench_data.sh")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
now=2026-12-05T23:36:00
case $what in
  iso)
    perl "$here/gen_forms.pl" 50000 "$work/forms.txt" "$work/records.line"
    perf record -q -F 2000 -o "$work/perf.data" sh -c '"$0" iso --now "$1" < "$2" > /dev/null' "$cli" "$now" "$work/forms.txt" ;;
  xls) perf record -q -F 2000 -o "$work/perf.data" "$cli" convert "$data/books65536.xls" --map-by-name --now "$now" -o "$work/out.iso" ;;
  dbf) perf record -q -F 500 -o "$work/perf.data" "$cli" convert "$data/books1m.dbf" --map-by-name --now "$now" -o "$work/out.iso" ;;
  dbf-recommended)
    perf record -q -F 250 -o "$work/perf.data" "$cli" convert "$data/books1m.dbf" --map-by-name --rules recommended \
      --now "$now" -o "$work/out.iso" || [ $? = 1 ] ;;
  *) echo "profile.sh: iso, xls, dbf or dbf-recommended" >&2; exit 2 ;;
esac >/dev/null 2>&1
perf report -i "$work/perf.data" --no-children --sort symbol --stdio 2>/dev/null | grep -E '^ +[0-9]' | head -n "$lines" |
  sed -E 's/\[\.\] //; s/rowcaster::|\(anonymous namespace\)::|\[abi:cxx11\]//g'

#!/usr/bin/env bash
# Builds the same 100,000 CNMARC records twice: with `rowcaster-cli iso` from work forms, and with
# `yaz-marcdump -i line -o marc` from yaz's line format. Both read UTF-8 and write GBK. Prints both
# times, checks that the two files are byte-identical, and prints the ratio on the last line.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cli=${ROWCASTER_CLI:-$here/../build/rowcaster-cli}
count=${1:-100000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

perl "$here/gen_forms.pl" "$count" "$work/forms.txt" "$work/records.line"

now() { date +%s.%N; }
t0=$(now)
"$cli" iso --now 2026-12-05T23:36:00 < "$work/forms.txt" > "$work/rowcaster.mrc"
t1=$(now)
yaz-marcdump -i line -o marc -f UTF-8 -t GBK "$work/records.line" > "$work/yaz.mrc"
t2=$(now)

if cmp -s "$work/rowcaster.mrc" "$work/yaz.mrc"; then same="byte-identical"; else same="DIFFERENT"; fi
calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }
ours=$(calc "$t1 - $t0")
theirs=$(calc "$t2 - $t1")
printf 'records: %d, output %s (%d bytes)\n' "$count" "$same" "$(stat -c %s "$work/rowcaster.mrc")"
printf 'rowcaster-cli iso:  %.3f s  (%.0f records/s)\n' "$ours" "$(calc "$count / $ours")"
printf 'yaz-marcdump:       %.3f s  (%.0f records/s)\n' "$theirs" "$(calc "$count / $theirs")"
printf 'rowcaster %.3f s, yaz-marcdump %.3f s, ratio yaz/rowcaster %.2fx\n' "$ours" "$theirs" "$(calc "$theirs / $ours")"
[ "$same" = "byte-identical" ]

#!/usr/bin/env bash
# Records by both rule sets byte for byte, an earlier build against this one: every table of the
# shared and test fixtures and the benchmark tables converted with the columns mapped by name and the
# same clock, by the classic and the recommended rules, in GBK and UTF-8 (the benchmark tables in GBK).
#   bench/rules_identity.sh OLD_CLI NEW_CLI      (SKIP_1M=1 leaves the 1,000,000-row .dbf out)
# Prints one line per conversion that differs and a closing count; exits 1 when any differs.
set -uo pipefail
old="$1" new="$2"
here=$(cd "$(dirname "$0")" && pwd)
. "$here/identity_lib.sh"
while IFS= read -r -d '' file; do
  while IFS= read -r table; do
    [ -n "$table" ] || continue
    for rules in classic recommended; do
      for enc in gbk utf-8; do
        compare "$rules $enc $(basename "$file") [$table]" convert "$file" --table "$table" --map-by-name \
          --rules "$rules" --now 2026-12-05T23:36:00 --encoding "$enc"
      done
    done
  done < <("$new" tables "$file" 2>/dev/null)
done < <(find "$here/../../shared/fixtures" "$here/../tests/fixtures" -type f \( -name '*.xls' -o -name '*.xlsx' \
  -o -name '*.dbf' -o -name '*.mdb' -o -name '*.accdb' -o -name '*.csv' -o -name '*.tsv' -o -name '*.txt' \) -print0 2>/dev/null | sort -z)
data=$("$here/bench_data.sh")
names=(books65536.xls); [ "${SKIP_1M:-0}" = 1 ] || names+=(books1m.dbf)
for name in "${names[@]}"; do
  for rules in classic recommended; do
    compare "$rules gbk $name" convert "$data/$name" --map-by-name --rules "$rules" --now 2026-12-05T23:36:00
  done
done
echo "rules identity: $runs conversions, $same identical, $differ differ"
[ "$differ" = 0 ]

#!/usr/bin/env bash
# Classic records byte for byte, an earlier build against this one: every table of the shared and
# the test fixtures converted by both with the same mapping and clock, in GBK and UTF-8, compared.
#   bench/classic_identity.sh OLD_CLI NEW_CLI [FIXTURE_FOLDER …]
# Prints one line per table that differs and a closing count; exits 1 when any differs.
set -uo pipefail
old="$1" new="$2"
shift 2
here=$(cd "$(dirname "$0")" && pwd)
folders=("$@")
[ ${#folders[@]} -eq 0 ] && folders=("$here/../../shared/fixtures" "$here/../tests/fixtures")
. "$here/identity_lib.sh"
while IFS= read -r -d '' file; do
  while IFS= read -r table; do
    [ -n "$table" ] || continue
    for enc in gbk utf-8; do
      compare "$enc $(basename "$file") [$table]" convert "$file" --table "$table" --map 1=200a --map 2=010a \
        --map 3=010d --map 4=200f --map 5=210c --map 6=210d --map 7=330a --now 2026-01-02T03:04:05 --encoding "$enc"
    done
  done < <("$new" tables "$file" 2>/dev/null)
done < <(find "${folders[@]}" -type f \( -name '*.xls' -o -name '*.xlsx' -o -name '*.dbf' -o -name '*.mdb' -o -name '*.accdb' -o -name '*.csv' -o -name '*.tsv' \) -print0 | sort -z)
echo "classic identity: $runs conversions, $same identical ($records records), $differ differ"
[ "$differ" = 0 ]

#!/usr/bin/env bash
# Under an address-space limit too small for the table, the command line says so and exits 1,
# without a crash and without touching the output; with room enough it converts the whole table
# (its threads then share one malloc arena instead of crawling).
#   memory_limit_test.sh rowcaster-cli make_dbf.pl
set -u
cli=$1
make_dbf=$2
. "$(dirname "$0")/lib.sh"
perl "$make_dbf" 3 "$work/small.dbf"
perl "$make_dbf" 1000000 "$work/big.dbf"

# The smallest limit (KiB, in 10 MiB steps) at which a three-row table converts: the program itself.
base=
for kib in $(seq 40960 10240 409600); do
  if (ulimit -v "$kib"; exec "$cli" convert "$work/small.dbf" --map-by-name -o "$work/s.iso") >/dev/null 2>&1; then
    base=$kib
    break
  fi
  rm -f "$work/s.iso"
done
check "the program runs under some limit" "$([ -n "$base" ] && echo yes)" yes
echo "program alone: ${base:-?} KiB"

(ulimit -v "${base:-100000}"; exec "$cli" convert "$work/big.dbf" --map-by-name -o "$work/big.iso") >/dev/null 2>"$work/err"
rc=$?
check "a table too big for the limit exits 1 (no crash)" "$rc" 1
check "and says why" "$(grep -c '内存不足' "$work/err")" 1
check "the output is not touched" "$([ -s "$work/big.iso" ] && echo written || echo none)" none

# Limits where the memory runs out while the table is read and converted at once (the classic
# rules compose rows as they come): never a crash; a failed run leaves an existing output as it
# was, a finished one appended every record.
"$cli" convert "$work/small.dbf" --map-by-name -o "$work/kept.iso" >/dev/null 2>&1
cp "$work/kept.iso" "$work/kept.before"
for extra in 0 5120 10240 15360 20480 25600 30720 40960; do
  cp "$work/kept.before" "$work/kept.iso"
  (ulimit -v $(( ${base:-100000} + extra )); exec "$cli" convert "$work/big.dbf" --map-by-name -o "$work/kept.iso") \
    >/dev/null 2>"$work/err"
  rc=$?
  case $rc in
    0) got="finished $(tr -cd '\035' < "$work/kept.iso" | wc -c)"; want="finished 1000003" ;;
    1) got=$(cmp -s "$work/kept.before" "$work/kept.iso" && echo unchanged || echo changed); want=unchanged ;;
    *) got="exit $rc: $(tail -c 200 "$work/err")"; want="exit 0 or 1" ;;
  esac
  check "+$extra KiB: the output whole" "$got" "$want"
done

(ulimit -v $(( ${base:-100000} + 204800 )); exec "$cli" convert "$work/big.dbf" --map-by-name -o "$work/big.iso") >/dev/null 2>"$work/err"
rc=$?
check "with 200 MiB more the whole table converts" "$rc" 0
check "every record written" "$(tr -cd '\035' < "$work/big.iso" | wc -c)" 1000000

finish "memory limits"

#!/usr/bin/env bash
# Interrupted and limited runs leave only whole records, and the next run appends after them:
#  - a converting CLI killed with SIGKILL at random points, then a second run appended: yaz-marcdump
#    reads the file whole, and it holds rows 1..K of the killed run, in order, then the second run;
#  - a run under a file-size limit stops with whole records only, says how many, exits 1.
#   interrupted_test.sh rowcaster-cli make_dbf.pl
set -u
cli=$1
make_dbf=$2
. "$(dirname "$0")/lib.sh"

perl "$make_dbf" 60000 "$work/big.dbf"
perl "$make_dbf" 3 "$work/small.dbf"
out="$work/out.iso"

# The 200 $a of every record yaz-marcdump reads, one a line; its complaints in $work/yaz.err.
titles() { yaz-marcdump -f GBK -t UTF-8 "$1" 2>"$work/yaz.err" | sed -n 's/^200 1  \$a \([^ ]*\) .*/\1/p'; }

for i in $(seq 20); do
  rm -f "$out"
  "$cli" convert "$work/big.dbf" --map-by-name -o "$out" >/dev/null 2>&1 &
  pid=$!
  sleep "0.$(printf '%02d' $((RANDOM % 30 + 1)))"
  kill -9 "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  "$cli" convert "$work/small.dbf" --map-by-name -o "$out" >/dev/null 2>"$work/err"
  rc=$?
  titles "$out" > "$work/titles"
  total=$(wc -l < "$work/titles")
  killed=$((total - 3))
  expected=$( { [ "$killed" -gt 0 ] && seq -f '书名%g' 1 "$killed"; seq -f '书名%g' 1 3; } | md5sum)
  ok=yes
  [ "$rc" = 0 ] || ok="second run exit $rc: $(cat "$work/err")"
  [ -s "$work/yaz.err" ] && ok="yaz-marcdump: $(head -c 300 "$work/yaz.err")"
  [ "$(md5sum < "$work/titles")" = "$expected" ] || ok="records out of order or lost ($total read)"
  check "kill $i: $killed whole records of the killed run, then the second run" "$ok" yes
done

# A file-size limit reached mid-run (the CLI gets EFBIG, not SIGXFSZ).
rm -f "$out"
(ulimit -f 2048; exec "$cli" convert "$work/big.dbf" --map-by-name -o "$out" >/dev/null 2>"$work/err")
rc=$?
check "past the file-size limit exits 1" "$rc" 1
written=$(sed -n 's/.*已写入 \([0-9]*\) 条完整的记录.*/\1/p' "$work/err")
check "the message gives the reason" "$(grep -c '文件太大' "$work/err")" 1
check "the file holds exactly the records said" "$(titles "$out" | wc -l)" "${written:-none}"
check "and nothing else" "$(cat "$work/yaz.err")" ""
check "within the limit" "$([ "$(stat -c %s "$out")" -le $((2048 * 1024)) ] && echo yes)" yes

finish "interrupted runs"

#!/usr/bin/env bash
# Converting a table while it is still being read (appending; the classic rules compose the rows
# as they come, the recommended ones look for repeats among them):
#  - the records and the report are the bytes of a run on the whole table (--overwrite of a new
#    file reads the table first), for .dbf, .csv and .xls, in GBK, UTF-8 and MARCXML, by both rules;
#  - a table whose read fails after the conversion began (its reading process killed) leaves the
#    output as it was: an existing ISO 2709 or MARCXML file byte for byte, a new one not made;
#    exit 1, with the read error and what became of the output;
#  - by the recommended rules, a read failing while the rows are looked at leaves the output as it
#    was, with the read error said;
#  - a read failing before the first records (a text file ending inside quotes, found by the
#    reader's first pass) is said before the output is opened;
#  - a run stopped by SIGINT while the table is read keeps whole records only.
#   while_read_test.sh rowcaster-cli make_dbf.pl FIXTURES
set -u
cli=$1
make_dbf=$2
fixtures=$3
. "$(dirname "$0")/lib.sh"
now=(--now 2026-12-07T10:00:00)

perl "$make_dbf" 30000 "$work/big.dbf"
# 30,000 rows in a text file: past the rows the mapping looks at before the run begins.
awk 'BEGIN { print "200a,010a,010d"; for (i = 1; i <= 30000; i++) printf "书名%d,978-7-%05d-000-0,%d.00\n", i, i, i % 90 + 10 }' \
  > "$work/big.csv"
head -101 "$work/big.csv" > "$work/short.csv"
echo '"书名不完,978-7-99999-000-0,12.00' >> "$work/short.csv"

# 1. The same bytes as a run on the whole table.
same() {  # NAME TABLE ARG...
  local name=$1 table=$2
  shift 2
  rm -f "$work/streamed" "$work/whole" "$work/streamed.tsv" "$work/whole.tsv"
  "$cli" convert "$table" --map-by-name "${now[@]}" "$@" -o "$work/streamed" --report "$work/streamed.tsv" \
    >/dev/null 2>"$work/streamed.err"
  local a=$?
  "$cli" convert "$table" --map-by-name "${now[@]}" "$@" -o "$work/whole" --report "$work/whole.tsv" --overwrite \
    >/dev/null 2>"$work/whole.err"
  local b=$?
  local got=different
  cmp -s "$work/streamed" "$work/whole" && [ -s "$work/whole" ] && got=same
  check "$name: records" "$got $a" "same $b"
  got=different
  cmp -s "$work/streamed.tsv" "$work/whole.tsv" && got=same
  check "$name: report" "$got" same
  check "$name: summary" "$(grep -c '^写入' "$work/streamed.err")" 1
}
same "dbf GBK" "$work/big.dbf"
same "dbf UTF-8" "$work/big.dbf" --encoding utf-8
same "csv MARCXML" "$work/big.csv" --format marcxml
same "fixture xls GB18030" "$fixtures/messy_library.xls" --encoding gb18030
same "fixture csv" "$fixtures/excel_gbk.csv"
same "dbf GBK recommended" "$work/big.dbf" --rules recommended
same "csv UTF-8 recommended" "$work/big.csv" --rules recommended --encoding utf-8
same "fixture xls recommended" "$fixtures/messy_library.xls" --rules recommended
records=$(tr -cd '\035' < "$work/streamed" | wc -c)
yaz-marcdump "$work/whole" >/dev/null 2>"$work/yaz.err"
check "fixture csv: yaz-marcdump reads it without a complaint" "$(wc -c < "$work/yaz.err")" 0
[ "$records" -gt 0 ] || check "fixture csv: records" "$records" "more than 0"

# 2. A read failing after the run began (its reading process killed once records were written):
# the output is as it was.
perl "$make_dbf" 400000 "$work/huge.dbf"
head -4 "$work/big.csv" > "$work/three.csv"
"$cli" convert "$work/three.csv" --map-by-name "${now[@]}" -o "$work/held.iso" >/dev/null 2>&1
"$cli" convert "$work/three.csv" --map-by-name "${now[@]}" --format marcxml -o "$work/held.xml" >/dev/null 2>&1
# broken OUT UNTIL ARG...: converts huge.dbf into OUT with ARG... and kills the reading process
# once UNTIL (a shell condition) holds. The reading process is let run a few milliseconds at a
# time, so that it cannot reach the end of the table first however busy the machine is.
broken() {
  local out=$1 until=$2 child=""
  shift 2
  "$cli" convert "$work/huge.dbf" --map-by-name "${now[@]}" "$@" -o "$out" >/dev/null 2>"$work/err" &
  local pid=$!
  for _ in $(seq 1000); do
    child=$(pgrep -f "rowcaster-cli read .*huge.dbf")
    [ -n "$child" ] && break
    sleep 0.002
  done
  kill -STOP $child
  for _ in $(seq 3000); do
    eval "$until" && break
    kill -CONT $child
    sleep 0.002
    kill -STOP $child
  done
  kill -KILL $child
  wait "$pid"
}
# grown FILE SIZE: FILE has grown by more than a block past SIZE.
grown() { [ "$(stat -c %s "$1" 2>/dev/null || echo 0)" -gt "$(($2 + 4096))" ]; }
# The classic rules are stopped once records were written; the recommended ones write none before
# the whole table is looked at, and are stopped once the run has begun (the mapping said).
for case in "held.iso iso2709 classic" "held.xml marcxml classic" "held.iso iso2709 recommended"; do
  read -r out format rules <<< "$case"
  until="grown $work/$out $(stat -c %s "$work/$out")"
  [ "$rules" = recommended ] && until="grep -q 列的对应 $work/err"
  cp "$work/$out" "$work/before"
  broken "$work/$out" "$until" --format "$format" --rules "$rules"
  check "$out $rules: exit" "$?" 1
  got=changed
  cmp -s "$work/before" "$work/$out" && got=unchanged
  check "$out $rules: the file as it was" "$got" unchanged
  check "$out $rules: the run had begun" "$(grep -c '列的对应' "$work/err")" 1
  check "$out $rules: the read error said" "$(grep -c '读取数据文件出错' "$work/err")" 1
  check "$out $rules: what became of the output said" "$(grep -c '输出文件和转换前一样' "$work/err")" 1
done
rm -f "$work/new.iso"
broken "$work/new.iso" "grown $work/new.iso 0"
check "new file: exit" "$?" 1
check "new file: not left behind" "$([ -e "$work/new.iso" ] && echo left || echo gone)" gone

# 3. A read failing before the run began: said, and the output never opened.
"$cli" convert "$work/short.csv" --map-by-name "${now[@]}" -o "$work/short.iso" >/dev/null 2>"$work/err"
check "short: exit" "$?" 1
check "short: the read error said" "$(grep -c '读取数据文件出错' "$work/err")" 1
check "short: no output made" "$([ -e "$work/short.iso" ] && echo made || echo none)" none

# 4. SIGINT while the table is still being read: whole records only, and the stop is said.
rm -f "$work/stopped.iso"
"$cli" convert "$work/huge.dbf" --map-by-name "${now[@]}" -o "$work/stopped.iso" >/dev/null 2>"$work/err" &
pid=$!
for _ in $(seq 100); do
  [ -s "$work/stopped.iso" ] && break
  sleep 0.05
done
kill -INT "$pid"
wait "$pid"
rc=$?
said=$(sed -n 's/.*已停止，写入了 \([0-9]*\) 条记录.*/\1/p' "$work/err")
records=$(tr -cd '\035' < "$work/stopped.iso" | wc -c)
yaz-marcdump -f GBK -t UTF-8 "$work/stopped.iso" >/dev/null 2>"$work/yaz.err"
check "stopped: exit" "$rc" 1
check "stopped: the records said are the records written" "$said" "$records"
check "stopped: fewer than the table's rows" "$([ "${records:-0}" -lt 400000 ] && echo fewer)" fewer
check "stopped: yaz-marcdump reads them whole" "$(wc -c < "$work/yaz.err")" 0

finish "cli.while_read"

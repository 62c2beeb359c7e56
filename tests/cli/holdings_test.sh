#!/usr/bin/env bash
# The holdings presets end to end: a table with barcode ranges, lists and one row a copy (written
# by Python's csv module) converted with each preset, the records read back by yaz-marcdump and by
# Perl's MARC::Record; Koha's items use only the 995 subfields Koha's UNIMARC framework defines.
set -u
cli="$1"
. "$(dirname "$0")/lib.sh"
python3 - "$work/holdings.csv" <<'PY'
import csv, sys
with open(sys.argv[1], "w", newline="", encoding="utf-8") as f:
    w = csv.writer(f)
    w.writerow(["书名", "ISBN", "定价", "条码", "复本", "中图号", "种次号"])
    w.writerow(["长江三峡", "9787302123453", "25.00", "T0001-T0003", "3", "TP312", "123"])
    w.writerow(["数据库系统概念", "9787111400851", "99.00", "0010201-05", "4", "TP311.13", ""])
    w.writerow(["音乐欣赏", "", "18.00", "B001,B002", "", "J60", "7"])
PY
conv() { "$cli" convert "$work/holdings.csv" --map-by-name --map 条码=905b --map 复本=905f --map 种次号=905e \
  --rules recommended --agency 110001 --location 书库 --item-type BK --now 2026-12-07T10:00:00 --overwrite "$@" 2>"$work/err"; }

conv --holdings 905 -o "$work/one.iso"
yaz-marcdump -f GBK -t UTF-8 "$work/one.iso" >"$work/one.txt" 2>"$work/yaz.err"
check "905: yaz reads it" "$(cat "$work/yaz.err")" ""
check "905: one a record, ranges kept" "$(grep -c '^905' "$work/one.txt")" 3
check "905: a range and its call number" "$(grep -c '^905    \$a 书库 \$b T0001-T0003 \$d TP312 \$e 123 \$f 3 \$s TP312/123$' "$work/one.txt")" 1
check "905: the copies that disagree are told" "$(grep -c '1 行复本数与条形码数目不符' "$work/err")" 1

conv --holdings 905-per-copy -o "$work/each.iso"
check "905-per-copy: a field a copy" "$(yaz-marcdump -f GBK -t UTF-8 "$work/each.iso" | grep -c '^905')" 10

conv --holdings koha-unimarc -o "$work/koha.iso"
yaz-marcdump -f UTF-8 -t UTF-8 "$work/koha.iso" >"$work/koha.txt" 2>"$work/yaz.err"
check "koha: yaz reads it as UTF-8" "$(cat "$work/yaz.err")" ""
check "koha: a 995 a copy" "$(grep -c '^995' "$work/koha.txt")" 10
check "koha: UTF-8 in 100 \$a/26-29" "$(grep -c '^100    \$a .\{26\}50  ' "$work/koha.txt")" 3
# MARC::Record reads the same items; the subfields used are those Koha's UNIMARC framework gives
# 995 ($b homebranch, $c holdingbranch, $e location, $f barcode, $k itemcallnumber, $r type).
perl -MMARC::File::USMARC -e '
  binmode STDOUT, ":utf8";
  my $f = MARC::File::USMARC->in($ARGV[0]); my ($items, %codes) = (0);
  while (my $r = $f->next()) { for my $i ($r->field("995")) { $items++; $codes{$_->[0]}++ for $i->subfields(); } }
  print "$items ", join("", sort keys %codes), "\n";' "$work/koha.iso" >"$work/perl.txt" 2>&1
check "koha: MARC::Record reads the items" "$(cat "$work/perl.txt")" "10 bcefkr"
check "koha: the first barcode" "$(grep -m1 '^995' "$work/koha.txt")" '995    $b 110001 $c 110001 $e 书库 $f T0001 $k TP312/123 $r BK'

conv --holdings '985  |a{barcode}|b{callno}|c{copy}' -o "$work/own.iso"
check "a template of one's own" "$(yaz-marcdump -f GBK -t UTF-8 "$work/own.iso" | grep -c '^985    \$a ')" 10
"$cli" convert "$work/holdings.csv" --map-by-name --rules recommended --holdings 9a5 --dry-run >/dev/null 2>&1
check "an unknown preset is a usage error" "$?" 2
# Without a preset the recommended 905 is as before; the classic rules keep their own line.
conv -o "$work/none.iso"
check "no preset: one 905 of the row's subfields" "$(yaz-marcdump -f GBK -t UTF-8 "$work/none.iso" | grep -c '^905    \$a 110001 \$b T0001-T0003 \$e 123 \$f 3$')" 1
# One row a copy: the rows of one book give one record with every copy.
python3 - "$work/copies.csv" <<'PY'
import csv, sys
with open(sys.argv[1], "w", newline="", encoding="utf-8") as f:
    w = csv.writer(f)
    w.writerow(["书名", "ISBN", "定价", "条码"])
    for code in ["C0101", "C0102", "C0103"]:
        w.writerow(["长江三峡", "9787302123453", "25.00", code])
PY
"$cli" convert "$work/copies.csv" --map-by-name --map 条码=905b --rules recommended --agency 110001 --holdings koha-unimarc \
  --now 2026-12-07T10:00:00 -o "$work/copies.iso" 2>/dev/null
check "one row a copy: one record" "$(yaz-marcdump -f UTF-8 -t UTF-8 "$work/copies.iso" | grep -c '^001')" 1
check "one row a copy: its three items" "$(yaz-marcdump -f UTF-8 -t UTF-8 "$work/copies.iso" | grep '^995' | sed 's/.*\$f \([^ ]*\).*/\1/' | tr '\n' ' ')" "C0101 C0102 C0103 "
finish holdings

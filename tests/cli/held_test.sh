#!/usr/bin/env bash
# The holdings check (查重) of a conversion: against an export of the library's catalogue (ISO 2709
# in GBK and UTF-8 written by another program, MARCXML written by yaz-marcdump) and against the
# catalogue itself on a Zebra server; held rows skipped, converted anyway, or given their items
# only; a profile's own catalogue checked and never copied from; the preview says it too.
set -u
cli="$1"
cat_dir="$2"
. "$(dirname "$0")/lib.sh"
. "$cat_dir/zebra_lib.sh"
trap 'zebra_stop; rm -rf "$work"' EXIT
export XDG_CACHE_HOME="$work/cache" XDG_CONFIG_HOME="$work/config"

zebra_start "$work/zebra" 60 || { echo "FAIL zebra did not start"; cat "$work/zebra/"*.log; exit 1; }
own="z3950://127.0.0.1:$zebra_port/CNUTF8?name=本馆"
cp "$work/zebra/gbk.iso" "$work/held-gbk.iso"
cp "$work/zebra/utf8.iso" "$work/held-utf8.iso"
yaz-marcdump -i marc -o marcxml -f UTF-8 -t UTF-8 "$work/held-utf8.iso" > "$work/held.xml" 2>/dev/null

# Rows: 1 held by ISBN-13, 2 held by ISBN-10, 3 held by title/author/publisher/year (no ISBN),
# 4 not held, 5 a held book's title under another valid ISBN (another book), 6 held, with copies.
book() { sed -n "${1}p" "$work/zebra/books.tsv"; }
{
  printf 'ISBN,题名,责任者,出版社,出版年,定价,条形码\n'
  IFS=$'\t' read -r i t a p y _ <<< "$(book 1)"; printf '%s,%s,%s著,%s,%s,45.00,\n' "$i" "$t" "$a" "$p" "$y"
  IFS=$'\t' read -r i t a p y _ <<< "$(book 5)"; printf '7532700054,%s,%s著,%s,%s,30.00,\n' "$t" "$a" "$p" "$y"
  IFS=$'\t' read -r i t a p y _ <<< "$(book 9)"; printf ',%s,%s著,%s,%s,28.00,\n' "$t" "$a" "$p" "$y"
  printf '978-7-5327-0999-1,不在目录里的书,王五著,上海译文出版社,2020,35.00,\n'
  IFS=$'\t' read -r i t a p y _ <<< "$(book 12)"; printf '978-7-5327-0998-4,%s,%s著,%s,%s,22.00,\n' "$t" "$a" "$p" "$y"
  IFS=$'\t' read -r i t a p y _ <<< "$(book 3)"; printf '%s,%s,%s著,%s,%s,20.00,T0001-T0003\n' "$i" "$t" "$a" "$p" "$y"
} > "$work/table.csv"
convert() {
  "$cli" convert "$work/table.csv" --map-by-name --map 条形码=905b --rules recommended --agency 110001 \
    --now 2026-12-05T23:36:00 --no-lookup-cache --overwrite "$@"
}
kinds() { cut -f6 "$1" | grep -c "^$2$"; }
rows_of() { awk -F'\t' -v k="$2" '$6 == k { printf "%s%s", sep, $1; sep = " " }' "$1"; }

# An export file in each form: the same rows held, by ISBN and by title.
for held in held-gbk.iso held-utf8.iso held.xml; do
  convert --check-holdings "$work/$held" -o "$work/skip.iso" --report "$work/skip.tsv" 2>"$work/skip.err"
  check "$held: skip exits 0" "$?" 0
  check "$held: held rows skipped" "$(rows_of "$work/skip.tsv" held-skipped)" "1 2 3 6"
  check "$held: the rest written" "$(yaz-marcdump -f GBK -t UTF-8 "$work/skip.iso" 2>/dev/null | grep -c '^001 ')" 2
  check "$held: row 3 matched by title, naming the held record" \
    "$(grep -c $'^3\t.*held-skipped\t\t.*CAT000009.*题名' "$work/skip.tsv")" 1
  check "$held: summary" "$(grep -c '查重：4 行本馆已有，其中 4 行没有转换' "$work/skip.err")" 1
done
check "no row failed" "$(grep -c '0 行没有生成记录' "$work/skip.err")" 1

# The classic rules check the same way, in either encoding.
for enc in gbk utf-8; do
  "$cli" convert "$work/table.csv" --map-by-name --now 2026-12-05T23:36:00 --encoding "$enc" --overwrite \
    --check-holdings "$work/held-gbk.iso" -o "$work/classic-$enc.iso" --report "$work/classic.tsv" 2>/dev/null
  check "classic $enc: held rows skipped" "$(rows_of "$work/classic.tsv" held-skipped)" "1 2 3 6"
  check "classic $enc: the rest written" "$(yaz-marcdump -f "${enc^^}" -t UTF-8 "$work/classic-$enc.iso" 2>/dev/null | grep -c '^001 ')" 2
done

convert --check-holdings "$work/held-gbk.iso" --held convert -o "$work/conv.iso" --report "$work/conv.tsv" 2>/dev/null
check "convert: every row written" "$(yaz-marcdump -f GBK -t UTF-8 "$work/conv.iso" 2>/dev/null | grep -c '^001 ')" 6
check "convert: held rows reported" "$(rows_of "$work/conv.tsv" held-converted)" "1 2 3 6"
convert -o "$work/plain.iso" 2>/dev/null
check "convert: the records are those of a run without the check" "$(cmp -s "$work/plain.iso" "$work/conv.iso" && echo same)" same

# Items only, with Koha's item field: a brief record the system matches on 010 or 035.
convert --check-holdings "$work/held-utf8.iso" --holdings items --holdings koha-unimarc --encoding utf-8 \
  -o "$work/items.iso" --report "$work/items.tsv" 2>/dev/null
yaz-marcdump "$work/items.iso" > "$work/items.txt" 2>"$work/yaz.err"
check "items: yaz-marcdump reads every record" "$(grep -c '^001 ' "$work/items.txt")" 6
check "items: no complaint" "$(wc -c < "$work/yaz.err")" 0
rec() { awk -v n="$1" 'BEGIN{RS=""} NR==n' "$work/items.txt"; }
check "items: row 6 brief, the held id in 035" "$(rec 6 | grep -c '^035    \$a (held-utf8.iso)CAT000003$')" 1
check "items: row 6 a 995 per copy" "$(rec 6 | grep -c '^995 .*\$f T000[123]')" 3
check "items: row 6 keeps 010 and 200, drops 210" "$(rec 6 | grep -c '^010 \|^200 \|^210 ')" 2
check "items: row 4 (not held) whole" "$(rec 4 | grep -c '^210 \|^035 ')" 1
check "items: held rows reported" "$(rows_of "$work/items.tsv" held-items-only)" "1 2 3 6"
# Held rows whose items only are written are not looked up for copying: rows 4 and 5 are asked.
convert --check-holdings "$work/held-utf8.iso" --held items --copy-from "z3950://127.0.0.1:$zebra_port/CNUTF8" \
  -o "$work/items-copy.iso" 2>"$work/items-copy.err"
check "items: held rows not looked up" "$(grep -c '查询 2 次' "$work/items-copy.err")" 1
perl -MMARC::Record -MMARC::File::USMARC -e '
  my $f = MARC::File::USMARC->in($ARGV[0]); my $n = 0;
  while (my $r = $f->next) { $n++ if $r->field("035") } print "$n\n"' "$work/items.iso" > "$work/perl.out" 2>&1
check "items: MARC::Record reads the brief records" "$(cat "$work/perl.out")" 4

# The library's catalogue as a target: by ISBN; by title too when allowed.
convert --check-holdings "$own" -o "$work/target.iso" --report "$work/target.tsv" 2>"$work/target.err"
check "target: rows held by ISBN skipped" "$(rows_of "$work/target.tsv" held-skipped)" "1 2 6"
check "target: summary" "$(grep -c '查重：3 行本馆已有，其中 3 行没有转换' "$work/target.err")" 1
convert --check-holdings "$own" --copy-by-title -o "$work/target.iso" --report "$work/target.tsv" 2>/dev/null
"$cli" convert "$work/table.csv" --map-by-name --rules recommended --now 2026-12-05T23:36:00 --overwrite \
  --check-holdings "$own" --copy-from "z3950://127.0.0.1:$zebra_port/CNGBK?name=联合目录&charset=gbk" \
  -o "$work/cached.iso" 2>/dev/null
kept() { python3 -c 'import sqlite3, sys; print(sum(sys.argv[2] in l for l in sqlite3.connect(sys.argv[1]).iterdump()))' \
  "$XDG_CACHE_HOME/rowcaster/catalogue.db" "$1"; }
check "the copies are cached" "$(( $(kept CNGBK) > 0 ))" 1
check "the holdings are asked afresh every run, never cached" "$(kept CNUTF8)" 0
check "target by title: row 3 too" "$(rows_of "$work/target.tsv" held-skipped)" "1 2 3 6"
convert --check-holdings "z3950://127.0.0.1:$(free_port)/CNUTF8?name=DOWN" -o "$work/down.iso" \
  --report "$work/down.tsv" 2>/dev/null
check "target down: every row converted" "$(cmp -s "$work/plain.iso" "$work/down.iso" && echo same)" same
check "target down: told" "$(kinds "$work/down.tsv" target-unavailable)" 1

# A profile whose targets include the library's own: checked, never copied from.
cat > "$work/profile.json" <<EOF
{"format": "rowcaster-profile", "rules": "recommended", "agency": "110001",
 "targets": ["z3950://127.0.0.1:$zebra_port/CNUTF8?name=本馆&own=yes",
             "z3950://127.0.0.1:$zebra_port/CNGBK?name=联合目录&charset=gbk"],
 "held": "convert"}
EOF
"$cli" convert "$work/table.csv" --profile "$work/profile.json" --map-by-name --now 2026-12-05T23:36:00 \
  --no-lookup-cache --overwrite -o "$work/profile.iso" --report "$work/profile.tsv" 2>/dev/null
check "profile: own catalogue checked" "$(rows_of "$work/profile.tsv" held-converted)" "1 2 6"
check "profile: copied from the union catalogue only" "$(grep -c $'copied-from\t\t.*联合目录' "$work/profile.tsv")" 3
check "profile: never from its own" "$(grep -c $'copied-from\t\t.*本馆' "$work/profile.tsv")" 0
mkdir -p "$work/cfg2/rowcaster"
printf '["z3950://127.0.0.1:1/A?name=本馆&own=yes", "z3950://127.0.0.1:1/B?name=联合"]' > "$work/cfg2/rowcaster/targets.json"
check "targets marks the own catalogue" "$(XDG_CONFIG_HOME="$work/cfg2" "$cli" targets | cut -f3 | paste -sd/)" "本馆目录（查重）/"

# The preview says what the run would do.
got=$("$cli" preview "$work/table.csv" --map-by-name --rules recommended --row 1 --check-holdings "$work/held.xml" 2>&1)
check "preview: held" "$(grep -c '本馆已有（held.xml 记录号 CAT000001，按 ISBN），没有转换' <<< "$got")" 1
got=$("$cli" preview "$work/table.csv" --map-by-name --rules recommended --row 1 --no-lookup-cache \
  --copy-from "z3950://127.0.0.1:$zebra_port/CNGBK?name=联合目录&charset=gbk" 2>&1)
check "preview: the copied record" "$(grep -c '^035    \$a (联合目录)CAT000001\|套录自 联合目录' <<< "$got")" 2

# Files that give nothing are refused before anything is written.
printf 'ISBN,题名\n' > "$work/not-marc.csv"
convert --check-holdings "$work/not-marc.csv" -o "$work/none.iso" 2>"$work/none.err"
check "not an export: exit 1" "$?" 1
check "not an export: said" "$(grep -c '中没有一条完整的记录' "$work/none.err")" 1
check "not an export: nothing written" "$(test -e "$work/none.iso" && echo written)" ""
convert --check-holdings "$work/missing.iso" -o "$work/none.iso" 2>"$work/none.err"
check "a missing export: exit 1" "$?" 1
check "a missing export: said as a file" "$(grep -c 'missing.iso 不存在' "$work/none.err")" 1
convert --check-holdings "$work/table.csv" --held maybe -o "$work/none.iso" 2>/dev/null
check "--held maybe: usage error" "$?" 2
finish held_test

#!/usr/bin/env bash
# rowcaster-cli tables, dump, convert, compose and pinyin from the outside: what they print and how
# they exit.
set -u
cli="$1"
fix="$2"
. "$(dirname "$0")/lib.sh"

check "tables of a workbook" "$("$cli" tables "$fix/sheetjs_biff8.xls" | tr '\n' '|')" '图书$|Sheet 2$|空表$|it'"'"'s $$|'
check "tables of a .dbf is its file" "$("$cli" tables "$fix/dbffile_vfp.dbf")" "dbffile_vfp.dbf"
check "dump escapes tab and line feed" "$("$cli" dump "$fix/sheetjs_biff8.xls" | sed -n '3p;4p' | cut -f1,7 | tr '\n\t' '||')" \
  '长江三峡|含“引号”与\t制表符|C++程序设计|第二行\n换行|'
check "dump of another sheet" "$("$cli" dump "$fix/sheetjs_biff8.xls" --table 'Sheet 2$' | head -1)" "$(printf 'Title\tF2\tPrice')"
"$cli" dump /nonexistent/x.xls >/dev/null 2>"$work/err"; rc=$?
check "a missing file exits 1" "$rc" 1
check "with the window's text" "$(head -1 "$work/err")" "选择的数据文件不存在！"
printf 'junk' > "$work/bad.xls"
"$cli" dump "$work/bad.xls" >/dev/null 2>"$work/err"; rc=$?
check "a damaged file exits 1" "$rc" 1
check "with the read-error text" "$(head -1 "$work/err")" "读取数据文件出错！"

for c in convert compose tables dump iso pinyin read; do
  "$cli" "$c" --help > "$work/help" 2>&1; rc=$?
  check "$c --help exits 0" "$rc" 0
  check "$c --help is its own" "$(sed -n 2p "$work/help" | awk '{print $1}')" "$c"
done
# A profile saved from flags converts to the same bytes as the flags themselves.
printf '200 1  {200a}{200f}\r\n010    {010a}{010d}\r\n{701}\r\n801  0 |aCN{801b}|c{bmrq}\r\n' > "$work/t.txt"
flags=(--rules recommended --agency 110001 --template "$work/t.txt" --map 2=200a --map 作者=200f --map-by-name)
"$cli" convert "$fix/messy_vendor.xls" "${flags[@]}" --now 2026-12-05T23:36:00 -o "$work/flags.iso" 2>/dev/null
"$cli" profile save "$work/p.json" "${flags[@]}"
check "profile save exits 0" "$?" 0
"$cli" convert "$fix/messy_vendor.xls" --profile "$work/p.json" --now 2026-12-05T23:36:00 -o "$work/profile.iso" 2>/dev/null
check "the profile converts to the same bytes" "$(cmp -s "$work/flags.iso" "$work/profile.iso" && echo same)" same
check "and wrote the records" "$(tr -cd '\035' < "$work/profile.iso" | wc -c)" 420
"$cli" convert "$fix/messy_vendor.xls" --profile 推荐 --agency 110001 --now 2026-12-05T23:36:00 -o "$work/builtin.iso" 2>/dev/null
check "the built-in 推荐 maps by names (a flag beside it wins)" "$(yaz-marcdump -f GBK -t UTF-8 "$work/builtin.iso" | grep -c '^801  0 \$a CN \$b 110001')" 420
printf '{"format": "rowcaster-profile", "rules": ' > "$work/bad.json"
"$cli" convert "$fix/messy_vendor.xls" --profile "$work/bad.json" -o "$work/bad.iso" 2>"$work/err"
check "a damaged profile is refused with exit 1" "$?" 1
check "saying why" "$(grep -c '不是有效的 JSON' "$work/err")" 1
# A CSV as Excel on Chinese Windows saves it, converted by its column names.
"$cli" convert "$fix/excel_gbk.csv" --map-by-name --rules recommended -o "$work/csv.iso" 2>/dev/null
check "a GBK CSV converts" "$(tr -cd '\035' < "$work/csv.iso" | wc -c)" 4
check "its text read right" "$(yaz-marcdump -f GBK -t UTF-8 "$work/csv.iso" | grep -c '^200 1  \$a 银行会计学')" 1
check "--version" "$("$cli" --version)" "rowcaster-cli $(sed -n 's/^project(Rowcaster VERSION \([0-9.]*\).*/\1/p' "$fix/../../CMakeLists.txt")"
out="$work/out.iso"
summary=$("$cli" convert "$fix/sheetjs_biff8.xls" --map-by-name --now 2026-12-05T23:36:00 -o "$out" 2>&1); rc=$?
check "convert by name exits 0" "$rc" 0
check "convert says the mapping first" "$(head -1 <<<"$summary")" \
  "列的对应：200a → 200a，010a → 010a，010d → 010d，210d → 210d，200f → 200f，210c → 210c，note → 300a"
summary=$(tail -1 <<<"$summary")
check "then what it wrote" "${summary%%（*}" "写入 5 条记录，0 条有警告，0 行没有生成记录"
summary=$(LANGUAGE=en "$cli" convert "$fix/sheetjs_biff8.xls" --map-by-name --now 2026-12-05T23:36:00 --overwrite -o "$out" 2>&1 | tail -1)
check "in English where the locale asks for it" "${summary%% (*}" "written 5 records, 0 with warnings, 0 rows failed"
check "five records in the file" "$(tr -cd '\035' < "$out" | wc -c)" 5
"$cli" convert "$fix/sheetjs_biff8.xls" --map 1=200a --map 010a=010a -o "$out" >/dev/null 2>"$work/err"; rc=$?
check "a missing price refuses the run" "$rc" 1
check "with the required-field text" "$(cat "$work/err")" "对不起，必备字段：“价格”不能为忽略！请重新选择！"
"$cli" convert "$fix/sheetjs_biff8.xls" --map 9=200a -o "$out" >/dev/null 2>&1; rc=$?
check "an unknown column is a usage error" "$rc" 2
# One column given two codes, by its name or by its number, is a usage error; so in a profile.
for twice in "--map 200a=200a --map 200a=200e" "--map 200a=200a --map 1=200e" "--map 1=200a --map 1=200a"; do
  # shellcheck disable=SC2086
  "$cli" convert "$fix/sheetjs_biff8.xls" $twice -o "$out" >/dev/null 2>"$work/err"; rc=$?
  check "$twice: a usage error" "$rc" 2
  check "$twice: saying so" "$(grep -c 'already mapped by another --map' "$work/err")" 1
done
"$cli" profile save "$work/twice.json" --map 书名=200a --map 书名=200e 2>"$work/err"; rc=$?
check "profile save: one column twice is a usage error" "$rc" 2
check "and nothing is saved" "$(test -e "$work/twice.json" && echo saved)" ""
"$cli" profile save "$work/twice.json" --map 2=200a --map 2=200e 2>/dev/null; rc=$?
check "profile save: one position twice too" "$rc" 2
"$cli" profile save "$work/twice.json" --map 书名=200a --map 2=200e --map 题名=200f; rc=$?
check "profile save: other columns are fine" "$rc" 0

# Mapping by names looks at the values: a column named for a code its values do not fit is left
# and said why, a category column is offered, and the mapping is said before converting.
headers="$fix/headers"
"$cli" convert "$headers/distributor_prices_in_pages.csv" --map-by-name --rules recommended --dry-run >/dev/null 2>"$work/err"; rc=$?
check "by name with columns left: exit 0" "$rc" 0
check "the mapping, first" "$(sed -n 1p "$work/err")" "列的对应：name → 200a，authors → 200f，press → 210c，pub_date → 210d，isbn13 → 010a"
check "the columns left" "$(sed -n 2p "$work/err")" "没有对应的列：page，discount，category"
check "the page column of prices" "$(sed -n 3p "$work/err")" "“page”没有对应 215a：这一列的值是价格（如“67.80”）"
check "the category column offered" "$(sed -n 4p "$work/err")" "“category”是图书的类别，没有对应；可以对应 690a 或 606a（--map category=690a）"
LANGUAGE=en "$cli" convert "$headers/distributor_prices_in_pages.csv" --map-by-name --rules recommended --dry-run >/dev/null 2>"$work/err"
check "in English" "$(sed -n 3p "$work/err")" '"page" not mapped to 215a: its values are prices (such as "67.80")'
"$cli" convert "$headers/distributor_prices_in_pages.csv" --map-by-name --map category=690a --map page=010d --rules recommended --dry-run >/dev/null 2>"$work/err"
check "a --map beside it wins and is shown" "$(sed -n 1p "$work/err")" \
  "列的对应：name → 200a，authors → 200f，press → 210c，pub_date → 210d，isbn13 → 010a，page → 010d，category → 690a"
check "and leaves nothing to say of those" "$(grep -c 'page\|category' "$work/err")" 1
"$cli" convert "$headers/numbered_titles.csv" --map-by-name --rules recommended --dry-run >/dev/null 2>"$work/err"
check "a title column of numbers leaves 200a to the next" "$(grep -c '^列的对应：book_name → 200a，' "$work/err")" 1
check "and is said" "$(grep -c '^“title”没有对应 200a：这一列的值只有数字（如“1”）$' "$work/err")" 1
printf '序号,名称
1,2
2,3
' > "$work/notitle.csv"
"$cli" convert "$work/notitle.csv" --map-by-name --rules recommended --dry-run >/dev/null 2>"$work/err"; rc=$?
check "no title column: exit 1" "$rc" 1
check "the columns listed" "$(grep -c '^没有一列对应题名（200a），无法转换。表格的列：序号，名称$' "$work/err")" 1
check "and --map suggested" "$(grep -c -- '--map 列名=200a' "$work/err")" 1
"$cli" preview "$work/notitle.csv" --map 1=200f >/dev/null 2>"$work/err"; rc=$?
check "without names too" "$rc" 1
check "saying the same" "$(grep -c '^没有一列对应题名（200a）' "$work/err")" 1
"$cli" convert "$work/notitle.csv" --map-by-name --map 名称=200a --rules recommended --dry-run >/dev/null 2>&1; rc=$?
check "--map names the title's column" "$rc" 0
# A translator column's bare names are translators (702 译), another column's as they were.
"$cli" preview "$headers/library_system.xlsx" --map-by-name --rules recommended --row 2 2>/dev/null >"$work/out"
check "a translator column gives 702 译" "$(grep -c '^702  0 \$a 王强 \$A wang qiang \$4 译$' "$work/out")" 1
check "and 200 \$g with 译" "$(grep -c '\$g 王强译$' "$work/out")" 1
"$cli" convert "$fix/sheetjs_biff8.xls" --map-by-name --cbk /nonexistent/cbk.db -o "$work/o2.iso" >/dev/null 2>"$work/err"; rc=$?
check "failed rows exit 1" "$rc" 1
check "and name the first reason" "$(grep -c '^第一个未生成记录的是第 1 行：出版社库不能用：.*/nonexistent/cbk.db' "$work/err")" 1
LANGUAGE=en "$cli" convert "$fix/sheetjs_biff8.xls" --map-by-name --cbk /nonexistent/cbk.db --dry-run >"$work/out" 2>"$work/err"
# A damaged workbook: the next step, in Chinese, no English words of the library that read it.
printf 'PK\003\004garbage' >"$work/damaged.xlsx"
head -c 3000 "$fix/sheetjs_biff8.xls" >"$work/damaged.xls"
dd if=/dev/urandom of="$work/damaged.xls" bs=1 seek=520 count=300 conv=notrunc 2>/dev/null
for f in damaged.xlsx damaged.xls; do
  said=$("$cli" dump "$work/$f" 2>&1 >/dev/null)
  check "$f names the next step" "$(printf '%s' "$said" | grep -c '请在 Excel 或 WPS 中打开它')" 1
  check "$f says no English" "$(printf '%s' "$said" | grep -c '[A-Za-z]\{4,\} [a-z]\{3,\}')" 0
done
# The user's locale decides: Chinese under a Chinese one, English under C.UTF-8 or another.
for case in "zh_CN.UTF-8|写入 5 条记录" "C.UTF-8|written 5 records" "en_GB.UTF-8|written 5 records" "zh_TW.UTF-8|写入 5 条记录"; do
  locale=${case%%|*}
  said=$(env -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG="$locale" "$cli" convert "$fix/sheetjs_biff8.xls" --map-by-name --dry-run 2>&1 >/dev/null)
  check "LANG=$locale speaks its language" "$(printf '%s\n' "$said" | grep -c "^${case#*|}")" 1
done
check "the same in English" "$(grep -c '^first failure, row 1: the publisher table cannot be used: .*/nonexistent/cbk.db' "$work/err")" 1
check "the report too" "$(sed -n 2p "$work/out" | grep -c "$(printf '\tError\tpublisher-table-unusable\t\tthe publisher table cannot be used: ')")" 1

# Encodings and formats: one table, the same records in each, read back by yaz in its encoding.
printf '题名,ISBN,定价\n䶮𠀀之书 • Müller,9787302601050,45.00\n普通书,7302256845,20\n' > "$work/wide.csv"
for enc in gbk gb18030 utf-8; do
  "$cli" convert "$work/wide.csv" --map-by-name --now 2026-12-07T10:00:00 --encoding $enc -o "$work/wide.$enc" 2>"$work/err.$enc"
  yaz-marcdump -f $enc -t UTF-8 "$work/wide.$enc" > "$work/wide.$enc.txt" 2>"$work/yaz.$enc"
  check "$enc: read back without a warning" "$(cat "$work/yaz.$enc")" ""
done
check "GBK writes what it lacks as ?" "$(grep -c '^200 1  \$a ??之书 ? Müller' "$work/wide.gbk.txt")" 1
check "and says how many, and what keeps them" "$(grep -c '^1 条记录里共有 3 个字符 GBK 中没有，写成了“?”.*GB18030 或 UTF-8' "$work/err.gbk")" 1
check "GB18030 keeps Extension A and B" "$(grep -c '^200 1  \$a 䶮𠀀之书 • Müller' "$work/wide.gb18030.txt")" 1
check "so does UTF-8" "$(grep -c '^200 1  \$a 䶮𠀀之书 • Müller' "$work/wide.utf-8.txt")" 1
check "UTF-8 records say so in 100 \$a" "$(grep -c '^100    \$a .\{26\}50  ' "$work/wide.utf-8.txt")" 2
"$cli" convert "$work/wide.csv" --map-by-name --now 2026-12-07T10:00:00 --format marcxml -o "$work/wide.xml" 2>/dev/null
check "MARCXML reads as the UTF-8 records" "$(yaz-marcdump -i marcxml "$work/wide.xml" | diff - "$work/wide.utf-8.txt" && echo same)" same
"$cli" convert "$work/wide.csv" --map-by-name --format marcxml --encoding gbk -o "$work/x.xml" 2>/dev/null; rc=$?
check "MARCXML in GBK is a usage error" "$rc" 2
"$cli" convert "$work/wide.csv" --map-by-name --encoding utf-8 -o "$work/wide.gbk" 2>"$work/err"; rc=$?
check "UTF-8 records are not appended to GBK ones" "$rc" 1
check "saying why" "$(grep -c '只能有一种编码' "$work/err")" 1
"$cli" convert "$work/wide.csv" --map-by-name --encoding gbk -o "$work/wide.gbk" 2>"$work/err"
check "appending says so" "$(grep -c '原有的 2 条记录之后' "$work/err")" 1
check "and appends" "$(tr -cd '\035' < "$work/wide.gbk" | wc -c)" 4
"$cli" convert "$work/wide.csv" --map-by-name --encoding utf-8 --overwrite -o "$work/wide.gbk" 2>/dev/null
check "--overwrite replaces" "$(tr -cd '\035' < "$work/wide.gbk" | wc -c)" 2
# Five records, then one damage each: a record that does not chain stops the run before the file is
# touched (exit 1, its bytes as they were, the record named, the records counted by their
# terminators); a record cut short at the end is cut and the run appends after the last whole one.
"$cli" convert "$work/wide.csv" --map-by-name --overwrite -o "$work/two.iso" 2>/dev/null
perl -0777 -ne 'my @r = split /(?<=\x1D)/; print @r, @r, $r[0]' "$work/two.iso" > "$work/five.iso"
damages=(
  'short length|$r[1] =~ s/^(\d{5})/sprintf("%05d", $1 - 1)/e|1|第 2 条记录的长度不对'
  'long length|$r[1] =~ s/^(\d{5})/sprintf("%05d", $1 + 1)/e|1|第 2 条记录的长度不对'
  'damaged directory|substr($r[1], 24 + 12 + 4, 1) = "x"|1|第 2 条记录的目录不对'
  'stray byte between records|$r[2] = "x" . $r[2]|1|第 3 条记录的位置上有不属于记录的字节'
  'last record without its terminator|chop $r[4]; $r[4] =~ s/^(\d{5})/sprintf("%05d", $1 - 1)/e|1|第 5 条记录没有记录结束符'
  'a partial tail after five|push @r, substr($r[0], 0, 40)|0|'
)
for d in "${damages[@]}"; do
  IFS='|' read -r what edit status says <<<"$d"
  perl -0777 -ne "my @r = split /(?<=\x1D)/; $edit; print @r" "$work/five.iso" > "$work/damaged.iso"
  before=$(md5sum < "$work/damaged.iso")
  "$cli" convert "$work/wide.csv" --map-by-name -o "$work/damaged.iso" 2>"$work/err"; rc=$?
  check "$what: exit status" "$rc" "$status"
  if [ "$status" = 1 ]; then
    check "$what: the file as it was" "$(md5sum < "$work/damaged.iso")" "$before"
    check "$what: named" "$(grep -c "输出文件里$says，文件没有改动" "$work/err")" 1
    check "$what: counted" "$(grep -c '里有 5 条记录，没有改动；--overwrite 可以替换它' "$work/err")" 1
  else
    check "$what: five whole and two new" "$(cmp -s <(head -c "$(stat -c %s "$work/five.iso")" "$work/damaged.iso") "$work/five.iso" && tr -cd '\035' < "$work/damaged.iso" | wc -c)" 7
    check "$what: the cut is said" "$(grep -c '40 字节' "$work/err")" 1
  fi
done
# A profile saved for another table maps only the columns it finds by name, and names the others.
"$cli" profile save "$work/目录.json" --rules recommended --map 题名=200a --map 丛书=225a --map 作者=200f
"$cli" convert "$work/wide.csv" --profile "$work/目录.json" --dry-run >/dev/null 2>"$work/err"; rc=$?
check "a profile names the columns the table lacks" "$(head -1 "$work/err")" "方案“目录”有 2 列在这张表里找不到：丛书、作者"
check "and converts with the ones it found" "$rc" 0
"$cli" convert "$work/wide.csv" --map-by-name --format text -o "$work/wide.list" 2>/dev/null
"$cli" convert "$work/wide.csv" --map-by-name --format text -o "$work/wide.list" 2>"$work/err"
check "a listing counts its records when appended to" "$(grep -c '原有的 2 条记录之后' "$work/err")" 1
check "the listing is the record, one field a line" "$(grep '^200' "$work/wide.list" | head -1)" "200 1  \$a 䶮𠀀之书 • Müller \$A yan zhi shu müller"

# A row that repeats an earlier one is merged into its record, copies added up, and said so; kept
# with --keep-duplicates or a profile that says keepDuplicates.
printf '书名,ISBN,复本\n银行会计学,9787302123453,2\n长江三峡,,1\n银行会计学,978-7-302-12345-3,3\n' > "$work/repeats.csv"
"$cli" convert "$work/repeats.csv" --map-by-name --rules recommended --report "$work/repeats.tsv" -o "$work/repeats.iso" 2>"$work/err"
check "a repeated row: exit 0" "$?" 0
check "two records" "$(tr -cd '\035' < "$work/repeats.iso" | wc -c)" 2
check "the copies added up" "$(yaz-marcdump -f GBK -t UTF-8 "$work/repeats.iso" | grep -c '^905    \$f 5$')" 1
check "the summary says how many were merged" "$(grep -c '^1 行与前面的行重复，已并入前面那一行的记录（--keep-duplicates' "$work/err")" 1
check "the report names the merged row" "$(grep -c "^3	4	银行会计学	978-7-302-12345-3	警告	duplicate-row		与第 1 行重复，并入那一行的记录$" "$work/repeats.tsv")" 1
check "the summary by kind counts it" "$(grep -c '^警告：.*1 行与前面的行重复，并入了那一行的记录' "$work/err")" 1
LANGUAGE=en "$cli" convert "$work/repeats.csv" --map-by-name --rules recommended --dry-run 2>"$work/err" >/dev/null
check "in English" "$(grep -c '^1 rows repeated an earlier row and were merged into its record (--keep-duplicates' "$work/err")" 1
"$cli" convert "$work/repeats.csv" --map-by-name --rules recommended --keep-duplicates -o "$work/kept.iso" 2>"$work/err"
check "--keep-duplicates: three records" "$(tr -cd '\035' < "$work/kept.iso" | wc -c)" 3
check "and nothing merged" "$(grep -c '重复' "$work/err")" 0
"$cli" profile save "$work/keep.json" --rules recommended --map-by-name --keep-duplicates
check "a profile keeps keepDuplicates" "$(grep -c '"keepDuplicates": true' "$work/keep.json")" 1
"$cli" convert "$work/repeats.csv" --profile "$work/keep.json" -o "$work/kept2.iso" 2>/dev/null
check "and converts every row" "$(tr -cd '\035' < "$work/kept2.iso" | wc -c)" 3
"$cli" convert "$work/repeats.csv" --map-by-name --map 复本=010d -o "$work/classic.iso" 2>"$work/err"
check "the classic rules write every row" "$(tr -cd '\035' < "$work/classic.iso" | wc -c)" 3

check "compose prints the work form" "$("$cli" compose --now 2026-12-05T23:36:00 200a=书名 010a=7-5012-3456-7 010d=25 | sed -n '7p' | tr -d '\r')" \
  "200 1  |a 书名 |A shu ming"
"$cli" compose 999z=x >/dev/null 2>&1; rc=$?
check "compose refuses an unknown code" "$rc" 2
check "pinyin of titles and names" "$("$cli" pinyin 银行 && "$cli" pinyin --names 单田芳)" "$(printf 'yin hang\nshan tian fang')"
exit $fail

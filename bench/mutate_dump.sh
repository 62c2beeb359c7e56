#!/usr/bin/env bash
# Robustness: N randomly mutated copies (default 1000) of real .xls, .xlsx, .mdb, .accdb, .dbf and .csv
# files go through
# `rowcaster-cli dump` with a 10 s limit each. Every copy must either read or end in a read error;
# a crash (a signal, or an exit status other than 0 and 1) or a hang (the limit) is a failure.
# Prints the counts per kind and exits 1 when anything crashed or hung.
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
cli=${ROWCASTER_CLI:-$root/build/rowcaster-cli}
count=${1:-1000}
seed=${2:-20261206}
fix=$root/tests/fixtures
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

declare -A seeds=(
  [xls]="$fix/sheetjs_biff8.xls $fix/libreoffice_biff8.xls $fix/shared/xls/poi_61287_zh-CN_balance-sheet_cn-sheetname.xls $fix/shared/xls/poi_testEXCEL_95_biff5_3sheets.xls"
  [mdb]="$fix/shared/mdb/jackcess_testV1997_jet3_alltypes.mdb $fix/shared/mdb/jackcess_delColTestV2000_jet4_deleted-columns.mdb"
  [dbf]="$fix/dbffile_vfp.dbf $fix/dbffile_dbase3.dbf $fix/shared/dbf/infused_dbase_31_vfp-autoinc-currency-nullflags.dbf"
  [csv]="$fix/python_utf8_bom.csv $fix/excel_gbk.csv $fix/python_semicolon.csv"
  [xlsx]="$fix/sheetjs.xlsx $fix/libreoffice_formulas.xlsx $fix/openpyxl_types.xlsx $fix/handmade_edge.xlsx $work/stored1.xlsx $work/stored2.xlsx"
  [accdb]="$work/ace12.accdb"
)
# Deflated parts mostly fail their checks when a byte changes; copies with stored (uncompressed)
# parts let the mutations reach the XML. An .accdb: a Jet 4 file whose header says ACE 12.
python3 - "$fix" "$work" <<'PY'
import sys, zipfile
fix, work = sys.argv[1:]
for src, dst in [("openpyxl_types.xlsx", "stored1.xlsx"), ("libreoffice_messy_library.xlsx", "stored2.xlsx")]:
    with zipfile.ZipFile(f"{fix}/{src}") as z, zipfile.ZipFile(f"{work}/{dst}", "w", zipfile.ZIP_STORED) as out:
        for n in z.namelist():
            out.writestr(n, z.read(n))
b = bytearray(open(f"{fix}/shared/mdb/jackcess_testUnicodeCompV2003_jet4_cjk-compressed-unicode.mdb", "rb").read())
b[4:19] = b"Standard ACE DB"
b[20] = 2
open(f"{work}/ace12.accdb", "wb").write(b)
PY
failed=0
for kind in xls xlsx dbf mdb accdb csv; do
  read -r -a files <<<"${seeds[$kind]}"
  ok=0; errors=0; crashes=0; hangs=0
  for ((i = 0; i < count; i++)); do
    src=${files[$((i % ${#files[@]}))]}
    dst="$work/m$i.$kind"
    perl -e '
      my ($src, $dst, $seed) = @ARGV; srand($seed);
      open my $in, "<:raw", $src or die; local $/; my $d = <$in>; close $in;
      my $n = length $d; my $kind = int(rand(4));
      if ($kind == 0) { for (1 .. 1 + int(rand(20))) { substr($d, int(rand($n)), 1) = chr(int(rand(256))); } }
      elsif ($kind == 1) { $d = substr($d, 0, int(rand($n))); }
      elsif ($kind == 2) { my $p = int(rand($n)); my $l = int(rand(512)); substr($d, $p, 0) = substr($d, int(rand($n)), $l); }
      else { for (1 .. 1 + int(rand(8))) { my $p = int(rand($n - 4)); substr($d, $p, 4) = pack("V", (0, 0xFFFFFFFF, 0x7FFFFFFF, int(rand(2**32)))[int(rand(4))]); } }
      open my $out, ">:raw", $dst or die; print $out $d; close $out;' "$src" "$dst" "$((seed + i))"
    timeout -s KILL 10 "$cli" dump "$dst" >/dev/null 2>"$work/err"
    rc=$?
    if [ $rc -eq 0 ]; then ok=$((ok + 1))
    elif [ $rc -eq 1 ]; then errors=$((errors + 1))
    elif [ $rc -eq 137 ]; then hangs=$((hangs + 1)); echo "hang: $kind copy $i (from $(basename "$src"))"; cp "$dst" "$work/../hang-$kind-$i.$kind" 2>/dev/null
    else crashes=$((crashes + 1)); echo "crash ($rc): $kind copy $i (from $(basename "$src"))"; fi
    rm -f "$dst"
  done
  printf '%s: %d copies, %d read, %d read errors, %d crashes, %d hangs\n' "$kind" "$count" "$ok" "$errors" "$crashes" "$hangs"
  [ $((crashes + hangs)) -eq 0 ] || failed=1
done
exit $failed

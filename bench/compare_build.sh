#!/usr/bin/env bash
# Today's build against the build of an earlier commit, in one run, on the same inputs:
#   bench/compare_build.sh [COMMIT]      (default c7292cd, the previous release)
# The earlier commit is built once into a scratch folder (its files from git archive, Release,
# --parallel 1), kept by commit hash so that reruns reuse it. Then timed in REPEAT rounds (default
# 3; REPEAT_1M, default 2, for the .dbf), each round running the commands compared once each, in
# turn; the best time and the median are printed, with peak RSS: `iso` on work forms (today,
# earlier, yaz-marcdump on the same records), `convert` of the 65,535-row .xls and the 1,000,000-row .dbf by the classic and the
# recommended rules (today, earlier when it has those rules), and the Perl MARC::Record script on
# the .xls rows. Prints ratios and whether the outputs are byte-identical where they should be.
# Environment: BUILD_DIR (today's build, default build/), COMPARE_CACHE (scratch folder),
# REPEAT, FORMS (work forms for iso, default 50000), SKIP_1M=1 to leave the .dbf out, BUILD_ONLY=1
# to build the earlier commit and stop, STRICT=1 to fail when the records differ from the earlier ones.
set -euo pipefail
export LANGUAGE=en LC_ALL=C.UTF-8
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
build=${BUILD_DIR:-$repo/build}
cli=$build/rowcaster-cli
commit=$(git -C "$repo" rev-parse --verify "${1:-c7292cd}^{commit}")
cache=${COMPARE_CACHE:-$HOME/.cache/rowcaster-compare}
repeat=${REPEAT:-3}
forms=${FORMS:-50000}
now_arg=(--now 2026-12-05T23:36:00)

# The earlier build, made once per commit.
old_src=$cache/${commit}/src old_build=$cache/${commit}/build
old=$old_build/rowcaster-cli
if [ ! -x "$old" ]; then
  mkdir -p "$cache/$commit"
  # The commit's files alone: nothing is registered in the repository (no worktree, no ref).
  if [ ! -d "$old_src" ]; then
    mkdir -p "$old_src.part"
    git -C "$repo" archive "$commit" | tar -x -C "$old_src.part"
    mv "$old_src.part" "$old_src"
  fi
  cmake -S "$old_src" -B "$old_build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$old_build" --parallel 1 --target rowcaster-cli >&2
fi
[ "${BUILD_ONLY:-0}" = 1 ] && exit 0

data=$("$here/bench_data.sh")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
calc() { awk "BEGIN { printf \"%.3f\", $1 }"; }
now() { date +%s.%N; }
# once NAME CMD…: one run of CMD. Keeps T_NAME (the best seconds so far), M_NAME (that run's peak
# RSS, MB), C_NAME (the least CPU seconds, user and system: steadier than the time on a busy
# machine) and A_NAME (every run's seconds, for the median).
once() {
  local name=$1 t0 t1 s u
  shift
  [ -v "T_$name" ] || declare -g "T_$name=999999" "M_$name=0" "C_$name=999999" "A_$name="
  local -n best_t="T_$name" best_m="M_$name" best_c="C_$name" all="A_$name"
  t0=$(now)
  # A conversion with failed rows exits 1; its time counts all the same.
  /usr/bin/time -f '%M %U %S' -o "$work/rss" "$@" || [ $? = 1 ]
  t1=$(now)
  s=$(calc "$t1 - $t0")
  all="$all $s"
  if awk "BEGIN { exit !($s < $best_t) }"; then best_t=$s; best_m=$(tail -1 "$work/rss" | awk '{ printf "%.3f", $1 / 1024 }'); fi
  u=$(tail -1 "$work/rss" | awk '{ printf "%.3f", $2 + $3 }')
  if awk "BEGIN { exit !($u < $best_c) }"; then best_c=$u; fi
}
# command_of NAME CMD…: CMD is the command of NAME.
command_of() {
  declare -ga "CMD_$1=()"
  local -n cmd="CMD_$1"
  shift
  cmd=("$@")
}
# rounds NAME…: REPEAT rounds, each running every named command once, in turn (the command of
# NAME is in the array CMD_NAME). Commands compared with each other share the machine's slow
# and fast moments instead of one taking them all.
rounds() {
  local i name
  for ((i = 0; i < repeat; i++)); do
    for name in "$@"; do
      local -n cmd="CMD_$name"
      once "$name" "${cmd[@]}"
    done
  done
}
# median NAME: the median of NAME's runs, in seconds.
median() {
  local -n all="A_$1"
  tr ' ' '\n' <<< "$all" | grep . | sort -g | awk '{ v[NR] = $1 } END { printf "%.3f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
same() { if cmp -s "$1" "$2"; then echo "byte-identical"; else echo "DIFFERENT"; fi; }
status=0
check() { # LABEL A B: prints and remembers a difference where bytes must agree
  local r
  r=$(same "$2" "$3")
  printf '  %-44s %s\n' "$1" "$r"
  [ "$r" = byte-identical ] || status=1
}
# Records may differ from an earlier commit's where the rules changed on purpose since; against the
# commit a change starts from (STRICT=1) they must not.
check_rules() {
  local r
  r=$(same "$2" "$3")
  if [ "${STRICT:-0}" = 1 ]; then check "$@"; else printf '  %-44s %s\n' "$1 (may differ)" "$r"; fi
}

echo "today:   $(git -C "$repo" rev-parse --short HEAD)$(git -C "$repo" diff --quiet HEAD || echo ' (with changes)') $cli"
echo "earlier: ${commit:0:7} $old"
echo "best of $repeat rounds, each running the commands compared in turn (medians in brackets); peak RSS in MB"

# 1. ISO building from work forms, yaz-marcdump on the same records.
perl "$here/gen_forms.pl" "$forms" "$work/forms.txt" "$work/records.line"
command_of iso_new sh -c '"$0" iso --now "$1" < "$2" > "$3"' "$cli" "${now_arg[1]}" "$work/forms.txt" "$work/iso_new.mrc"
command_of iso_old sh -c '"$0" iso --now "$1" < "$2" > "$3"' "$old" "${now_arg[1]}" "$work/forms.txt" "$work/iso_old.mrc"
command_of iso_yaz sh -c 'yaz-marcdump -i line -o marc -f UTF-8 -t GBK "$0" > "$1"' "$work/records.line" "$work/iso_yaz.mrc"
rounds iso_new iso_old iso_yaz
echo
echo "iso, $forms work forms:"
printf '  today    %6.3f s %8.0f records/s  %5.0f MB  cpu %6.3f s\n' "$T_iso_new" "$(calc "$forms / $T_iso_new")" "$M_iso_new" "$C_iso_new"
printf '  earlier  %6.3f s %8.0f records/s  %5.0f MB  cpu %6.3f s\n' "$T_iso_old" "$(calc "$forms / $T_iso_old")" "$M_iso_old" "$C_iso_old"
printf '  yaz      %6.3f s %8.0f records/s  %5.0f MB  cpu %6.3f s\n' "$T_iso_yaz" "$(calc "$forms / $T_iso_yaz")" "$M_iso_yaz" "$C_iso_yaz"
printf '  today/earlier speed %.2fx [%.2fx] (cpu %.2fx), today/yaz %.2fx [%.2fx], earlier/yaz %.2fx [%.2fx]\n' \
  "$(calc "$T_iso_old / $T_iso_new")" "$(calc "$(median iso_old) / $(median iso_new)")" "$(calc "$C_iso_old / $C_iso_new")" \
  "$(calc "$T_iso_yaz / $T_iso_new")" "$(calc "$(median iso_yaz) / $(median iso_new)")" \
  "$(calc "$T_iso_yaz / $T_iso_old")" "$(calc "$(median iso_yaz) / $(median iso_old)")"
check "today = earlier" "$work/iso_new.mrc" "$work/iso_old.mrc"
check "today = yaz-marcdump" "$work/iso_new.mrc" "$work/iso_yaz.mrc"

# 2. Conversions: classic and recommended, today and earlier.
"$old" convert "$data/books65536.xls" --map-by-name --rules recommended "${now_arg[@]}" -o "$work/probe.iso" \
  >/dev/null 2>&1 && old_rec=1 || old_rec=0
rm -f "$work/probe.iso"
tables=(books65536.xls)
[ "${SKIP_1M:-0}" = 1 ] || tables+=(books1m.dbf)
for table in "${tables[@]}"; do
  [ "$table" = books1m.dbf ] && repeat=${REPEAT_1M:-2}
  # conv CLI OUT [ARG…]: one conversion of the table, through sh so that /usr/bin/time measures it.
  export TABLE="$data/$table" NOW="${now_arg[1]}"
  conv=(sh -c 'c=$0 o=$1; shift; rm -f "$o"; "$c" convert "$TABLE" --map-by-name --now "$NOW" -o "$o" "$@" >/dev/null 2>&1')
  key=${table%%.*}
  command_of "${key}_cn" "${conv[@]}" "$cli" "$work/cn.iso"
  command_of "${key}_co" "${conv[@]}" "$old" "$work/co.iso"
  command_of "${key}_rn" "${conv[@]}" "$cli" "$work/rn.iso" --rules recommended
  command_of "${key}_ro" "${conv[@]}" "$old" "$work/ro.iso" --rules recommended
  names=("${key}_cn" "${key}_co" "${key}_rn")
  [ $old_rec = 1 ] && names+=("${key}_ro")
  rounds "${names[@]}"
  rows=$(tr -cd '\035' < "$work/cn.iso" | wc -c)
  eval "cn=\$T_${key}_cn co=\$T_${key}_co rn=\$T_${key}_rn mcn=\$M_${key}_cn mco=\$M_${key}_co mrn=\$M_${key}_rn"
  eval "ccn=\$C_${key}_cn cco=\$C_${key}_co crn=\$C_${key}_rn"
  echo
  echo "convert $table, $rows records:"
  printf '  classic today        %6.2f s %8.0f rows/s  %5.0f MB  cpu %6.2f s\n' "$cn" "$(calc "$rows / $cn")" "$mcn" "$ccn"
  printf '  classic earlier      %6.2f s %8.0f rows/s  %5.0f MB  cpu %6.2f s\n' "$co" "$(calc "$rows / $co")" "$mco" "$cco"
  printf '  recommended today    %6.2f s %8.0f rows/s  %5.0f MB  cpu %6.2f s\n' "$rn" "$(calc "$rows / $rn")" "$mrn" "$crn"
  if [ $old_rec = 1 ]; then
    eval "ro=\$T_${key}_ro mro=\$M_${key}_ro cro=\$C_${key}_ro"
    printf '  recommended earlier  %6.2f s %8.0f rows/s  %5.0f MB  cpu %6.2f s\n' "$ro" "$(calc "$rows / $ro")" "$mro" "$cro"
  fi
  printf '  classic today/earlier speed %.2fx [%.2fx] (cpu %.2fx); recommended/classic today %.0f %% [%.0f %%] (cpu %.0f %%)\n' \
    "$(calc "$co / $cn")" "$(calc "$(median "${key}_co") / $(median "${key}_cn")")" "$(calc "$cco / $ccn")" \
    "$(calc "100 * $cn / $rn")" "$(calc "100 * $(median "${key}_cn") / $(median "${key}_rn")")" "$(calc "100 * $ccn / $crn")"
  [ $old_rec = 1 ] && printf '  recommended today/earlier speed %.2fx [%.2fx] (cpu %.2fx)\n' "$(calc "$ro / $rn")" \
    "$(calc "$(median "${key}_ro") / $(median "${key}_rn")")" "$(calc "$cro / $crn")"
  check_rules "classic today = earlier" "$work/cn.iso" "$work/co.iso"
  [ $old_rec = 1 ] && check_rules "recommended today = earlier" "$work/rn.iso" "$work/ro.iso"
  if [ "$table" = books65536.xls ]; then xls_rows=$rows; fi
  rm -f "$work"/??.iso
done

# 3. The Perl MARC::Record script on the .xls rows (Rowcaster's times include reading the .xls).
"$cli" dump "$data/books65536.xls" > "$work/books.tsv"
command_of perl perl "$here/marc_record_peer.pl" "$work/books.tsv" "$work/peer.iso"
rounds perl
echo
printf 'Perl MARC::Record, %d rows: %.2f s %.0f rows/s %.0f MB\n' "$xls_rows" "$T_perl" "$(calc "$xls_rows / $T_perl")" "$M_perl"
printf '  classic today %.1fx the Perl script, earlier %.1fx; recommended today %.1fx\n' \
  "$(calc "$T_perl / $T_books65536_cn")" "$(calc "$T_perl / $T_books65536_co")" "$(calc "$T_perl / $T_books65536_rn")"
exit $status

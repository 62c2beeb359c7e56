# Sourced by the identity scripts, after they set `old` and `new` (the two command lines to compare):
# a scratch folder $work removed at exit, and compare LABEL ARG…, which runs both with ARG… and
# an output file of their own, and counts the run in $runs and in $same (adding the records of the
# output to $records) or in $differ, saying "DIFFERS LABEL". With REPORTS=1 the row reports
# (--report) must be the same bytes too.
export LC_ALL=C.UTF-8
unset LANGUAGE
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
runs=0 same=0 differ=0 records=0
compare() {
  local label=$1
  shift
  rm -f "$work/old.out" "$work/new.out" "$work/old.tsv" "$work/new.tsv"
  local reports=()
  [ "${REPORTS:-0}" = 1 ] && reports=(--report)
  "$old" "$@" -o "$work/old.out" ${reports[@]+"${reports[@]}" "$work/old.tsv"} >/dev/null 2>&1
  "$new" "$@" -o "$work/new.out" ${reports[@]+"${reports[@]}" "$work/new.tsv"} >/dev/null 2>&1
  runs=$((runs + 1))
  if [ "${REPORTS:-0}" = 1 ] && ! cmp -s "$work/old.tsv" "$work/new.tsv" 2>/dev/null &&
    { [ -e "$work/old.tsv" ] || [ -e "$work/new.tsv" ]; }; then
    differ=$((differ + 1))
    echo "DIFFERS $label (report)"
  elif cmp -s "$work/old.out" "$work/new.out" 2>/dev/null || { [ ! -e "$work/old.out" ] && [ ! -e "$work/new.out" ]; }; then
    same=$((same + 1))
    [ -e "$work/new.out" ] && records=$((records + $(tr -cd '\035' < "$work/new.out" | wc -c)))
  else
    differ=$((differ + 1))
    echo "DIFFERS $label"
  fi
}

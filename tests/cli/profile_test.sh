#!/usr/bin/env bash
# rowcaster-cli profile from the outside: the name a saved profile takes, and the template that
# profile show prints (the one a conversion with the profile uses).
set -u
cli="$1"
fix="$2"
. "$(dirname "$0")/lib.sh"

# Without --name a profile is called after its file's stem; --name wins.
names=(
  "书商目录.json|书商目录|--rules recommended"
  "书商目录.json|书商目录|"
  "a.b.json|a.b|--rules recommended"
  "plain|plain|"
  ".json|.json|"
  "书商目录.json|馆藏|--name 馆藏 --rules recommended"
)
for entry in "${names[@]}"; do
  IFS='|' read -r file want opts <<< "$entry"
  rm -f "$work/$file"
  # shellcheck disable=SC2086  # the options are words
  "$cli" profile save "$work/$file" $opts
  check "save $file $opts exits 0" "$?" 0
  check "save $file $opts: name" "$(grep '^  "name"' "$work/$file")" "  \"name\": \"$want\","
  check "show $file $opts: name" "$("$cli" profile show "$work/$file" | grep '^  "name"')" "  \"name\": \"$want\","
done
check "the rules are kept beside the name" "$(grep -c '"rules": "recommended"' "$work/书商目录.json")" 1

# profile show: the template a profile uses, as lines; a saved file without one keeps null.
template_lines() { sed -n '/^  "template": \[$/,/^  \]$/p' | sed '1d;$d' | wc -l; }
for p in 标准 推荐; do
  "$cli" profile show "$p" > "$work/$p.json"
  check "show $p exits 0" "$?" 0
  check "show $p: no null template" "$(grep -c '"template": null' "$work/$p.json")" 0
  check "show $p: the template's 21 lines" "$(template_lines < "$work/$p.json")" 21
done
check "标准 shows the classic 801" "$(grep -c '"801    |aCN|bZELKOV|c{bmrq}"' "$work/标准.json")" 1
check "推荐 shows the recommended 801" "$(grep -c '"801  0 |aCN{801b}|c{bmrq}"' "$work/推荐.json")" 1
check "a saved profile without a template keeps null" "$(grep -c '"template": null' "$work/书商目录.json")" 1
check "and shows its rule set's template" "$("$cli" profile show "$work/书商目录.json" | template_lines)" 21
printf '200 1  {200a}\r\n801    |aCN\r\n' > "$work/t.txt"
"$cli" profile save "$work/own.json" --template "$work/t.txt"
check "a profile's own template is shown" "$("$cli" profile show "$work/own.json" | template_lines)" 2

# What show prints is the profile: converting with it gives the built-in's bytes.
for p in 标准 推荐; do
  "$cli" convert "$fix/messy_vendor.xls" --profile "$p" --map 2=200a --map 3=200f --map 4=010a --map 5=010d \
    --map 6=210c --now 2026-12-05T23:36:00 -o "$work/$p-builtin.iso" 2>/dev/null
  "$cli" convert "$fix/messy_vendor.xls" --profile "$work/$p.json" --map 2=200a --map 3=200f --map 4=010a \
    --map 5=010d --map 6=210c --now 2026-12-05T23:36:00 -o "$work/$p-shown.iso" 2>/dev/null
  check "$p: records written" "$(tr -cd '\035' < "$work/$p-shown.iso" | wc -c)" 420
  check "$p: shown profile converts to the same bytes" \
    "$(cmp -s "$work/$p-builtin.iso" "$work/$p-shown.iso" && echo same)" same
done
finish profile_test

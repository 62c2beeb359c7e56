#!/usr/bin/env bash
# rowcaster-cli profile from the outside: the name a saved profile takes.
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

finish profile_test

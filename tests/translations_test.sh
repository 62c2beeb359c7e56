#!/bin/sh
# Every text the window and the command line word through Qt's translation system has its English
# translation: lupdate over the code finds nothing new, nothing unfinished, nothing gone.
set -eu
src="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$src/translations/rowcaster_en.ts" "$work/en.ts"
/usr/lib/qt6/bin/lupdate -silent "$src/src/words" "$src/src/cli" -source-language zh_CN -target-language en -ts "$work/en.ts"
unfinished=$(grep -c 'type="unfinished"' "$work/en.ts" || true)
vanished=$(grep -c 'type="vanished"\|type="obsolete"' "$work/en.ts" || true)
if [ "$unfinished" != 0 ] || [ "$vanished" != 0 ]; then
  echo "FAIL translations: $unfinished texts without English, $vanished no longer used (scripts/update_translations.sh)"
  exit 1
fi
echo "translations: all passed ($(grep -c '<source>' "$work/en.ts") texts)"

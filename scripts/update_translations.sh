#!/bin/sh
# Brings translations/rowcaster_en.ts up to date with the texts in the code (lupdate keeps the
# translations already there); then fill in every <translation type="unfinished">.
set -eu
cd "$(dirname "$0")/.."
/usr/lib/qt6/bin/lupdate -silent -no-obsolete src/words src/cli -source-language zh_CN -target-language en \
  -ts translations/rowcaster_en.ts
grep -c 'type="unfinished"' translations/rowcaster_en.ts || true

#!/usr/bin/env bash
# Installs into a scratch prefix, moves the installed tree elsewhere (nothing may point back at the
# build folder or the prefix), and converts a fixture with the installed command line from another
# working folder: the records carry pinyin and the region code, so the data files were found.
#   install_test.sh BUILD_DIR FIXTURES_DIR
set -u
build=$1
fix=$2
. "$(dirname "$0")/cli/lib.sh"

cmake --install "$build" --prefix "$work/prefix" >/dev/null
check "installed: programs, data, desktop entry, icons, man pages, licences" \
  "$(cd "$work/prefix" && ls bin/rowcaster bin/rowcaster-cli share/rowcaster/pinyin.dat share/rowcaster/cbk.db \
      share/applications/rowcaster.desktop share/icons/hicolor/scalable/apps/rowcaster.svg \
      share/icons/hicolor/48x48/apps/rowcaster.png share/man/man1/rowcaster-cli.1.gz \
      share/doc/rowcaster/copyright share/doc/rowcaster/pinyin-data.LICENSE 2>&1 | wc -l)" 10
mv "$work/prefix" "$work/moved"
mkdir "$work/elsewhere"
cd "$work/elsewhere"
cli="$work/moved/bin/rowcaster-cli"
check "the installed version" "$("$cli" --version | cut -d' ' -f1)" "rowcaster-cli"
"$cli" convert "$fix/sheetjs_biff8.xls" --map-by-name --now 2026-12-05T23:36:00 -o out.iso 2>err
check "convert exits 0" "$?" 0
listing=$(yaz-marcdump -f GBK -t UTF-8 out.iso 2>&1)
check "the title's pinyin (pinyin.dat found)" "$(grep -c 'A yin hang kuai ji xue' <<<"$listing")" 1
check "the region code (cbk.db found)" "$(grep -c '102    \$a CN \$b 310000' <<<"$listing")" 1
check "the guarded reader found beside it" "$("$cli" tables "$fix/sheetjs_biff8.xls" | head -1)" '图书$'
# A user's own publisher database through ROWCASTER_CBK, never from the working folder.
cp "$work/moved/share/rowcaster/cbk.db" ./cbk.db
rm "$work/moved/share/rowcaster/cbk.db"
"$cli" compose 200a=书 010a=7-5327-1 010d=1 >/dev/null 2>err
check "without its cbk.db a row fails (the working folder's is not taken)" "$?" 1
check "ROWCASTER_CBK names a user's own" "$(ROWCASTER_CBK="$PWD/cbk.db" "$cli" compose 200a=书 010a=7-5327-1 010d=1 | grep -c '^102    |aCN|b 310000')" 1
finish "install"

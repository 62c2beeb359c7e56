#!/usr/bin/env bash
# The Debian package on this machine (root, Debian 12): install it with apt, use it from PATH,
# remove it, and check nothing is left. Run by hand: it changes the system.
#   tests/package_test.sh [build/rowcaster_VERSION_ARCH.deb]
set -u
here=$(cd "$(dirname "$0")" && pwd)
deb=${1:-$(ls "$here"/../build/rowcaster_*.deb | head -1)}
deb=$(readlink -f "$deb")
. "$(dirname "$0")/cli/lib.sh"
[ "$(id -u)" = 0 ] || { echo "run as root" >&2; exit 2; }

apt-get install -y -qq "$deb" >"$work/apt" 2>&1
check "apt installs the package" "$?" 0
check "rowcaster-cli from PATH" "$(cd / && rowcaster-cli --version | cut -d' ' -f1)" "rowcaster-cli"
check "rowcaster from PATH" "$(cd / && rowcaster --version | cut -d' ' -f1)" "rowcaster"
check "the menu entry is valid" "$(desktop-file-validate /usr/share/applications/rowcaster.desktop 2>&1 | wc -l)" 0
check "the man page" "$(zcat /usr/share/man/man1/rowcaster-cli.1.gz | grep -c '^.SH NAME')" 1
# The menu entry's command starts the window (offscreen here) and keeps it open.
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/rowcaster.desktop)
(cd / && QT_QPA_PLATFORM=offscreen HOME="$work" $exec_line >/dev/null 2>&1 & echo $! > "$work/pid")
sleep 3
check "the menu entry's command starts the window" "$(kill -0 "$(cat "$work/pid")" 2>/dev/null && echo running)" running
kill "$(cat "$work/pid")" 2>/dev/null
(cd "$work" && rowcaster-cli convert "$here/fixtures/sheetjs_biff8.xls" --map-by-name -o out.iso 2>/dev/null)
check "converts with the installed data" "$(tr -cd '\035' < "$work/out.iso" | wc -c)" 5
apt-get remove --purge -y -qq rowcaster >"$work/apt" 2>&1
check "apt removes it" "$?" 0
check "nothing left" "$(ls /usr/bin/rowcaster /usr/bin/rowcaster-cli /usr/share/rowcaster /usr/share/doc/rowcaster 2>/dev/null | wc -l)" 0
finish "package"

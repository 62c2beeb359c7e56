#!/usr/bin/env bash
# Takes the window's screenshots for docs/ on a virtual X display (Xvfb), with the real fonts.
#   docs/screenshot.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
for p in xvfb xauth; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || apt-get install -y -qq "$p"
done
cmake --build "$build" --target rowcaster_screenshot >/dev/null
xvfb-run -a -s "-screen 0 1280x800x24" env QT_QPA_PLATFORM=xcb "$build/rowcaster_screenshot" "$here"
echo "written: $here/main-window.png $here/buttons.png $here/message-box.png $here/preview.png $here/results.png $here/guide.png $here/progress.png $here/second-start.png $here/copy-cataloguing.png"

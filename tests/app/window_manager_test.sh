#!/usr/bin/env bash
# The activation tests on a virtual X display with a real window manager (openbox), where
# activation events come in the order a desktop produces, not the offscreen platform's.
#   window_manager_test.sh GUI_TEST_BINARY
set -euo pipefail
tests=$1
for tool in Xvfb openbox; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed (scripts/setup.sh installs it)" >&2; exit 1; }
done
# A display number nobody uses.
display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $wm $xvfb 2>/dev/null || true; wait 2>/dev/null || true' EXIT
wm=
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.05; done
DISPLAY=":$display" openbox >/dev/null 2>&1 &
wm=$!
sleep 0.5
DISPLAY=":$display" QT_QPA_PLATFORM=xcb "$tests" --gtest_filter='ActivationOrder.*:Skinned.MessageBoxes*'

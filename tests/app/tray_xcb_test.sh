#!/usr/bin/env bash
# Runs the tray test under Xvfb (xcb) on a session bus of its own; skips (77) without them.
set -u
binary=${1:?usage: tray_xcb_test.sh path/to/tray_xcb_tests}
for tool in xvfb-run dbus-run-session xauth; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
exec xvfb-run -a -s "-screen 0 1366x768x24" dbus-run-session -- env QT_QPA_PLATFORM=xcb "$binary"

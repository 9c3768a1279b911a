#!/bin/sh
# Saves pictures of every tab of the main window for a real sample package
# (at the design size and maximised) into a folder, default build/screenshots.
# Usage: scripts/screenshots.sh [build-dir] [out-dir]
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
out=${2:-$build/screenshots}
cmake -S "$root" -B "$build" >/dev/null
make -C "$build" -j2 vornix_ui_tests >/dev/null
mkdir -p "$out"
VORNIX_SCREENSHOT_DIR="$out" QT_QPA_PLATFORM=offscreen \
  "$build/vornix_ui_tests" --gtest_filter='*ScreenshotsOfEveryTab*'
echo "screenshots in $out"

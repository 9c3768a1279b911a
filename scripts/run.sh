#!/usr/bin/env bash
# Builds Vornix and opens a package with it: in the window when there is a
# display (and the build has the window, build/vornix-gui); otherwise it
# rebuilds the INF and extracts the files, and shows both.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
package=${1:-samples/tidepool.cab}
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/vornix-gui ]; then
  exec build/vornix "$package"  # which starts build/vornix-gui in its place
fi
out=$(mktemp -d)
cp "$package" "$out/"
name=$(basename "$package")
build/vornix "$out/$name" inf
build/vornix "$out/$name" extract "$out/extracted"
echo "== rebuilt INF: $out/${name%.*}.inf"
cat "$out/${name%.*}.inf"
echo "== extracted under original names into $out/extracted:"
(cd "$out/extracted" && find . -type f | sort)

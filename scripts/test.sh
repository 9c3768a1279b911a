#!/usr/bin/env bash
# Builds Vornix and runs every test (unit, end-to-end, window tests offscreen).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "${VORNIX_BUILD_DIR:-build}" --output-on-failure -j2

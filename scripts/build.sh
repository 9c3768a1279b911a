#!/usr/bin/env bash
# Configures and builds Vornix into build/ (or $VORNIX_BUILD_DIR). With
# VORNIX_WERROR=ON (as CI runs it) every compiler warning is an error.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
dir=${VORNIX_BUILD_DIR:-build}
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNIX_WERROR="${VORNIX_WERROR:-OFF}" "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"

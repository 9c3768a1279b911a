#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while (seconds,
# default 30), starting from its seed corpus under fuzz/corpus/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
bash scripts/deps.sh
CC=clang CXX=clang++ cmake -S . -B "${VORNIX_FUZZ_BUILD_DIR:-build-fuzz}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNIX_FUZZ=ON \
  -DVORNIX_BUILD_GUI=OFF -DVORNIX_BUILD_TESTS=OFF -DVORNIX_BUILD_BENCH=OFF >/dev/null
cmake --build "${VORNIX_FUZZ_BUILD_DIR:-build-fuzz}" -j"$(nproc)"
for src in fuzz/*.cpp; do
  name=$(basename "$src" .cpp)
  work=$(mktemp -d)
  seeds=()
  # fuzz/corpus/<part of the target's name>/ holds its seeds (cab, setup_inf, ...).
  for corpus in fuzz/corpus/*/; do
    part=$(basename "$corpus")
    case "$name" in *"$part"*) seeds+=("$corpus") ;; esac
  done
  echo "-- $name for ${seconds}s"
  if ! ASAN_OPTIONS=detect_leaks=1 ./"${VORNIX_FUZZ_BUILD_DIR:-build-fuzz}"/"$name" -max_total_time="$seconds" \
      -rss_limit_mb=2048 -artifact_prefix="$work/" "$work" "${seeds[@]}" >"$work/log" 2>&1; then
    tail -n 60 "$work/log"
    for crash in "$work"/crash-* "$work"/leak-* "$work"/timeout-*; do
      [ -f "$crash" ] && { echo "input that failed ($crash):"; od -A x -t x1z "$crash" | head -n 20; }
    done
    exit 1
  fi
  tail -n 1 "$work/log"
  rm -rf "$work"
done

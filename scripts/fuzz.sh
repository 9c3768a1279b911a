#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while (seconds,
# default 30), starting from its seed corpus under fuzz/corpus/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
bash scripts/deps.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNIX_FUZZ=ON \
  -DVORNIX_BUILD_GUI=OFF -DVORNIX_BUILD_TESTS=OFF -DVORNIX_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)"
for src in fuzz/*.cpp; do
  name=$(basename "$src" .cpp)
  work=$(mktemp -d)
  seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds+=("fuzz/corpus/$name")
  echo "-- $name for ${seconds}s"
  ASAN_OPTIONS=detect_leaks=1 ./build-fuzz/"$name" -max_total_time="$seconds" -rss_limit_mb=2048 \
    -artifact_prefix="$work/" "$work" "${seeds[@]}" 2>&1 | tail -n 3
  rm -rf "$work"
done

#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while (seconds,
# default 30), starting from its seed corpus under fuzz/corpus/<target>/, and
# prints how many inputs each one ran. A second argument runs that target only.
#
#   scripts/fuzz.sh [SECONDS] [TARGET]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
only=${2:-}
build=${VORNIX_FUZZ_BUILD_DIR:-build-fuzz}
bash scripts/deps.sh
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNIX_FUZZ=ON \
  -DVORNIX_WERROR="${VORNIX_WERROR:-OFF}" -DVORNIX_BUILD_GUI=OFF -DVORNIX_BUILD_TESTS=OFF -DVORNIX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
summary=()
for src in fuzz/*.cpp; do
  name=$(basename "$src" .cpp)
  [ -n "$only" ] && [ "$name" != "$only" ] && continue
  work=$(mktemp -d)
  seeds=()
  # fuzz/corpus/<part of the target's name>/ holds its seeds (cab, setup_inf, ...).
  for corpus in fuzz/corpus/*/; do
    part=$(basename "$corpus")
    case "$name" in *"$part"*) seeds+=("$corpus") ;; esac
  done
  echo "-- $name for ${seconds}s"
  if ! ASAN_OPTIONS=detect_leaks=1 ./"$build"/"$name" -max_total_time="$seconds" -print_final_stats=1 -timeout=20 \
      -rss_limit_mb=2048 -artifact_prefix="$work/" "$work" "${seeds[@]}" >"$work/log" 2>&1; then
    tail -n 60 "$work/log"
    for crash in "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-*; do
      [ -f "$crash" ] && { echo "input that failed ($crash):"; od -A x -t x1z "$crash" | head -n 20; }
    done
    exit 1
  fi
  grep -E '^(#[0-9]+\s+DONE|Done [0-9]+ runs)' "$work/log" | tail -n 1 || true
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1)
  runs=${runs:-0}
  summary+=("$(printf '%-22s %12s executions in %ss  (%s per second)' "$name" "$runs" "$seconds" "$((runs / (seconds > 0 ? seconds : 1)))")")
  rm -rf "$work"
done
echo "== executions per target"
printf '%s\n' "${summary[@]}"

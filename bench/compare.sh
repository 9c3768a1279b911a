#!/bin/sh
# Times vornix against cabextract on the same package, on the same machine, in
# one run: a 2,000-file package of about 50 MB in one MSZIP folder, laid out
# as CabWiz lays packages out (make_big_package).
#
#   bench/compare.sh [VORNIX] [MAKE_BIG_PACKAGE]
#
# VORNIX defaults to build/vornix; MAKE_BIG_PACKAGE to the make_big_package
# beside it. Each command runs five times, taking turns with the other tool;
# the fastest run counts. Without a
# vornix binary only the cabextract figures are printed. Then the start-up of
# both tools on a tiny package (bench/startup.sh).
set -eu

VORNIX=${1:-build/vornix}
MAKE_BIG=${2:-$(dirname "$VORNIX")/make_big_package}
TIME=/usr/bin/time

for tool in cabextract "$TIME" "$MAKE_BIG"; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "compare.sh: $tool not found" >&2
    exit 1
  fi
done
HAVE_VORNIX=1
if [ ! -x "$VORNIX" ]; then
  echo "compare.sh: no vornix at $VORNIX; timing cabextract only" >&2
  HAVE_VORNIX=0
fi

WORK=$(mktemp -d "${TMPDIR:-/tmp}/vornix-bench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT INT TERM
P="$WORK/bigpkg.cab"
D="$WORK/out"

"$MAKE_BIG" "$P"
echo "package: $P, $(wc -c <"$P") bytes, $(cabextract -l "$P" | grep -c '^ *[0-9][0-9]* |') entries"

# Every run writes into a folder of its own that stays until the end: deleting
# 2,000 files between runs makes the next run's file creation search past
# recently freed inodes (ext4), a cost of the benchmark, not of either tool.
RUN=0
fresh_dir() {
  RUN=$((RUN + 1))
  D="$WORK/out.$RUN"
}

# time_once LABEL COMMAND...: runs COMMAND once (the string @D@ in it stands
# for a fresh folder) and appends "seconds kb" to $WORK/LABEL.times.
time_once() {
  label=$1
  shift
  fresh_dir
  rm -f "$WORK/bigpkg.inf"
  args=""
  for a in "$@"; do
    [ "$a" = "@D@" ] && a=$D
    args="$args '$a'"
  done
  if ! eval "\"\$TIME\" -f '%e %M' -o \"\$WORK/time\" $args" >"$WORK/log" 2>&1; then
    echo "compare.sh: $label failed:" >&2
    cat "$WORK/log" >&2
    exit 1
  fi
  cat "$WORK/time" >>"$WORK/$label.times"
}

# best LABEL: sets BEST_S (fastest run) and BEST_KB (largest peak) of LABEL.
best() {
  BEST_S=$(sort -n "$WORK/$1.times" | head -n 1 | cut -d' ' -f1)
  BEST_KB=$(sort -n -k2 "$WORK/$1.times" | tail -n 1 | cut -d' ' -f2)
}

report() {
  printf '%-34s %6.2f s  %8d KB peak\n' "$2" "$BEST_S" "$BEST_KB"
}

ratio() {
  if [ "$(echo "$2 == 0" | bc)" = 1 ]; then echo "n/a"; else echo "scale=2; $1 / $2" | bc; fi
}

# The two tools take turns, five runs each, the fastest run counting.
for run in 1 2 3 4 5; do
  time_once cab_extract cabextract -q -d @D@ "$P"
  time_once cab_inf cabextract -q -F '*.000' -d @D@ "$P"
  if [ "$HAVE_VORNIX" = 1 ]; then
    time_once vx_extract "$VORNIX" "$P" extract @D@
    time_once vx_inf "$VORNIX" "$P" inf
  fi
done

best cab_extract; CAB_EXTRACT=$BEST_S; report cab_extract "cabextract -q -d D P"
best cab_inf; CAB_INF=$BEST_S; report cab_inf "cabextract -q -F '*.000' -d D P"
if [ "$HAVE_VORNIX" = 1 ]; then
  best vx_extract; VX_EXTRACT=$BEST_S; PEAK=$BEST_KB; report vx_extract "vornix P extract D"
  best vx_inf; VX_INF=$BEST_S; report vx_inf "vornix P inf"
  if [ "$BEST_KB" -gt "$PEAK" ]; then PEAK=$BEST_KB; fi
  echo "extract ratio (vornix / cabextract): $(ratio "$VX_EXTRACT" "$CAB_EXTRACT")"
  echo "inf ratio     (vornix / cabextract): $(ratio "$VX_INF" "$CAB_INF")"
  echo "vornix peak memory: $PEAK KB ($(echo "scale=1; $PEAK / 1024" | bc) MB)"
fi

if [ "$HAVE_VORNIX" = 1 ]; then
  echo
  sh "$(dirname "$0")/startup.sh" "$VORNIX"
fi

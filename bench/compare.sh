#!/bin/sh
# Every speed figure of vornix against cabextract, measured in one run on the
# same machine:
#   - extraction in both folder modes (`vornix P extract D` keeps the device
#     folders; build/extract_modes also does the window's flat mode) against
#     `cabextract -q -d D P`, on the 2,000-file, 50 MB single-folder MSZIP
#     package make_big_package writes, and on every package of the real
#     samples (../shared/samples, those vornix can extract) added together;
#   - `vornix P inf` against `cabextract -q -F '*.000' -d D P` on the big package;
#   - start-up: `--version` and `P inf` on a tiny package (bench/startup.sh);
#   - peak resident size (/usr/bin/time -v) on the 50 MB package and on a
#     500 MB one;
#   - the samples once more into a RAM file system (/dev/shm, when there is
#     one): what is left of the ratio there is the programs' own work, apart
#     from the disk's cost of making folders, which vornix makes and cabextract
#     does not (a folder per package and per device folder).
# The tools take turns, RUNS runs each (at least 7), after one warm-up round;
# each line gives the median and the range of the elapsed times, and the ratio
# of the medians. A benchmark, not a test: nothing here fails on a figure.
#
#   bench/compare.sh [BUILD_DIR] [RUNS] [SAMPLES_DIR]
#
# BUILD_DIR defaults to build (vornix, extract_modes, make_big_package and
# startup_time are taken from it); SAMPLES_DIR to ../shared/samples.
set -eu

BUILD=$(cd "${1:-build}" && pwd)
RUNS=${2:-7}
SAMPLES=${3:-../shared/samples}
VORNIX=$BUILD/vornix
MODES=$BUILD/extract_modes
MAKE_BIG=$BUILD/make_big_package
TIMER=$BUILD/startup_time
TIME=/usr/bin/time
HERE=$(dirname "$0")

for tool in cabextract "$TIME" "$VORNIX" "$MODES" "$MAKE_BIG" "$TIMER" bc; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "compare.sh: $tool not found" >&2
    exit 1
  fi
done
if [ "$RUNS" -lt 7 ]; then
  echo "compare.sh: at least 7 runs" >&2
  exit 1
fi

WORK=$(mktemp -d "${TMPDIR:-/tmp}/vornix-bench.XXXXXX")
RAM=""
if [ -d /dev/shm ] && [ -w /dev/shm ]; then RAM=$(mktemp -d /dev/shm/vornix-bench.XXXXXX); fi
trap 'rm -rf "$WORK" ${RAM:+"$RAM"}' EXIT INT TERM
P="$WORK/bigpkg.cab"
"$MAKE_BIG" "$P"

# The real packages vornix extracts (a cabinet without a setup description
# is no package); copied, so nothing is written beside the originals.
mkdir "$WORK/samples"
SAMPLE_COUNT=0
SAMPLE_BYTES=0
if [ -d "$SAMPLES" ]; then
  for s in "$SAMPLES"/*; do
    case "$s" in *.cab | *.CAB | *.Cab | *.tsk | *.TSK) ;; *) continue ;; esac
    code=0
    "$VORNIX" --quiet "$s" extract "$WORK/probe" >/dev/null 2>&1 || code=$?
    rm -rf "$WORK/probe"
    if [ "$code" = 0 ] || [ "$code" = 222 ]; then
      cp "$s" "$WORK/samples/"
      SAMPLE_COUNT=$((SAMPLE_COUNT + 1))
      SAMPLE_BYTES=$((SAMPLE_BYTES + $(wc -c <"$s")))
    fi
  done
fi

echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "big package: $(wc -c <"$P") bytes, $(cabextract -l "$P" | grep -c '^ *[0-9][0-9]* |') entries, one MSZIP folder"
echo "samples: $SAMPLE_COUNT packages of $SAMPLES, $SAMPLE_BYTES bytes together"
echo "$RUNS runs each after a warm-up round, taking turns; elapsed seconds, median (min - max)"
echo

# Every run writes into a folder of its own that stays until the end: deleting thousands of files between runs makes the next run's file
# creation search past recently freed inodes (ext4), a cost of the benchmark,
# not of either tool.
RUN=0
# time_run LABEL COMMAND...: one run (@D@ stands for a fresh folder, @R@ for
# one in the RAM file system), its elapsed seconds appended to LABEL's list.
# vornix ends with 222 when a package repeats an installed name: done all the
# same.
time_run() {
  label=$1
  shift
  RUN=$((RUN + 1))
  args=""
  for a in "$@"; do
    [ "$a" = "@D@" ] && a="$WORK/out/$RUN"
    [ "$a" = "@R@" ] && a="$RAM/out/$RUN"
    args="$args '$a'"
  done
  # What the runs before wrote goes to the disk first, untimed: otherwise a
  # run pays for the writeback of the 50 MB runs before it (the kernel holds
  # up a writer once too much waits), whichever tool it is.
  sync
  code=0
  line=$(cd "$WORK" && eval "\"\$TIMER\" $args") || code=$?
  if [ "$code" != 0 ] && [ "$code" != 222 ]; then
    echo "compare.sh: $label failed ($code): $*" >&2
    exit 1
  fi
  echo "$line" | cut -d' ' -f1 >>"$WORK/$label.times"
}

SAMPLE_LIST=$(ls "$WORK"/samples/* 2>/dev/null | tr '\n' ' ')
round() {
  time_run cab_big cabextract -q -d @D@ "$P"
  time_run vx_big "$VORNIX" --quiet "$P" extract @D@
  time_run vx_big_flat "$MODES" flat @D@ "$P"
  time_run cab_inf cabextract -q -F '*.000' -d @D@ "$P"
  time_run vx_inf "$VORNIX" --quiet "$P" inf
  if [ "$SAMPLE_COUNT" -gt 0 ]; then
    # shellcheck disable=SC2086 # one word per package
    time_run cab_samples cabextract -q -d @D@ $SAMPLE_LIST
    # shellcheck disable=SC2086
    time_run vx_samples "$VORNIX" --quiet $SAMPLE_LIST extract @D@
    # shellcheck disable=SC2086
    time_run vx_samples_flat "$MODES" flat @D@ $SAMPLE_LIST
    if [ -n "$RAM" ]; then
      # shellcheck disable=SC2086
      time_run cab_samples_ram cabextract -q -d @R@ $SAMPLE_LIST
      # shellcheck disable=SC2086
      time_run vx_samples_ram "$VORNIX" --quiet $SAMPLE_LIST extract @R@
      # shellcheck disable=SC2086
      time_run vx_samples_flat_ram "$MODES" flat @R@ $SAMPLE_LIST
      rm -rf "$RAM/out"
    fi
  fi
}
round
rm -f "$WORK"/*.times
for _ in $(seq "$RUNS"); do round; done

# stats LABEL: sets MEDIAN, MIN and MAX of LABEL's runs.
stats() {
  set -- $(sort -n "$WORK/$1.times" | awk '{ t[NR] = $1 }
    END { m = NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
          printf "%.3f %.3f %.3f\n", m, t[1], t[NR] }')
  MEDIAN=$1 MIN=$2 MAX=$3
}
ratio() { echo "scale=2; $1 / $2" | bc | sed 's/^\./0./'; }

# line JOB VORNIX_LABEL PEER_LABEL GOAL: one row of the table.
printf '%-44s %-24s %-24s %5s  %s\n' "job" "vornix" "cabextract" "ratio" "goal"
line() {
  stats "$2"; VX=$MEDIAN; VXR="$MEDIAN ($MIN - $MAX)"
  stats "$3"; CAB=$MEDIAN; CABR="$MEDIAN ($MIN - $MAX)"
  printf '%-44s %-24s %-24s %5s  %s\n' "$1" "$VXR" "$CABR" "$(ratio "$VX" "$CAB")" "$4"
}
line "extract, device folders, big package" vx_big cab_big "<= 0.8"
line "extract, flat, big package" vx_big_flat cab_big "<= 0.8"
if [ "$SAMPLE_COUNT" -gt 0 ]; then
  line "extract, device folders, $SAMPLE_COUNT samples" vx_samples cab_samples "<= 0.8"
  line "extract, flat, $SAMPLE_COUNT samples" vx_samples_flat cab_samples "<= 0.8"
  if [ -n "$RAM" ]; then
    line "  the same in RAM (/dev/shm), device folders" vx_samples_ram cab_samples_ram ""
    line "  the same in RAM (/dev/shm), flat" vx_samples_flat_ram cab_samples_ram ""
  fi
fi
line "inf vs -F '*.000', big package" vx_inf cab_inf "<= 1.0"
echo

rm -rf "$WORK/out"

# Peak resident size: one run each is enough, the figure hardly moves.
peak() {
  rm -rf "$WORK/out"
  code=0
  (cd "$WORK" && "$TIME" -v -o "$WORK/rss" "$@" >/dev/null 2>&1) || code=$?
  if [ "$code" != 0 ] && [ "$code" != 222 ]; then
    echo "compare.sh: $* failed ($code)" >&2
    exit 1
  fi
  KB=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$WORK/rss")
}
memory() {
  peak "$VORNIX" --quiet "$1" extract "$WORK/out"; VX_EXTRACT=$KB
  peak "$VORNIX" --quiet "$1" inf; VX_INF=$KB
  peak cabextract -q -d "$WORK/out" "$1"; CAB_EXTRACT=$KB
  printf '%-44s %8d KB %-13s %8d KB %-13s %s\n' "peak resident size, $2: extract" "$VX_EXTRACT" "" "$CAB_EXTRACT" "" "< 64 MB"
  printf '%-44s %8d KB %-13s %-27s %s\n' "peak resident size, $2: inf" "$VX_INF" "" "" "< 64 MB"
}
memory "$P" "50 MB package"
"$MAKE_BIG" "$WORK/huge.cab" 2000 500
memory "$WORK/huge.cab" "500 MB package"
rm -rf "$WORK/out" "$WORK/huge.cab"
echo

sh "$HERE/startup.sh" "$VORNIX" 11

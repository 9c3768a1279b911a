#!/bin/sh
# Start-up of vornix against cabextract's, in one run on the same machine:
# `--version`, and the INF job on a tiny package (samples/tidepool.cab, 651
# bytes) against cabextract unpacking its setup description. The tools take
# turns; every command runs RUNS times (at least 7) after one warm-up run.
#
#   bench/startup.sh [VORNIX] [RUNS]
#
# VORNIX defaults to build/vornix; the startup_time tool beside it (or
# $STARTUP_TIME) does the timing: the shell's and /usr/bin/time's clocks are
# too coarse for a few milliseconds. Elapsed time counts what a user waits for;
# processor time is what other work on a shared machine disturbs least.
set -eu

VORNIX=${1:-build/vornix}
RUNS=${2:-11}
TIMER=${STARTUP_TIME:-$(dirname "$VORNIX")/startup_time}
SAMPLE=$(dirname "$0")/../samples/tidepool.cab

for tool in cabextract "$VORNIX" "$TIMER"; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "startup.sh: $tool not found" >&2
    exit 1
  fi
done
if [ "$RUNS" -lt 7 ]; then
  echo "startup.sh: at least 7 runs" >&2
  exit 1
fi

WORK=$(mktemp -d "${TMPDIR:-/tmp}/vornix-startup.XXXXXX")
trap 'rm -rf "$WORK"' EXIT INT TERM
P="$WORK/tidepool.cab"
D="$WORK/out"
cp "$SAMPLE" "$P"

# time_run LABEL COMMAND...: one timed run, its seconds appended to LABEL's list.
time_run() {
  label=$1
  shift
  rm -rf "$D" "$WORK/tidepool.inf"
  if ! seconds=$("$TIMER" "$@"); then
    echo "startup.sh: $* failed" >&2
    "$@" >&2 || true
    exit 1
  fi
  echo "$seconds" >>"$WORK/$label.times"
}

round() {
  for pass in warm-up $(seq "$RUNS"); do
    time_run vx_version "$VORNIX" --version
    time_run cab_version cabextract --version
    time_run vx_inf "$VORNIX" "$P" inf
    time_run cab_inf cabextract -q -F '*.000' -d "$D" "$P"
    # The warm-up run fills the page cache for both tools; it does not count.
    if [ "$pass" = warm-up ]; then rm -f "$WORK"/*.times; fi
  done
}
round

# stats LABEL COLUMN: sets MEDIAN, MIN and MAX of LABEL's runs in milliseconds,
# from column 1 (elapsed) or 2 (processor time).
stats() {
  set -- $(cut -d' ' -f"$2" "$WORK/$1.times" | sort -n | awk '{ t[NR] = $1 * 1000 }
    END { m = NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
          printf "%.3f %.3f %.3f\n", m, t[1], t[NR] }')
  MEDIAN=$1 MIN=$2 MAX=$3
}

# report LABEL TEXT: one line; sets WALL and CPU to the medians.
report() {
  stats "$1" 1; WALL=$MEDIAN; line=$(printf '%7.3f ms (%6.3f - %6.3f)' "$MEDIAN" "$MIN" "$MAX")
  stats "$1" 2; CPU=$MEDIAN
  printf '%-32s %s   %7.3f ms (%6.3f - %6.3f)\n' "$2" "$line" "$MEDIAN" "$MIN" "$MAX"
}

ratio() { echo "scale=2; $1 / $2" | bc | sed 's/^\./0./'; }

echo "start-up: $RUNS runs each, taking turns, on $(nproc) cores; P = samples/tidepool.cab ($(wc -c <"$P") bytes)"
printf '%-32s %-32s %s\n' "" "elapsed: median (min - max)" "processor time: median (min - max)"
report vx_version "vornix --version"; VX_VERSION_WALL=$WALL VX_VERSION_CPU=$CPU
report cab_version "cabextract --version"; CAB_VERSION_WALL=$WALL CAB_VERSION_CPU=$CPU
report vx_inf "vornix P inf"; VX_INF_WALL=$WALL VX_INF_CPU=$CPU
report cab_inf "cabextract -q -F '*.000' -d D P"; CAB_INF_WALL=$WALL CAB_INF_CPU=$CPU
echo "start-up ratio --version (vornix / cabextract): elapsed $(ratio "$VX_VERSION_WALL" "$CAB_VERSION_WALL")," \
  "processor time $(ratio "$VX_VERSION_CPU" "$CAB_VERSION_CPU")"
echo "start-up ratio P inf     (vornix / cabextract): elapsed $(ratio "$VX_INF_WALL" "$CAB_INF_WALL")," \
  "processor time $(ratio "$VX_INF_CPU" "$CAB_INF_CPU")"

#!/bin/sh
# Times vornix against cabextract on the same package, on the same machine, in
# one run: a 2,000-file package of about 50 MB in one MSZIP folder, laid out
# as CabWiz lays packages out (make_big_package).
#
#   bench/compare.sh [VORNIX] [MAKE_BIG_PACKAGE]
#
# VORNIX defaults to build/vornix; MAKE_BIG_PACKAGE to the make_big_package
# beside it. Each command runs three times; the fastest run counts. Without a
# vornix binary only the cabextract figures are printed.
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

# best_of_3 LABEL COMMAND...: runs COMMAND three times on a fresh $D and sets
# BEST_S (seconds of the fastest run) and BEST_KB (largest peak resident size).
best_of_3() {
  label=$1
  shift
  BEST_S=""
  BEST_KB=0
  for run in 1 2 3; do
    rm -rf "$D" "$WORK/bigpkg.inf"
    if ! "$TIME" -f '%e %M' -o "$WORK/time" "$@" >"$WORK/log" 2>&1; then
      echo "compare.sh: $label failed:" >&2
      cat "$WORK/log" >&2
      exit 1
    fi
    read -r s kb <"$WORK/time"
    if [ -z "$BEST_S" ] || [ "$(echo "$s < $BEST_S" | bc)" = 1 ]; then BEST_S=$s; fi
    if [ "$kb" -gt "$BEST_KB" ]; then BEST_KB=$kb; fi
  done
  printf '%-34s %6.2f s  %8d KB peak\n' "$label" "$BEST_S" "$BEST_KB"
}

ratio() {
  if [ "$(echo "$2 == 0" | bc)" = 1 ]; then echo "n/a"; else echo "scale=2; $1 / $2" | bc; fi
}

best_of_3 "cabextract -q -d D P" cabextract -q -d "$D" "$P"
CAB_EXTRACT=$BEST_S
best_of_3 "cabextract -q -F '*.000' -d D P" cabextract -q -F '*.000' -d "$D" "$P"
CAB_INF=$BEST_S

if [ "$HAVE_VORNIX" = 1 ]; then
  best_of_3 "vornix P extract D" "$VORNIX" "$P" extract "$D"
  VX_EXTRACT=$BEST_S
  PEAK=$BEST_KB
  best_of_3 "vornix P inf" "$VORNIX" "$P" inf
  VX_INF=$BEST_S
  if [ "$BEST_KB" -gt "$PEAK" ]; then PEAK=$BEST_KB; fi
  echo "extract ratio (vornix / cabextract): $(ratio "$VX_EXTRACT" "$CAB_EXTRACT")"
  echo "inf ratio     (vornix / cabextract): $(ratio "$VX_INF" "$CAB_INF")"
  echo "vornix peak memory: $PEAK KB ($(echo "scale=1; $PEAK / 1024" | bc) MB)"
fi

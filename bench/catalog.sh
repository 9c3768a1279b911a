#!/bin/sh
# Times `vornix --catalog` on a tree of 2,000 made packages (make_catalog_tree)
# with one worker and with two, and prints packages per second. Each run is
# made three times; the fastest counts.
#
#   bench/catalog.sh [VORNIX] [MAKE_CATALOG_TREE] [COUNT]
set -eu

VORNIX=${1:-build/vornix}
MAKE_TREE=${2:-$(dirname "$VORNIX")/make_catalog_tree}
COUNT=${3:-2000}
TREE=$(mktemp -d "${TMPDIR:-/tmp}/vornix-catalog-bench-XXXXXX")
trap 'rm -rf "$TREE"' EXIT INT TERM

"$MAKE_TREE" "$TREE/tree" "$COUNT" >/dev/null
for jobs in 1 2; do
  best=
  for run in 1 2 3; do
    start=$(date +%s.%N)
    "$VORNIX" --catalog "$TREE/tree" --jobs "$jobs" >"$TREE/out" 2>/dev/null || true
    end=$(date +%s.%N)
    seconds=$(echo "$end - $start" | bc -l)
    if [ -z "$best" ] || [ "$(echo "$seconds < $best" | bc -l)" = 1 ]; then best=$seconds; fi
  done
  lines=$(wc -l <"$TREE/out")
  printf '%s packages, --jobs %s: %.2f s, %.0f packages per second\n' "$lines" "$jobs" "$best" \
    "$(echo "$lines / $best" | bc -l)"
done

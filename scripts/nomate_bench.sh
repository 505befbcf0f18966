#!/bin/sh
# The no-mate benchmark: builds, generates the fixed set of 300 positions
# labelled by the exhaustive check, and runs the engine's bench on the ones
# with a verdict, printing the counts, soundness failures and the median
# time of the "nomate" answers.
#
#   scripts/nomate_bench.sh [BUILD_DIR]      (default build; JOBS=1 for the build)
set -eu

cd "$(dirname "$0")/.."
BUILD=${1:-build}
JOBS=${JOBS:-1}
# Fixed so that every run measures the same positions.
COUNT=300
SEED=12026
PLIES=15
BUDGET=30000
LIMIT_MS=3000
HASH_MB=256

cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j "$JOBS" --target bench nomate_set >/dev/null

OUT="$BUILD/nomate"
mkdir -p "$OUT"
SET="$OUT/set-$SEED-$COUNT.tsv"
start=$(date +%s)
"$BUILD/tools/nomate_set" --count "$COUNT" --seed "$SEED" --plies "$PLIES" --budget "$BUDGET" --out "$SET"
echo "generation: $(( $(date +%s) - start )) s"

# Only positions with a verdict: an unknown one can neither pass nor fail.
grep -P '\t(nomate|mate)$' "$SET" > "$OUT/decided.tsv" || true
status=0
"$BUILD/bench/bench" --nomate "$OUT/decided.tsv" --limit "$LIMIT_MS" --hash "$HASH_MB" > "$OUT/bench.txt" || status=$?

positions=$(wc -l < "$SET")
exhaustive_nomate=$(grep -cP '\tnomate$' "$SET" || true)
exhaustive_mate=$(grep -cP '\tmate$' "$SET" || true)
# Rows: "#  name  exhaustive  result  nodes  ms  [flag]".
rows=$(grep -E '^[0-9]+ ' "$OUT/bench.txt")
count() { printf '%s\n' "$rows" | awk -v e="$1" -v r="$2" '$3 == e && $4 == r' | wc -l; }
echo "positions:                 $positions (exhaustively $exhaustive_nomate nomate, $exhaustive_mate mate, $((positions - exhaustive_nomate - exhaustive_mate)) unknown)"
echo "exhaustively no-mate:      $exhaustive_nomate"
echo "answered nomate:           $(count nomate nomate)"
echo "answered timeout:          $(count nomate timeout)"
echo "answered mate:             $(count nomate mate)"
median=$(sed -n 's/.*median time of the nomate answers \([0-9.]*\) ms.*/\1/p' "$OUT/bench.txt")
echo "median time of the nomate answers: ${median:--} ms"
echo "exhaustive mates:          answered mate $(count mate mate), timeout $(count mate timeout), nomate $(count mate nomate)"
grep 'signature' "$OUT/bench.txt" || true
if grep -q 'SOUNDNESS FAILURE' "$OUT/bench.txt"; then
  echo "!!!!!!!! SOUNDNESS FAILURES !!!!!!!!"
  grep 'SOUNDNESS FAILURE' "$OUT/bench.txt"
  exit 1
fi
echo "soundness: no failures ($OUT/bench.txt has the rows)"
exit "$status"

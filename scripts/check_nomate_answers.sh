#!/bin/sh
# Checks every "nomate" answer of a `bench --nomate` run independently: the
# brute force of mate_bound (rules reference only) must find no strict mate
# within PLIES plies.
#
#   scripts/check_nomate_answers.sh BUILD SET.tsv BENCH_OUTPUT [PLIES]
set -eu
BUILD=$1
SET=$2
OUT=$3
PLIES=${4:-9}
checked=0
failed=0
for n in $(awk '$1 ~ /^[0-9]+$/ && $4 == "nomate" {print $1}' "$OUT"); do
  sfen=$(grep -v '^#' "$SET" | sed -n "${n}p" | cut -f1)
  result=$("$BUILD/tools/mate_bound" --table-mb 64 "$PLIES" "$sfen" | tail -1)
  checked=$((checked + 1))
  case "$result" in
    "no strict mate within"*) ;;
    *) failed=$((failed + 1)); echo "CONTRADICTED: row $n: $sfen: $result" ;;
  esac
done
echo "nomate answers checked: $checked, contradicted by mate_bound within $PLIES plies: $failed"
[ "$failed" -eq 0 ]

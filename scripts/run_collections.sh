#!/usr/bin/env bash
# Runs whole problem collections through the bench (nodes, time) and through
# the long check (engine over pipes, answers checked with the rules
# reference), one collection after the other, at low priority.
#
#   scripts/run_collections.sh BUILD_DIR OUT_DIR LIMIT_MS FILE...
#
# Writes OUT_DIR/<stem>.bench.txt and OUT_DIR/<stem>.check.txt (+ .tsv).
# HASH (MB, default 256) sets the table size of both, THREADS (default 1)
# their Threads.
set -uo pipefail

if [ $# -lt 4 ]; then
  echo "usage: $0 BUILD_DIR OUT_DIR LIMIT_MS FILE..." >&2
  exit 2
fi
build=$1 out=$2 limit=$3
shift 3
hash=${HASH:-256}
threads=${THREADS:-1}
mkdir -p "$out"
status=0
for file in "$@"; do
  stem=$(basename "$file" .sfen)
  echo "== $stem: bench" >&2
  nice -n 19 "$build/bench/bench" "$file" --hash "$hash" --limit "$limit" --threads "$threads" > "$out/$stem.bench.txt" || status=1
  tail -3 "$out/$stem.bench.txt" >&2
  echo "== $stem: long check" >&2
  nice -n 19 "$build/tools/long_check" "$build/kestrane" --hash "$hash" --limit "$limit" --threads "$threads" \
    --report "$out/$stem.check.tsv" "$file" > "$out/$stem.check.txt" || status=1
  grep -E '^[0-9]+ problems:' "$out/$stem.check.txt" >&2
done
exit $status

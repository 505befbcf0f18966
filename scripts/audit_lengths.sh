#!/usr/bin/env bash
# Every answer longer than its known length, with the reason line_audit finds:
# runs the long check over a collection and audits each longer answer.
#
#   scripts/audit_lengths.sh BUILD_DIR LIMIT_MS DEPTH FILE [NAME,...]
#   REPORT=R.tsv scripts/audit_lengths.sh BUILD_DIR - DEPTH FILE   (audits R.tsv)
#
# Prints one Markdown row per longer answer: problem, answer, known, whether
# the engine proved the length shortest, reason
# (the deepest ply where the line passes over a shorter mate, or a mate its
# own leftover rule prefers, or none within DEPTH plies).
set -uo pipefail

if [ $# -lt 4 ]; then
  echo "usage: $0 BUILD_DIR LIMIT_MS DEPTH FILE [NAME,...]" >&2
  exit 2
fi
build=$1 limit=$2 depth=$3 file=$4
only=${5:+--only $5}
if [ -n "${REPORT:-}" ]; then
  # The report of a long check already run (REPORT=R.tsv): audited as it is.
  report=$REPORT
else
  report=$(mktemp)
  trap 'rm -f "$report"' EXIT
  # shellcheck disable=SC2086
  nice -n 19 "$build/tools/long_check" "$build/kestrane" --hash "${HASH:-256}" --limit "$limit" $only \
    --report "$report" "$file" >&2
fi

echo "| problem | answer | known | length | reason |"
echo "|---|---:|---:|---|---|"
tail -n +2 "$report" | awk -F'\t' -v OFS='\t' '{for (i = 1; i <= NF; i++) if ($i == "") $i = "-"; print}' |
  while IFS=$'\t' read -r name result length known verdict ms detail line; do
  [ "$verdict" = "longer" ] || continue
  sfen=$(grep -v '^#' "$file" | awk -F'\t' -v n="${name##*-}" 'NR == n + 0 {print $1}')
  # shellcheck disable=SC2086
  audit=$(nice -n 19 "$build/tools/line_audit" --depth "$depth" "$sfen" $line 2>&1)
  reason=$(echo "$audit" | grep -E '^last ply passing over a shorter mate' | head -1)
  if [ -n "$reason" ]; then
    ply=${reason##*: }
    what=$(echo "$audit" | grep -E "^ply +$ply " | sed -E 's/.*shorter mate in ([0-9]+), first ([^;]+);.*/a mate in \1 starts \2/')
    reason="passes over a shorter mate at ply $ply: $what"
  else
    better=$(echo "$audit" | grep -E '^last ply passing over a mate better' | head -1)
    if [ -n "$better" ]; then
      reason="passes over a mate its own rule prefers at ply ${better##*: }"
    else
      reason="no shorter mate within $depth plies of any attacker move"
    fi
  fi
  proof=$(echo "$detail" | grep -o 'not proven shortest\|proven shortest' | head -1)
  echo "| $name | $length | $known | ${proof:--} | $reason |"
done

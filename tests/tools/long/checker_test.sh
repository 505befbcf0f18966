#!/usr/bin/env bash
# The long check's own test: a stand-in engine gives right and wrong answers
# (answers.tsv, first column) and each verdict must be the expected one
# (second column); the run must end with status 1 because of the wrong ones.
#
#   checker_test.sh LONG_CHECK WORK_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
long_check=$1
work=$2
mkdir -p "$work"
report="$work/checker_test.tsv"
rm -f "$report"

FAKE_ANSWERS="$here/answers.tsv" "$long_check" "$here/fake_engine.sh" --limit 1000 --hash 1 \
  --report "$report" "$here/answers.sfen"
status=$?
if [ "$status" -ne 1 ]; then
  echo "expected status 1 (failures found), got $status"
  exit 1
fi
# Verdict column of the report (header dropped) against the expected one.
if ! diff <(tail -n +2 "$report" | cut -f5) <(cut -f2 "$here/answers.tsv"); then
  echo "verdicts differ from the expected ones (left: report, right: expected)"
  exit 1
fi
echo "all verdicts as expected"

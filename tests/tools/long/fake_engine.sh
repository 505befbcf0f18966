#!/usr/bin/env bash
# A stand-in engine for the long check's own test: answers the USI
# handshake, and each "go" with the next line of the first column of
# $FAKE_ANSWERS.
set -u
mapfile -t answers < <(cut -f1 "$FAKE_ANSWERS")
next=0
while IFS= read -r line; do
  case "$line" in
    usi) echo "usiok" ;;
    isready) echo "readyok" ;;
    go*) echo "${answers[$next]}"; next=$((next + 1)) ;;
    quit) exit 0 ;;
  esac
done

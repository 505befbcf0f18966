#!/usr/bin/env bash
# Drives the engine through a USI session the way a GUI does: each command
# waits for its answer before the next goes out, and "quit" comes last.
set -euo pipefail

ENGINE=${1:-build/kestrane}
# Shogi Zukou No. 2 (problems/zukou.sfen), a 21-move mate.
PROBLEM=${2:-"position sfen 9/9/3B3G1/6+p1n/7+p1/7k1/5BL1p/7G1/7+R+r b N2P2g4s2n3l13p 1"}

coproc ENGINE_PROC { "$ENGINE"; }
engine_pid=$ENGINE_PROC_PID
exec {to_engine}>&"${ENGINE_PROC[1]}" {from_engine}<&"${ENGINE_PROC[0]}"

send() { echo "> $1"; printf '%s\n' "$1" >&"$to_engine"; }

# Prints engine lines until one starts with $1; gives up after $2 seconds.
expect() {
  local line
  while IFS= read -r -t "$2" line <&"$from_engine"; do
    printf '< %s\n' "$line"
    [[ $line == "$1"* ]] && return 0
  done
  echo "no '$1' from the engine within $2 s" >&2
  return 1
}

send "usi";        expect "usiok" 10
send "setoption name USI_Hash value 64"
send "isready";    expect "readyok" 10
send "usinewgame"
send "$PROBLEM"
send "go mate 60000"; expect "checkmate" 90
send "quit"
wait "$engine_pid"
echo "engine exited with status $?"

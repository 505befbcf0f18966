#!/usr/bin/env bash
# Checks the Windows build under Wine with the Linux build's own tests:
#   scripts/wine_check.sh [WINDOWS_BUILD] [LINUX_BUILD]      (default build-win build)
# 1. the platform layer's tests (kestrane_platform_tests.exe);
# 2. the pipe-driven end-to-end tests of the Linux test binary, driving
#    kestrane.exe under Wine (KESTRANE_ENGINE); one of them compares its answers
#    and node counts with the Linux engine's;
# 3. bench.exe's signature against the Linux bench's, and its verdicts with two
#    threads;
# 4. kestrane-check.exe's verdicts on the test fixtures against the Linux
#    kestrane-check's, with its web page and problems named from Windows paths.
# Wine runs in a fresh prefix inside the Windows build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
WIN_BUILD=$(realpath "${1:-build-win}")
LINUX_BUILD=$(realpath "${2:-build}")

WINE=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
WINESERVER=$(command -v wineserver || echo "$(dirname "$(readlink -f "$WINE")")/wineserver")
export WINEDEBUG=-all WINEPREFIX="$WIN_BUILD/wineprefix"
rm -rf "$WINEPREFIX"

step() { printf '== %s (%d s)\n' "$1" "$SECONDS"; }

step "creating the Wine prefix"
mkdir -p "$WINEPREFIX"
# One server for all the processes of the run, started before any of them;
# its descriptors must not hold this script's output open.
"$WINESERVER" -p </dev/null >/dev/null 2>&1
trap '"$WINESERVER" -k >/dev/null 2>&1 || true' EXIT
"$WINE" wineboot --init >/dev/null 2>&1 || true

step "platform tests"
"$WINE" "$WIN_BUILD/tests/kestrane_platform_tests.exe"

step "end-to-end tests against kestrane.exe"
FILTER='EngineProcessTest.*:GoMate.*:HostileInput.LinesOf*:HostileInput.NulAndOtherControlBytes'
FILTER+=':HostileInput.CrLf*:HostileInput.ImpossiblePositions*:HashExtremes/*:QuitOrEndOfInput/*'
FILTER+=':StopAndQuit.StopWithoutAVerifiedMateAnswersTimeout:StopAndQuit.StopEndsEveryThread'
FILTER+=':AlternateSearch.SoundProblemIsSearchedAndFoundSound:AlternateSearch.SecondFirstMoveIsReportedAtPlyOne'
KESTRANE_ENGINE="$WINE $WIN_BUILD/kestrane.exe" \
  "$LINUX_BUILD/tests/kestrane_tests" --gtest_filter="$FILTER" --gtest_brief=1

step "bench signature"
linux=$("$LINUX_BUILD/bench/bench" | grep '^signature:')
windows=$("$WINE" "$WIN_BUILD/bench.exe" | tr -d '\r' | grep '^signature:')
echo "Linux:   $linux"
echo "Windows: $windows"
[ "$linux" = "$windows" ] || { echo "bench signatures differ" >&2; exit 1; }

step "bench with two threads"
# The counts depend on the threads' timing; the verdicts do not.
verdicts() { grep '^total: 22 problems' | sed 's/;.*//'; }
linux=$("$LINUX_BUILD/bench/bench" --threads 2 | verdicts)
windows=$("$WINE" "$WIN_BUILD/bench.exe" --threads 2 | tr -d '\r' | verdicts)
echo "Linux:   $linux"
echo "Windows: $windows"
[ -n "$linux" ] && [ "$linux" = "$windows" ] || { echo "two-thread verdicts differ" >&2; exit 1; }

step "kestrane-check.exe"
# Problems with quick, settled answers; the time column differs, so it is cut.
fixtures=(tests/fixtures/check/01-two-solutions.kif tests/fixtures/check/02-drop-and-promotion.csa
          tests/fixtures/check/04-stated.sfen)
check_args=(--hash 16 --alt-seconds 10)
linux=$("$LINUX_BUILD/kestrane-check" "${fixtures[@]}" "${check_args[@]}" 2>/dev/null | cut -f1-9)
# Backslashes as a Windows user types them: the names must not keep the folders.
win_fixtures=("${fixtures[@]//\//\\}")
rm -f "$WIN_BUILD/check-report.html" "$WIN_BUILD/check-report.tsv"
"$WINE" "$WIN_BUILD/kestrane-check.exe" "${win_fixtures[@]}" "${check_args[@]}" \
  --html "$WIN_BUILD/check-report.html" --tsv "$WIN_BUILD/check-report.tsv"
windows=$(tr -d '\r' <"$WIN_BUILD/check-report.tsv" | cut -f1-9)
echo "$windows"
[ "$linux" = "$windows" ] || { echo "kestrane-check verdicts differ; Linux:" >&2; echo "$linux" >&2; exit 1; }
sections=$(grep -c '<section class="problem"' "$WIN_BUILD/check-report.html" || true)
[ "$sections" = 5 ] || { echo "check-report.html has $sections problems, not 5" >&2; exit 1; }

step "Windows checks passed"

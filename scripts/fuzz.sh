#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while.
#
#   scripts/fuzz.sh [seconds per target] [target ...]
#
# Defaults: 60 seconds, every target (sfen_solve, command_loop); the targets
# run side by side. FUZZ_BUILD names the build directory (default
# build-fuzz), FUZZ_JOBS the number of parallel fuzzing jobs per target
# (default 1), FUZZ_ARGS extra libFuzzer flags. New inputs that widen coverage go to a scratch corpus beside the
# build; the seed corpus in fuzz/corpus/<target> is only read. A crash,
# hang or failed check leaves its input in the build's artifacts/<target>
# directory and makes the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."

SECONDS_PER_TARGET=${1:-60}
shift || true
TARGETS=("$@")
[ ${#TARGETS[@]} -gt 0 ] || TARGETS=(sfen_solve command_loop)
BUILD=${FUZZ_BUILD:-build-fuzz}
JOBS=${FUZZ_JOBS:-1}

CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Debug \
  -DKESTRANE_FUZZ=ON -DKESTRANE_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j "$(nproc 2>/dev/null || echo 2)" \
  --target "${TARGETS[@]/%/_fuzz}"

# One target's run; its report goes to $BUILD/<target>.out.
fuzz_one() {
  local target=$1
  local work="$BUILD/corpus/$target"
  local artifacts="$BUILD/artifacts/$target"
  mkdir -p "$work" "$artifacts"
  local parallel=()
  # Parallel jobs write their logs to fuzz-N.log in the current directory.
  [ "$JOBS" -gt 1 ] && parallel=(-jobs="$JOBS" -workers="$JOBS")
  # -timeout: one input that runs longer than this is a hang.
  # -rss_limit_mb: well above the small tables the targets use.
  # shellcheck disable=SC2086
  if ! "$BUILD/fuzz/${target}_fuzz" "$work" "fuzz/corpus/$target" \
      -max_total_time="$SECONDS_PER_TARGET" -timeout=20 -rss_limit_mb=4096 \
      -max_len=4096 -print_final_stats=1 "${parallel[@]}" \
      -artifact_prefix="$artifacts/" ${FUZZ_ARGS:-} 2>"$BUILD/$target.log"; then
    echo "$target: FAILED; input in $artifacts, log in $BUILD/$target.log"
    tail -n 60 "$BUILD/$target.log"
    return 1
  fi
  grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|#[0-9]+ *DONE)' "$BUILD/$target.log" || true
  echo "$target: no crash, hang or failed check"
}

# The targets run side by side (one core each), each for the whole time.
echo "== ${TARGETS[*]}: ${SECONDS_PER_TARGET} s each, side by side"
pids=()
for target in "${TARGETS[@]}"; do
  fuzz_one "$target" >"$BUILD/$target.out" 2>&1 &
  pids+=($!)
done
status=0
for i in "${!TARGETS[@]}"; do
  wait "${pids[$i]}" || status=1
  cat "$BUILD/${TARGETS[$i]}.out"
done
exit $status

// The bench's no-mate workload: generated positions whose verdict the
// exhaustive check (not the engine) gave, solved by the engine and compared
// with it. A mate answered where the exhaustive check proved none, or a
// "nomate" answered where it found a mate, is a soundness failure.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "problem_file.h"

namespace nomate_workload {

// One solve as the bench did it: result (RESULT_TIMEOUT, RESULT_MATE or
// RESULT_NOMATE), nodes and wall-clock milliseconds.
struct Solve {
  int result;
  uint64_t nodes;
  double ms;
};
// Solves `sfen` with an empty table and a limit in milliseconds.
using Solver = std::function<Solve(const std::string& sfen, uint32_t limit_ms)>;

// Size, seed and limits of the built-in set.
inline constexpr size_t BUILT_IN_SIZE = 24;
inline constexpr uint64_t BUILT_IN_SEED = 12026;
inline constexpr uint32_t BUILT_IN_LIMIT_MS = 200;
// A small table: every position starts with an empty one, and clearing a
// large table for each would take longer than the solves.
inline constexpr uint32_t BUILT_IN_HASH_MB = 16;

// The built-in set, generated now: the first BUILT_IN_SIZE positions of the
// series that a small exhaustive check proves without a mate in a proof of
// some size (the smallest ones tell nothing about the search), with known
// answer "nomate".
std::vector<ProblemEntry> built_in_set();

// Solves every position with an empty table (so that each count stands
// alone) and prints a row each, the counts, the median time of the nomate
// answers, soundness failures and a signature line "nomate signature: ...".
// A position's known answer is the exhaustive verdict: mate, nomate or
// unknown (anything else counts as unknown). Returns the number of
// soundness failures.
// `hash_mb` and `threads` are only printed (with more than one thread there
// is no signature).
int run(FILE* out, const std::vector<ProblemEntry>& positions, uint32_t limit_ms, uint32_t hash_mb,
        const Solver& solve, int threads = 1);

}  // namespace nomate_workload

// Solving problems in-process through the engine's own "position" and
// "go mate" steps, shared by the bench and by kestrane-check.
//
// The engine writes its progress lines to stdout while it searches; once
// redirect_engine_output() has run they go to the null device (or to a
// scratch file when the caller wants them), and the program's own output
// goes to table_output(), a duplicate of the original stdout.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "problem_file.h"
#include "position/types.h"
#include "solve/go_mate.h"

struct Solved {
  GoMateOutcome outcome;
  uint32_t nodes;  // of the main thread, which the signature counts
  uint64_t helper_nodes;  // of the helper threads (Threads above 1)
  double ms;
  double cpu_ms;
  int length;
  uint8_t shortest;     // ShortestState of the answer
  int stage_mates;      // shorter mates found by the minimality stage
  bool clock_stopped;   // the clock ended the search: the count depends on it
  std::string line;     // the answer in USI text, moves separated by spaces
  std::vector<MoveCode> moves;  // the answer's codes (outcome.answer is reused by the next solve)
};

// False (with errno) when stdout cannot be moved aside.
bool redirect_engine_output();
// The original stdout.
FILE* table_output();

struct EngineSettings {
  uint32_t hash_mb;
  uint32_t stage_budget;  // expansions of the minimality stage, 0 = until the limit
  bool alternate;         // Do_YoTsume_Search
  int alt_seconds;        // YoTsume_Second
  int threads = 1;        // Threads
};
void set_up_engine(const EngineSettings& settings);

// The engine's "position sfen" and "go mate" steps, without the answer line.
// With `engine_lines`, everything the engine wrote during the solve.
Solved solve(const ProblemEntry& p, uint32_t limit_ms, bool fresh, std::string* engine_lines = nullptr);

// "mate", "nomate" or "timeout".
const char* result_name(int result);
// "12s", "3m05s", "1h02m03s".
std::string clock_text(double seconds);

// One "go mate" request: the solve and its answer line.
#pragma once

#include <cstdint>

#include "position/types.h"
#include "solve/soundness.h"

// What one request found: the outcome (RESULT_TIMEOUT, RESULT_MATE or
// RESULT_NOMATE), and for a mate the answer line (MoveCodes ended by a value
// of 0 or below) and, with the alternate-solution search on, where the first
// alternate solution left it.
struct GoMateOutcome {
  int result;
  const MoveCode* answer;
  int alternate_ply;     // ply of the first alternate solution, 0 = none found
  bool alternate_timed_out;  // the check left a ply undecided
};

// The soundness check of the last request's answer, with the alternate-
// solution search on (empty otherwise).
extern SoundnessReport last_soundness;

// Written when a proven line fails the rules check; the solve then starts
// again from empty tables, within the same limit.
extern const char ANSWER_REJECTED_LINE[];

// Runs the whole solve for the current board with a limit in milliseconds
// (0 = none): progress lines and info strings are written, the answer line
// is not.
GoMateOutcome solve_go_mate(uint32_t time_limit_ms);

// solve_go_mate, then the answer line.
void run_go_mate(uint32_t time_limit_ms);

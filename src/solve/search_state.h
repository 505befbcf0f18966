// Solve-wide state shared by the driver, the node searches and the
// progress lines.
#pragma once

#include <cstdint>

// STOP_TURN ends one root search of the first pass early (its node cap);
// the driver takes it as a failure at that threshold and goes on.
enum StopReason : int16_t { STOP_NONE = 0, STOP_TIME = 1, STOP_BUDGET = 2, STOP_TURN = 3 };

// A refinement pass gives up beyond this many expansions.
constexpr uint32_t PASS_EXPANSION_BUDGET = 199999;

extern thread_local int16_t stop_reason;
// Clocks (32-bit milliseconds that wrap); differences are taken unsigned.
extern uint32_t time_limit_ms;    // 0 = no limit
extern uint32_t limit_start_ms;   // the limit counts from here
extern uint32_t search_start_ms;  // start of the "go mate": speed and time
extern uint32_t last_report_ms;   // time of the last progress line
// Stops the search like the time limit once this many nodes have been
// generated in one "go mate" (0 = no budget). Never set by the engine; the
// fuzz targets use it to bound a solve without depending on the clock.
extern uint32_t node_budget;

// The node count at which the current root search ends with STOP_TURN (0 = none).
extern thread_local uint32_t turn_node_cap;
extern thread_local int32_t root_threshold;  // threshold of the current root search
extern int32_t reported_depth;  // 0 until the first proof, then its threshold
extern int16_t mate_length;     // moves of the solution read out

// Set while a position inside an answered line is solved as a root: its
// solve writes no progress lines or info strings, and a proof already in the
// table is searched again for its least value instead of being answered.
extern uint8_t inner_solve;
extern uint8_t store_proof_hands;  // store proofs once more under their proof hand
extern uint8_t limit_active;       // the mate length limit applies
// The final stage after the refinement passes: no budgets, and a line cut
// at the length limit is a disproof, so that the root can be disproven.
extern uint8_t minimality_stage;
// The stage keeps its numbers per position and plies left, shared by
// transpositions; 0 after those shared sums saturated (path keys again).
extern uint8_t stage_shared_numbers;
// Ends the stage like a stop after this many expansions (0 = none). Never set
// by the engine, which runs the stage until the time limit; the bench sets it
// so that its counts do not depend on the clock.
extern uint32_t stage_expansion_budget;
// Defender nodes count the hardest reply and one for each other instead of
// the sum of their replies' proof numbers (set by the driver per root search).
extern thread_local uint8_t weak_and_numbers;

// Solve-wide state shared by the driver, the node searches and the
// progress lines: the clocks and limits of the request (the main thread's),
// and the helpers' stop. What each search thread owns is in
// search/thread_state.h.
#pragma once

#include <atomic>
#include <cstdint>

#include "movegen/move_list.h"
#include "search/thread_state.h"

// STOP_TURN ends one root search of the first pass early (its node cap);
// the driver takes it as a failure at that threshold and goes on.
enum StopReason : int16_t { STOP_NONE = 0, STOP_TIME = 1, STOP_BUDGET = 2, STOP_TURN = 3 };

// A refinement pass gives up beyond this many expansions.
constexpr uint32_t PASS_EXPANSION_BUDGET = 199999;
// A pass also gives up once its expansions pass refine_node_factor per unit
// of the root threshold plus this much, so that its first, small thresholds
// are never cut.
constexpr int64_t PASS_EXPANSION_SLACK = 9999;
// The length limit that bars no mate: every mate value is below it.
constexpr int16_t LENGTH_LIMIT_NONE = 2999;

// Clocks (32-bit milliseconds that wrap); differences are taken unsigned.
extern uint32_t time_limit_ms;    // 0 = no limit
extern uint32_t limit_start_ms;   // the limit counts from here
extern uint32_t search_start_ms;  // start of the "go mate": speed and time
extern uint32_t last_report_ms;   // time of the last progress line
// Stops the search like the time limit once this many nodes have been
// generated in one "go mate" (0 = no budget). Never set by the engine; the
// fuzz targets use it to bound a solve without depending on the clock.
extern uint32_t node_budget;

extern int32_t reported_depth;  // 0 until the first proof, then its threshold
extern int16_t mate_length;     // moves of the solution read out

// Set while a position inside an answered line is solved as a root: its
// solve writes no progress lines or info strings, and a proof already in the
// table is searched again for its least value instead of being answered.
extern uint8_t inner_solve;

// The main thread's duty at every node entry: the clock, the front end's stop
// and, at most once a second, a progress line. The solve layer, which owns
// the limits and the output, installs it; null for none.
extern void (*node_clock_step)();

// The main thread's word to every helper to stop.
extern std::atomic<bool> helpers_stop_requested;
// The node-entry check of a helper: publishes its node count and takes the
// stop. True when the node must end at once.
bool helper_entry_check();

// A refinement pass has used its expansions (the minimality stage has no such
// budget).
bool pass_budget_spent();

// Root thresholds grow up to the numbers' cap.
constexpr int32_t MAX_ROOT_THRESHOLD = PN_SUM_CAP;
// The next root threshold after a root search that failed with `pn`.
int32_t next_root_threshold(int64_t pn);

// Defender nodes count the hardest reply and one for each other instead of
// the sum of their replies' proof numbers (set by the driver per root search).

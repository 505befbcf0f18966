// The search driver: one solve of the board's position, attacker to move.
#pragma once

#include <cstdint>

#include "movegen/move_list.h"
#include "position/types.h"
#include "search/search_state.h"

enum SolverMode : uint8_t { MODE_NONE = 0, SOLVE = 1, MARK = 2 };
enum SolveResult : uint8_t { RESULT_TIMEOUT = 0, RESULT_MATE = 1, RESULT_NOMATE = 2 };

constexpr int MAX_REFINE_PASSES = 99;
constexpr int MAX_VERIFY_CALLS = 999;

// Written after the final progress line of a mate found by the search.
extern const char PROVEN_SHORTEST_LINE[];      // "info string The mate is proven shortest.\n"
extern const char NOT_PROVEN_SHORTEST_LINE[];  // "info string The mate is not proven shortest.\n"

// What the last solve knows of its mate's length: not searched for a
// shorter one (an answer from the table, an alternate-solution round),
// proven shortest, or left open by a stop.
enum ShortestState : uint8_t { SHORTEST_UNKNOWN = 0, SHORTEST_PROVEN = 1, SHORTEST_OPEN = 2 };

extern uint8_t solve_result;
extern uint8_t shortest_state;
extern int16_t stage_mates;  // shorter mates the minimality stage found in the last solve
extern uint8_t previous_mode;
extern int16_t verify_calls;
extern uint8_t root_proven_at_start;
// Set when the last solve's proven line failed the rules check (solve_result
// is then a time-out): a table entry was not what it seemed.
extern uint8_t answer_rejected;

// Runs one driver call and returns entry 1 of `solution`: in SOLVE mode the
// mate (solve_result tells which outcome), in MARK mode the code of the
// marking (-2 when the alternate-solution search may start).
MoveCode* run_solver(SolverMode mode, uint32_t limit_ms);

// 1 when the position is its own left-right mirror image (hands aside).
int is_symmetric();

// Clock check and periodic line of the driver's loop.
void driver_clock_step();

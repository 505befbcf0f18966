// Move generation: the attacker's checks and the defender's evasions, each
// candidate tried at once by its probe and, when it survives, appended with
// its child's estimates to the move list of the level.
#pragma once

#include <cstdint>

#include "position/board.h"
#include "search/thread_state.h"

// The generator's state and accumulators are the search thread's
// (search/thread_state.h).

// ---------------------------------------------------------------- variables

// path_key of the recorded line's position at each depth, read while
// search_modes.reopen_main_line is set; written only between searches.
extern uint32_t main_line_keys[MOVE_STACK_SIZE + 2];

// Class of the check the defender must answer, decided in the prologue.
enum CheckClass { CHECK_DOUBLE = 0, CHECK_STEP = 1, CHECK_LINE = 2 };

// ---------------------------------------------------------------- functions

// Builds the move list of `level` for `side` to move. The board is unchanged
// on return apart from the piece-list order after capturing probes.
void generate_moves(int side, int level);

// Attacker half: candidate checks of the piece on `from`, and drops of one
// piece code.
void gen_piece_checks(int from);
void gen_drop_checks(int piece);

// Defender half: the evasions of a position in check, in their fixed order.
void gen_defender_moves();
void gen_checker_captures(int from);
void gen_blocks_and_captures(int from);
void gen_king_escapes();
void gen_drop_blocks();

// Completes cur_entry with the move and the child_* outputs and appends it.
// Returns 0 (and sets gen_overflow) when the storage is full.
int push_entry(int from, int to, int16_t length);

// Probes: try a candidate on the board, look its child up, estimate it and
// append it or fold it into the accumulators. 1 = appended (for evasions
// also: node saturated), 0 otherwise. `to` carries bit 7 for a promotion.
int probe_check(int from, int to);
int probe_evasion(int from, int to);
// Hint moves of restricted mode.
void find_hint_moves();

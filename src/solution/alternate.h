// Alternate solutions: marking the found line so that the next search must
// find another one, and reporting where another one leaves it.
#pragma once

#include <cstdint>

#include "position/types.h"

// Shift-JIS texts of the alternate-solution messages.
extern const char ALTERNATE_START_LINE[];     // "info string Now start to search another solution.  ..."
extern const char ALTERNATE_NOT_FOUND_LINE[]; // "info string Another solution was not found.  ..."
extern const char ALTERNATE_TIMEOUT_LINE[];   // "info string Another solution search timed out.  ..."

// "info string Another solution was found at <ply> ply.(<intended> -> <found>)"
// and its Japanese half, the names read from the board, which stands before
// that ply.
void print_alternate_report(int ply, MoveCode intended, MoveCode found);

// Ply of the first alternate solution reported since the counter was reset
// (0 = none).
extern int32_t first_alternate_ply;

// The line to mark, from its first move, while it is proven move by move
// in the table (the answer, so that alternates are reported against it);
// null, or past where it leaves the table's proofs: the table's best moves.
extern const MoveCode* mark_follow_line;

// Records the current solution line (stored_solution; intended_solution in
// round 0), reopens its positions on this path and bars the final mate on
// this path. Returns -2 when marked, -1 when the root is not in the table
// or open, -4 when the root is disproven.
int16_t mark_solution(int side);

// After an alternate-solution search: reports the first ply where a found
// mate leaves the intended line, bars that branch on its path and stores the
// intended line back as proven. Returns the intended line's value.
int16_t report_alternate_solution(int side, int16_t status);

// At the end of the rounds: takes back the bars that the reports set on the
// alternate branches. They only steer the rounds to yet another line; left in
// the table, they would hide those alternates from every later request.
void lift_alternate_bars();

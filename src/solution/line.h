// The solution lines and the records that the line walkers share.
#pragma once

#include <cstdint>

#include "position/board.h"

// Longest line any walker reads (the move stack's capacity).
constexpr int MAX_LINE_PLIES = MOVE_STACK_SIZE - 1;
constexpr int LINE_ARRAY_SIZE = MOVE_STACK_SIZE + 2;

// The driver's answer: MoveCodes from index 1, ended by a value of 0 or below
// (-2 after a mate, -1 after a time-out, -4 after no mate).
extern MoveCode solution[LINE_ARRAY_SIZE];
// The line recorded for the refinement passes and the marking rounds.
extern MoveCode stored_solution[LINE_ARRAY_SIZE];
// The main solution, kept while alternate solutions are searched.
extern MoveCode intended_solution[LINE_ARRAY_SIZE];
// What make_move reported for each ply of a walked line.
extern int16_t line_captured_piece[LINE_ARRAY_SIZE];
extern int16_t line_captured_owner[LINE_ARRAY_SIZE];

// The value of the current solution line (plies less two per leftover piece).
extern int16_t root_value;
// One above the threshold of the first proof; bounds local repairs.
extern uint32_t repair_limit;
// Node allowance factor of a refinement pass, set with the length limit.
extern uint16_t refine_node_factor;
// Set when the previous driver call marked a line (alternate-solution search).
// Round of the alternate-solution search, 0 to 19.
extern int32_t alternate_round;

// Whether a move read from the table can be played by `side` here: a board
// move of one of its pieces onto a square that holds neither its own piece
// nor a king (promoting only where it may), or a drop of a held piece onto a
// square where the drop is allowed. A check word can collide, and make_move
// trusts its input.
bool table_move_valid(int side, MoveCode code);

// Plays `code` for `side` as ply record `record`, or takes it back.
void line_make(int side, MoveCode code, int record);
void line_unmake(int side, MoveCode code, int record);

// Pieces in the attacker's hand.
int attacker_hand_pieces();

// Mover of ply k of a line that starts with the attacker.
inline int line_mover(int k) { return (k - 1) & 1; }

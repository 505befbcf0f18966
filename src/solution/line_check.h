// The last guard of an answer: the line is played by the rules alone, with
// no table and no search, and must end in mate. A table entry that is not
// what it seems (a false match of a 32-bit check word) can make a line read
// out of the table look proven when it is not.
#pragma once

#include <vector>

#include "position/types.h"

// Whether `line` (MoveCodes ended by a value of 0 or below) played from the
// board's position has the attacker check with every move, the defender
// answer with legal moves only, and the defender mated at the end by a move
// that is not a pawn drop: mated outright, or but for futile interpositions
// (each block taken with a check that leaves the same situation again).
// The board is left exactly as it was.
bool line_mates(const MoveCode* line);

// The defender's legal moves on the board's position, each promotion a move
// of its own: board moves first, then drops, in a fixed order.
void legal_defender_moves(std::vector<MoveCode>& moves);

// The attacker's legal checks on the board's position, each promotion a
// move of its own, in the same fixed order.
void legal_attacker_checks(std::vector<MoveCode>& moves);

// Whether the defender's reply, neither a king move nor a capture, puts a
// piece between the one checking piece and the king: an interposition.
bool blocks_the_check(MoveCode reply);

// Whether the board holds a position the solver can work on.
#pragma once

#include <cstdint>

// One defender king, at most one attacker king, and no more pieces of a
// kind (board and both hands together, promoted pieces counted as their
// base kind) than a shogi set holds; and a position that can arise in play:
// no piece without a move left (a pawn or lance on its last row, a knight on
// its last two), no two unpromoted pawns of one side on a file, and the
// defender's king not in check.
bool position_is_solvable();
// What no shogi set allows in the board's position, in a few words; null
// when it passes position_is_solvable.
const char* position_fault();

// The pieces of a shogi set that are neither on the board nor in a hand,
// five bits per kind (pawn in bits 0-4 up to rook in bits 30-34), for a
// position that passes position_is_solvable. The tables take the defender
// to hold every piece that is not on the board or the attacker's, so their
// entries hold only for the pieces out of play they were found with.
uint64_t pieces_out_of_play();

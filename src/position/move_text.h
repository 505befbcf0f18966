// Printing moves as USI text and in Japanese notation (Shift-JIS).
#pragma once

#include "position/types.h"

// "7g7f", "2b3c+", "G*5b"; no separator.
void print_move_usi(MoveCode code);
// The move of move_stack[ply] followed by one space.
void print_ply_usi(int ply);
// "２三銀成(34)", "５二金打"; reads the moving piece from the board, so the
// board must stand before the move.
void print_move_japanese(MoveCode code);

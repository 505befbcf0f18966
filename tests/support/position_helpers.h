// Shared set-up for tests that need a position on the global board.
#pragma once

#include <string>

#include "position/board.h"
#include "position/keys.h"
#include "position/sfen.h"

// Clears the board, reads `sfen` the way the command loop does and rebuilds
// the derived state, so the board is ready for a search.
inline void setup_position(const std::string& sfen) {
  build_zobrist();
  board_clear();
  std::string line = "position sfen " + sfen;
  if (line.find(" w ") != std::string::npos) {
    setup_from_sfen_white(line);
    board.flipped = 1;
  } else {
    setup_from_sfen_black(line);
    board.flipped = 0;
  }
  rebuild_derived_state();
  board.ply = 0;
  board.depth = 1;
}

// Square of shogi coordinates as stored by the Black reader (file 1..9,
// rank 1..9): 9i is 0, 1a is 80.
inline int black_square(int file, int rank) { return 9 * (9 - rank) + (9 - file); }

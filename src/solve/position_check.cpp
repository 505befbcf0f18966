#include "solve/position_check.h"

#include "position/board.h"

namespace {

// Pieces of each base kind in one shogi set (index = piece code 1..7, 14).
constexpr int SET_COUNT[PIECE_CODES] = {0, 18, 4, 4, 4, 4, 2, 2, 0, 0, 0, 0, 0, 0, 2};

}  // namespace

bool position_is_solvable() {
  int count[PIECE_CODES] = {};
  int kings[2] = {0, 0};
  for (int sq = 0; sq < SQUARES; ++sq) {
    const int piece = board.pieces[sq];
    const int owner = board.owners[sq];
    if (piece == EMPTY) {
      if (owner != OWNER_NONE) return false;
      continue;
    }
    if (piece < 0 || piece >= PIECE_CODES || owner > OWNER_DEFENDER) return false;
    if (piece == KING) ++kings[owner];
    ++count[demote_of[piece]];
  }
  for (int side = 0; side < 2; ++side) {
    for (int piece = PAWN; piece <= ROOK; ++piece) {
      if (board.hands[side][piece] < 0) return false;
      count[piece] += board.hands[side][piece];
    }
  }
  if (kings[OWNER_DEFENDER] != 1 || kings[OWNER_ATTACKER] > 1) return false;
  for (int piece = PAWN; piece <= ROOK; ++piece)
    if (count[piece] > SET_COUNT[piece]) return false;
  return true;
}

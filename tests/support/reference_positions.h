// Building rules-reference positions square by square, and move codes, for
// the tests that ask the reference about single moves.
#pragma once

#include <cstring>

#include "position/types.h"
#include "rules_reference.h"

inline rules_reference::Position empty_reference_position() {
  rules_reference::Position pos;
  std::memset(pos.pieces, EMPTY, sizeof pos.pieces);
  std::memset(pos.owners, OWNER_NONE, sizeof pos.owners);
  std::memset(pos.hands, 0, sizeof pos.hands);
  return pos;
}

inline void put(rules_reference::Position& pos, int sq, int owner, int piece) {
  pos.pieces[sq] = static_cast<int8_t>(piece);
  pos.owners[sq] = static_cast<uint8_t>(owner);
}

inline MoveCode board_move(int from, int to, bool promote = false) {
  return static_cast<MoveCode>(from * 256 + (to | (promote ? PROMOTION_BIT : 0)));
}

inline MoveCode drop_move(int side, int piece, int sq) {
  return static_cast<MoveCode>(hand_square(side, piece) * 256 + sq);
}

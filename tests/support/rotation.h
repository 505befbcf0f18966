// The same problem turned by 180 degrees with the colours exchanged: White
// attacks, and the answer reads in the rotated coordinates.
#pragma once

#include <string>

#include "rules_reference.h"
#include "support/position_helpers.h"

inline std::string rotated_sfen(const std::string& sfen) {
  setup_position(sfen);
  const rules_reference::Position pos = rules_reference::Position::from_board();
  rules_reference::Position turned = pos;
  for (int sq = 0; sq < SQUARES; ++sq) {
    turned.pieces[SQUARES - 1 - sq] = pos.pieces[sq];
    turned.owners[SQUARES - 1 - sq] = pos.owners[sq] == OWNER_NONE ? OWNER_NONE : pos.owners[sq] ^ 1;
  }
  for (int piece = 0; piece < 8; ++piece) {
    turned.hands[0][piece] = pos.hands[1][piece];
    turned.hands[1][piece] = pos.hands[0][piece];
  }
  return rules_reference::to_sfen(turned, 1);
}

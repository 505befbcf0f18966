// The positions along a USI line as the test-only rules reference plays
// them, for checking what a report shows after each ply.
#pragma once

#include <string>
#include <vector>

#include "rules_reference.h"
#include "position/board.h"
#include "position/sfen.h"
#include "support/usi_moves.h"

// "board hands" after ply 0, 1, ... of `moves` from `sfen` (Black as owner 0,
// hands as "-" when empty). Stops before the first move that is not legal
// there, so a short result means an illegal line.
inline std::vector<std::string> reference_boards(const std::string& sfen, const std::vector<std::string>& moves) {
  board_clear();
  setup_from_sfen_black("position sfen " + sfen);
  rules_reference::Position pos = rules_reference::Position::from_board();
  int side = sfen.find(" w ") != std::string::npos ? 1 : 0;
  const auto board_and_hands = [](const std::string& full) {
    const std::vector<std::string> fields = split_words(full);
    return fields.size() < 3 ? full : fields[0] + " " + fields[2];
  };
  std::vector<std::string> boards{board_and_hands(rules_reference::to_sfen(pos, side))};
  for (const std::string& move : moves) {
    const MoveCode code = usi_to_code(move, side, false);
    if (code == 0 || !rules_reference::is_legal(pos, side, code)) break;
    pos = rules_reference::after(pos, side, code);
    side ^= 1;
    boards.push_back(board_and_hands(rules_reference::to_sfen(pos, side)));
  }
  return boards;
}

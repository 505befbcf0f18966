// Checking "go mate" answers of arbitrary positions with the test-only rules
// reference. Free of gtest so that the fuzz targets share it.
#pragma once

#include <string>
#include <vector>

#include "rules_reference.h"

namespace answer_check {

inline bool is_pawn_drop(MoveCode move) { return ((move >> 8) & 0xFF) == hand_square(OWNER_ATTACKER, PAWN); }

// Squares strictly between two squares on one rank, file or diagonal, or
// none when they are not so aligned.
inline std::vector<int> squares_between(int a, int b) {
  const int dr = b / 9 - a / 9, dc = b % 9 - a % 9;
  std::vector<int> between;
  if (dr != 0 && dc != 0 && dr != dc && dr != -dc) return between;
  const int sr = (dr > 0) - (dr < 0), sc = (dc > 0) - (dc < 0);
  for (int r = a / 9 + sr, c = a % 9 + sc; r != b / 9 || c != b % 9; r += sr, c += sc) between.push_back(9 * r + c);
  return between;
}

// Whether the defender, in check in `pos`, is mated as a problem counts it:
// no legal move at all, or only interpositions between a checking piece and
// the king (a futile interposition does not refute the mate).
inline std::string mate_fault(const rules_reference::Position& pos) {
  using namespace rules_reference;
  if (!in_check(pos, OWNER_DEFENDER)) return "the defender is not in check";
  const int king = king_square(pos, OWNER_DEFENDER);
  std::vector<int> checkers;
  for (int sq = 0; sq < SQUARES; ++sq)
    if (pos.owners[sq] == OWNER_ATTACKER && piece_reaches(pos, sq, king)) checkers.push_back(sq);
  for (MoveCode m : legal_moves(pos, OWNER_DEFENDER)) {
    const int from = (m >> 8) & 0xFF, to = m & 0x7F;
    bool interposes = from != king && pos.pieces[to] == EMPTY;
    for (int checker : checkers) {
      const std::vector<int> line = squares_between(checker, king);
      bool on_line = false;
      for (int sq : line) on_line |= sq == to;
      interposes &= on_line;
    }
    if (!interposes) return "the defender escapes with " + move_name(m);
  }
  return "";
}

// Empty when `moves` (attacker first) is a mating line from `root`: every
// move legal, every attacker move a check, the end a mate and not one by a
// pawn drop. Otherwise what is wrong.
inline std::string mating_line_fault(const rules_reference::Position& root, const std::vector<MoveCode>& moves) {
  using namespace rules_reference;
  if (moves.empty() || moves.size() % 2 == 0) return "a mate must end with an attacker move";
  Position pos = root;
  int side = OWNER_ATTACKER;
  for (MoveCode m : moves) {
    if (!is_legal(pos, side, m)) return "illegal move " + move_name(m);
    if (side == OWNER_ATTACKER && !gives_check(pos, side, m)) return move_name(m) + " gives no check";
    pos = after(pos, side, m);
    side ^= 1;
  }
  if (is_pawn_drop(moves.back())) return "mate by a pawn drop";
  return mate_fault(pos);
}

// A mate in one of `root` (not by a pawn drop, and with no reply at all), or
// 0 when there is none.
inline MoveCode mate_in_one(const rules_reference::Position& root) {
  using namespace rules_reference;
  for (MoveCode m : legal_checks(root, OWNER_ATTACKER)) {
    if (is_pawn_drop(m)) continue;
    if (legal_moves(after(root, OWNER_ATTACKER, m), OWNER_DEFENDER).empty()) return m;
  }
  return 0;
}

}  // namespace answer_check

// Brute-force search for short mates, over nothing but the test-only rules
// reference: plain AND/OR search over the attacker's legal checks and all of
// the defender's legal replies. A mate by pawn drop is no mate, and only a
// strict mate counts (no allowance for futile interpositions), so a mate it
// finds is a real one, while "none" is only as good as that rule.
//
// The measure of a mate is its plies minus two per piece left in the
// attacker's hand at the mate, the engine's own order of mates.
#pragma once

#include <vector>

#include "rules_reference.h"
#include "support/position_helpers.h"

namespace short_mates {

using rules_reference::Position;

// Pieces in the attacker's hand.
inline int attacker_hand_count(const Position& pos) {
  int count = 0;
  for (int piece = PAWN; piece <= ROOK; ++piece) count += pos.hands[0][piece];
  return count;
}

bool attacker_mates(const Position& pos, int plies, int target, MoveCode* first);

// After the attacker's `last` move: mate now, or the attacker mates within
// `plies` more plies whatever the defender does, with a measure of at most
// `target` (plies from here minus two per piece left in hand at the mate).
inline bool defender_loses(const Position& pos, int plies, int target, MoveCode last) {
  const std::vector<MoveCode> replies = rules_reference::legal_moves(pos, 1);
  if (replies.empty()) return move_from(last) != hand_square(0, PAWN) && -2 * attacker_hand_count(pos) <= target;
  if (plies < 2) return false;
  for (MoveCode reply : replies) {
    if (!attacker_mates(rules_reference::after(pos, 1, reply), plies - 1, target - 1, nullptr)) return false;
  }
  return true;
}

// Whether the attacker, to move, mates within `plies` plies with a measure
// of at most `target`; `first` gets the first move of such a mate.
inline bool attacker_mates(const Position& pos, int plies, int target, MoveCode* first) {
  if (plies < 1) return false;
  for (MoveCode check : rules_reference::legal_checks(pos, 0)) {
    if (defender_loses(rules_reference::after(pos, 0, check), plies - 1, target - 1, check)) {
      if (first) *first = check;
      return true;
    }
  }
  return false;
}

constexpr int ANY_MEASURE = 1 << 20;

}  // namespace short_mates

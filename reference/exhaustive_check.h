// A slow, independent answer to "is there a forced mate?", for labelling
// measuring sets: plain depth-first AND/OR search over the attacker's
// checks and all of the defender's legal replies, with nothing but the
// test-only rules reference (no part of the engine's search).
//
// Tsume rules: the attacker checks on every move; a mate by pawn drop is no
// mate; a position repeated on the current line is a failure for the
// attacker (continuous-check repetition is forbidden).
//
// Verdicts:
//   MATE     a forced mate within the ply bound was found;
//   NOMATE   the whole check tree was explored without a cut by the ply
//            bound or the node budget anywhere that matters, and no mate
//            exists: a proof that there is no mate of any length;
//   UNKNOWN  neither could be shown within the bounds.
#pragma once

#include <cstdint>
#include <vector>

#include "rules_reference.h"

namespace exhaustive_check {

enum class Verdict { MATE, NOMATE, UNKNOWN };

struct Limits {
  int max_plies = 15;
  uint64_t node_budget = 2000000;  // attacker and defender nodes together
};

struct Result {
  Verdict verdict = Verdict::UNKNOWN;
  int mate_plies = 0;  // for MATE: the height of the proof found (not always the shortest)
  uint64_t nodes = 0;
};

// The attacker is owner 0 and to move.
Result check(const rules_reference::Position& pos, const Limits& limits);

const char* verdict_name(Verdict verdict);

// The reference's legal moves narrowed to those that can matter, for speed:
// every legal check of the attacker, and every legal reply of a defender in
// check. Same lists, same order as filtering legal_moves; exposed for the
// cross-check in the tests.
std::vector<MoveCode> attacker_checks(const rules_reference::Position& pos);
std::vector<MoveCode> defender_evasions(const rules_reference::Position& pos);

}  // namespace exhaustive_check

// Checking a mating line on the board with the test-only rules reference.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "rules_reference.h"
#include "position/make_move.h"

// Plays `line` from the board's position: every attacker move a legal check,
// every defender move legal, mate at the end and not by a pawn drop. The
// board is restored afterwards.
inline void expect_mating_line(const std::vector<MoveCode>& line, const std::string& what = "") {
  ASSERT_FALSE(line.empty()) << what;
  ASSERT_EQ(line.size() % 2, 1u) << what << ": a mate ends with an attacker move";
  std::vector<std::pair<int16_t, int16_t>> captures;
  int side = 0;
  for (MoveCode m : line) {
    if (!rules_reference::is_legal(side, m)) {
      ADD_FAILURE() << what << ": illegal " << rules_reference::move_name(m);
      break;
    }
    if (side == 0) {
      EXPECT_TRUE(rules_reference::gives_check(0, m)) << what << ": " << rules_reference::move_name(m);
    }
    int16_t cp, co;
    make_move(static_cast<int16_t>(side), move_of(m), cp, co);
    captures.push_back({cp, co});
    side ^= 1;
  }
  if (captures.size() == line.size()) {
    EXPECT_TRUE(rules_reference::in_check(1)) << what;
    EXPECT_TRUE(rules_reference::legal_moves(1).empty()) << what << ": the defender still has a move";
    EXPECT_NE(move_from(line.back()), hand_square(0, PAWN)) << what << ": mate by pawn drop";
  }
  for (int i = static_cast<int>(captures.size()) - 1; i >= 0; --i) {
    side ^= 1;
    unmake_move(static_cast<int16_t>(side), move_of(line[i]), captures[i].first, captures[i].second);
  }
}

// The remembering brute force of mate_bound against the plain one of
// support/short_mates.h, which it must agree with at every depth.
#include <gtest/gtest.h>

#include <string>

#include "bounded_mate.h"
#include "rules_reference.h"
#include "support/position_helpers.h"
#include "support/short_mates.h"

namespace {

using rules_reference::Position;

Position from_sfen(const std::string& sfen) {
  setup_position(sfen);
  return Position::from_board();
}

// The plain brute force's shortest strict mate within `max_plies`, 0 for none.
int plain_shortest(const Position& pos, int max_plies) {
  for (int n = 1; n <= max_plies; n += 2)
    if (short_mates::attacker_mates(pos, n, short_mates::ANY_MEASURE, nullptr)) return n;
  return 0;
}

TEST(BoundedMate, AgreesWithThePlainBruteForceAndNamesAMatingFirstMove) {
  // The two 5-ply mates the engine once answered in 9, a mate in 3, and a
  // position whose only mate in 1 is a pawn drop (none within 3).
  struct Case {
    const char* sfen;
    int plies;
  };
  for (const Case c : {Case{"6B2/7P1/8k/6L2/8G/6N2/9/9/9 b P2rb3g4s3n3l16p 1", 5},
                       Case{"6+L2/6+N1k/5+N1N1/7G1/9/9/9/9/9 b 2r2b3g4sn3l18p 1", 5},
                       Case{"9/8k/9/8P/9/9/9/9/9 b 2G2r2b2g4s4n4l17p 1", 3},
                       Case{"7nk/9/6GN1/9/9/9/9/9/9 b P2r2b3g4s2n4l17p 1", 0}}) {
    SCOPED_TRACE(c.sfen);
    const Position pos = from_sfen(c.sfen);
    const int bound = c.plies == 0 ? 3 : 7;
    ASSERT_EQ(plain_shortest(pos, bound), c.plies);
    bounded_mate::Table table(1u << 16);
    const bounded_mate::Result found = bounded_mate::shortest_within(pos, bound, table);
    EXPECT_EQ(found.plies, c.plies);
    if (c.plies == 0) continue;
    // What the table remembers holds for a shorter bound too.
    EXPECT_EQ(bounded_mate::shortest_within(pos, c.plies - 2, table).plies, 0);
    EXPECT_EQ(bounded_mate::shortest_within(pos, bound, table).plies, c.plies);
    // The first move starts a mate of that length and nothing shorter.
    ASSERT_TRUE(rules_reference::is_legal(pos, 0, found.first));
    const Position next = rules_reference::after(pos, 0, found.first);
    for (MoveCode reply : rules_reference::legal_moves(next, 1))
      EXPECT_TRUE(short_mates::attacker_mates(rules_reference::after(next, 1, reply), c.plies - 2,
                                              short_mates::ANY_MEASURE, nullptr));
  }
}

TEST(BoundedMate, ATableTooSmallForTheTreeGivesTheSameAnswers) {
  // With a handful of slots every store overwrites another position's
  // result; what is remembered must still be only what holds.
  const Position five = from_sfen("6B2/7P1/8k/6L2/8G/6N2/9/9/9 b P2rb3g4s3n3l16p 1");
  bounded_mate::Table tiny(4);
  EXPECT_EQ(bounded_mate::shortest_within(five, 7, tiny).plies, 5);
  const Position none = from_sfen("7nk/9/6GN1/9/9/9/9/9/9 b P2r2b3g4s2n4l17p 1");
  bounded_mate::Table tiny2(1);
  EXPECT_EQ(bounded_mate::shortest_within(none, 5, tiny2).plies, plain_shortest(none, 5));
}

}  // namespace

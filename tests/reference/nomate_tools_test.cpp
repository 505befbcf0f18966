// The measuring tools of the no-mate workload: the position generator and
// the exhaustive check (reference/position_gen, reference/exhaustive_check).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "exhaustive_check.h"
#include "position_gen.h"
#include "rules_reference.h"
#include "support/position_helpers.h"

namespace {

using exhaustive_check::Verdict;
using rules_reference::Position;

Position from_sfen(const std::string& sfen) {
  setup_position(sfen);
  return Position::from_board();
}

bool same(const Position& a, const Position& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

exhaustive_check::Result run(const std::string& sfen, int plies = 15, uint64_t budget = 200000) {
  return exhaustive_check::check(from_sfen(sfen), {plies, budget});
}

TEST(PositionGen, PositionsAreLegalTsumeSetUpsWithTheWholeSet) {
  for (uint64_t seed : {1ull, 12026ull}) {
    for (uint64_t index = 0; index < 40; ++index) {
      SCOPED_TRACE("seed " + std::to_string(seed) + " index " + std::to_string(index));
      const Position pos = position_gen::generate(seed, index);
      int kinds[8] = {};
      int kings[2] = {0, 0};
      int attackers = 0;
      const int king = rules_reference::king_square(pos, OWNER_DEFENDER);
      ASSERT_GE(king, 0);
      bool pawn_in_column[9] = {};
      for (int sq = 0; sq < SQUARES; ++sq) {
        if (pos.owners[sq] == OWNER_NONE) continue;
        const int piece = pos.pieces[sq];
        if (piece == KING) {
          ++kings[pos.owners[sq]];
          continue;
        }
        // White has nothing but its king on the board.
        ASSERT_EQ(pos.owners[sq], OWNER_ATTACKER) << sq;
        ++attackers;
        ++kinds[demote_of[piece]];
        const int row = sq / 9;
        if (piece == PAWN || piece == LANCE) {
          EXPECT_LE(row, 7) << "no move left on " << sq;
        }
        if (piece == KNIGHT) {
          EXPECT_LE(row, 6) << "no move left on " << sq;
        }
        if (piece == PAWN) {
          EXPECT_FALSE(pawn_in_column[sq % 9]) << "two pawns in column " << sq % 9;
          pawn_in_column[sq % 9] = true;
        }
        EXPECT_LE(std::abs(row - king / 9), 3);
        EXPECT_LE(std::abs(sq % 9 - king % 9), 3);
      }
      EXPECT_EQ(kings[OWNER_ATTACKER], 0);
      EXPECT_EQ(kings[OWNER_DEFENDER], 1);
      EXPECT_GE(attackers, 1);
      EXPECT_LE(attackers, 6);
      int in_hand = 0;
      for (int piece = PAWN; piece <= ROOK; ++piece) {
        in_hand += pos.hands[OWNER_ATTACKER][piece];
        EXPECT_GE(pos.hands[OWNER_DEFENDER][piece], 0);
        EXPECT_EQ(kinds[piece] + pos.hands[OWNER_ATTACKER][piece] + pos.hands[OWNER_DEFENDER][piece],
                  position_gen::SET_COUNT[piece])
            << "piece " << piece;
      }
      EXPECT_LE(in_hand, 3);
      EXPECT_FALSE(rules_reference::in_check(pos, OWNER_DEFENDER));
      EXPECT_FALSE(rules_reference::legal_checks(pos, OWNER_ATTACKER).empty());
      // The SFEN reads back through the engine's reader into the same squares.
      EXPECT_TRUE(same(from_sfen(position_gen::generate_sfen(seed, index)), pos));
    }
  }
}

TEST(PositionGen, SameSeedSamePositionsOtherSeedOthers) {
  int differ = 0;
  for (uint64_t index = 0; index < 20; ++index) {
    EXPECT_EQ(position_gen::generate_sfen(12026, index), position_gen::generate_sfen(12026, index));
    differ += position_gen::generate_sfen(12026, index) != position_gen::generate_sfen(12027, index);
  }
  EXPECT_GE(differ, 18);
  // The stream is splitmix64: its first output for seed 0 is a published value.
  position_gen::Rng rng(0);
  EXPECT_EQ(rng.next(), 0xE220A8397B1DCDAFull);
}

TEST(ExhaustiveCheck, NarrowedMoveListsMatchTheReference) {
  // The generated positions, and the defender's side after each of their checks.
  for (uint64_t index = 0; index < 12; ++index) {
    const Position pos = position_gen::generate(7, index);
    EXPECT_EQ(exhaustive_check::attacker_checks(pos), rules_reference::legal_checks(pos, OWNER_ATTACKER));
    for (MoveCode check : rules_reference::legal_checks(pos, OWNER_ATTACKER)) {
      const Position next = rules_reference::after(pos, OWNER_ATTACKER, check);
      EXPECT_EQ(exhaustive_check::defender_evasions(next), rules_reference::legal_moves(next, OWNER_DEFENDER))
          << rules_reference::to_sfen(next, OWNER_DEFENDER);
    }
  }
}

TEST(ExhaustiveCheck, FindsShortMates) {
  const auto one = run("4k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1");
  EXPECT_EQ(one.verdict, Verdict::MATE);
  EXPECT_EQ(one.mate_plies, 1);
  const auto three = run("9/8k/9/8P/9/9/9/9/9 b 2G2r2b2g4s4n4l17p 1");
  EXPECT_EQ(three.verdict, Verdict::MATE);
  EXPECT_EQ(three.mate_plies, 3);
  // A pawn step onto the same square as a forbidden drop is a mate.
  EXPECT_EQ(run("7nk/7l1/8P/8L/9/9/9/9/9 b 2r2b4g4s3n2l17p 1").verdict, Verdict::MATE);
}

TEST(ExhaustiveCheck, ProvesNoMate) {
  // Not a single check: proved at the root.
  const auto none = run("4k4/9/9/9/9/9/9/9/P8 b 2r2b4g4s4n4l17p 1");
  EXPECT_EQ(none.verdict, Verdict::NOMATE);
  EXPECT_EQ(none.nodes, 1u);
  // The only mate would be P*1b, a mate by pawn drop.
  EXPECT_EQ(run("7nk/7l1/8G/9/9/9/9/9/9 b P2r2b3g4s3n3l17p 1").verdict, Verdict::NOMATE);
  // The only checks that keep going come back to earlier positions.
  EXPECT_EQ(run("6R+P1/8k/7sp/9/9/9/9/9/9 b r2b4g3s4n4l16p 1").verdict, Verdict::NOMATE);
}

TEST(ExhaustiveCheck, CutsAreUnknownNeverNoMate) {
  // A mate in 3 beyond a 1-ply bound, or beyond a budget of a few nodes.
  EXPECT_EQ(run("9/8k/9/8P/9/9/9/9/9 b 2G2r2b2g4s4n4l17p 1", 1).verdict, Verdict::UNKNOWN);
  const auto tiny = run("9/8k/9/8P/9/9/9/9/9 b 2G2r2b2g4s4n4l17p 1", 15, 3);
  EXPECT_EQ(tiny.verdict, Verdict::UNKNOWN);
  EXPECT_LE(tiny.nodes, 3u);
  // A position without a mate whose proof needs more than the budget.
  EXPECT_EQ(run("6R+P1/8k/7sp/9/9/9/9/9/9 b r2b4g3s4n4l16p 1", 15, 10).verdict, Verdict::UNKNOWN);
}

}  // namespace

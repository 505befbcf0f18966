// The rules check of answers, and what the engine does when a proof in the
// table does not stand up to it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "position/make_move.h"
#include "search/tt.h"
#include "solution/line_check.h"
#include "solve/driver.h"
#include "solve/go_mate.h"
#include "support/gen_helpers.h"
#include "support/mate_check.h"
#include "support/solve_loop.h"
#include "support/usi_moves.h"

namespace {

// Whether the USI moves, from `sfen`, pass the engine's rules check.
bool mates(const std::string& sfen, const std::vector<std::string>& moves) {
  setup_position(sfen);
  std::vector<MoveCode> line;
  for (size_t i = 0; i < moves.size(); ++i) line.push_back(usi_to_code(moves[i], static_cast<int>(i & 1), false));
  line.push_back(0);
  const Board before = board;
  const bool result = line_mates(line.data());
  EXPECT_EQ(std::memcmp(&before, &board, sizeof(Board)), 0) << "the board must be left as it was";
  return result;
}

TEST(LineCheck, EachPlyByTheRules) {
  build_step_tables();
  build_zobrist();
  const std::string gold = "4k4/9/4P4/9/9/9/9/9/9 b G 1";
  EXPECT_TRUE(mates(gold, {"G*5b"}));
  EXPECT_FALSE(mates(gold, {}));
  EXPECT_FALSE(mates(gold, {"G*4b"})) << "a check the king walks out of";
  EXPECT_FALSE(mates(gold, {"G*1i"})) << "no check";
  EXPECT_FALSE(mates(gold, {"G*4b", "5a6a"})) << "ends with a defender move";
  // The gold cannot reach 5b in one move, though a gold there would mate.
  EXPECT_FALSE(mates("4k4/9/4P4/9/9/9/9/9/4G4 b - 1", {"5i5b"}));
  EXPECT_FALSE(mates("3pkp3/9/4G4/9/9/9/9/9/9 b P 1", {"P*5b"})) << "mate by pawn drop";
  // The rook's check can be blocked by a drop or by a board move.
  EXPECT_TRUE(mates("3lkl3/3l1l3/9/9/9/9/9/9/R8 b - 1", {"9i5i"}));
  EXPECT_FALSE(mates("3lkl3/3l1l3/9/9/9/9/9/9/R8 b g 1", {"9i5i"}));
  EXPECT_FALSE(mates("3lkl3/3l1l3/5s3/9/9/9/9/9/R8 b - 1", {"9i5i"}));
  // With 5b covered, every block is taken with a check that mates again: a
  // futile interposition, which the line does not play.
  EXPECT_TRUE(mates("3lkl3/3l1l3/9/3N5/9/9/9/9/R8 b g 1", {"9i5i"}));
  // Only the dragon from 9e may take a block on 9f (from 8e it leaves 8h
  // open); the trials between must not lose it from the takers.
  EXPECT_TRUE(mates("9/1+bl6/p8/1+R7/1+R7/2p6/k8/9/9 b Pb4g4s4n3l15p 1", {"8d9e"}));
  // The answer a falsely matched table entry gave (check words cut to 20
  // bits): it ends with a mate by pawn drop.
  EXPECT_FALSE(mates("1p3+rp1p/s2g1pk1n/p3n4/4S2+B1/6N2/2PN1P3/2+sPs1L2/1+p7/L1L6 b 6Prb3gl3p 1",
                     {"3e4c+", "3b2a", "P*2b", "2a2b", "3g3c+", "2b2a", "3c2b", "2a2b", "4c3c", "2b2a", "P*2b"}));
  // A longer mate, and the same line stopped short of it.
  const std::string three = "9/8k/9/8P/9/9/9/9/9 b 2G2r2b2g4s4n4l17p 1";
  EXPECT_TRUE(mates(three, {"G*1c", "1b2a", "G*2b"}));
  EXPECT_FALSE(mates(three, {"G*1c", "1b2a", "G*3b"}));
}

// A proof entry that is not what it seems (as after a false match of the
// check word) makes the table's line a check the king walks out of. It is
// not answered: the solve starts again from empty tables and finds the mate.
TEST(LineCheck, FalseProofInTheTableIsNotAnswered) {
  fresh_search_tables(1u << 14);
  reset_search_counters();
  previous_mode = MODE_NONE;
  const std::string sfen = "4k4/9/4P4/9/9/9/9/9/9 b G 1";
  setup_position(sfen);
  testing::internal::CaptureStdout();
  solve_go_mate(0);  // binds the tables to this position
  const MoveCode check = usi_to_code("G*4b", 0, false);
  int16_t captured_piece = 0, captured_owner = 0;
  make_move(0, move_of(check), captured_piece, captured_owner);
  tt_store(1, board.attacker_hand, 0, 0, PN_INFINITE, 0);
  unmake_move(0, move_of(check), captured_piece, captured_owner);
  tt_store(0, board.attacker_hand, 1, 0, PN_INFINITE, check);
  const GoMateOutcome outcome = solve_go_mate(0);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find(ANSWER_REJECTED_LINE), std::string::npos) << out;
  ASSERT_EQ(outcome.result, RESULT_MATE);
  std::vector<MoveCode> line;
  for (int i = 0; outcome.answer[i] > 0; ++i) line.push_back(outcome.answer[i]);
  setup_position(sfen);
  expect_mating_line(line, sfen);
}

}  // namespace

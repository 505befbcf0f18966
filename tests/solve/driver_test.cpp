#include <gtest/gtest.h>

#include "solution/line.h"
#include "solution/record.h"
#include "solve/driver.h"
#include "support/gen_helpers.h"
#include "support/solve_loop.h"

namespace {

TEST(Driver, ThresholdGrowth) {
  EXPECT_EQ(next_root_threshold(1), 2);
  EXPECT_EQ(next_root_threshold(50), 51);
  EXPECT_EQ(next_root_threshold(60), 62);
  EXPECT_EQ(next_root_threshold(150), 161);
  EXPECT_EQ(next_root_threshold(1000), 1096);
  // Past the old 16-bit cap the same formula goes on, in 64 bits, and stops
  // just below infinity.
  EXPECT_EQ(next_root_threshold(32698), 35963);
  // The formula holds right up to the cap, and the first step beyond it
  // (which the formula would put on infinity) stops at the cap.
  EXPECT_EQ(next_root_threshold(1952257863), MAX_ROOT_THRESHOLD - 1);
  EXPECT_EQ(next_root_threshold(1952257865), MAX_ROOT_THRESHOLD);
  EXPECT_EQ(next_root_threshold(2000000000), MAX_ROOT_THRESHOLD);
  EXPECT_EQ(next_root_threshold(MAX_ROOT_THRESHOLD), MAX_ROOT_THRESHOLD);
  EXPECT_LT(MAX_ROOT_THRESHOLD, PN_INFINITE);
}

// Sums of proof numbers past the old 16-bit cap (32699) are exact up to
// PN_SUM_CAP and stop there: only an infinite term makes an infinite sum,
// and no sum of finite terms wraps round to a negative number.
TEST(Driver, ProofNumberSums) {
  EXPECT_EQ(pn_add(32699, 1), 32700);
  EXPECT_EQ(pn_add(32699, 32699), 65398);
  EXPECT_EQ(pn_add(65535, 65535), 131070);
  EXPECT_EQ(pn_add(PN_SUM_CAP - 65535, 65535), PN_SUM_CAP);
  EXPECT_EQ(pn_add(PN_SUM_CAP - 65535, 65536), PN_SUM_CAP);
  EXPECT_EQ(pn_add(PN_SUM_CAP, 1), PN_SUM_CAP);
  // A sum beyond 32 bits: computed wide, it neither wraps nor reaches infinity.
  EXPECT_EQ(pn_add(PN_SUM_CAP, PN_SUM_CAP), PN_SUM_CAP);
  // Negative terms (listed proofs carry length - 3000) count exactly.
  EXPECT_EQ(pn_add(int64_t{40000} - 3000, 3000), 40000);
  EXPECT_EQ(pn_add(PN_SUM_CAP, -1), PN_SUM_CAP - 1);
  EXPECT_EQ(pn_add(PN_INFINITE, 1), PN_INFINITE);
  EXPECT_EQ(pn_add(1, PN_INFINITE), PN_INFINITE);
  EXPECT_EQ(pn_add(PN_INFINITE, -3000), PN_INFINITE);
}

TEST(Driver, MirrorSymmetry) {
  build_zobrist();
  setup_position("3gkg3/9/4P4/9/9/9/9/9/9 b 2G 1");
  EXPECT_EQ(is_symmetric(), 1);
  setup_position("3gkg3/9/4P4/9/9/9/9/9/9 b RB 1");  // hands do not count
  EXPECT_EQ(is_symmetric(), 1);
  setup_position("3gk1g2/9/4P4/9/9/9/9/9/9 b 2G 1");
  EXPECT_EQ(is_symmetric(), 0);
  setup_position("3gkg3/9/4P4/9/9/9/9/9/3K5 b 2G 1");  // the attacker's king counts
  EXPECT_EQ(is_symmetric(), 0);
}

class DriverSolve : public testing::Test {
 protected:
  void SetUp() override {
    fresh_search_tables(1u << 16);
    reset_search_counters();
    previous_mode = MODE_NONE;
  }
};

TEST_F(DriverSolve, MateNoMateAndTheRecordedLine) {
  // 3 plies: G*1c 1b2a G*2b, with both golds used.
  setup_position("9/8k/9/8P/9/9/9/9/9 b 2G2r2b2g4s4n4l17p 1");
  testing::internal::CaptureStdout();
  MoveCode* answer = run_solver(SOLVE, 0);
  testing::internal::GetCapturedStdout();
  ASSERT_EQ(solve_result, RESULT_MATE);
  EXPECT_EQ(usi_text(answer[0]), "G*1c");
  EXPECT_EQ(answer[3], -2);
  EXPECT_EQ(mate_length, 3);

  // Recording the line: two plies less is the limit for a shorter mate.
  // (Outside a solve the table answers as in a first pass.)
  search_modes.refine_pass = 0;
  length_limit = LENGTH_LIMIT_NONE;
  EXPECT_EQ(read_solution(0), 0) << "the solve recorded this line already";
  EXPECT_EQ(length_limit, 1);
  stored_solution[1] = 0;
  EXPECT_EQ(read_solution(0), 1);
  EXPECT_EQ(restore_solution(0), 3);

  // A position without any check.
  setup_position("lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1");
  testing::internal::CaptureStdout();
  answer = run_solver(SOLVE, 0);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(solve_result, RESULT_NOMATE);
  EXPECT_EQ(answer[0], -4);
}

TEST_F(DriverSolve, LeftoverPiecesShortenTheRecordedLine) {
  // G*5b mates with a second gold left in hand: 1 ply less 2.
  setup_position("4k4/9/4P4/9/9/9/9/9/9 b 2G2r2b2g4s4n4l17p 1");
  testing::internal::CaptureStdout();
  run_solver(SOLVE, 0);
  testing::internal::GetCapturedStdout();
  ASSERT_EQ(solve_result, RESULT_MATE);
  search_modes.refine_pass = 0;
  length_limit = LENGTH_LIMIT_NONE;
  read_solution(0);
  EXPECT_EQ(length_limit, (1 - 2) - 2);  // two plies below the line, less two per leftover piece
  EXPECT_EQ(restore_solution(0), 1 - 2);
}

TEST_F(DriverSolve, SecondSolveIsAnsweredFromTheTable) {
  setup_position("7gk/9/6P1+P/9/9/9/9/9/9 b GSP2r2b2g3s4n4l15p 1");
  testing::internal::CaptureStdout();
  run_solver(SOLVE, 0);
  std::string first = testing::internal::GetCapturedStdout();
  ASSERT_EQ(solve_result, RESULT_MATE);
  EXPECT_NE(first.find("score mate 15"), std::string::npos);
  const uint32_t first_nodes = nodes;
  nodes = 0;
  testing::internal::CaptureStdout();
  run_solver(SOLVE, 0);
  std::string second = testing::internal::GetCapturedStdout();
  EXPECT_EQ(solve_result, RESULT_MATE);
  EXPECT_EQ(mate_length, 15);
  EXPECT_EQ(second.find("score mate"), std::string::npos);
  EXPECT_LT(nodes, first_nodes);
}

}  // namespace

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "solution/line.h"
#include "solve/driver.h"
#include "solve/main_line.h"
#include "search/search_state.h"
#include "support/gen_helpers.h"
#include "support/mate_check.h"
#include "support/short_mates.h"
#include "support/solve_loop.h"
#include "support/usi_moves.h"

namespace {

// King 2a, gold 1c, rook and silver in hand; least value 3. After R*2b the
// king's 2a1a is mated in 1 by a board move with the silver kept (value -1),
// so only 2a3a (mated in 1 by a drop, value 1) holds out as long as the root
// needs. R*2b 2a1a S*1b has the root's value too, but is no main line.
constexpr const char* SFEN = "7k1/9/8G/9/9/9/9/9/9 b SRr2b3g3s4n4l18p 1";

class MainLine : public testing::Test {
 protected:
  void SetUp() override {
    fresh_search_tables(1u << 18);
    reset_search_counters();
    previous_mode = MODE_NONE;
    setup_position(SFEN);
    testing::internal::CaptureStdout();
    run_solver(SOLVE, 0);
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(shortest_state, SHORTEST_PROVEN);
  }
  void TearDown() override { node_budget = 0; }

  // The slow line as codes, ended like an answer.
  std::vector<MoveCode> slow_line() {
    std::vector<MoveCode> line;
    int side = 0;
    for (const char* move : {"R*2b", "2a1a", "S*1b"}) line.push_back(usi_to_code(move, (side++) & 1, false));
    line.resize(LINE_ARRAY_SIZE, 0);
    line[3] = -2;
    return line;
  }
};

TEST_F(MainLine, AReplyMatedQuickerThanTheLineNeedsGivesWayToTheLongestOne) {
  std::vector<MoveCode> line = slow_line();
  testing::internal::CaptureStdout();
  ASSERT_TRUE(settle_main_line(line.data(), 0));
  const std::string out = testing::internal::GetCapturedStdout();

  std::vector<MoveCode> moves;
  for (int i = 0; line[i] > 0; ++i) moves.push_back(line[i]);
  ASSERT_EQ(moves.size(), 3u);
  EXPECT_EQ(moves[0], usi_to_code("R*2b", 0, false));
  EXPECT_EQ(moves[1], usi_to_code("2a3a", 1, false));
  expect_mating_line(moves, SFEN);
  // By brute force: nothing after 2a3a mates with a value below the line's 1.
  short_mates::Position pos = short_mates::Position::from_board();
  pos = rules_reference::after(pos, 0, moves[0]);
  pos = rules_reference::after(pos, 1, moves[1]);
  EXPECT_FALSE(short_mates::attacker_mates(pos, 5, 0, nullptr));
  // The settled line is shown, and the last info line still gives the length.
  EXPECT_NE(out.find("pv R*2b 2a3a "), std::string::npos) << out;
  EXPECT_EQ(out.substr(out.rfind("info string")), PROVEN_SHORTEST_LINE) << out;
}

TEST_F(MainLine, AMainLineStaysAndAStopSaysWhereItsCheckEnded) {
  // The engine's own answer is a main line already: nothing changes or is written.
  std::vector<MoveCode> line = slow_line();
  line[1] = usi_to_code("2a3a", 1, false);
  line[2] = usi_to_code("S*4b", 0, false);
  testing::internal::CaptureStdout();
  EXPECT_FALSE(settle_main_line(line.data(), 0));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(line[1], usi_to_code("2a3a", 1, false));

  // Out of nodes at the first position checked: the slow line stays, and says so.
  line = slow_line();
  node_budget = nodes + 1;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(settle_main_line(line.data(), 0));
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(line[1], usi_to_code("2a1a", 1, false));
  EXPECT_NE(out.find("info string The main line is not settled past ply 1.\n"), std::string::npos) << out;
  EXPECT_EQ(out.substr(out.rfind("info string")), PROVEN_SHORTEST_LINE) << out;
}

}  // namespace

// The first pass on graphs full of cycles and transpositions: positions
// without a mate whose checks lead round and round, decided within a node
// budget that the pass used to spend many times over without a decision;
// and the disproofs that hold on one path only.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rules_reference.h"
#include "solution/line.h"
#include "solve/driver.h"
#include "support/gen_helpers.h"
#include "support/mate_check.h"
#include "support/rotation.h"
#include "support/short_mates.h"
#include "support/solve_loop.h"
#include "support/usi_moves.h"

namespace {

namespace ref = rules_reference;

class FirstPass : public testing::Test {
 protected:
  void SetUp() override {
    fresh_search_tables(1u << 18);
    reset_search_counters();
    previous_mode = MODE_NONE;
  }
  void TearDown() override { node_budget = 0; }

  // Solves `sfen` with a fresh table, stopped like a time-out after `budget`
  // generated nodes; the result and the nodes used.
  static std::pair<int, uint32_t> solve(const std::string& sfen, uint32_t budget) {
    fresh_search_tables(1u << 18);
    reset_search_counters();
    previous_mode = MODE_NONE;
    setup_position(sfen);
    node_budget = budget;
    testing::internal::CaptureStdout();
    run_solver(SOLVE, 0);
    testing::internal::GetCapturedStdout();
    node_budget = 0;
    return {solve_result, nodes};
  }
};

// Checks that loop into one another (the see-saw between checks of nearly
// equal numbers), defender nodes whose replies transpose into the same cycle
// (summed numbers reach their cap on a tree of a few thousand nodes), and a
// check whose reply is disproven below a node that had given its child the
// whole threshold. Each took 8 to 24 million nodes without a decision.
TEST_F(FirstPass, LoopPositionsAreDecidedNoMate) {
  const char* positions[] = {
      "6S2/8k/6+nr1/7pr/9/9/9/9/9 b SL2b4g2s3n3l17p 1",
      "k1+s6/s3R4/1r7/9/9/9/9/9/9 b BLb4g2s4n3l18p 1",
      "6skn/9/9/7B1/9/9/9/9/9 b BGP2r3g3s3n4l17p 1",
      "9/9/7k1/5NN2/9/4B4/9/9/9 b GS2rb3g3s2n4l18p 1",
  };
  for (const char* sfen : positions) {
    const auto [result, used] = solve(sfen, 2000000);
    EXPECT_EQ(result, RESULT_NOMATE) << sfen << " after " << used << " nodes";
    // No mate within three plies by the rules alone.
    setup_position(sfen);
    EXPECT_FALSE(short_mates::attacker_mates(ref::Position::from_board(), 3, short_mates::ANY_MEASURE, nullptr))
        << sfen;
    // White to move searches alike.
    const auto [white_result, white_used] = solve(rotated_sfen(sfen), 2000000);
    EXPECT_EQ(white_result, result) << sfen;
    EXPECT_EQ(white_used, used) << sfen;
  }
}

// A disproof kept for another path than the one the mate takes must not hide
// the mate: the position after G*1c 1b2a is disproven "on a path" that is not
// the solve's, and the solve still finds G*1c 1b2a G*2b.
TEST_F(FirstPass, DisproofOfAnotherPathLeavesTheMate) {
  const std::string sfen = "9/8k/9/8P/9/9/9/9/9 b 2G2r2b2g4s4n4l17p 1";
  setup_position(sfen);
  rebuild_derived_state();
  int16_t cp1, co1, cp2, co2;
  const MoveCode drop = usi_to_code("G*1c", 0, false);
  const MoveCode flight = usi_to_code("1b2a", 1, false);
  make_move(0, move_of(drop), cp1, co1);
  make_move(1, move_of(flight), cp2, co2);
  const uint32_t real_path = board.path_key, real_route = board.route_key;
  board.path_key = real_path ^ 0x2468ACE1u;
  board.route_key = real_route ^ 0x2468ACE1u;
  tt_store_path_disproof(0, board.attacker_hand, 0, 0);
  uint32_t hand;
  int16_t len;
  int32_t pn, dn;
  ASSERT_TRUE(tt_probe(0, hand, len, pn, dn));
  EXPECT_EQ(pn, PN_INFINITE) << "the disproof answers on its own path";
  EXPECT_EQ(tt_dependency, 0);
  board.path_key = real_path;
  board.route_key = real_route;
  EXPECT_FALSE(tt_probe(0, hand, len, pn, dn) && pn >= PN_INFINITE) << "and on no other";
  unmake_move(1, move_of(flight), cp2, co2);
  unmake_move(0, move_of(drop), cp1, co1);

  reset_search_counters();
  testing::internal::CaptureStdout();
  MoveCode* answer = run_solver(SOLVE, 0);
  testing::internal::GetCapturedStdout();
  ASSERT_EQ(solve_result, RESULT_MATE);
  std::vector<MoveCode> line;
  for (int i = 0; answer[i] > 0; ++i) line.push_back(answer[i]);
  ASSERT_EQ(line.size(), 3u);
  EXPECT_EQ(usi_text(line[0]), "G*1c");
  setup_position(sfen);
  expect_mating_line(line);
}

// The first verified mate is shown with its line as soon as it is recorded,
// before the passes for a shorter one; every line shown is a mate.
TEST_F(FirstPass, FirstMateIsShownAtOnce) {
  // zukou-066 as bundled: a first mate longer than the shortest.
  const std::string sfen = "1p3ls1+P/+B4+P1gg/7P1/6S1g/8n/7n1/4sS3/1r4+r1G/5+p1k1 b BLP2n2l12p 1";
  setup_position(sfen);
  search_modes.stage_expansion_budget = 20000;  // the shortest-mate proof is not the point here
  testing::internal::CaptureStdout();
  run_solver(SOLVE, 0);
  search_modes.stage_expansion_budget = 0;
  const std::string out = testing::internal::GetCapturedStdout();
  ASSERT_EQ(solve_result, RESULT_MATE);
  std::vector<std::string> shown;
  size_t at = 0;
  while ((at = out.find("score mate", at)) != std::string::npos) {
    const size_t end = out.find('\n', at);
    shown.push_back(out.substr(at, end - at));
    at = end;
  }
  ASSERT_GE(shown.size(), 2u) << out;
  EXPECT_LT(out.find("score mate"), out.find("info string")) << out;
  for (const std::string& line : shown) {
    std::vector<std::string> words = split_words(line.substr(line.find(" pv ") + 4));
    std::vector<MoveCode> moves;
    for (size_t i = 0; i < words.size(); ++i) moves.push_back(usi_to_code(words[i], static_cast<int>(i & 1), false));
    setup_position(sfen);
    expect_mating_line(moves, line);
  }
}

// A table far too small for the tree: stores keep evicting entries, and the
// proofs of the main line must outlive the numbers around them, so that the
// line can be verified and read out.
TEST_F(FirstPass, SmallTableKeepsTheMainLinesProofs) {
  const std::string sfen = "7gk/9/6P1+P/9/9/9/9/9/9 b GSP2r2b2g3s4n4l15p 1";
  fresh_search_tables(1u << 7);
  reset_search_counters();
  setup_position(sfen);
  node_budget = 5000000;
  testing::internal::CaptureStdout();
  MoveCode* answer = run_solver(SOLVE, 0);
  testing::internal::GetCapturedStdout();
  node_budget = 0;
  ASSERT_EQ(solve_result, RESULT_MATE);
  EXPECT_GT(replacements, 0u) << "the table was not full";
  std::vector<MoveCode> line;
  for (int i = 0; answer[i] > 0; ++i) line.push_back(answer[i]);
  EXPECT_EQ(line.size(), 15u);
  setup_position(sfen);
  expect_mating_line(line);
  uint32_t hand;
  int16_t len;
  int32_t pn, dn;
  rebuild_derived_state();
  search_modes.refine_pass = 0;  // probed as the next request would
  length_limit = LENGTH_LIMIT_NONE;
  ASSERT_TRUE(tt_probe(0, hand, len, pn, dn));
  EXPECT_EQ(pn, 0) << "the root's proof is still in the table";
}

}  // namespace

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "search/tt.h"
#include "solve/driver.h"
#include "search/search_state.h"
#include "support/gen_helpers.h"
#include "support/mate_check.h"
#include "support/short_mates.h"
#include "support/solve_loop.h"

namespace {

class ShortestMate : public testing::Test {
 protected:
  void SetUp() override {
    fresh_search_tables(1u << 18);
    reset_search_counters();
    previous_mode = MODE_NONE;
  }
  void TearDown() override { node_budget = 0; }

  // One solve of `sfen`; the answer's moves, its output in `out`.
  std::vector<MoveCode> solve(const std::string& sfen, std::string& out, uint32_t budget = 0) {
    setup_position(sfen);
    node_budget = budget;
    nodes = 0;
    testing::internal::CaptureStdout();
    const MoveCode* answer = run_solver(SOLVE, 0);
    out = testing::internal::GetCapturedStdout();
    node_budget = 0;
    std::vector<MoveCode> line;
    for (int i = 0; solve_result == RESULT_MATE && answer[i] > 0; ++i) line.push_back(answer[i]);
    return line;
  }
};

// The proof line comes after the final progress line and before the answer.
void expect_last_info_string(const std::string& out, const char* line) {
  const size_t at = out.rfind("info string");
  ASSERT_NE(at, std::string::npos) << out;
  EXPECT_EQ(out.substr(at), line);
  EXPECT_LT(out.rfind(" score mate "), at);
}

TEST_F(ShortestMate, MatesPassedOverByTheRecordedLineAreFoundAndProven) {
  // Both were answered in 9 plies while the recorded line kept an allowance.
  for (const char* sfen : {"6B2/7P1/8k/6L2/8G/6N2/9/9/9 b P2rb3g4s3n3l16p 1",
                           "6+L2/6+N1k/5+N1N1/7G1/9/9/9/9/9 b 2r2b3g4sn3l18p 1"}) {
    std::string out;
    const std::vector<MoveCode> line = solve(sfen, out);
    ASSERT_EQ(solve_result, RESULT_MATE) << sfen;
    EXPECT_EQ(line.size(), 5u) << sfen;
    setup_position(sfen);
    expect_mating_line(line, sfen);
    EXPECT_EQ(shortest_state, SHORTEST_PROVEN) << sfen;
    expect_last_info_string(out, PROVEN_SHORTEST_LINE);
  }
}

TEST_F(ShortestMate, LeftoverPieceCountsInTheProof) {
  // G*5b mates with the second gold left over: its value (1 - 2) is below
  // any mate using both golds, and the proof accepts it.
  std::string out;
  const std::vector<MoveCode> line = solve("4k4/9/4P4/9/9/9/9/9/9 b 2G2r2b2g4s4n4l17p 1", out);
  ASSERT_EQ(line.size(), 1u);
  EXPECT_EQ(usi_text(line[0]), "G*5b");
  EXPECT_EQ(shortest_state, SHORTEST_PROVEN);
}

TEST_F(ShortestMate, StopInTheStageAnswersTheVerifiedMate) {
  // Zukou No. 2: its 21-ply mate is found and verified within 40,000 nodes,
  // and the proof that nothing shorter exists needs far more.
  const std::string sfen = "9/9/3B3G1/6+p1n/7+p1/7k1/5BL1p/7G1/7+R+r b N2P2g4s2n3l13p 1";
  std::string out;
  std::vector<MoveCode> line = solve(sfen, out, 100000);
  ASSERT_EQ(solve_result, RESULT_MATE) << out;
  EXPECT_EQ(line.size(), 21u);
  EXPECT_EQ(shortest_state, SHORTEST_OPEN);
  expect_last_info_string(out, NOT_PROVEN_SHORTEST_LINE);
  setup_position(sfen);
  expect_mating_line(line, "stopped in the stage");

  // A stop before any verified mate is still a time-out, with no such line.
  fresh_search_tables(1u << 18);
  line = solve(sfen, out, 2000);
  EXPECT_EQ(solve_result, RESULT_TIMEOUT);
  EXPECT_EQ(out.find("info string"), std::string::npos) << out;

  // Without a stop the stage ends in the proof.
  fresh_search_tables(1u << 18);
  line = solve(sfen, out);
  EXPECT_EQ(line.size(), 21u);
  EXPECT_EQ(shortest_state, SHORTEST_PROVEN);
}

TEST_F(ShortestMate, StageFindsTheShorterMateThePassesGaveUpOn) {
  // Zukou No. 36: the passes used to stop at 17 plies and leave the 13-ply
  // mate to the stage; with wider thresholds they may reach it themselves.
  // Either way the 13-ply mate comes within this budget, and the stage is
  // stopped later, still proving.
  const std::string sfen = "9/6nS1/4s4/4r1P1g/5Sk1B/5+pbR1/4Nsp2/9/4N4 b 3Gn4l15p 1";
  std::string out;
  const std::vector<MoveCode> line = solve(sfen, out, 500000);
  ASSERT_EQ(solve_result, RESULT_MATE);
  EXPECT_EQ(line.size(), 13u);
  EXPECT_LE(stage_mates, 1);
  EXPECT_EQ(shortest_state, SHORTEST_OPEN);
  setup_position(sfen);
  expect_mating_line(line, "found in the stage");
}

TEST_F(ShortestMate, ProofsAgreeWithABruteForce) {
  // Whatever the stage proves, a brute force over the rules reference finds
  // no mate of smaller measure within two more plies than the answer, and
  // does find one of the answer's measure.
  for (const char* sfen : {"6B2/7P1/8k/6L2/8G/6N2/9/9/9 b P2rb3g4s3n3l16p 1",
                           "6+L2/6+N1k/5+N1N1/7G1/9/9/9/9/9 b 2r2b3g4sn3l18p 1",
                           "4k4/9/4P4/9/9/9/9/9/9 b 2G2r2b2g4s4n4l17p 1",
                           "9/8k/9/8P/9/9/9/9/9 b 2G2r2b2g4s4n4l17p 1"}) {
    std::string out;
    const std::vector<MoveCode> line = solve(sfen, out);
    ASSERT_EQ(shortest_state, SHORTEST_PROVEN) << sfen;
    setup_position(sfen);
    const short_mates::Position start = short_mates::Position::from_board();
    short_mates::Position end = start;
    for (size_t i = 0; i < line.size(); ++i) end = rules_reference::after(end, static_cast<int>(i & 1), line[i]);
    const int plies = static_cast<int>(line.size());
    const int measure = plies - 2 * short_mates::attacker_hand_count(end);
    EXPECT_FALSE(short_mates::attacker_mates(start, plies + 2, measure - 1, nullptr)) << sfen;
    EXPECT_TRUE(short_mates::attacker_mates(start, plies, measure, nullptr)) << sfen;
  }
}

TEST_F(ShortestMate, StageBudgetEndsTheStageLikeAStop) {
  search_modes.stage_expansion_budget = 100;
  std::string out;
  const std::vector<MoveCode> line = solve("7gk/9/6P1+P/9/9/9/9/9/9 b GSP2r2b2g3s4n4l15p 1", out);
  search_modes.stage_expansion_budget = 0;
  EXPECT_EQ(line.size(), 15u);
  EXPECT_EQ(shortest_state, SHORTEST_OPEN);
}

}  // namespace


namespace {

// Entries of both tables with the refinement flag: {non-proofs, bounded disproofs}.
std::pair<int, int> refinement_entries() {
  std::pair<int, int> count{0, 0};
  for (TtEntry* table : tt_tables)
    for (uint32_t i = 0; i < tt_slots + PROBE_LIMIT; ++i) {
      const TtEntry& e = table[i];
      if (!(e.flags & TT_USED) || !(e.flags & TT_REFINE) || e.pn == 0) continue;
      ++count.first;
      if (e.pn >= PN_INFINITE) ++count.second;
    }
  return count;
}

TEST_F(ShortestMate, LeftoversOfASolveAreRetiredAndTheNextSolveAnswersAlike) {
  // A small table, so that one solve's stage fills more than an eighth of it.
  fresh_search_tables(1u << 10);
  const char* sfen = "6B2/7P1/8k/6L2/8G/6N2/9/9/9 b P2rb3g4s3n3l16p 1";
  std::string out;
  const std::vector<MoveCode> first = solve(sfen, out);
  ASSERT_EQ(shortest_state, SHORTEST_PROVEN);
  const std::pair<int, int> before = refinement_entries();
  ASSERT_GT(before.second, 0);
  tt_retire_refinement();
  const std::pair<int, int> after = refinement_entries();
  EXPECT_EQ(after.first, before.first);  // kept, as plain numbers
  EXPECT_EQ(after.second, 0);
  // The proofs stay: the next request answers the same line from the table.
  reset_search_counters();
  previous_mode = MODE_NONE;
  EXPECT_EQ(solve(sfen, out), first);
  EXPECT_EQ(solve_result, RESULT_MATE);
}

}  // namespace

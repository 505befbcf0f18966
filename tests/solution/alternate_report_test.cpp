// Marking the found line and reporting an alternate, in process: the texts
// byte for byte, and what the two operations leave in the table.
#include <gtest/gtest.h>

#include "support/cp932.h"
#include <iconv.h>

#include <string>
#include <vector>

#include "position/make_move.h"
#include "search/tt.h"
#include "solution/alternate.h"
#include "solution/line.h"
#include "solve/driver.h"
#include "support/gen_helpers.h"
#include "support/solve_loop.h"
#include "support/usi_moves.h"

namespace {


TEST(AlternateMessages, AreCodePage932) {
  EXPECT_EQ(std::string(ALTERNATE_START_LINE),
            to_cp932("info string Now start to search another solution.  この手順を作意として余詰検索を開始します。\n"));
  EXPECT_EQ(std::string(ALTERNATE_NOT_FOUND_LINE),
            to_cp932("info string Another solution was not found.  余詰は見つかりませんでした。\n"));
  EXPECT_EQ(std::string(ALTERNATE_TIMEOUT_LINE),
            to_cp932("info string Another solution search timed out.  余詰検索は時間切れになりました。\n"));
}

// A position where the attacker's third move can be the silver from 2c
// promoting on 2b or a gold dropped there; the first two moves are pawn steps.
const char* const SILVER_OR_GOLD = "6k2/9/p6S1/9/9/9/P8/9/9 b G 1";

class AlternateReport : public testing::Test {
 protected:
  void SetUp() override {
    fresh_search_tables(1u << 12);
    reset_search_counters();
    setup_position(SILVER_OR_GOLD);
    alternate_round = 0;
    first_alternate_ply = 0;
  }
  void TearDown() override {
    lift_alternate_bars();
    alternate_round = 0;
    first_alternate_ply = 0;
  }

  // Writes `moves` (USI, the attacker first) into `list` from entry 1 and
  // ends it with `end`.
  static void set_line(MoveCode* list, const std::vector<std::string>& moves, MoveCode end) {
    for (size_t i = 0; i < moves.size(); ++i)
      list[i + 1] = usi_to_code(moves[i], static_cast<int>(i & 1), false);
    list[moves.size() + 1] = end;
  }

  std::string report(int32_t status) {
    testing::internal::CaptureStdout();
    report_alternate_solution(0, status);
    return testing::internal::GetCapturedStdout();
  }

  // Probes the position after `moves` for the side to move there.
  bool probe_after(const std::vector<std::string>& moves, int32_t& pn, int32_t& dn, MoveCode& hint) {
    std::vector<MoveCode> codes;
    std::vector<std::pair<int16_t, int16_t>> captures;
    for (size_t i = 0; i < moves.size(); ++i) {
      const int side = static_cast<int>(i & 1);
      codes.push_back(usi_to_code(moves[i], side, false));
      int16_t cp, co;
      make_move(static_cast<int16_t>(side), move_of(codes.back()), cp, co);
      captures.push_back({cp, co});
    }
    uint32_t hand = 0;
    int16_t length = 0;
    tt_hint_move = 0;
    const bool found = tt_probe(static_cast<int>(moves.size() & 1), hand, length, pn, dn);
    hint = tt_hint_move;
    for (int i = static_cast<int>(codes.size()) - 1; i >= 0; --i)
      unmake_move(static_cast<int16_t>(i & 1), move_of(codes[i]), captures[i].first, captures[i].second);
    return found;
  }
};

TEST_F(AlternateReport, LineNamesBothMovesAndBarsTheBranchUntilTheRoundsEnd) {
  set_line(intended_solution, {"9g9f", "9c9d", "2c2b+"}, 0);
  set_line(solution, {"9g9f", "9c9d", "G*2b"}, -2);
  root_value = 3;
  EXPECT_EQ(report(0), to_cp932("info string Another solution was found at 3 ply.(2c2b+ -> G*2b)  "
                                "3手目に余詰が見つかりました。(２二銀成(23) -> ２二金打)\n"));
  EXPECT_EQ(first_alternate_ply, 3);

  // The gold drop ends the alternate line: its bar carries no move.
  int32_t pn = 0, dn = 0;
  MoveCode hint = -1;
  ASSERT_TRUE(probe_after({"9g9f", "9c9d", "G*2b"}, pn, dn, hint));
  EXPECT_EQ(dn, 0);
  EXPECT_EQ(pn, PN_INFINITE);
  EXPECT_EQ(hint, 0);
  // The intended line stands in the table as proven.
  ASSERT_TRUE(probe_after({}, pn, dn, hint));
  EXPECT_EQ(pn, 0);
  EXPECT_EQ(hint, usi_to_code("9g9f", 0, false));
  ASSERT_TRUE(probe_after({"9g9f", "9c9d"}, pn, dn, hint));
  EXPECT_EQ(pn, 0);
  EXPECT_EQ(hint, usi_to_code("2c2b+", 0, false));

  // After the rounds the branch is no longer barred.
  lift_alternate_bars();
  if (probe_after({"9g9f", "9c9d", "G*2b"}, pn, dn, hint)) {
    EXPECT_NE(dn, 0);
  }
}

TEST_F(AlternateReport, BarOfAContinuingAlternateCarriesItsNextMove) {
  set_line(intended_solution, {"2c2b+", "3a4a", "G*5b"}, 0);
  set_line(solution, {"G*2b", "3a4a", "2c3b+"}, -2);
  root_value = 3;
  EXPECT_EQ(report(0), to_cp932("info string Another solution was found at 1 ply.(2c2b+ -> G*2b)  "
                                "1手目に余詰が見つかりました。(２二銀成(23) -> ２二金打)\n"));
  int32_t pn = 0, dn = 0;
  MoveCode hint = 0;
  ASSERT_TRUE(probe_after({"G*2b"}, pn, dn, hint));
  EXPECT_EQ(dn, 0);
  EXPECT_EQ(hint, usi_to_code("3a4a", 1, false));
}

TEST_F(AlternateReport, NothingPastTheEndOfTheFoundLineCounts) {
  set_line(intended_solution, {"9g9f", "9c9d", "2c2b+", "3a4a", "G*5b"}, 0);
  // The found line ends after ply 2; the king's step after its end mark is
  // left over from an earlier run.
  set_line(solution, {"9g9f", "9c9d", "G*2b", "3a4b"}, -2);
  solution[3] = -2;
  root_value = 5;
  EXPECT_EQ(report(0), "");
  EXPECT_EQ(first_alternate_ply, 0);

  // A search that proved nothing reports nothing either.
  set_line(solution, {"9g9f", "9c9d", "G*2b"}, -2);
  EXPECT_EQ(report(1), "");
  EXPECT_EQ(first_alternate_ply, 0);
  // The intended line is stored back all the same.
  int32_t pn = 1, dn = 0;
  MoveCode hint = 0;
  ASSERT_TRUE(probe_after({"9g9f"}, pn, dn, hint));
  EXPECT_EQ(pn, 0);
  EXPECT_EQ(hint, usi_to_code("9c9d", 1, false));
}

class MarkSolution : public testing::Test {
 protected:
  void SetUp() override {
    fresh_search_tables(1u << 14);
    reset_search_counters();
    previous_mode = MODE_NONE;
    alternate_round = 0;
  }
  void TearDown() override {
    lift_alternate_bars();
    alternate_round = 0;
    previous_mode = MODE_NONE;
  }
  // Solves the position into the table and leaves the modes as the driver's
  // marking call finds them.
  static void solve(const char* sfen) {
    setup_position(sfen);
    testing::internal::CaptureStdout();
    run_solver(SOLVE, 0);
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(solve_result, RESULT_MATE);
    search_modes.refine_pass = 0;
    length_limit = LENGTH_LIMIT_NONE;
  }
};

TEST_F(MarkSolution, RootWithoutProofIsNotMarked) {
  setup_position("6Gbk/9/8N/7+P1/9/9/9/9/9 b - 1");
  EXPECT_EQ(mark_solution(0), -1) << "not in the table";
  tt_store(0, board.attacker_hand, 0, 5, 3, 0);
  EXPECT_EQ(mark_solution(0), -1) << "open";
  tt_store(0, board.attacker_hand, 0, PN_INFINITE, 0, 0);
  EXPECT_EQ(mark_solution(0), -4) << "disproven";
}

TEST_F(MarkSolution, MarksTheLineAndReportRestoresIt) {
  // 3a2a 1a1b B*2c, or the knight's capture 1c2a+ first.
  solve("6Gbk/9/8N/7+P1/9/9/9/9/9 b - 1");
  const std::vector<MoveCode> line = table_line();
  ASSERT_EQ(line.size(), 3u);

  EXPECT_EQ(mark_solution(0), -2);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(intended_solution[i + 1], line[i]);
    EXPECT_EQ(stored_solution[i + 1], line[i]);
  }
  EXPECT_EQ(intended_solution[4], 0);
  EXPECT_EQ(stored_solution[4], 0);
  // On this path the root is open again and the position before the mate
  // has none.
  EXPECT_TRUE(table_line().empty());
  int16_t cp1, co1, cp2, co2;
  make_move(0, move_of(line[0]), cp1, co1);
  make_move(1, move_of(line[1]), cp2, co2);
  uint32_t hand = 0;
  int16_t length = 0;
  int32_t pn = 0, dn = 0;
  ASSERT_TRUE(tt_probe(0, hand, length, pn, dn));
  EXPECT_EQ(dn, 0);
  unmake_move(1, move_of(line[1]), cp2, co2);
  unmake_move(0, move_of(line[0]), cp1, co1);

  // A round that proved nothing: no report, and the line is proven again.
  root_value = 0;
  testing::internal::CaptureStdout();
  EXPECT_EQ(report_alternate_solution(0, 1), 3);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(table_line(), line);

  // A later round records the line again but leaves the intended one alone.
  alternate_round = 1;
  stored_solution[2] = 0;
  intended_solution[4] = 12345;
  EXPECT_EQ(mark_solution(0), -2);
  EXPECT_EQ(stored_solution[2], line[1]);
  EXPECT_EQ(intended_solution[4], 12345);
  intended_solution[4] = 0;
  testing::internal::CaptureStdout();
  report_alternate_solution(0, 1);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(table_line(), line);
}

TEST_F(MarkSolution, FollowsTheAnswerWhereTheTableProvesIt) {
  // After R*2b both king moves are proven; the answer may take the reply
  // that the table's best moves do not.
  solve("7k1/9/8G/9/9/9/9/9/9 b SRr2b3g3s4n4l18p 1");
  const std::vector<MoveCode> table = table_line();
  ASSERT_EQ(table.size(), 3u);
  const MoveCode other =
      table[1] == usi_to_code("2a1a", 1, false) ? usi_to_code("2a3a", 1, false) : usi_to_code("2a1a", 1, false);
  int16_t cp1, co1, cp2, co2;
  make_move(0, move_of(table[0]), cp1, co1);
  make_move(1, move_of(other), cp2, co2);
  const std::vector<MoveCode> rest = table_line();
  unmake_move(1, move_of(other), cp2, co2);
  unmake_move(0, move_of(table[0]), cp1, co1);
  ASSERT_EQ(rest.size(), 1u);

  MoveCode answer[LINE_ARRAY_SIZE] = {table[0], other, rest[0], -2};
  mark_follow_line = answer;
  EXPECT_EQ(mark_solution(0), -2);
  mark_follow_line = nullptr;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(intended_solution[i + 1], answer[i]) << i;
  EXPECT_EQ(intended_solution[4], 0);
  testing::internal::CaptureStdout();
  report_alternate_solution(0, 1);
  testing::internal::GetCapturedStdout();

  // A move the table cannot follow: its best moves from there on (the report
  // stored the followed line back as the table's).
  const std::vector<MoveCode> stored = table_line();
  ASSERT_EQ(stored.size(), 3u);
  MoveCode cut[LINE_ARRAY_SIZE] = {table[0], usi_to_code("P*2b", 1, false), -2};  // 2b is taken
  mark_follow_line = cut;
  EXPECT_EQ(mark_solution(0), -2);
  mark_follow_line = nullptr;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(intended_solution[i + 1], stored[i]) << i;
}

}  // namespace

// A known line turned into the report's solution: whatever the engine's
// command loop was doing before, the line is played from the problem's own
// position, and a move that does not fit it is refused.
#include "check_one.h"

#include <gtest/gtest.h>

#include "solve/driver.h"
#include "usi/command_loop.h"

namespace {

const ProblemEntry TWO_SOLUTIONS{"two", "6Gbk/9/8N/7+P1/9/9/9/9/9 b - 1", "3"};

TEST(CheckOne, AKnownLineIsShownOnlyWhenEveryMoveIsLegal) {
  // The loop is back before usinewgame, where it takes no position: the
  // line must not be read on whatever board stood last.
  command_loop_reset();
  CheckedProblem checked;
  ASSERT_TRUE(checked_line(TWO_SOLUTIONS, {"3a2a", "1a1b", "B*2c"}, checked));
  EXPECT_EQ(checked.result, RESULT_MATE);
  ASSERT_EQ(checked.japanese.size(), 3u);
  EXPECT_EQ(checked.japanese[0], "▲２一金");
  EXPECT_EQ(checked.japanese[1], "△１二玉");
  EXPECT_EQ(checked.japanese[2], "▲２三角");

  // A knight that cannot step there, a king walking into the gold, a rook
  // the attacker does not hold, text that is no move, and a move after the
  // mate.
  for (const std::vector<std::string>& line : std::vector<std::vector<std::string>>{
           {"1c1b"}, {"3a2a", "1a2b"}, {"R*2b"}, {"zz"}, {"3a2a", "1a1b", "B*2c", "1b1a"}}) {
    CheckedProblem refused;
    EXPECT_FALSE(checked_line(TWO_SOLUTIONS, line, refused)) << line.back();
    EXPECT_TRUE(refused.japanese.empty());
  }
  // Refusing left the problem's position as it was: the line plays again.
  ASSERT_TRUE(checked_line(TWO_SOLUTIONS, {"3a2a", "1a1b", "B*2c"}, checked));
  EXPECT_EQ(checked.japanese.size(), 3u);
}

TEST(CheckOne, NoLineIsPlayedOnAPositionTheRulesCannotHold) {
  // No king to mate, two of them, and a king already in check with the
  // attacker to move.
  for (const char* sfen : {"6G2/9/8N/9/9/9/9/9/9 b B 1", "6Gkk/9/8N/9/9/9/9/9/9 b B 1", "8k/8R/9/9/9/9/9/9/9 b - 1"}) {
    CheckedProblem checked;
    EXPECT_FALSE(checked_line({"bad", sfen, "1"}, {"B*2b"}, checked)) << sfen;
  }
}

}  // namespace

// The position check before a solve: positions that cannot arise in play are
// refused, real problems never are.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "solve/position_check.h"
#include "support/position_helpers.h"
#include "support/problems.h"

namespace {

TEST(PositionCheck, RefusesPositionsThatCannotArise) {
  // Each is the mate in one G*5b, or its White-to-move twin, with one flaw.
  const std::vector<std::pair<std::string, std::string>> impossible = {
      {"4k4/9/4P4/9/9/9/9/9/k8 b G2r2b3g4s4n4l17p 1", "two defender kings"},
      {"9/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1", "no defender king"},
      {"4k4/9/4P4/9/9/9/9/9/K7K b G2r2b3g4s4n4l17p 1", "two attacker kings"},
      {"4k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l18p 1", "19 pawns"},
      {"4k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n5l17p 1", "5 lances"},
      {"P3k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l16p 1", "attacker pawn on its last rank"},
      {"4k3+P/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l16p 1", "(control: a tokin there is fine)"},
      {"L3k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n3l17p 1", "attacker lance on its last rank"},
      {"4k4/N8/4P4/9/9/9/9/9/9 b G2r2b3g4s3n4l17p 1", "attacker knight on its second-last rank"},
      {"4k4/9/4P4/9/9/9/9/9/p8 b G2r2b3g4s4n4l16p 1", "defender pawn on its last rank"},
      {"4k4/9/4P4/9/9/9/9/n8/9 b G2r2b3g4s3n4l17p 1", "defender knight on its second-last rank"},
      {"4k4/9/4P4/4P4/9/9/9/9/9 b G2r2b3g4s4n4l16p 1", "two attacker pawns on a file"},
      {"4k4/4p4/4P4/9/9/9/9/4p4/9 b G2r2b3g4s4n4l15p 1", "two defender pawns on a file"},
      {"4k4/9/4P4/9/8B/9/9/9/9 b G2rb3g4s4n4l17p 1", "defender king in check from afar"},
      {"4kK3/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1", "kings side by side"},
      {"P8/9/9/9/9/9/4p4/9/4K4 w 2R2BG4S4N4L3g16p 1", "defender pawn on its last rank, White to move"},
      {"9/9/9/9/9/9/4p4/9/4K3l w 2R2BG4S4N3L3g17p 1", "attacker lance on its last rank, White to move"},
  };
  for (const auto& [sfen, flaw] : impossible) {
    setup_position(sfen);
    EXPECT_EQ(position_is_solvable(), flaw[0] == '(') << flaw;
  }
  for (const std::string& sound : {std::string("4k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1"),
                                   std::string("9/9/9/9/9/9/4p4/9/4K4 w 2R2BG4S4N4L3g17p 1"),
                                   // Pawns of the two sides share a file; the attacker king may stand in check.
                                   std::string("4k4/4p4/4P4/9/9/9/9/4r4/4K4 b Gr2b3g4s4n4l16p 1")}) {
    setup_position(sound);
    EXPECT_TRUE(position_is_solvable()) << sound;
  }
}

TEST(PositionCheck, AcceptsEveryBundledProblem) {
  int checked = 0;
  for (const char* file : {"zukou.sfen", "musou.sfen", "regression.sfen"}) {
    for (const Problem& p : load_problems(file)) {
      setup_position(p.sfen);
      EXPECT_TRUE(position_is_solvable()) << file << ": " << p.note;
      ++checked;
    }
  }
  EXPECT_GT(checked, 200);
}

}  // namespace

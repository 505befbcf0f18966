// "go mate" end to end: the engine over pipes, each answer checked on the
// board with the rules reference.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_process.h"
#include "support/gen_helpers.h"
#include "support/mate_check.h"
#include "support/problems.h"
#include "support/usi_moves.h"

namespace {

class GoMate : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(engine.started());
    open_game(engine);
  }

  static void open_game(EngineProcess& process) {
    process.send_line("usi");
    while (auto line = process.read_line()) {
      if (*line == "usiok") break;
    }
    process.send_line("setoption name USI_Hash value 16");
    process.send_line("usinewgame");
  }

  // The answer line of "go mate" on `sfen`; progress lines go to `info`.
  static std::string solve_on(EngineProcess& process, const std::string& sfen, const std::string& go,
                              std::vector<std::string>* info) {
    process.send_line("position sfen " + sfen);
    process.send_line(go);
    while (auto line = process.read_line(120000)) {
      if (line->rfind("checkmate", 0) == 0) return *line;
      if (info) info->push_back(*line);
    }
    return "(no answer)";
  }

  std::string solve(const std::string& sfen, const std::string& go = "go mate 30000",
                    std::vector<std::string>* info = nullptr) {
    return solve_on(engine, sfen, go, info);
  }

  // Checks a "checkmate <moves>" answer as a mate of the position.
  void expect_mate(const std::string& sfen, const std::string& answer, const std::string& known) {
    std::vector<std::string> words = split_words(answer);
    ASSERT_GE(words.size(), 2u) << sfen << ": " << answer;
    ASSERT_EQ(words[0], "checkmate");
    setup_position(sfen);
    const bool flipped = board.flipped != 0;
    std::vector<MoveCode> line;
    for (size_t i = 1; i < words.size(); ++i) {
      MoveCode m = usi_to_code(words[i], static_cast<int>((i - 1) & 1), flipped);
      ASSERT_NE(m, 0) << words[i];
      line.push_back(m);
    }
    expect_mating_line(line, sfen);
    if (known != "?") {
      EXPECT_EQ(std::to_string(line.size()), known) << sfen;
    }
  }

  EngineProcess engine{engine_under_test(KESTRANE_BIN)};
};

TEST_F(GoMate, RegressionCollection) {
  build_zobrist();
  for (const Problem& p : load_problems("regression.sfen")) {
    std::string answer = solve(p.sfen);
    if (p.known == "nomate") {
      EXPECT_EQ(answer, "checkmate nomate") << p.note;
    } else {
      expect_mate(p.sfen, answer, p.known);
    }
  }
}

TEST_F(GoMate, ClassicProblemsWithTheirKnownLengths) {
  build_zobrist();
  const std::vector<Problem> zukou = load_problems("zukou.sfen");
  // Ones whose shortest mate is the recorded one and is proven within a
  // second: an unfinished proof would take the whole limit.
  for (int index : {1, 4, 17, 21, 41, 59, 87, 91}) {
    const Problem& p = zukou[index];
    expect_mate(p.sfen, solve(p.sfen), p.known);
  }
}

TEST_F(GoMate, WhiteToMoveAnswersInTheGivenCoordinates) {
  EXPECT_EQ(solve("9/9/9/9/9/9/4p4/9/4K4 w 2R2BG4S4N4L3g17p 1"), "checkmate G*5h");
  EXPECT_EQ(solve("4k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1"), "checkmate G*5b");
}

TEST_F(GoMate, LimitsAndRepeatedRequests) {
  const std::string sfen = "9/8k/9/8P/9/9/9/9/9 b 2G2r2b2g4s4n4l17p 1";
  std::vector<std::string> info;
  EXPECT_EQ(solve(sfen, "go mate infinite", &info), "checkmate G*1c 1b2a G*2b");
  bool final_line = false;
  for (const std::string& l : info) final_line |= l.find(" score mate 3 pv G*1c 1b2a G*2b ") != std::string::npos;
  EXPECT_TRUE(final_line);
  // The second request is answered from the table, without the final line.
  info.clear();
  EXPECT_EQ(solve(sfen, "go mate 0", &info), "checkmate G*1c 1b2a G*2b");
  for (const std::string& l : info) EXPECT_EQ(l.find("score mate"), std::string::npos) << l;
  EXPECT_EQ(solve(sfen, "go mate"), "checkmate G*1c 1b2a G*2b");
}

TEST_F(GoMate, PositionsThatCannotBeSolved) {
  // go mate before any position: no defender king.
  engine.send_line("go mate 1000");
  auto line = engine.read_line();
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(*line, "checkmate nomate");
  EXPECT_EQ(solve("4k4/9/9/9/9/9/9/9/4k4 b G 1"), "checkmate nomate");  // two defender kings
  EXPECT_EQ(solve("4k4/9/9/9/9/9/9/9/9 b 19P 1"), "checkmate nomate");   // 19 pawns
  EXPECT_EQ(solve("4k4/9/9/9/9/9/9/9/9 b 3R 1"), "checkmate nomate");    // 3 rooks
  // A solvable problem still answers afterwards.
  EXPECT_EQ(solve("4k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1"), "checkmate G*5b");
}

// The final line of a mate without the fields of the clock (nps, time), the
// only ones that may differ between two runs.
std::string without_clock(const std::string& line) {
  std::vector<std::string> words = split_words(line);
  std::string kept;
  for (size_t i = 0; i < words.size(); ++i) {
    if ((words[i] == "nps" || words[i] == "time") && i + 1 < words.size()) {
      ++i;
      continue;
    }
    kept += words[i] + " ";
  }
  return kept;
}

// With KESTRANE_ENGINE naming another build (the Windows engine under Wine),
// its answers and node counts must be those of the engine built here; without
// it, two processes of this engine must agree.
TEST_F(GoMate, SameAnswersAndNodeCountsAsTheBuiltEngine) {
  EngineProcess reference{KESTRANE_BIN};
  ASSERT_TRUE(reference.started());
  open_game(reference);
  std::vector<std::string> sfens;
  for (const Problem& p : load_problems("regression.sfen")) sfens.push_back(p.sfen);  // White to move too
  const std::vector<Problem> zukou = load_problems("zukou.sfen");
  // Problems whose shortest-mate proof ends: without a limit the answer
  // comes when it does.
  for (int index : {1, 4, 17, 21}) sfens.push_back(zukou[index].sfen);
  int finals = 0;
  for (const std::string& sfen : sfens) {
    std::vector<std::string> info, reference_info;
    const std::string answer = solve(sfen, "go mate", &info);
    EXPECT_EQ(answer, solve_on(reference, sfen, "go mate", &reference_info)) << sfen;
    std::string final_line, reference_final;
    for (const std::string& l : info)
      if (l.find(" score mate ") != std::string::npos) final_line = without_clock(l);
    for (const std::string& l : reference_info)
      if (l.find(" score mate ") != std::string::npos) reference_final = without_clock(l);
    EXPECT_EQ(final_line, reference_final) << sfen;
    finals += !final_line.empty();
  }
  EXPECT_GE(finals, 6);  // the node counts of the mates were compared
}

TEST_F(GoMate, TimeLimitStopAndQuit) {
  // Zukou No. 8 takes far longer than half a second.
  const std::string hard = load_problems("zukou.sfen")[7].sfen;
  EXPECT_EQ(solve(hard, "go mate 500"), "checkmate timeout");
  // "stop" during a solve ends it: the answer comes long before the limit,
  // and the stop gets no reply of its own.
  engine.send_line("position sfen " + hard);
  engine.send_line("go mate 60000");
  engine.read_line(5000);  // a progress line: the solve is under way
  engine.send_line("stop");
  std::vector<std::string> after;
  while (auto l = engine.read_line(30000)) {
    if (l->rfind("info ", 0) != 0) after.push_back(*l);
    if (l->rfind("checkmate", 0) == 0) break;
  }
  EXPECT_EQ(after, (std::vector<std::string>{"checkmate timeout"}));
  // A stop outside a solve has its reply.
  engine.send_line("stop");
  auto reply = engine.read_line();
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->rfind("info string Sorry", 0), 0u) << *reply;
  // "quit" during an unlimited solve ends it at once: its answer, then the
  // process ends.
  engine.send_line("position sfen " + hard);
  engine.send_line("go mate infinite");
  engine.read_line(5000);
  engine.send_line("quit");
  EXPECT_EQ(engine.wait_exit(5000), 0);
  std::vector<std::string> answers;
  while (auto l = engine.read_line(1000)) {
    if (l->rfind("checkmate", 0) == 0) answers.push_back(*l);
  }
  EXPECT_EQ(answers, (std::vector<std::string>{"checkmate timeout"}));
}

}  // namespace

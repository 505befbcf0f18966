// The engine binary driven over pipes, as a front end drives it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_process.h"

namespace {

const std::vector<std::string> IDENTIFICATION = {
    "id name Kestrane 1.2",
    "id author Ilvar Quennet",
    "option name Do_YoTsume_Search type check default false",
    "option name YoTsume_Second type spin default 30 min 1 max 3600",
    "option name Threads type spin default 1 min 1 max 256",
    "usiok",
};

const std::string PREFIX = "info string Sorry, Kestrane supports only TsumeShogi.  ";
const std::string HEAD = "Kestrane\x82\xCD\x8E\x77\x82\xB5\x8F\xAB\x8A\xFB\x82\xCC";
const std::string TAIL = "\x82\xCD\x94\xF1\x91\xCE\x89\x9E\x82\xC5\x82\xB7\x81\x42";
const std::string SORRY_POSITION = PREFIX + HEAD + "\x8B\xC7\x96\xCA\x8E\x77\x92\xE8" + TAIL;
const std::string SORRY_GO = PREFIX + HEAD + "\x8E\x76\x8D\x6C" + TAIL;
const std::string SORRY_GO_PONDER = PREFIX + HEAD + "\x90\xE6\x93\xC7\x82\xDD" + TAIL;
const std::string SORRY_STOP = PREFIX + HEAD + "\x8E\x76\x8D\x6C\x92\x86\x92\x66" + TAIL;
const std::string SORRY_PONDERHIT = PREFIX + HEAD + "\x97\x5C\x91\x7A\x8E\xE8" + TAIL;

class EngineProcessTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(engine.started()) << "cannot start " << KESTRANE_BIN; }

  void expect_lines(const std::vector<std::string>& expected) {
    for (const std::string& want : expected) {
      std::optional<std::string> got = engine.read_line();
      ASSERT_TRUE(got.has_value()) << "no line where \"" << want << "\" was expected";
      EXPECT_EQ(*got, want);
    }
  }

  void expect_identification() { expect_lines(IDENTIFICATION); }

  // The engine ends its process with status 0 and nothing more written.
  void expect_clean_exit() {
    EXPECT_EQ(engine.wait_exit(), 0);
    EXPECT_FALSE(engine.read_line(2000).has_value());
  }

  EngineProcess engine{engine_under_test(KESTRANE_BIN)};
};

TEST_F(EngineProcessTest, IdentificationAndReadyok) {
  ASSERT_TRUE(engine.send_line("usi"));
  expect_identification();
  ASSERT_TRUE(engine.send_line("isready"));
  expect_lines({"readyok"});
  ASSERT_TRUE(engine.send_line("quit"));
  expect_clean_exit();
}

TEST_F(EngineProcessTest, SorryLinesInGame) {
  ASSERT_TRUE(engine.send_line("usinewgame"));
  ASSERT_TRUE(engine.send_line("position startpos moves 7g7f 3c3d"));
  expect_lines({SORRY_POSITION});
  ASSERT_TRUE(engine.send_line("go btime 60000 wtime 60000 byoyomi 10000"));
  expect_lines({SORRY_GO, "bestmove resign"});
  ASSERT_TRUE(engine.send_line("go ponder"));
  expect_lines({SORRY_GO_PONDER});
  ASSERT_TRUE(engine.send_line("stop"));
  expect_lines({SORRY_STOP});
  ASSERT_TRUE(engine.send_line("ponderhit"));
  expect_lines({SORRY_PONDERHIT});
  // Back in the setup phase: a game command is silent, isready answers.
  ASSERT_TRUE(engine.send("gameover lose\nstop\nisready\n"));
  expect_lines({"readyok"});
  ASSERT_TRUE(engine.send_line("quit"));
  expect_clean_exit();
}

TEST_F(EngineProcessTest, LinesSentAtOnceAnsweredInOrder) {
  // The empty line is queued like any other and matches "usi".
  ASSERT_TRUE(engine.send("isready\n\ni\n"));
  expect_lines({"readyok"});
  expect_identification();
  expect_lines({"readyok"});
  ASSERT_TRUE(engine.send_line("quit"));
  expect_clean_exit();
}

TEST_F(EngineProcessTest, CrLfLinesAnsweredLikeLfLines) {
  ASSERT_TRUE(engine.send("usi\r\nisready\r\nusinewgame\r\nstop\r\n"));
  expect_identification();
  expect_lines({"readyok", SORRY_STOP});
  ASSERT_TRUE(engine.send("quit\r\n"));
  expect_clean_exit();
}

TEST_F(EngineProcessTest, NulByteIsPartOfTheLine) {
  // "is" followed by a NUL is not a leading part of "isready".
  ASSERT_TRUE(engine.send(std::string("is\0\nusi\n", 8)));
  expect_identification();
  ASSERT_TRUE(engine.send_line("quit"));
  expect_clean_exit();
}

TEST_F(EngineProcessTest, EndOfInputEndsWithStatusZero) {
  ASSERT_TRUE(engine.send_line("isready"));
  expect_lines({"readyok"});
  engine.close_input();
  expect_clean_exit();
}

TEST_F(EngineProcessTest, QuitWithTrailingTextQuits) {
  ASSERT_TRUE(engine.send_line("quit now please"));
  expect_clean_exit();
}

TEST_F(EngineProcessTest, QuitOnlyAtTheStartOfALine) {
  ASSERT_TRUE(engine.send("xquit\n quit\nqui\nisready\n"));
  expect_lines({"readyok"});
  EXPECT_TRUE(engine.running());
  ASSERT_TRUE(engine.send_line("quit"));
  expect_clean_exit();
}

TEST_F(EngineProcessTest, MegabyteGarbageLineIsSurvived) {
  // Every byte value but the line feed, NUL and CR included; the 9,999-byte
  // pieces match no command.
  std::string garbage;
  garbage.reserve(1 << 20);
  for (int i = 0; garbage.size() < (1u << 20); ++i) {
    char c = static_cast<char>(i * 7 % 256);
    if (c != '\n') garbage.push_back(c);
  }
  garbage += '\n';
  ASSERT_TRUE(engine.send(garbage));
  ASSERT_TRUE(engine.send_line("isready"));
  expect_lines({"readyok"});
  ASSERT_TRUE(engine.send_line("isready"));
  expect_lines({"readyok"});
  EXPECT_TRUE(engine.running());
  ASSERT_TRUE(engine.send_line("quit"));
  expect_clean_exit();
}

}  // namespace

#include "usi/command_loop.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "position/board.h"
#include "solve/engine_options.h"

namespace {

const std::string IDENTIFICATION =
    "id name Kestrane 1.2\n"
    "id author Ilvar Quennet\n"
    "option name Do_YoTsume_Search type check default false\n"
    "option name YoTsume_Second type spin default 30 min 1 max 3600\n"
    "option name Threads type spin default 1 min 1 max 256\n"
    "usiok\n";

const std::string PREFIX = "info string Sorry, Kestrane supports only TsumeShogi.  ";

// Answers each line in turn and returns everything written to standard output.
std::string answer(std::initializer_list<std::string> lines) {
  testing::internal::CaptureStdout();
  for (const std::string& line : lines) handle_command(line);
  return testing::internal::GetCapturedStdout();
}

std::string sorry(const char* sentence) { return PREFIX + sentence + "\n"; }

// Center square 5e: the same under the White reader's 180-degree turn.
constexpr int CENTER = 40;

class CommandLoopTest : public testing::Test {
 protected:
  void SetUp() override {
    command_loop_reset();
    board_clear();
  }
  void TearDown() override { command_loop_reset(); }

  void enter_game() {
    handle_command("usinewgame");
    ASSERT_EQ(phase, GAME);
  }
};

TEST_F(CommandLoopTest, LineTests) {
  EXPECT_TRUE(line_matches_word("", "usi"));
  EXPECT_TRUE(line_matches_word("us", "usi"));
  EXPECT_TRUE(line_matches_word("usi", "usi"));
  EXPECT_FALSE(line_matches_word("usi ", "usi"));
  EXPECT_FALSE(line_matches_word("usinewgame", "usi"));
  EXPECT_FALSE(line_matches_word("uxi", "usi"));
  // Bytes after a NUL still count.
  EXPECT_FALSE(line_matches_word(std::string("is\0", 3), "isready"));

  EXPECT_TRUE(line_starts_with("position sfen", "position"));
  EXPECT_TRUE(line_starts_with("go", "go"));
  EXPECT_FALSE(line_starts_with("g", "go"));
  EXPECT_FALSE(line_starts_with(" go", "go"));
}

TEST_F(CommandLoopTest, SetupPhaseWordMatching) {
  EXPECT_EQ(answer({"usi"}), IDENTIFICATION);
  EXPECT_EQ(answer({""}), IDENTIFICATION);
  EXPECT_EQ(answer({"u"}), IDENTIFICATION);
  EXPECT_EQ(answer({"isready"}), "readyok\n");
  EXPECT_EQ(answer({"i"}), "readyok\n");
  EXPECT_EQ(answer({"usi "}), "");
  EXPECT_EQ(answer({"isready now"}), "");
  EXPECT_EQ(answer({std::string("is\0", 3)}), "");
  EXPECT_EQ(answer({"USI", "hello", "quit", "stop", "go mate 1"}), "");
  EXPECT_EQ(phase, SETUP);
}

TEST_F(CommandLoopTest, UsinewgameAndPrefixesEnterGame) {
  EXPECT_EQ(answer({"usinewgame"}), "");
  EXPECT_EQ(phase, GAME);

  command_loop_reset();
  EXPECT_EQ(answer({"usin"}), "");
  EXPECT_EQ(phase, GAME);

  command_loop_reset();
  EXPECT_EQ(answer({"usinewgame2"}), "");
  EXPECT_EQ(phase, SETUP);
}

TEST_F(CommandLoopTest, GamePhaseIgnoresSetupCommands) {
  enter_game();
  EXPECT_EQ(answer({"isready", "usi", "", "usinewgame", "setoption name USI_Hash value 8"}), "");
  EXPECT_EQ(engine_options.table_entries, 0u);
  EXPECT_EQ(phase, GAME);
}

TEST_F(CommandLoopTest, GameoverReturnsToSetupKeepingState) {
  handle_command("setoption name YoTsume_Second value 7");
  enter_game();
  handle_command("position sfen 9/9/9/9/4P4/9/9/9/9 w - 1");
  EXPECT_EQ(answer({"gameover win"}), "");
  EXPECT_EQ(phase, SETUP);
  EXPECT_EQ(answer({"isready"}), "readyok\n");
  // Nothing is reset by the phase changes.
  EXPECT_EQ(engine_options.alternate_time_seconds, 7);
  EXPECT_EQ(side_to_move, WHITE);
  EXPECT_EQ(board.pieces[CENTER], PAWN);
}

TEST_F(CommandLoopTest, PositionAndGoMateIgnoredOutsideGame) {
  handle_command("position sfen 9/9/9/9/4P4/9/9/9/9 w - 1");
  handle_command("go mate 3000");
  EXPECT_EQ(side_to_move, BLACK);
  EXPECT_EQ(board.pieces[CENTER], EMPTY);
  EXPECT_EQ(go_mate_request.time_limit_ms, 0u);

  enter_game();
  handle_command("gameover");
  handle_command("position sfen 9/9/9/9/4P4/9/9/9/9 w - 1");
  handle_command("go mate 3000");
  EXPECT_EQ(side_to_move, BLACK);
  EXPECT_EQ(board.pieces[CENTER], EMPTY);
  EXPECT_EQ(go_mate_request.time_limit_ms, 0u);
}

TEST_F(CommandLoopTest, SorryMessages) {
  enter_game();
  EXPECT_EQ(answer({"position startpos"}), sorry(SORRY_POSITION_SJIS));
  EXPECT_EQ(answer({"go btime 0 wtime 0 byoyomi 1000"}), sorry(SORRY_GO_SJIS) + "bestmove resign\n");
  EXPECT_EQ(answer({"go"}), sorry(SORRY_GO_SJIS) + "bestmove resign\n");
  EXPECT_EQ(answer({"gomate"}), sorry(SORRY_GO_SJIS) + "bestmove resign\n");
  EXPECT_EQ(answer({"go infinite"}), sorry(SORRY_GO_SJIS) + "bestmove resign\n");
  // Pondering waits for a stop or ponderhit: no bestmove of its own.
  EXPECT_EQ(answer({"go ponder"}), sorry(SORRY_GO_PONDER_SJIS));
  EXPECT_EQ(answer({"go ponder btime 0"}), sorry(SORRY_GO_PONDER_SJIS));
  EXPECT_EQ(answer({"stop"}), sorry(SORRY_STOP_SJIS));
  EXPECT_EQ(answer({"ponderhit"}), sorry(SORRY_PONDERHIT_SJIS));
  EXPECT_EQ(answer({"Stop", "g", "quit", "pos"}), "");
  EXPECT_EQ(phase, GAME);
}

TEST_F(CommandLoopTest, SorryLinesByteForByte) {
  // Independent of the constants: the exact bytes a front end receives.
  enter_game();
  EXPECT_EQ(answer({"stop"}),
            "info string Sorry, Kestrane supports only TsumeShogi.  Kestrane"
            "\x82\xCD\x8E\x77\x82\xB5\x8F\xAB\x8A\xFB\x82\xCC\x8E\x76\x8D\x6C\x92\x86\x92\x66"
            "\x82\xCD\x94\xF1\x91\xCE\x89\x9E\x82\xC5\x82\xB7\x81\x42\n");
  EXPECT_EQ(answer({"ponderhit"}),
            "info string Sorry, Kestrane supports only TsumeShogi.  Kestrane"
            "\x82\xCD\x8E\x77\x82\xB5\x8F\xAB\x8A\xFB\x82\xCC\x97\x5C\x91\x7A\x8E\xE8"
            "\x82\xCD\x94\xF1\x91\xCE\x89\x9E\x82\xC5\x82\xB7\x81\x42\n");
}

TEST_F(CommandLoopTest, PositionStartposLeavesBoardAlone) {
  enter_game();
  handle_command("position sfen 9/9/9/9/4P4/9/9/9/9 w - 1");
  ASSERT_EQ(side_to_move, WHITE);
  board.hands[0][GOLD] = 2;
  board.hands[1][PAWN] = 3;
  Board before;
  std::memcpy(&before, &board, sizeof board);

  EXPECT_EQ(answer({"position startpos moves 7g7f"}), sorry(SORRY_POSITION_SJIS));
  EXPECT_EQ(std::memcmp(&before, &board, sizeof board), 0);
  EXPECT_EQ(side_to_move, WHITE);
}

TEST_F(CommandLoopTest, PositionChoosesReaderBySideAndClearsHands) {
  enter_game();
  board.hands[0][PAWN] = 5;
  board.hands[0][ROOK] = 1;
  board.hands[1][GOLD] = 4;
  EXPECT_EQ(answer({"position sfen 9/9/9/9/4P4/9/9/9/9 b - 1"}), "");
  EXPECT_EQ(side_to_move, BLACK);
  EXPECT_EQ(board.pieces[CENTER], PAWN);
  EXPECT_EQ(board.owners[CENTER], OWNER_ATTACKER);
  for (int side = 0; side < 2; ++side) {
    for (int piece = PAWN; piece <= ROOK; ++piece) EXPECT_EQ(board.hands[side][piece], 0);
  }

  // White to move: colours exchanged, so Black's pawn belongs to the defender.
  board.hands[1][SILVER] = 2;
  EXPECT_EQ(answer({"position sfen 9/9/9/9/4P4/9/9/9/9 w - 1"}), "");
  EXPECT_EQ(side_to_move, WHITE);
  EXPECT_EQ(board.pieces[CENTER], PAWN);
  EXPECT_EQ(board.owners[CENTER], OWNER_DEFENDER);
  EXPECT_EQ(board.hands[1][SILVER], 0);
}

TEST_F(CommandLoopTest, GoMateSetsFlippedFromLastPosition) {
  enter_game();
  // Mate in one (G*5b); the answer itself is the solver's business.
  testing::internal::CaptureStdout();
  handle_command("position sfen 9/9/9/9/9/9/4p4/9/4K4 w g2R2B3G4S4N4L17P 1");
  handle_command("go mate 1000");
  EXPECT_EQ(board.flipped, 1u);
  handle_command("position sfen 4k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1");
  handle_command("go mate 1000");
  EXPECT_EQ(board.flipped, 0u);
  testing::internal::GetCapturedStdout();
}

TEST_F(CommandLoopTest, OptionValues) {
  handle_command("setoption name USI_Hash value 64");
  EXPECT_EQ(engine_options.table_entries, 64u * 26214u);
  handle_command("setoption name USI_Hash value -1");  // 2^32 - 1 MB saturates
  EXPECT_EQ(engine_options.table_entries, 0xFFFFFFFFu);
  handle_command("setoption name USI_Hash value 163843");  // past 32 bits of entries
  EXPECT_EQ(engine_options.table_entries, 0xFFFFFFFFu);
  handle_command("setoption name USI_Hash value 163842");  // just below
  EXPECT_EQ(engine_options.table_entries, 163842u * 26214u);
  handle_command("setoption name USI_Hash value   16mb");
  EXPECT_EQ(engine_options.table_entries, 16u * 26214u);
  handle_command("setoption name USI_Hash value 999999999999999999999999999");
  EXPECT_EQ(engine_options.table_entries, 0xFFFFFFFFu);

  handle_command("setoption name Do_YoTsume_Search value true");
  EXPECT_TRUE(engine_options.alternate_search_enabled);
  handle_command("setoption name Do_YoTsume_Search value True");
  EXPECT_FALSE(engine_options.alternate_search_enabled);
  handle_command("setoption name Do_YoTsume_Search value true");
  handle_command("setoption name Do_YoTsume_Search value true ");
  EXPECT_FALSE(engine_options.alternate_search_enabled);

  handle_command("setoption name YoTsume_Second value 0");
  EXPECT_EQ(engine_options.alternate_time_seconds, 0);
  handle_command("setoption name YoTsume_Second value 5000");
  EXPECT_EQ(engine_options.alternate_time_seconds, 5000);
  handle_command("setoption name YoTsume_Second value -5");
  EXPECT_EQ(engine_options.alternate_time_seconds, -5);
  handle_command("setoption name YoTsume_Second value 4294967297");  // 2^32 + 1
  EXPECT_EQ(engine_options.alternate_time_seconds, 1);
  handle_command("setoption name YoTsume_Second value x");
  EXPECT_EQ(engine_options.alternate_time_seconds, 0);
}

TEST_F(CommandLoopTest, OptionLinesThatChangeNothing) {
  std::string out = answer({"setoption", "setoption name USI_Ponder value true",
                            "setoption name USI_Ponder value false", "setoption name Unknown value 3",
                            "setoption name usi_hash value 8", "setoption name USI_Hash 8"});
  EXPECT_EQ(out, "");
  EXPECT_EQ(engine_options.table_entries, ENGINE_OPTIONS_START.table_entries);
  EXPECT_EQ(engine_options.alternate_search_enabled, ENGINE_OPTIONS_START.alternate_search_enabled);
  EXPECT_EQ(engine_options.alternate_time_seconds, ENGINE_OPTIONS_START.alternate_time_seconds);
  EXPECT_EQ(phase, SETUP);
}

TEST_F(CommandLoopTest, ResetRestoresStartValues) {
  handle_command("setoption name USI_Hash value 1");
  handle_command("setoption name Do_YoTsume_Search value true");
  handle_command("setoption name YoTsume_Second value 9");
  enter_game();
  handle_command("position sfen 9/9/9/9/4P4/9/9/9/9 w - 1");
  parse_go_mate("go mate 77");
  command_loop_reset();
  EXPECT_EQ(engine_options.table_entries, 0u);
  EXPECT_FALSE(engine_options.alternate_search_enabled);
  EXPECT_EQ(engine_options.alternate_time_seconds, 30);
  EXPECT_EQ(phase, SETUP);
  EXPECT_EQ(side_to_move, BLACK);
  EXPECT_FALSE(go_mate_request.unlimited);
  EXPECT_EQ(go_mate_request.time_limit_ms, 0u);
}

TEST(ParseInteger, ReadsLikeADecimalPrefix) {
  EXPECT_EQ(parse_integer("5000"), 5000u);
  EXPECT_EQ(parse_integer(" \t\r\n\v\f42"), 42u);
  EXPECT_EQ(parse_integer("+17"), 17u);
  EXPECT_EQ(parse_integer("-1"), ~uint64_t{0});
  EXPECT_EQ(parse_integer("-5"), uint64_t{0} - 5);
  EXPECT_EQ(parse_integer("12abc34"), 12u);
  EXPECT_EQ(parse_integer(""), 0u);
  EXPECT_EQ(parse_integer("abc"), 0u);
  EXPECT_EQ(parse_integer("-"), 0u);
  EXPECT_EQ(parse_integer("+-3"), 0u);
  EXPECT_EQ(parse_integer("- 3"), 0u);
  EXPECT_EQ(parse_integer("\x85" "7"), 0u);  // a high byte is not white space
  EXPECT_EQ(parse_integer(std::string("\0" "7", 2)), 0u);
  EXPECT_EQ(parse_integer("18446744073709551615"), ~uint64_t{0});
  EXPECT_EQ(parse_integer("18446744073709551614"), ~uint64_t{0} - 1);
  // Beyond 64 bits the magnitude stays at the largest value.
  EXPECT_EQ(parse_integer("18446744073709551616"), ~uint64_t{0});
  EXPECT_EQ(parse_integer(std::string(5000, '9')), ~uint64_t{0});
  EXPECT_EQ(parse_integer("-" + std::string(5000, '9')), uint64_t{1});
}

class ParseGoMateTest : public testing::Test {
 protected:
  void SetUp() override { command_loop_reset(); }
  void TearDown() override { command_loop_reset(); }
};

TEST_F(ParseGoMateTest, Limits) {
  parse_go_mate("go mate 5000");
  EXPECT_FALSE(go_mate_request.unlimited);
  EXPECT_EQ(go_mate_request.time_limit_ms, 5000u);

  parse_go_mate("go mate 70000");
  EXPECT_EQ(go_mate_request.time_limit_ms, 70000u);

  parse_go_mate("go mate 0");
  EXPECT_EQ(go_mate_request.time_limit_ms, 0u);

  parse_go_mate("go mate 5000");
  parse_go_mate("go mate");  // no " mate " with a space after it
  EXPECT_FALSE(go_mate_request.unlimited);
  EXPECT_EQ(go_mate_request.time_limit_ms, 0u);

  parse_go_mate("go mate -1");
  EXPECT_EQ(go_mate_request.time_limit_ms, 4294967295u);

  parse_go_mate("go mate 4294967296");
  EXPECT_EQ(go_mate_request.time_limit_ms, 0u);

  parse_go_mate("go mate " + std::string(100, '7'));
  EXPECT_EQ(go_mate_request.time_limit_ms, 4294967295u);

  parse_go_mate("go mate -" + std::string(100, '7'));
  EXPECT_EQ(go_mate_request.time_limit_ms, 1u);

  parse_go_mate("go mate soon");
  EXPECT_EQ(go_mate_request.time_limit_ms, 0u);
}

TEST_F(ParseGoMateTest, InfiniteKeepsEarlierLimit) {
  parse_go_mate("go mate 5000");
  parse_go_mate("go mate infinite");
  EXPECT_TRUE(go_mate_request.unlimited);
  EXPECT_EQ(go_mate_request.time_limit_ms, 5000u);

  // "infinite" counts wherever it is.
  parse_go_mate("go mate 300 infinite");
  EXPECT_TRUE(go_mate_request.unlimited);
  EXPECT_EQ(go_mate_request.time_limit_ms, 5000u);

  parse_go_mate("go mate 300");
  EXPECT_FALSE(go_mate_request.unlimited);
  EXPECT_EQ(go_mate_request.time_limit_ms, 300u);
}

TEST_F(ParseGoMateTest, GoMateCommandParsesLine) {
  handle_command("usinewgame");
  testing::internal::CaptureStdout();
  // A mate in one, so that a real solve ends at once even without a limit.
  handle_command("position sfen 4k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1");
  handle_command("go mate 2500");
  EXPECT_FALSE(go_mate_request.unlimited);
  EXPECT_EQ(go_mate_request.time_limit_ms, 2500u);
  handle_command("go mate infinite");
  EXPECT_TRUE(go_mate_request.unlimited);
  EXPECT_EQ(go_mate_request.time_limit_ms, 2500u);
  testing::internal::GetCapturedStdout();
}

TEST(UsiMain, ThreadStartFailureIsReported) {
  std::fflush(stdout);
  platform_set_thread_start_fails(true);
  testing::internal::CaptureStdout();
  int status = usi_main();
  std::string out = testing::internal::GetCapturedStdout();
  platform_set_thread_start_fails(false);
  EXPECT_EQ(status, -1);
  EXPECT_EQ(out, "Failed to begin thread\n");
}

}  // namespace

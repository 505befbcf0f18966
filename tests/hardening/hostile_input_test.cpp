// Hostile input end to end: the engine binary over pipes fed what a careless
// front end or a script may send. Every answer is checked on the board: the
// same "position" lines go through this process's own command loop (which
// solves nothing for them), so the test knows the position the engine holds,
// remnants of earlier lines included.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "engine_process.h"
#include "hardening/answer_check.h"
#include "movegen/step_tables.h"
#include "position/board.h"
#include "position/keys.h"
#include "solve/position_check.h"
#include "support/problems.h"
#include "support/usi_moves.h"
#include "usi/command_loop.h"

namespace {

const std::string SORRY = "info string Sorry, Kestrane supports only TsumeShogi.  ";
// A mate in one (G*5b) with every other piece in the defender's hand.
const std::string MATE_IN_ONE = "4k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1";

bool starts_with(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// Number of moves of a "checkmate ..." answer, -1 for no mate.
int answer_length(const std::string& answer) {
  if (!starts_with(answer, "checkmate ") || answer == "checkmate nomate" || answer == "checkmate timeout")
    return -1;
  return static_cast<int>(split_words(answer).size()) - 1;
}

// What a fresh engine process holds: a board of zero bytes, the start state
// of the command loop, and then the GAME phase.
void reset_mirror() {
  build_step_tables();
  build_zobrist();
  std::memset(&board, 0, sizeof board);
  command_loop_reset();
  handle_command("usinewgame");
}

// Checks `answer` for the position now on this process's board.
void expect_sound_answer(const std::string& answer, const std::string& what) {
  if (answer == "checkmate timeout") return;  // the small limits allow it
  if (!position_is_solvable()) {
    EXPECT_EQ(answer, "checkmate nomate") << what << ": not a position to solve";
    return;
  }
  const rules_reference::Position root = rules_reference::Position::from_board();
  if (answer == "checkmate nomate") {
    const MoveCode mate = answer_check::mate_in_one(root);
    EXPECT_EQ(mate, 0) << what << ": answered no mate, but " << rules_reference::move_name(mate) << " mates";
    return;
  }
  const std::vector<std::string> words = split_words(answer);
  ASSERT_FALSE(words.empty()) << what;
  ASSERT_EQ(words[0], "checkmate") << what << ": " << answer;
  std::vector<MoveCode> moves;
  for (size_t i = 1; i < words.size(); ++i) {
    const MoveCode m = usi_to_code(words[i], static_cast<int>((i - 1) & 1), side_to_move == WHITE);
    ASSERT_NE(m, 0) << what << ": unreadable move " << words[i];
    moves.push_back(m);
  }
  EXPECT_EQ(answer_check::mating_line_fault(root, moves), "") << what << ": " << answer;
}

class HostileInput : public testing::Test {
 protected:
  void SetUp() override {
    reset_mirror();
    ASSERT_TRUE(engine.started());
  }

  // usi, the options, usinewgame; waits for usiok so that the engine is up.
  void open_game(const std::vector<std::string>& options = {"setoption name USI_Hash value 4"}) {
    ASSERT_TRUE(engine.send_line("usi"));
    ASSERT_TRUE(read_until("usiok").has_value());
    for (const std::string& option : options) ASSERT_TRUE(engine.send_line(option));
    ASSERT_TRUE(engine.send_line("usinewgame"));
  }

  // The next line that starts with `prefix`; the lines before it go to
  // `skipped` when given.
  std::optional<std::string> read_until(const std::string& prefix, int timeout_ms = 120000,
                                        std::vector<std::string>* skipped = nullptr) {
    while (auto line = engine.read_line(timeout_ms)) {
      if (starts_with(*line, prefix)) return line;
      if (skipped) skipped->push_back(*line);
    }
    return std::nullopt;
  }

  std::string answer(int timeout_ms = 120000) {
    auto line = read_until("checkmate", timeout_ms);
    return line ? *line : "(no answer)";
  }

  // A "position" line to the engine and to the mirror.
  void position(const std::string& line) {
    ASSERT_TRUE(engine.send_line(line));
    handle_command(line);
  }

  // Sets up `line`, asks "go mate" and checks the answer.
  std::string solve_checked(const std::string& line, const std::string& go = "go mate 1000") {
    position(line);
    EXPECT_TRUE(engine.send_line(go));
    const std::string got = answer();
    expect_sound_answer(got, line);
    return got;
  }

  // The engine still reads and answers: "stop" in the GAME phase gets its
  // Sorry line.
  void expect_alive() {
    ASSERT_TRUE(engine.send_line("stop"));
    auto line = read_until(SORRY + "Kestrane", 60000);
    ASSERT_TRUE(line.has_value()) << "the engine stopped answering";
  }

  EngineProcess engine{engine_under_test(KESTRANE_BIN)};
};

TEST_F(HostileInput, LinesOf9999BytesAndOfOneMegabyte) {
  open_game();
  // A line of exactly 9,999 bytes arrives whole; its line feed follows as an
  // empty line, which the GAME phase ignores.
  std::string line = "position sfen " + MATE_IN_ONE;
  line.resize(9999, ' ');
  ASSERT_TRUE(engine.send(line + "\n"));
  handle_command(line);
  ASSERT_TRUE(engine.send_line("go mate 5000"));
  EXPECT_EQ(answer(), "checkmate G*5b");

  // One byte more and the line is cut after 9,999 bytes: what follows is a
  // command of its own.
  std::string cut = "position sfen 9/9/9/9/9/9/4p4/9/4K4 w 2R2BG4S4N4L3g17p 1";
  cut.resize(9999, ' ');
  ASSERT_TRUE(engine.send(cut + "go mate 5000\n"));
  EXPECT_EQ(answer(), "checkmate G*5h");

  // A megabyte line is read in pieces of 9,999 bytes, each handled as a
  // line: here every piece starts with "stop" and gets its own reply.
  std::string megabyte;
  int pieces = 0;
  while (megabyte.size() < (1u << 20)) {
    std::string piece = "stop";
    piece.resize(9999, static_cast<char>('a' + pieces % 26));
    megabyte += piece;
    ++pieces;
  }
  ASSERT_TRUE(engine.send(megabyte + "\n"));
  // The line feed after the last full piece makes an empty line, which the
  // GAME phase ignores.
  for (int i = 0; i < pieces; ++i) {
    auto reply = engine.read_line(60000);
    ASSERT_TRUE(reply.has_value()) << "piece " << i << " of " << pieces << " got no reply";
    ASSERT_TRUE(starts_with(*reply, SORRY)) << *reply;
  }
  // A megabyte of position text: the first piece sets up the position, the
  // rest are pieces of SFEN-like text that no command matches.
  std::string long_position = "position sfen " + MATE_IN_ONE + " ";
  while (long_position.size() < (1u << 20)) long_position += "4k4/9/4P4/9/9/9/9/9/9 ";
  ASSERT_TRUE(engine.send(long_position + "\n"));
  handle_command(long_position.substr(0, 9999));
  ASSERT_TRUE(engine.send_line("go mate 5000"));
  EXPECT_EQ(answer(), "checkmate G*5b");
  expect_alive();
}

TEST_F(HostileInput, NulAndOtherControlBytes) {
  open_game();
  // Lines of control bytes alone match no command.
  for (std::string junk : {std::string("\x01\x02\x03", 3), std::string("\x1b[2J\x1b[H"), std::string(1, '\0'),
                           std::string("\x04"), std::string("\x7f\x7f"), std::string("\x08\x08go mate"),
                           std::string("\xff\xfe\x80"), std::string("\t go mate 10")}) {
    ASSERT_TRUE(engine.send(junk + "\n"));
  }
  expect_alive();
  // Control bytes inside a position line take the place of board or hand
  // characters; whatever position results is answered soundly.
  const std::vector<std::string> spoilt = {
      std::string("position sfen 4k4/9/4P4/9/9/9/9/9/9 b G") + '\0' + "2r2b3g4s4n4l17p 1",
      std::string("position sfen 4k4/9/4P4/9") + '\0' + "/9/9/9/9/9 b G2r2b3g4s4n4l17p 1",
      "position sfen 4k4/9/4P4\x01\x02/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1",
      "position sfen 4k4/9/4P4/9/9/9/9/9/9\x7f" "b G2r2b3g4s4n4l17p 1",
      "position sfen 4k4/9/4P4/9/9/9/9/9/9 b \x1b" "G2r2b3g4s4n4l17p 1",
      "position sfen \xff\xfe\xfd\xfc/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1",
      "position\tsfen 9/9/9/9/9/9/4p4/9/4K4\tw\t2R2BG4S4N4L3g17p 1",
  };
  for (const std::string& line : spoilt) solve_checked(line, "go mate 500");
  // A NUL between "go mate" and its number leaves no limit: the solve still
  // ends, with its answer.
  position("position sfen " + MATE_IN_ONE);
  ASSERT_TRUE(engine.send(std::string("go mate") + '\0' + " 1000\n"));
  EXPECT_EQ(answer(), "checkmate G*5b");
  expect_alive();
}

TEST_F(HostileInput, CrLfLineEndingsThroughAWholeSession) {
  ASSERT_TRUE(engine.send("usi\r\n"));
  ASSERT_TRUE(read_until("usiok").has_value());
  ASSERT_TRUE(engine.send("isready\r\n"));
  EXPECT_EQ(engine.read_line().value_or("(none)"), "readyok");
  ASSERT_TRUE(engine.send("setoption name USI_Hash value 4\r\n"));
  // "true" must arrive without its CR to switch the alternate search on.
  ASSERT_TRUE(engine.send("setoption name Do_YoTsume_Search value true\r\n"));
  ASSERT_TRUE(engine.send("setoption name YoTsume_Second value 10\r\n"));
  ASSERT_TRUE(engine.send("usinewgame\r\n"));
  const std::string white = "position sfen 9/9/9/9/9/9/4p4/9/4K4 w 2R2BG4S4N4L3g17p 1";
  ASSERT_TRUE(engine.send(white + "\r\n"));
  handle_command(white);
  ASSERT_TRUE(engine.send("go mate 10000\r\n"));
  std::vector<std::string> info;
  auto got = read_until("checkmate", 120000, &info);
  ASSERT_TRUE(got.has_value());
  EXPECT_EQ(*got, "checkmate G*5h");
  bool alternate_search_ran = false;
  for (const std::string& l : info) alternate_search_ran |= starts_with(l, "info string Now start to search");
  EXPECT_TRUE(alternate_search_ran);
  ASSERT_TRUE(engine.send("quit\r\n"));
  EXPECT_EQ(engine.wait_exit(), 0);
}

TEST_F(HostileInput, SfenCutAtEveryLength) {
  open_game();
  // Each prefix lands on what the shorter ones before it left: the board is
  // never cleared, so the positions are mixtures that the mirror follows.
  for (const std::string& sfen : {std::string("7gk/9/6P1+P/9/9/9/9/9/9 b GSP2r2b2g3s4n4l15p 1"),
                                  std::string("9/9/9/9/9/9/4p4/9/4K4 w 2R2BG4S4N4L3g17p 1")}) {
    const std::string full = "position sfen " + sfen;
    for (size_t length = 0; length <= full.size(); ++length) {
      const std::string prefix = full.substr(0, length);
      position(prefix);
      ASSERT_TRUE(engine.send_line("go mate 200"));
      const std::string got = answer();
      expect_sound_answer(got, "prefix '" + prefix + "'");
      if (HasFatalFailure()) return;
    }
  }
  expect_alive();
}

TEST_F(HostileInput, RanksWithTooManyOrTooFewSquares) {
  open_game();
  const std::vector<std::string> boards = {
      "4k5/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1",      // ten squares in the first rank
      "4k4P/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1",     // a piece beyond the ninth square
      "4k3/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1",      // eight squares: the rest shifts
      "4k4/9/4P4/9/9/9/9/9 b G2r2b3g4s4n4l17p 1",        // eight ranks
      "4k4/9/4P4/9/9/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1",  // eleven ranks
      "99999999999999999 b G 1",                         // far too many empty squares
      "+++++++++/9/4P4/9/9/9/9/9/9 b G 1",               // plus signs before nothing
      "k8k8k8k8k8k8k8k8k8 b G 1",                        // a king in every rank
      "4k4/9/4P4/9/9/9/9/9/9",                           // no side and no hands
      "4k4/4P4 b G",                                     // the line ends in the board
  };
  for (const std::string& b : boards) solve_checked("position sfen " + b, "go mate 500");
  // The squares count, not the slashes: the problem without them reads the
  // same.
  EXPECT_EQ(solve_checked("position sfen 4k494P4999999 b G2r2b3g4s4n4l17p 1"), "checkmate G*5b");
  expect_alive();
}

TEST_F(HostileInput, ImpossiblePositionsAreAnsweredNoMate) {
  open_game();
  // Each is the mate in one G*5b with one flaw (and the defender's hand cut
  // so that no kind exceeds a set): the engine must not solve it.
  const std::vector<std::pair<std::string, std::string>> impossible = {
      {"4k4/9/4P4/9/9/9/9/9/k8 b G2r2b3g4s4n4l17p 1", "two defender kings"},
      {"9/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1", "no king"},
      {"4k4/9/4P4/9/9/9/9/9/K7K b G2r2b3g4s4n4l17p 1", "two attacker kings"},
      {"4k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l99p 1", "99 pawns in the defender's hand"},
      {"4k4/9/4P4/9/9/9/9/9/9 b G99P2r2b3g4s4n4l 1", "99 pawns in the attacker's hand"},
      {"P3k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l16p 1", "attacker pawn on its last rank"},
      {"L3k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n3l17p 1", "attacker lance on its last rank"},
      {"N3k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s3n4l17p 1", "attacker knight on its last rank"},
      {"4k4/N8/4P4/9/9/9/9/9/9 b G2r2b3g4s3n4l17p 1", "attacker knight on its second-last rank"},
      {"4k4/9/4P4/9/9/9/9/9/p8 b G2r2b3g4s4n4l16p 1", "defender pawn on its last rank"},
      {"4k4/9/4P4/9/9/9/9/9/l8 b G2r2b3g4s4n3l17p 1", "defender lance on its last rank"},
      {"4k4/9/4P4/9/9/9/9/n8/9 b G2r2b3g4s3n4l17p 1", "defender knight on its second-last rank"},
      {"4k4/9/4P4/4P4/9/9/9/9/9 b G2r2b3g4s4n4l16p 1", "two attacker pawns on a file"},
      {"4k4/9/4P4/9/8B/9/9/9/9 b G2rb3g4s4n4l17p 1", "defender king in check"},
      {"4kK3/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1", "kings side by side"},
      // The same flaws with White to move, read by the rotating reader.
      {"P8/9/9/9/9/9/4p4/9/4K4 w 2R2BG4S4N4L3g16p 1", "defender pawn on its last rank, White"},
      {"9/9/9/9/9/9/4p4/9/4K3l w 2R2BG4S4N3L3g17p 1", "attacker lance on its last rank, White"},
  };
  for (const auto& [sfen, flaw] : impossible) {
    position("position sfen " + sfen);
    ASSERT_TRUE(engine.send_line("go mate 5000"));
    EXPECT_EQ(answer(), "checkmate nomate") << flaw;
  }
  // The refusals are specific: the sound problem still has its mate.
  EXPECT_EQ(solve_checked("position sfen " + MATE_IN_ONE), "checkmate G*5b");
  EXPECT_EQ(solve_checked("position sfen 9/9/9/9/9/9/4p4/9/4K4 w 2R2BG4S4N4L3g17p 1"), "checkmate G*5h");
}

// USI_Hash values that wrap or are absurd; the table falls back by halving,
// so every one of them solves.
class HashExtremes : public HostileInput, public testing::WithParamInterface<const char*> {};

TEST_P(HashExtremes, StillSolves) {
  open_game({std::string("setoption name USI_Hash value ") + GetParam()});
  // No limit: the sanitizer build may take seconds to map a large table.
  EXPECT_EQ(solve_checked("position sfen 9/8k/9/8P/9/9/9/9/9 b 2G2r2b2g4s4n4l17p 1", "go mate"),
            "checkmate G*1c 1b2a G*2b");
  EXPECT_EQ(solve_checked("position sfen " + MATE_IN_ONE, "go mate"), "checkmate G*5b");
  ASSERT_TRUE(engine.send_line("quit"));
  EXPECT_EQ(engine.wait_exit(), 0);
}

INSTANTIATE_TEST_SUITE_P(Values, HashExtremes, testing::Values("-1", "0", "4294967295"));

TEST_F(HostileInput, OddTimeLimitsAndAlternateBudgets) {
  open_game();
  const std::string three = "position sfen 9/8k/9/8P/9/9/9/9/9 b 2G2r2b2g4s4n4l17p 1";
  // -1 wraps to the largest limit, 2^32 to none, a number beyond 64 bits
  // saturates: each solves.
  for (const char* go : {"go mate -1", "go mate 4294967296", "go mate 99999999999999999999999", "go mate +7000"}) {
    position(three);
    ASSERT_TRUE(engine.send_line(go));
    EXPECT_EQ(answer(), "checkmate G*1c 1b2a G*2b") << go;
  }
  // YoTsume_Second of -5 is a budget of about 49 days and 0 none: neither is
  // an instant time-out, so the alternate search runs and finds no other
  // solution, and the answer is the main one.
  for (const char* seconds : {"-5", "0"}) {
    ASSERT_TRUE(engine.send_line("gameover"));
    ASSERT_TRUE(engine.send_line("setoption name Do_YoTsume_Search value true"));
    ASSERT_TRUE(engine.send_line(std::string("setoption name YoTsume_Second value ") + seconds));
    ASSERT_TRUE(engine.send_line("usinewgame"));
    position("position sfen " + MATE_IN_ONE);
    ASSERT_TRUE(engine.send_line("go mate 5000"));
    std::vector<std::string> info;
    auto got = read_until("checkmate", 120000, &info);
    ASSERT_TRUE(got.has_value()) << seconds;
    EXPECT_EQ(*got, "checkmate G*5b") << seconds;
    bool not_found = false;
    for (const std::string& l : info) not_found |= starts_with(l, "info string Another solution was not found");
    EXPECT_TRUE(not_found) << seconds;
  }
}

// Many requests on one engine: the tables carry over from one to the next,
// and every answer must still be a mate of its own position, as long as a
// fresh engine's.
TEST_F(HostileInput, ManyGoMatesInARowStayRight) {
  open_game();
  std::vector<std::string> sequence;
  for (const Problem& p : load_problems("regression.sfen")) sequence.push_back(p.sfen);
  const std::vector<Problem> zukou = load_problems("zukou.sfen");
  // Their shortest-mate proofs end well within the limit, so that the answers
  // do not depend on the clock.
  for (int index : {1, 4, 17}) sequence.push_back(zukou[index].sfen);
  // Boards that differ only in what the defender holds: an entry found for
  // one is no answer for the other.
  sequence.push_back("8k/9/7G1/9/9/9/9/9/9 b R 1");
  sequence.push_back("8k/9/7G1/9/9/9/9/9/9 b Rr2b3g4s4n4l18p 1");
  sequence.push_back("8k/9/7G1/9/9/9/9/9/9 b R 1");
  sequence.push_back("2k6/4P4/9/1B5R1/LNSGK4/9/9/9/9 b b 1");
  sequence.push_back("2k6/4P4/9/1B5R1/LNSGK4/9/9/9/9 b - 1");
  // The first ones again, now with a table full of the others.
  for (int i = 0; i < 6; ++i) sequence.push_back(sequence[static_cast<size_t>(i)]);

  for (const std::string& sfen : sequence) {
    const std::string line = "position sfen " + sfen;
    const std::string got = solve_checked(line, "go mate 60000");
    ASSERT_NE(got, "checkmate timeout") << sfen;
    // A fresh engine: the same kind of answer, a mate of the same length.
    EngineProcess fresh(engine_under_test(KESTRANE_BIN));
    ASSERT_TRUE(fresh.send_line("setoption name USI_Hash value 4"));
    ASSERT_TRUE(fresh.send_line("usinewgame"));
    ASSERT_TRUE(fresh.send_line(line));
    ASSERT_TRUE(fresh.send_line("go mate 60000"));
    std::string alone = "(no answer)";
    while (auto l = fresh.read_line(120000)) {
      if (starts_with(*l, "checkmate")) {
        alone = *l;
        break;
      }
    }
    EXPECT_EQ(answer_length(got), answer_length(alone)) << sfen << "\n in a row: " << got << "\n alone: " << alone;
  }
}

// "quit" and the end of input both end an unlimited solve at once: its
// answer, then status 0 and nothing more.
class EndDuringSolve : public HostileInput, public testing::WithParamInterface<bool> {};

TEST_P(EndDuringSolve, PromptAnswerAndExit) {
  const bool by_quit = GetParam();
  open_game();
  // Zukou No. 8 runs far longer than this test waits.
  const std::string hard = load_problems("zukou.sfen")[7].sfen;
  ASSERT_TRUE(engine.send_line("position sfen " + hard));
  ASSERT_TRUE(engine.send_line("go mate infinite"));
  // The first progress line: the solve is under way.
  auto progress = read_until("info ", 60000);
  ASSERT_TRUE(progress.has_value());
  if (by_quit) {
    ASSERT_TRUE(engine.send("quit now\r\n"));
  } else {
    engine.close_input();
  }
  EXPECT_EQ(answer(10000), "checkmate timeout");
  EXPECT_EQ(engine.wait_exit(10000), 0);
  while (auto line = engine.read_line(1000)) EXPECT_FALSE(starts_with(*line, "checkmate")) << *line;
}

INSTANTIATE_TEST_SUITE_P(QuitOrEndOfInput, EndDuringSolve, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? "Quit" : "EndOfInput";
                         });

}  // namespace

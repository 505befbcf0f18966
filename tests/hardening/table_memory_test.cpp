// The transposition tables' memory: the size asked for is the size taken, a
// size the machine cannot back falls back by halving, and positions with
// other pieces out of play get tables of their own.
#include <dirent.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "engine_process.h"
#include "platform/platform.h"
#include "position/board.h"
#include "movegen/move_list.h"
#include "search/tt.h"
#include "solve/driver.h"
#include "solve/position_check.h"
#include "support/position_helpers.h"
#include "support/usi_moves.h"
#include "usi/command_loop.h"
#include "solve/engine_options.h"

namespace {

constexpr uint64_t MIB = 1024 * 1024;

// The one child process of this test process (the engine), found in /proc.
pid_t only_child() {
  pid_t found = -1;
  DIR* proc = opendir("/proc");
  if (!proc) return -1;
  while (dirent* entry = readdir(proc)) {
    const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
    if (pid <= 0) continue;
    std::ifstream stat("/proc/" + std::string(entry->d_name) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // pid (name) state ppid ...: the name may hold spaces, so read after ')'.
    const size_t close = text.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(text.substr(close + 1));
    std::string state;
    pid_t parent = -1;
    rest >> state >> parent;
    if (parent == getpid()) found = pid;
  }
  closedir(proc);
  return found;
}

// Address space of a process in bytes (VmSize).
uint64_t address_space(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmSize:", 0) == 0) return std::stoull(line.substr(7)) * 1024;
  }
  return 0;
}

// Starts an engine with `hash`, solves a mate in one (which allocates the
// tables) and returns the engine's address space.
uint64_t address_space_with_hash(const std::string& hash) {
  EngineProcess engine(KESTRANE_BIN);
  EXPECT_TRUE(engine.started());
  engine.send_line("setoption name USI_Hash value " + hash);
  engine.send_line("usinewgame");
  engine.send_line("position sfen 4k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1");
  engine.send_line("go mate");
  std::string answer;
  while (auto line = engine.read_line(120000)) {
    if (line->rfind("checkmate", 0) == 0) {
      answer = *line;
      break;
    }
  }
  EXPECT_EQ(answer, "checkmate G*5b") << "USI_Hash " << hash;
  const uint64_t bytes = address_space(only_child());
  engine.send_line("quit");
  EXPECT_EQ(engine.wait_exit(), 0);
  return bytes;
}

TEST(TableMemory, UsiHashSetsTheTablesSizeAndHugeValuesFitTheMachine) {
  const uint64_t small = address_space_with_hash("64");
  const uint64_t large = address_space_with_hash("256");
  ASSERT_GT(small, 0u);
  // Two tables of v/2 MiB each (plus 50 overflow entries): 192 MiB more.
  const double grown = static_cast<double>(large - small) / MIB;
  EXPECT_NEAR(grown, 192.0, 8.0);

  // 4294967295 asks for 2 x 64 GiB; the tables halve until both together
  // take at most three quarters of the machine's memory.
  const uint64_t memory = platform_memory_bytes();
  ASSERT_GT(memory, 0u);
  const uint64_t huge = address_space_with_hash("4294967295");
  EXPECT_LE(huge - small, memory / 4 * 3);
  // ... and no less than half of that: the first size that fits is taken.
  EXPECT_GE(huge - small + 64 * MIB, memory / 4 * 3 / 2);
}

class TableState : public testing::Test {
 protected:
  void SetUp() override {
    tt_release();
    platform_set_alloc_limit(0);
    previous_mode = MODE_NONE;  // no alternate-solution search pending
  }
  void TearDown() override {
    tt_release();
    platform_set_alloc_limit(0);
    engine_options = ENGINE_OPTIONS_START;
    command_loop_reset();
  }
};

TEST_F(TableState, PiecesOutOfPlayAreCountedPerKind) {
  setup_position("4k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1");
  EXPECT_EQ(pieces_out_of_play(), 0u);  // the defender holds the rest
  setup_position("4k4/9/4P4/9/9/9/9/9/9 b G 1");
  // 17 pawns, 4 lances, 4 knights, 4 silvers, 3 golds, 2 bishops, 2 rooks.
  const uint64_t expected = 17u | 4u << 5 | 4u << 10 | 4u << 15 | 3u << 20 | uint64_t{2} << 25 | uint64_t{2} << 30;
  EXPECT_EQ(pieces_out_of_play(), expected);
  // Promoted pieces count as their kind, on either side.
  setup_position("4k4/9/4+P4/9/9/9/9/9/8+b b G2r1b3g4s4n4l17p 1");
  EXPECT_EQ(pieces_out_of_play(), 0u);
}

TEST_F(TableState, AnotherSetOfPiecesOutOfPlayStartsFreshTables) {
  ASSERT_TRUE(tt_allocate_entries(4096));
  setup_position("4k4/9/9/9/9/9/9/9/9 b G 1");
  tt_bind_out_of_play(pieces_out_of_play());
  ASSERT_EQ(tt_store(0, board.attacker_hand, 1, 0, PN_INFINITE, 0), 1);
  uint32_t hand = 0;
  int16_t length = 0;
  int32_t pn = 0, dn = 0;
  // The same pieces out of play keep the entry.
  tt_bind_out_of_play(pieces_out_of_play());
  EXPECT_TRUE(tt_probe(0, hand, length, pn, dn));
  hashfull_max = 500;
  // The defender now holds pieces that were out of play: the entry (found
  // for a defender without them) is gone, the size stays.
  setup_position("4k4/9/9/9/9/9/9/9/9 b G2r2b3g4s4n4l18p 1");
  tt_bind_out_of_play(pieces_out_of_play());
  EXPECT_EQ(tt_slots, 4096u);
  EXPECT_FALSE(tt_probe(0, hand, length, pn, dn));
  EXPECT_EQ(hashfull_max, 0);
}

// A whole session through the command loop in this process, with a table
// far smaller than the USI_Hash asks for: the halved table answers right,
// and the leak checker of the sanitizer build sees every path return.
TEST_F(TableState, SessionWithAHalvedTable) {
  platform_set_alloc_limit(1 << 20);
  command_loop_reset();
  testing::internal::CaptureStdout();
  for (const char* line : {"setoption name USI_Hash value 4294967295", "usinewgame",
                           "position sfen 9/8k/9/8P/9/9/9/9/9 b 2G2r2b2g4s4n4l17p 1", "go mate",
                           "position sfen 8k/9/7G1/9/9/9/9/9/9 b R 1", "go mate",
                           "position sfen 8k/9/7G1/9/9/9/9/9/9 b Rr2b3g4s4n4l18p 1", "go mate",
                           "position sfen 9/9/9/9/9/9/4p4/9/4K4 w 2R2BG4S4N4L3g17p 1", "go mate"}) {
    handle_command(line);
  }
  const std::string out = testing::internal::GetCapturedStdout();
  // 0xFFFF8000 entries halved until (n + 50) * 16 bytes fit in 1 MiB.
  EXPECT_EQ(tt_slots, 0xFFFF8000u >> 17);
  std::vector<std::string> answers;
  std::istringstream lines(out);
  for (std::string l; std::getline(lines, l);)
    if (l.rfind("checkmate", 0) == 0) answers.push_back(l);
  ASSERT_EQ(answers.size(), 4u) << out;
  EXPECT_EQ(answers[0], "checkmate G*1c 1b2a G*2b");
  // A rook drop on the first rank mates a defender without pieces; one
  // holding every other piece interposes, and the mate takes three moves.
  EXPECT_EQ(split_words(answers[1]).size(), 2u) << answers[1];
  EXPECT_EQ(split_words(answers[2]).size(), 4u) << answers[2];
  EXPECT_EQ(answers[3], "checkmate G*5h");
}

}  // namespace

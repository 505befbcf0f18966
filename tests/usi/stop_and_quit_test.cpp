// "stop", "quit" and the end of input over pipes: a stop ends the running
// solve with its best verified mate or a time-out, and the lines before
// "quit" or the end of input are all answered before the process ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine_process.h"
#include "support/problems.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::string MATE_IN_ONE = "4k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1";
const std::string SORRY_STOP_START = "info string Sorry, Kestrane supports only TsumeShogi.  ";
const std::string NOT_PROVEN = "info string The mate is not proven shortest.";
const std::string PROVEN = "info string The mate is proven shortest.";
// The generous bound within which a stopped solve must answer: far below
// the limits the solves are given, far above any stop latency.
constexpr int STOPPED_WITHIN_MS = 20000;
constexpr const char* LONG_LIMIT = "go mate 120000";

bool starts_with(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

std::string problem(const char* file, int number) { return load_problems(file)[number - 1].sfen; }
// No mate within millions of nodes: stopped early, it is a time-out.
std::string no_quick_mate() { return problem("zukou.sfen", 8); }
// A 15-move mate found within 50,000 nodes, whose proof of shortness runs
// for minutes.
std::string quick_mate_long_proof() { return problem("zukou.sfen", 29); }
// 21 moves, proven shortest within a second; checking its line for
// alternate solutions takes longer than that.
std::string proven_quickly() { return problem("zukou.sfen", 5); }

// The number after "nodes" in a progress line, -1 without one.
long long nodes_of(const std::string& line) {
  const std::size_t at = line.find(" nodes ");
  return at == std::string::npos ? -1 : std::stoll(line.substr(at + 7));
}

class StopAndQuit : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(engine.started()); }

  void open_game(const std::vector<std::string>& options = {}) {
    ASSERT_TRUE(engine.send_line("usi"));
    ASSERT_TRUE(read_until("usiok").has_value());
    ASSERT_TRUE(engine.send_line("setoption name USI_Hash value 16"));
    for (const std::string& option : options) ASSERT_TRUE(engine.send_line(option));
    ASSERT_TRUE(engine.send_line("usinewgame"));
  }

  void go(const std::string& sfen, const std::string& go_line) {
    ASSERT_TRUE(engine.send("position sfen " + sfen + "\n" + go_line + "\n"));
  }

  std::optional<std::string> read_until(const std::string& prefix, int timeout_ms = 120000,
                                        std::vector<std::string>* skipped = nullptr) {
    while (auto line = engine.read_line(timeout_ms)) {
      if (starts_with(*line, prefix)) return line;
      if (skipped) skipped->push_back(*line);
    }
    return std::nullopt;
  }

  // Waits for a progress line that shows at least `nodes` nodes.
  void await_nodes(long long nodes) {
    while (auto line = read_until("info ")) {
      if (nodes_of(*line) >= nodes) return;
    }
    FAIL() << "no progress line with " << nodes << " nodes";
  }

  // Sends "stop" and returns the answer with the lines before it; the answer
  // must come well before the solve's own limit.
  std::string stop_and_answer(std::vector<std::string>* before = nullptr) {
    const Clock::time_point sent = Clock::now();
    EXPECT_TRUE(engine.send_line("stop"));
    auto answer = read_until("checkmate", STOPPED_WITHIN_MS, before);
    EXPECT_LT(Clock::now() - sent, std::chrono::milliseconds(STOPPED_WITHIN_MS));
    return answer ? *answer : "(no answer)";
  }

  // A stop outside a solve has its own reply; getting it also shows that
  // nothing else was queued before it.
  void expect_stop_reply() {
    ASSERT_TRUE(engine.send_line("stop"));
    auto line = engine.read_line();
    ASSERT_TRUE(line.has_value());
    EXPECT_TRUE(starts_with(*line, SORRY_STOP_START)) << *line;
  }

  EngineProcess engine{engine_under_test(KESTRANE_BIN)};
};

TEST_F(StopAndQuit, StopWithoutAVerifiedMateAnswersTimeout) {
  open_game();
  go(no_quick_mate(), LONG_LIMIT);
  ASSERT_TRUE(read_until("info ").has_value());  // under way
  EXPECT_EQ(stop_and_answer(), "checkmate timeout");
  // The stop was answered by the solve; a later one has its own reply, and
  // the session goes on.
  expect_stop_reply();
  go(MATE_IN_ONE, "go mate 10000");
  EXPECT_EQ(read_until("checkmate"), "checkmate G*5b");
}

// With two threads a stop ends the helper too: once the answer is out, the
// engine uses no processor time until the next request.
TEST_F(StopAndQuit, StopEndsEveryThread) {
  open_game({"setoption name Threads value 2"});
  go(no_quick_mate(), "go mate infinite");
  await_nodes(300000);
  EXPECT_EQ(stop_and_answer(), "checkmate timeout");
  const double before = engine.cpu_seconds();
  if (before >= 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_LT(engine.cpu_seconds() - before, 0.25) << "a thread searched on after the answer";
  }
  go(MATE_IN_ONE, "go mate 10000");
  EXPECT_EQ(read_until("checkmate"), "checkmate G*5b");
}

TEST_F(StopAndQuit, StopAfterAVerifiedMateAnswersIt) {
  open_game();
  go(quick_mate_long_proof(), "go mate infinite");
  // Ten times the nodes of the first proof: a mate is verified by then.
  await_nodes(500000);
  std::vector<std::string> before;
  const std::string answer = stop_and_answer(&before);
  EXPECT_EQ(answer,
            "checkmate 8g9f 8d7c N*6e 6i6e N*8e 7c7d 8e9c 7d7c 8h8d 7c8d B*7c 8d7c P*7d 7c8d N*7f");
  ASSERT_FALSE(before.empty());
  EXPECT_EQ(before.back(), NOT_PROVEN);
  expect_stop_reply();
}

TEST_F(StopAndQuit, StopEndsTheAlternateCheckWithTheFirstSolution) {
  open_game({"setoption name Do_YoTsume_Search value true", "setoption name YoTsume_Second value 0"});
  go(proven_quickly(), LONG_LIMIT);
  std::vector<std::string> before;
  ASSERT_TRUE(read_until("info string Now start to search another solution.", 120000, &before).has_value());
  // The main solve's line, from its final progress line.
  std::string main_line;
  for (const std::string& line : before) {
    const std::size_t pv = line.find(" pv ");
    if (pv != std::string::npos) main_line = line.substr(pv + 4);
  }
  while (!main_line.empty() && main_line.back() == ' ') main_line.pop_back();
  ASSERT_FALSE(main_line.empty());
  // The check is under way once its start line is out.
  std::vector<std::string> rounds;
  EXPECT_EQ(stop_and_answer(&rounds), "checkmate " + main_line);
  ASSERT_FALSE(rounds.empty());
  EXPECT_TRUE(starts_with(rounds.back(), "info string Another solution search timed out.")) << rounds.back();
  expect_stop_reply();
}

TEST_F(StopAndQuit, StopRacingTheAnswerLeavesTheNextRequestAlone) {
  // The stop goes out around the moment the limit ends the solve, so it
  // arrives just before or just after the answer. Either way the next
  // request, which needs far more than the grace of a stopped solve, runs
  // to its proof. A fresh process each time: the table would answer it.
  for (int delay_ms : {290, 300, 310}) {
    EngineProcess fresh(engine_under_test(KESTRANE_BIN));
    ASSERT_TRUE(fresh.started());
    ASSERT_TRUE(fresh.send("usi\nsetoption name USI_Hash value 16\nusinewgame\n"));
    ASSERT_TRUE(fresh.send("position sfen " + no_quick_mate() + "\n"));
    ASSERT_TRUE(fresh.send_line("go mate 300"));
    std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
    ASSERT_TRUE(fresh.send("stop\nposition sfen " + proven_quickly() + "\n" + LONG_LIMIT + "\n"));
    std::vector<std::string> lines;
    while (auto line = fresh.read_line(120000)) {
      if (starts_with(*line, "info currmove") || starts_with(*line, "id ") || starts_with(*line, "option "))
        continue;
      lines.push_back(*line);
      if (starts_with(*line, "checkmate") && lines.size() > 2) break;
    }
    // usiok, the time-out, at most one reply to the stop, then the proof.
    ASSERT_GE(lines.size(), 4u) << "delay " << delay_ms;
    EXPECT_EQ(lines[0], "usiok");
    EXPECT_EQ(lines[1], "checkmate timeout");
    std::size_t next = 2;
    if (starts_with(lines[next], SORRY_STOP_START)) ++next;
    ASSERT_EQ(lines.size(), next + 2) << "delay " << delay_ms;
    EXPECT_EQ(lines[next], PROVEN) << "delay " << delay_ms;
    EXPECT_EQ(std::count(lines[next + 1].begin(), lines[next + 1].end(), ' '), 21) << lines[next + 1];
  }
}

// The script of a user who pipes commands into the engine: everything in
// one write, ended by "quit" or by the end of input.
class QueuedLines : public StopAndQuit, public testing::WithParamInterface<bool> {};

TEST_P(QueuedLines, AreAllAnsweredBeforeTheEnd) {
  const bool by_quit = GetParam();
  std::string script = "usi\nisready\nusinewgame\nposition sfen " + MATE_IN_ONE + "\ngo mate 1000\n";
  // A White-to-move mate in one and a position without a mate.
  script += "position sfen 9/9/9/9/9/9/4p4/9/4K4 w g2R2B3G4S4N4L17P 1\ngo mate 1000\n";
  script += "position sfen 4k4/9/9/9/9/9/9/9/4K4 b - 1\ngo mate\n";
  if (by_quit) script += "quit\n";
  ASSERT_TRUE(engine.send(script));
  if (!by_quit) engine.close_input();
  std::vector<std::string> answers;
  std::vector<std::string> other;
  while (auto line = engine.read_line()) {
    if (starts_with(*line, "checkmate")) answers.push_back(*line);
    if (*line == "usiok" || *line == "readyok") other.push_back(*line);
  }
  EXPECT_EQ(other, (std::vector<std::string>{"usiok", "readyok"}));
  EXPECT_EQ(answers, (std::vector<std::string>{"checkmate G*5b", "checkmate G*5h", "checkmate nomate"}));
  EXPECT_EQ(engine.wait_exit(), 0);
}

INSTANTIATE_TEST_SUITE_P(QuitOrEndOfInput, QueuedLines, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? "Quit" : "EndOfInput";
                         });

TEST_F(StopAndQuit, QuitEndsALimitedSolveButTheEndOfInputDoesNot) {
  // A "quit" during "go mate 120000" ends it as a stop does.
  open_game();
  go(no_quick_mate(), LONG_LIMIT);
  ASSERT_TRUE(read_until("info ").has_value());
  ASSERT_TRUE(engine.send_line("quit"));
  EXPECT_EQ(read_until("checkmate", STOPPED_WITHIN_MS), "checkmate timeout");
  EXPECT_EQ(engine.wait_exit(STOPPED_WITHIN_MS), 0);

  // The end of input leaves a limited solve its limit: progress goes on
  // after the input has closed.
  EngineProcess piped(engine_under_test(KESTRANE_BIN));
  ASSERT_TRUE(piped.started());
  ASSERT_TRUE(piped.send("usi\nsetoption name USI_Hash value 16\nusinewgame\nposition sfen " + no_quick_mate() +
                         "\ngo mate 5000\n"));
  std::optional<std::string> line;
  while ((line = piped.read_line()) && !starts_with(*line, "info ")) {
  }
  ASSERT_TRUE(line.has_value());
  piped.close_input();
  int progress_after_close = 0;
  while ((line = piped.read_line()) && !starts_with(*line, "checkmate")) progress_after_close += starts_with(*line, "info ");
  EXPECT_EQ(line, "checkmate timeout");
  // A periodic line a second or more after the first, then the final one.
  EXPECT_GE(progress_after_close, 2);
  EXPECT_EQ(piped.wait_exit(), 0);
}

}  // namespace

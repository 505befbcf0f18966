// kestrane-check's progress: a live line on a terminal (a pseudo-terminal
// here), plain lines when standard error is a file.
#include "check_progress.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

const std::string FIXTURES = std::string(KESTRANE_SOURCE_DIR) + "/tests/fixtures/check/";

size_t occurrences(const std::string& text, const std::string& word) {
  size_t n = 0;
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + word.size())) ++n;
  return n;
}

// Runs kestrane-check on a pseudo-terminal and returns all it wrote there.
std::string run_on_terminal(const std::string& limit_ms, const std::string& first, const std::string& second) {
  int master = -1;
  const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
  if (child == 0) {
    execl(KESTRANE_CHECK_BIN, KESTRANE_CHECK_BIN, first.c_str(), second.c_str(), "--tsv", "/dev/null", "--limit",
          limit_ms.c_str(), "--alt-seconds", "1", "--hash", "16", static_cast<char*>(nullptr));
    _exit(127);
  }
  if (child < 0) return "forkpty failed";
  std::string text;
  char buffer[4096];
  // The read ends with EIO once the child has closed the terminal.
  for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR);) {
    if (n > 0) text.append(buffer, static_cast<size_t>(n));
  }
  close(master);
  int status = 0;
  waitpid(child, &status, 0);
  return text;
}

TEST(CheckProgress, TerminalGetsOneLiveLineRewrittenWhileAProblemRuns) {
  // The second problem runs into its 1.2 s limit: the line is drawn as it
  // starts and redrawn every half second.
  const std::string text = run_on_terminal("1200", FIXTURES + "02-drop-and-promotion.csa", FIXTURES + "05-time-out.sfen");
  EXPECT_NE(text.find("\r[1/2] 02-drop-and-promotion  0s, about "), std::string::npos) << text;
  EXPECT_GE(occurrences(text, "\r[2/2] open-1  "), 3u) << text;
  EXPECT_NE(text.find("\r[2/2] open-1  1s, about "), std::string::npos) << text;
  // Finished problems stay as lines of their own, the live line wiped first.
  EXPECT_NE(text.find("\r[1/2] 02-drop-and-promotion mate 3; elapsed"), std::string::npos) << text;
  const size_t last = text.find("[2/2] open-1 timeout -; elapsed");
  ASSERT_NE(last, std::string::npos) << text;
  EXPECT_EQ(text.find("\r[", last), std::string::npos) << "a live line after the end";
}

TEST(CheckProgress, FileGetsPlainLinesOnly) {
  const fs::path err = fs::path(testing::TempDir()) / "kestrane_check_progress.txt";
  const std::string command = std::string(KESTRANE_CHECK_BIN) + " " + FIXTURES + "02-drop-and-promotion.csa " +
                              FIXTURES + "04-stated.sfen --tsv /dev/null --hash 16 --alt-seconds 1 2>" +
                              err.string();
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::ifstream in(err);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str().find('\r'), std::string::npos);
  EXPECT_NE(text.str().find("[1/4] 02-drop-and-promotion mate 3; elapsed "), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("[4/4] start-1 nomate -; elapsed "), std::string::npos) << text.str();
  EXPECT_EQ(occurrences(text.str(), "\n"), 4u) << text.str();
}

TEST(CheckProgress, TimeLeftComesFromTheLimits) {
  using std::chrono::seconds;
  CheckProgress progress(stderr, false, 4, 40.0);
  const auto t0 = std::chrono::steady_clock::now();
  progress.start(0, "first");
  // 30 s left of this one's 40, and 3 more of at most 40 each.
  EXPECT_EQ(progress.status_line(t0 + seconds(10)), "[1/4] first  10s, about 2m30s left");
  // Past its bound the problem is taken as ending now.
  EXPECT_EQ(progress.status_line(t0 + seconds(50)), "[1/4] first  50s, about 2m00s left");
  CheckProgress unlimited(stderr, false, 3, 0.0);
  unlimited.start(0, "a-problem-with-a-name-much-longer-than-the-line-can-hold");
  EXPECT_EQ(unlimited.status_line(std::chrono::steady_clock::now()),
            "[1/3] a-problem-with-a-name-much-~  0s, time left unknown (no limit)");
}

}  // namespace

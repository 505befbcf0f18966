// Fuzz target: arbitrary input lines through the command loop, as the reader
// would queue them. Every "go mate" runs under a node budget and must write
// exactly one answer line, which is checked on the board; every command's
// output must end with a complete line.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_common.h"
#include "position/board.h"
#include "solve/position_check.h"
#include "support/usi_moves.h"
#include "usi/command_loop.h"

namespace {

// Standard output goes to this in-memory file so that the answers can be
// read back.
int output_fd = -1;

[[noreturn]] void fail(const std::string& what, const std::string& line) {
  std::fprintf(stderr, "fuzz: %s (command: %.200s)\n", what.c_str(), line.c_str());
  std::abort();
}

std::string output_since(off_t offset) {
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = pread(output_fd, buffer, sizeof buffer, offset);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
    offset += n;
  }
  return text;
}

void check_answer(const std::string& answer, bool flipped, const std::string& line) {
  if (answer == "checkmate timeout") return;
  if (answer == "checkmate nomate") {
    if (position_is_solvable()) fuzz_expect_no_mate_in_one();
    return;
  }
  std::vector<std::string> words = split_words(answer);
  if (words.size() < 2 || words[0] != "checkmate") fail("malformed answer '" + answer + "'", line);
  std::vector<int16_t> moves;
  for (size_t i = 1; i < words.size(); ++i) {
    const MoveCode m = usi_to_code(words[i], static_cast<int>((i - 1) & 1), flipped);
    if (m == 0) fail("unreadable move '" + words[i] + "'", line);
    moves.push_back(m);
  }
  fuzz_expect_mate(moves);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_init();
  output_fd = memfd_create("kestrane-fuzz-output", 0);
  if (output_fd < 0 || dup2(output_fd, STDOUT_FILENO) < 0) std::abort();
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_reset();
  if (ftruncate(STDOUT_FILENO, 0) != 0 || lseek(STDOUT_FILENO, 0, SEEK_SET) != 0) std::abort();
  off_t offset = 0;
  for (const std::string& line : fuzz_lines(data, size)) {
    // The reader ends the process on "quit"; nothing after it is handled.
    if (line.compare(0, 4, "quit") == 0) break;
    const bool solves = phase == GAME && line_starts_with(line, "go mate");
    Board before;
    std::memcpy(&before, &board, sizeof board);

    handle_command(line);

    const std::string out = output_since(offset);
    offset += static_cast<off_t>(out.size());
    if (!out.empty() && out.back() != '\n') fail("output ends inside a line", line);
    if (!solves) continue;
    if (std::memcmp(before.pieces, board.pieces, sizeof board.pieces) != 0 ||
        std::memcmp(before.owners, board.owners, sizeof board.owners) != 0 ||
        std::memcmp(before.hands, board.hands, sizeof board.hands) != 0)
      fail("the solve changed the position", line);
    std::vector<std::string> answers;
    for (size_t at = 0; at < out.size();) {
      const size_t end = out.find('\n', at);
      const std::string text = out.substr(at, end - at);
      if (text.rfind("checkmate", 0) == 0) answers.push_back(text);
      at = end + 1;
    }
    if (answers.size() != 1) fail(std::to_string(answers.size()) + " answer lines", line);
    check_answer(answers[0], board.flipped != 0, line);
  }
  return 0;
}

// Fuzz target: "position" lines through the SFEN readers, the position
// check, and for a solvable position a solve under a node budget whose
// answer is checked on the board.
//
// Input: one or more lines; each sets up a position on top of what the
// previous one left (the readers do not clear the board), then is solved.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_common.h"
#include "position/board.h"
#include "position/sfen.h"
#include "solve/driver.h"
#include "solve/go_mate.h"
#include "solve/position_check.h"
#include "solve/engine_options.h"

namespace {

// At most this many solves per input keep one input fast.
constexpr int MAX_SOLVES = 3;

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "fuzz: %s\n", what);
  std::abort();
}

// What the readers may leave: known piece codes and owners (a square never
// written keeps the zero bytes of process start), hand counts a two-digit
// field can give.
void expect_reader_output_in_range() {
  for (int sq = 0; sq < SQUARES; ++sq) {
    const int piece = board.pieces[sq];
    const int owner = board.owners[sq];
    if (piece < 0 || piece >= PIECE_CODES || owner > OWNER_NONE) fail("square out of range");
    if (piece != EMPTY && owner == OWNER_NONE) fail("piece without an owner");
  }
  for (int side = 0; side < 2; ++side)
    for (int piece = PAWN; piece <= ROOK; ++piece)
      if (board.hands[side][piece] < 0 || board.hands[side][piece] > 127) fail("hand count out of range");
}

// The command loop's set-up of a "position" line.
void set_up(const std::string& line) {
  const bool white = line.find(" w ") != std::string::npos;
  for (int side = 0; side < 2; ++side)
    for (int piece = PAWN; piece <= ROOK; ++piece) board.hands[side][piece] = 0;
  if (white) {
    setup_from_sfen_white(line);
  } else {
    setup_from_sfen_black(line);
  }
  board.flipped = white ? 1 : 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_init();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_reset();
  engine_options.table_entries = FUZZ_TABLE_ENTRIES;
  int solves = 0;
  for (const std::string& line : fuzz_lines(data, size)) {
    set_up(line);
    expect_reader_output_in_range();
    if (!position_is_solvable()) continue;
    if (++solves > MAX_SOLVES) break;

    Board before;
    std::memcpy(&before, &board, sizeof board);
    const GoMateOutcome outcome = solve_go_mate(0);
    // The solve works on the board and must leave the position as it was.
    if (std::memcmp(before.pieces, board.pieces, sizeof board.pieces) != 0 ||
        std::memcmp(before.owners, board.owners, sizeof board.owners) != 0 ||
        std::memcmp(before.hands, board.hands, sizeof board.hands) != 0)
      fail("the solve changed the position");

    if (outcome.result == RESULT_MATE) {
      std::vector<int16_t> moves;
      for (int i = 0; i < MOVE_STACK_SIZE && outcome.answer[i] > 0; ++i) moves.push_back(outcome.answer[i]);
      fuzz_expect_mate(moves);
    } else if (outcome.result == RESULT_NOMATE) {
      fuzz_expect_no_mate_in_one();
    }
  }
  return 0;
}

#include "fuzz_common.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "hardening/answer_check.h"
#include "movegen/step_tables.h"
#include "platform/platform.h"
#include "position/board.h"
#include "position/keys.h"
#include "search/thread_state.h"
#include "search/tt.h"
#include "solution/alternate.h"
#include "solve/driver.h"
#include "search/search_state.h"
#include "usi/command_loop.h"
#include "usi/command_queue.h"
#include "solve/engine_options.h"

void fuzz_init() {
  // Progress and answer lines would drown the fuzzer's own report.
  if (!std::freopen("/dev/null", "w", stdout)) std::abort();
  build_step_tables();
  build_zobrist();
  platform_set_alloc_limit(FUZZ_ALLOC_LIMIT);
  node_budget = FUZZ_NODE_BUDGET;
}

void fuzz_reset() {
  command_loop_reset();
  // The board as the process starts with it: all zero bytes.
  search_modes = SearchModes{};
  reset_search_thread(NEW_REQUEST, 0);
  std::memset(&board, 0, sizeof board);
  tt_release();
  previous_mode = MODE_NONE;
  first_alternate_ply = 0;
}

std::vector<std::string> fuzz_lines(const uint8_t* data, std::size_t size) {
  std::vector<std::string> lines;
  if (size == 0) return lines;
  // The engine's own line reader, so that the cut is the one it makes.
  std::FILE* in = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!in) std::abort();
  for (std::string line; read_input_line(in, line);) lines.push_back(line);
  std::fclose(in);
  return lines;
}


namespace {

[[noreturn]] void fail(const std::string& what, const rules_reference::Position& root) {
  std::fprintf(stderr, "fuzz oracle: %s\nposition: %s\n", what.c_str(),
               rules_reference::to_sfen(root, 0).c_str());
  std::abort();
}

}  // namespace

void fuzz_expect_mate(const std::vector<int16_t>& moves) {
  const rules_reference::Position root = rules_reference::Position::from_board();
  const std::string fault = answer_check::mating_line_fault(root, moves);
  if (!fault.empty()) fail("wrong mate answer: " + fault, root);
}

void fuzz_expect_no_mate_in_one() {
  const rules_reference::Position root = rules_reference::Position::from_board();
  if (MoveCode m = answer_check::mate_in_one(root))
    fail("answered no mate, but " + rules_reference::move_name(m) + " mates", root);
}

// The first pass of a solve, for tests of the node searches: the root
// searched with growing thresholds until it is proven or disproven (the
// proof-led kind of root search only; the driver takes turns with a
// disproof-led one).
#pragma once

#include <string>
#include <vector>

#include "movegen/generate.h"
#include "platform/platform.h"
#include "position/make_move.h"
#include "search/node_search.h"
#include "search/tt.h"
#include "solve/driver.h"
#include "search/search_state.h"
#include "support/gen_helpers.h"

struct LoopResult {
  int32_t pn = 1;
  int32_t dn = 1;
  int16_t result = 0;
  uint32_t hand = 0;
  uint32_t nodes = 0;
  int iterations = 0;
};

inline void reset_search_counters() {
  time_limit_ms = 0;
  search_modes = SearchModes{};
  reset_search_thread(NEW_REQUEST, LENGTH_LIMIT_NONE);
  // No progress line during tests: the clock starts now.
  search_start_ms = last_report_ms = limit_start_ms = platform_time_ms();
}

// Fresh counters and derived state, the board's position as the root at ply 0.
inline void prepare_root_search() {
  reset_search_counters();
  rebuild_derived_state();
}

// Solves the position on the board (fresh derived state, root at ply 0).
inline LoopResult solve_first_pass(int max_iterations = 100000) {
  LoopResult r;
  prepare_root_search();
  root_threshold = 1;
  while (r.iterations < max_iterations) {
    ++r.iterations;
    r.result = search_attacker(root_threshold, r.pn, r.dn, r.hand);
    if (r.pn == 0) break;
    if (r.pn >= PN_INFINITE) break;
    if (root_threshold >= MAX_ROOT_THRESHOLD || r.pn >= MAX_ROOT_THRESHOLD) break;
    root_threshold = next_root_threshold(r.pn);
  }
  r.nodes = nodes;
  return r;
}

// The line of best moves stored for the proven positions from the root.
inline std::vector<MoveCode> table_line(int max_plies = 200) {
  std::vector<MoveCode> line;
  std::vector<std::pair<int16_t, int16_t>> captures;
  int side = 0;
  uint32_t hand;
  int16_t len;
  int32_t pn, dn;
  while (static_cast<int>(line.size()) < max_plies && tt_probe(side, hand, len, pn, dn) && pn == 0 &&
         tt_hint_move != 0) {
    MoveCode m = tt_hint_move;
    int16_t cp, co;
    make_move(static_cast<int16_t>(side), move_of(m), cp, co);
    line.push_back(m);
    captures.push_back({cp, co});
    side ^= 1;
  }
  for (int i = static_cast<int>(line.size()) - 1; i >= 0; --i) {
    side ^= 1;
    unmake_move(static_cast<int16_t>(side), move_of(line[i]), captures[i].first, captures[i].second);
  }
  return line;
}

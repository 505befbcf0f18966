#include "search/search_state.h"

#include <algorithm>

#include "movegen/generate.h"
#include "search/tt.h"

uint32_t time_limit_ms = 0;
uint32_t limit_start_ms = 0;
uint32_t search_start_ms = 0;
uint32_t last_report_ms = 0;
uint32_t node_budget = 0;
int32_t reported_depth = 0;
int16_t mate_length = 0;
uint8_t inner_solve = 0;

void (*node_clock_step)() = nullptr;
std::atomic<bool> helpers_stop_requested{false};

bool helper_entry_check() {
  if (helper_live_nodes) helper_live_nodes->store(nodes, std::memory_order_relaxed);
  if (helpers_stop_requested.load(std::memory_order_relaxed)) stop_reason = STOP_TIME;
  return stop_reason != STOP_NONE;
}

bool pass_budget_spent() { return search_modes.refine_pass > 0 && !search_modes.minimality_stage && expansions > PASS_EXPANSION_BUDGET; }

int32_t next_root_threshold(int64_t pn) {
  const int64_t next = pn + 1 + std::max<int64_t>(pn - 50, 0) / 10;
  return static_cast<int32_t>(std::min<int64_t>(next, MAX_ROOT_THRESHOLD));
}

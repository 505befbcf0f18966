#include "solve/progress.h"

#include <cstdio>

#include "platform/platform.h"
#include "position/board.h"
#include "position/move_text.h"
#include "movegen/generate.h"
#include "search/tt.h"
#include "search/search_state.h"
#include "solve/search_threads.h"
#include "solve/stop_request.h"

namespace {

void check_limit(uint32_t now) {
  if (time_limit_ms != 0 && now - limit_start_ms > time_limit_ms) stop_reason = STOP_TIME;
  if (node_budget != 0 && nodes >= node_budget) stop_reason = STOP_TIME;
  // A "stop", "quit" or the end of input ends the solve as its limit would.
  if (stop_due(now)) stop_reason = STOP_TIME;
}

// Nodes of every thread of the solve.
uint64_t all_nodes() { return nodes + helper_nodes(); }

int32_t nodes_per_second(uint32_t elapsed_ms) {
  if (elapsed_ms == 0) return 0;
  double nps = static_cast<double>(all_nodes()) * 1000.0 / static_cast<double>(elapsed_ms);
  return nps >= 2147483647.0 ? 2147483647 : static_cast<int32_t>(nps);
}

}  // namespace

void clock_check() { check_limit(platform_time_ms()); }

// The main thread's node-entry duty: every node reads the clock, a line
// goes out at most once a second.
void main_thread_clock_step() {
  clock_check();
  if (platform_time_ms() - last_report_ms >= 1000) write_progress(PERIODIC);
  if constexpr (PLATFORM_YIELDS) {
    // The host's turn comes every few milliseconds, so that a "stop" it
    // received is seen at the next check.
    static uint32_t last_yield_ms = 0;
    const uint32_t now = platform_time_ms();
    if (now - last_yield_ms >= PLATFORM_YIELD_MS) {
      platform_yield();
      last_yield_ms = platform_time_ms();
      clock_check();
    }
  }
}

// Installed before any search can run (constant-initialised to null first).
[[maybe_unused]] const bool clock_step_installed = (node_clock_step = main_thread_clock_step, true);

void write_progress(ProgressKind kind) {
  const uint32_t now = platform_time_ms();
  check_limit(now);
  const bool due = kind != PERIODIC || now - last_report_ms >= 1000;
  // An inner solve's final lines would show its own position's line as the
  // answer; its periodic lines keep the front end informed.
  if (due && (kind == PERIODIC || !inner_solve)) {
    last_report_ms = now;
    const uint32_t elapsed = now - search_start_ms;
    const int32_t hashfull = tt_hashfull();
    std::fputs("info ", stdout);
    // Before the first move at ply 1 there is no current move to show.
    if (board.move_stack[1].move > 0 && !inner_solve) {
      std::fputs("currmove ", stdout);
      print_ply_usi(1);
    }
    std::printf("depth %d seldepth %d ", reported_depth != 0 ? reported_depth : root_threshold, board.ply);
    std::printf("nodes %d ", static_cast<int32_t>(static_cast<uint32_t>(all_nodes())));
    std::printf("nps %d ", nodes_per_second(elapsed));
    std::printf("hashfull %d ", hashfull);
    if (kind == FINAL_WITH_PV) {
      std::printf("time %d ", static_cast<int32_t>(elapsed));
      std::printf("score mate %d ", mate_length);
      std::fputs("pv ", stdout);
      for (int i = 1; i <= mate_length && i <= board.ply && i < MOVE_STACK_SIZE; ++i) print_ply_usi(i);
    }
    std::fputs("\n", stdout);
  }
  if (pass_budget_spent()) stop_reason = STOP_BUDGET;
}

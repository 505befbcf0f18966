// Helper threads: with Threads N, N-1 helpers search the main thread's root
// over the shared tables while the main thread runs its own root searches.
// The main thread alone drives the passes, verifies, writes every line and
// answers; the helpers only leave proofs, disproofs and numbers in the
// tables. Each helper keeps its search state in its own thread (the search
// state is thread_local) and starts from a copy of the main thread's root.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "position/board.h"
#include "search/thread_state.h"

// The largest Threads value.
constexpr int MAX_SEARCH_THREADS = PLATFORM_MAX_THREADS;

// What a helper searches: the root, its pass (a copy of the main thread's
// modes, which stay unchanged while helpers run), and where its own root
// searches start.
struct HelperJob {
  Board root;
  SearchModes modes;
  int16_t length_limit;
  int32_t threshold[2];  // first root threshold of each kind (proof-led, disproof-led)
  int first_kind;        // kind of the first root search
  bool taking_turns;     // the kinds take turns, as in the first pass
  bool both_thresholds;  // every root search has both thresholds (the final stage)
  // The last root threshold: a refinement pass gives up at the main thread's
  // limit, and a helper that ran past it would only write numbers that grow
  // with the threshold (cut lines fail at any threshold) into the table.
  int32_t threshold_limit = 0x7FFFFFFF;
};


// Makes the pool hold `threads` - 1 helpers (1 to MAX_SEARCH_THREADS). Only
// while no helper runs; threads are started or ended as needed.
void search_threads_configure(int threads);
int search_threads_count();

// Starts every helper on `job`; the tables are shared until helpers_stop.
void helpers_start(const HelperJob& job);
// Tells the helpers to stop and waits until all are idle. No-op when none runs.
void helpers_stop();
bool helpers_running();

// Nodes the helpers generated since helper_nodes_reset (the progress lines
// add them to the main thread's).
uint64_t helper_nodes();
void helper_nodes_reset();


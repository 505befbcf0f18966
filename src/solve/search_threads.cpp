#include "solve/search_threads.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "search/thread_state.h"
#include "movegen/generate.h"
#include "movegen/move_list.h"
#include "position/make_move.h"
#include "search/node_search.h"
#include "search/tt.h"
#include "solve/driver.h"
#include "search/search_state.h"

namespace {

struct Helper {
  int index = 1;  // 1 for the first helper
  // The job current when the helper was made, which has ended: the helper
  // waits for the next one. Taken by the thread that makes the helper, so
  // that a job started before the new thread runs is still its own, and an
  // ended one is never run again over tables being replaced.
  uint64_t first_seen = 0;
  std::thread thread;
  // Nodes of the job in progress, published at each node entry.
  alignas(64) std::atomic<uint32_t> live_nodes{0};
};

// Never destroyed: idle helpers wait on the condition until the process
// ends, and neither a joinable thread nor a condition waited on may be.
struct Pool {
  std::mutex mutex;
  std::condition_variable wake;
  std::condition_variable idle;
  std::vector<std::unique_ptr<Helper>> helpers;
};
Pool& pool_state = *new Pool();
std::mutex& pool_mutex = pool_state.mutex;
std::condition_variable& pool_wake = pool_state.wake;
std::condition_variable& pool_idle = pool_state.idle;
std::vector<std::unique_ptr<Helper>>* pool = &pool_state.helpers;
HelperJob current_job;
uint64_t job_generation = 0;
int busy_helpers = 0;
bool helpers_quit = false;
bool running = false;
std::atomic<uint64_t> finished_nodes{0};

// Root searches of one job, the driver's threshold steps: until the root is
// decided, both kinds reach their cap, or the main thread says stop.
void run_job(const HelperJob& job, int index) {
  board = job.root;
  search_modes = job.modes;
  reset_search_thread(NEW_REQUEST, job.length_limit);

  int32_t threshold[2] = {job.threshold[0], job.threshold[1]};
  bool capped[2] = {false, false};
  // Every other helper starts with the main thread's kind, so that many
  // helpers do not all walk the same way.
  int kind = job.taking_turns && index % 2 == 0 ? job.first_kind ^ 1 : job.first_kind;
  while (stop_reason == STOP_NONE) {
    weak_and_numbers = kind == 1 ? 1 : 0;
    root_threshold = threshold[kind];
    int32_t pn = 1, dn = 1;
    uint32_t hand = 0;
    const bool both = kind == 1 || job.both_thresholds;
    search_attacker(root_threshold, pn, dn, hand, both ? MAX_ROOT_THRESHOLD : PN_INFINITE);
    if (stop_reason != STOP_NONE || pn == 0 || pn >= PN_INFINITE) break;
    if (root_threshold >= job.threshold_limit) break;
    if (root_threshold >= MAX_ROOT_THRESHOLD || pn >= MAX_ROOT_THRESHOLD) capped[kind] = true;
    threshold[kind] = next_root_threshold(pn);
    if (job.taking_turns && !capped[kind ^ 1]) kind ^= 1;
    if (capped[kind]) break;
  }
  weak_and_numbers = 0;
}

void helper_main(Helper* self) {
  search_helper = 1;
  path_mark_owner = static_cast<uint16_t>(1 + self->index);
  helper_live_nodes = &self->live_nodes;
  uint64_t seen = self->first_seen;
  std::unique_lock<std::mutex> lock(pool_mutex);
  while (true) {
    pool_wake.wait(lock, [&] { return helpers_quit || job_generation != seen; });
    if (helpers_quit) return;
    seen = job_generation;
    const HelperJob job = current_job;
    lock.unlock();
    run_job(job, self->index);
    lock.lock();
    finished_nodes.fetch_add(nodes, std::memory_order_relaxed);
    self->live_nodes.store(0, std::memory_order_relaxed);
    if (--busy_helpers == 0) pool_idle.notify_all();
  }
}

}  // namespace

void search_threads_configure(int threads) {
  threads = std::clamp(threads, 1, MAX_SEARCH_THREADS);
  if (running || static_cast<int>(pool->size()) == threads - 1) return;
  {
    std::lock_guard<std::mutex> lock(pool_mutex);
    helpers_quit = true;
  }
  pool_wake.notify_all();
  for (auto& helper : *pool) helper->thread.join();
  pool->clear();
  helpers_quit = false;
  for (int i = 1; i < threads; ++i) {
    auto helper = std::make_unique<Helper>();
    helper->index = i;
    helper->first_seen = job_generation;
    Helper* raw = helper.get();
    try {
      helper->thread = std::thread(helper_main, raw);
    } catch (...) {
      break;  // fewer helpers than asked: the search goes on with those
    }
    pool->push_back(std::move(helper));
  }
}

int search_threads_count() { return static_cast<int>(pool->size()) + 1; }

void helpers_start(const HelperJob& job) {
  if (pool->empty() || running) return;
  {
    std::lock_guard<std::mutex> lock(pool_mutex);
    current_job = job;
    helpers_stop_requested.store(false, std::memory_order_relaxed);
    tables_shared = 1;
    busy_helpers = static_cast<int>(pool->size());
    ++job_generation;
    running = true;
  }
  pool_wake.notify_all();
}

void helpers_stop() {
  if (!running) return;
  helpers_stop_requested.store(true, std::memory_order_relaxed);
  std::unique_lock<std::mutex> lock(pool_mutex);
  pool_idle.wait(lock, [] { return busy_helpers == 0; });
  tables_shared = 0;
  running = false;
}

bool helpers_running() { return running; }

uint64_t helper_nodes() {
  uint64_t sum = finished_nodes.load(std::memory_order_relaxed);
  for (const auto& helper : *pool) sum += helper->live_nodes.load(std::memory_order_relaxed);
  return sum;
}

void helper_nodes_reset() { finished_nodes.store(0, std::memory_order_relaxed); }

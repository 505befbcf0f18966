#include "solve/stop_request.h"

#include <atomic>

#include "search/search_state.h"

namespace {

// Written by the reader, read by the main thread. Nothing else is shared
// with them, so the plain atomic order is all the ordering needed.
std::atomic<uint64_t> last_stop_line{0};
std::atomic<uint64_t> last_request_line{0};
std::atomic<bool> input_ended{false};

// Main thread only.
uint64_t request_line = 0;
bool stopped = false;
// The grace counts from the request's first clock check, after the tables
// are allocated (or renewed), which can take long in a slow build.
bool grace_started = false;
uint32_t grace_start_ms = 0;
uint64_t taken_stop_line = 0;

}  // namespace

void record_stop_line(uint64_t line_number) {
  // Numbers only grow; keep the latest.
  if (line_number > last_stop_line.load()) last_stop_line.store(line_number);
}

void record_request_line(uint64_t line_number) { last_request_line.store(line_number); }

void record_end_of_input() { input_ended.store(true); }

void begin_stoppable_request(uint64_t line_number) {
  request_line = line_number;
  stopped = false;
  grace_started = false;
}

bool stop_due(uint32_t now) {
  if (request_line == 0) return false;
  if (!grace_started) {
    grace_started = true;
    grace_start_ms = now;
  }
  const uint64_t stop_line = last_stop_line.load(std::memory_order_relaxed);
  const bool by_stop = stop_line > request_line;
  // time_limit_ms is that of the running stage: the main solve, or the
  // rounds with their own budget.
  const bool unbounded = time_limit_ms == 0 && input_ended.load(std::memory_order_relaxed);
  if (!by_stop && !unbounded) return false;
  if (now - grace_start_ms < STOP_GRACE_MS) return false;
  stopped = true;
  if (by_stop && stop_line > taken_stop_line) taken_stop_line = stop_line;
  return true;
}

bool request_stopped() { return stopped; }

bool stop_line_taken(uint64_t line_number) { return line_number != 0 && line_number <= taken_stop_line; }

bool no_request_follows() { return input_ended.load() && last_request_line.load() <= request_line; }

void reset_stop_requests() {
  last_stop_line.store(0);
  last_request_line.store(0);
  input_ended.store(false);
  request_line = 0;
  stopped = false;
  grace_started = false;
  taken_stop_line = 0;
}

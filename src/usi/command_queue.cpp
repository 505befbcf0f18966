#include "usi/command_queue.h"

#include <deque>

#include "platform/platform.h"
#include "solve/stop_request.h"
#include "usi/command_loop.h"

namespace {

struct QueuedLine {
  std::string text;
  uint64_t number;
  bool end_of_input;
};

// Lines in arrival order; the reader appends, the command loop takes from the
// front. Never bounded: a line is neither dropped nor merged.
using CommandQueue = std::deque<QueuedLine>;

CommandQueue command_queue;
uint64_t pushed_count = 0;  // under queue_lock
// Guards command_queue and pushed_count and nothing else; held only for the
// copy in or out (a waiting pop_line gives it up while it waits).
PlatformMutex* queue_lock = nullptr;

uint64_t push_entry(const std::string& text, bool end_of_input) {
  platform_mutex_lock(queue_lock);
  const uint64_t number = ++pushed_count;
  command_queue.push_back(QueuedLine{text, number, end_of_input});
  platform_mutex_unlock(queue_lock);
  // Wakes an idle command loop at once instead of at its next poll.
  platform_mutex_notify(queue_lock);
  return number;
}

}  // namespace

void queue_create_lock() {
  if (queue_lock == nullptr) queue_lock = platform_mutex_create();
}

uint64_t push_line(const std::string& line) { return push_entry(line, false); }

uint64_t push_end_of_input() { return push_entry(std::string(), true); }

bool try_pop_line(std::string& line) {
  platform_mutex_lock(queue_lock);
  bool found = !command_queue.empty();
  if (found) {
    found = !command_queue.front().end_of_input;
    line = std::move(command_queue.front().text);
    command_queue.pop_front();
  }
  platform_mutex_unlock(queue_lock);
  return found;
}

bool pop_line(std::string& line, uint64_t& number) {
  platform_mutex_lock(queue_lock);
  // The reader's notification ends the wait; the poll period is only a
  // fallback, so a missed wake-up costs at most one period.
  while (command_queue.empty()) platform_mutex_wait(queue_lock, POLL_INTERVAL_MS);
  QueuedLine entry = std::move(command_queue.front());
  command_queue.pop_front();
  platform_mutex_unlock(queue_lock);
  line = std::move(entry.text);
  number = entry.number;
  return !entry.end_of_input;
}

bool read_input_line(std::FILE* in, std::string& line) {
  line.clear();
  // A piece holds at most this many bytes of a line. The line feed counts
  // against the same budget, so a line of exactly this length arrives as the
  // piece and then an empty line; CR LF counts as one line feed so that both
  // endings cut a long line at the same places.
  constexpr std::size_t piece_limit = LINE_BUFFER_SIZE - 1;
  bool read_any = false;
  while (line.size() < piece_limit) {
    int c = std::getc(in);
    if (c == EOF) break;
    read_any = true;
    if (c == '\n') break;
    if (c == '\r') {
      int next = std::getc(in);
      if (next == '\n' || next == EOF) break;
      std::ungetc(next, in);
    }
    line.push_back(static_cast<char>(c));
  }
  return read_any;
}

bool take_input_line(const std::string& line) {
  // Nothing after "quit" is read: the lines before it are answered, and then
  // the input ends.
  if (line.compare(0, 4, "quit") == 0) return false;
  const uint64_t number = push_line(line);
  // Acted on here, while a solve may be running; the command loop still sees
  // the line in its turn.
  if (line_starts_with(line, "stop")) {
    record_stop_line(number);
  } else if (line_starts_with(line, "go")) {
    record_request_line(number);
  }
  return true;
}

void end_input(bool quit) {
  // Recorded before the end is queued, so that the command loop, once it
  // sees the end, also sees it here.
  record_end_of_input();
  const uint64_t end = push_end_of_input();
  // A "quit" ends every request before it, the running one at once.
  if (quit) record_stop_line(end);
}

bool queue_has_line() {
  platform_mutex_lock(queue_lock);
  const bool any = !command_queue.empty();
  platform_mutex_unlock(queue_lock);
  return any;
}

void reader_thread() {
  std::string line;
  bool quit = false;
  while (read_input_line(stdin, line)) {
    if (!take_input_line(line)) {
      quit = true;
      break;
    }
  }
  end_input(quit);
}

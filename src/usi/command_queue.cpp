#include "usi/command_queue.h"

#include <deque>

#include "platform/platform.h"

// Lines in arrival order; the reader appends, the command loop takes from the
// front. Never bounded: a line is neither dropped nor merged.
using CommandQueue = std::deque<std::string>;

static CommandQueue command_queue;
// Guards command_queue and nothing else; held only for the copy in or out
// (a waiting pop_line gives it up while it waits).
static PlatformMutex* queue_lock = nullptr;

void queue_create_lock() {
  if (queue_lock == nullptr) queue_lock = platform_mutex_create();
}

void push_line(const std::string& line) {
  platform_mutex_lock(queue_lock);
  command_queue.push_back(line);
  platform_mutex_unlock(queue_lock);
  // Wakes an idle command loop at once instead of at its next poll.
  platform_mutex_notify(queue_lock);
}

bool try_pop_line(std::string& line) {
  platform_mutex_lock(queue_lock);
  bool found = !command_queue.empty();
  if (found) {
    line = std::move(command_queue.front());
    command_queue.pop_front();
  }
  platform_mutex_unlock(queue_lock);
  return found;
}

std::string pop_line() {
  platform_mutex_lock(queue_lock);
  // The reader's notification ends the wait; the poll period is only a
  // fallback, so a missed wake-up costs at most one period.
  while (command_queue.empty()) platform_mutex_wait(queue_lock, POLL_INTERVAL_MS);
  std::string line = std::move(command_queue.front());
  command_queue.pop_front();
  platform_mutex_unlock(queue_lock);
  return line;
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

void reader_thread() {
  std::string line;
  // End of input ends the process like "quit": nobody is left to send
  // commands, and reading on would only spin on the closed stream.
  while (read_input_line(stdin, line)) {
    // "quit" acts at once, even in the middle of a solve; the main thread is
    // not waited for and nothing is released, since the process ends here.
    if (line.compare(0, 4, "quit") == 0) platform_exit(0);
    push_line(line);
  }
  platform_exit(0);
}

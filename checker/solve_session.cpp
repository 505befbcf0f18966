#include "solve_session.h"

#include <fcntl.h>
#include <unistd.h>
#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "movegen/generate.h"
#include "position/board.h"
#include "position/move_text.h"
#include "search/tt.h"
#include "solve/driver.h"
#include "solve/search_threads.h"
#include "solve/engine_options.h"
#include "search/search_state.h"
#include "usi/command_loop.h"

namespace {

// stdout as the engine sees it (the null device), and the real one.
struct Output {
  int devnull = -1;
  FILE* table = nullptr;
  FILE* capture = nullptr;  // scratch file for the engine's text
};

Output output;

#ifdef _WIN32
const char NULL_DEVICE[] = "NUL";
// The runtime's tmpfile() makes its file in the root of the drive, which
// Windows refuses to ordinary users; the user's temporary folder serves.
FILE* open_scratch_file() {
  char* name = _tempnam(nullptr, "kestrane");
  if (name == nullptr) return nullptr;
  FILE* file = std::fopen(name, "w+bTD");  // T: kept in memory, D: deleted on close
  std::free(name);
  return file;
}
#else
const char NULL_DEVICE[] = "/dev/null";
FILE* open_scratch_file() { return std::tmpfile(); }
#endif

// Points stdout at the emptied scratch file.
bool start_capture() {
  // Without redirect_engine_output there is nothing to capture into.
  if (output.capture == nullptr) return false;
  std::fflush(stdout);
  const int fd = fileno(output.capture);
  if (ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) != 0) return false;
  return dup2(fd, STDOUT_FILENO) >= 0;
}

// Back to the null device; returns what was written meanwhile.
std::string end_capture() {
  std::fflush(stdout);
  dup2(output.devnull, STDOUT_FILENO);
  const int fd = fileno(output.capture);
  std::string text;
  lseek(fd, 0, SEEK_SET);
  char buffer[4096];
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
  return text;
}

// The answer in USI text, in the engine's own move text.
std::string answer_text(const MoveCode* answer, int& length) {
  length = 0;
  std::string text;
  if (answer == nullptr) return text;
  for (int i = 0; i < MOVE_STACK_SIZE && answer[i] > 0; ++i) {
    if (i > 0) text += ' ';
    text += move_usi_text(answer[i]);
    ++length;
  }
  return text;
}

// CPU time of the process, which a busy machine disturbs less than the
// wall clock.
#ifdef _WIN32
// clock() counts wall time there.
double cpu_ms() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  const uint64_t ticks = (uint64_t{user.dwHighDateTime} << 32 | user.dwLowDateTime) +
                         (uint64_t{kernel.dwHighDateTime} << 32 | kernel.dwLowDateTime);
  return static_cast<double>(ticks) / 10000.0;  // 100 ns ticks
}
#else
double cpu_ms() { return static_cast<double>(std::clock()) * 1000.0 / CLOCKS_PER_SEC; }
#endif

// Allocates the table the way the first solve would, and touches every page
// of it: a new table's pages are mapped on first use, which would otherwise
// be timed as search. The entries stay zero, so nothing the search sees
// changes.
void prepare_table(bool fresh) {
  if (fresh) tt_release();
  if (tt_ready() || !tt_allocate(engine_options.table_entries)) return;
  for (TtEntry* table : tt_tables) {
    std::memset(static_cast<void*>(table), 0, (static_cast<size_t>(tt_slots) + PROBE_LIMIT) * sizeof(TtEntry));
  }
}

}  // namespace

bool redirect_engine_output() {
  std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  output.devnull = open(NULL_DEVICE, O_WRONLY);
  output.capture = open_scratch_file();
  if (saved < 0 || output.devnull < 0 || output.capture == nullptr) return false;
  output.table = fdopen(saved, "w");
  if (output.table == nullptr) return false;
  return dup2(output.devnull, STDOUT_FILENO) >= 0;
}

FILE* table_output() { return output.table; }

void set_up_engine(const EngineSettings& settings) {
  command_loop_reset();
  search_modes.stage_expansion_budget = settings.stage_budget;
  handle_command("setoption name USI_Hash value " + std::to_string(settings.hash_mb));
  handle_command(std::string("setoption name Do_YoTsume_Search value ") + (settings.alternate ? "true" : "false"));
  handle_command("setoption name YoTsume_Second value " + std::to_string(settings.alt_seconds));
  handle_command("setoption name Threads value " + std::to_string(settings.threads));
  handle_command("usinewgame");
}

Solved solve(const ProblemEntry& p, uint32_t limit_ms, bool fresh, std::string* engine_lines) {
  prepare_table(fresh);
  handle_command("position sfen " + p.sfen);
  board.flipped = side_to_move == WHITE ? 1 : 0;
  const bool capturing = engine_lines != nullptr && start_capture();
  const auto start = std::chrono::steady_clock::now();
  const double cpu_start = cpu_ms();
  Solved s;
  s.outcome = solve_go_mate(limit_ms);
  s.shortest = shortest_state;
  s.stage_mates = stage_mates;
  s.clock_stopped = stop_reason == STOP_TIME;
  s.cpu_ms = cpu_ms() - cpu_start;
  const auto stop = std::chrono::steady_clock::now();
  if (capturing) *engine_lines = end_capture();
  s.nodes = nodes;
  s.helper_nodes = helper_nodes();
  s.ms = std::chrono::duration<double, std::milli>(stop - start).count();
  const MoveCode* answer = s.outcome.result == RESULT_MATE ? s.outcome.answer : nullptr;
  s.line = answer_text(answer, s.length);
  for (int i = 0; i < s.length; ++i) s.moves.push_back(answer[i]);
  // As the engine does once the answer is out.
  tt_retire_refinement();
  return s;
}

const char* result_name(int result) {
  switch (result) {
    case RESULT_MATE:
      return "mate";
    case RESULT_NOMATE:
      return "nomate";
    default:
      return "timeout";
  }
}

std::string clock_text(double seconds) {
  const long s = static_cast<long>(seconds + 0.5);
  char text[32];
  if (s >= 3600) {
    std::snprintf(text, sizeof text, "%ldh%02ldm%02lds", s / 3600, s / 60 % 60, s % 60);
  } else if (s >= 60) {
    std::snprintf(text, sizeof text, "%ldm%02lds", s / 60, s % 60);
  } else {
    std::snprintf(text, sizeof text, "%lds", s);
  }
  return text;
}

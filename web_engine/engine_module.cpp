// The engine as a WebAssembly module for web GUIs and the solving page. The
// host's wrapper (module_pre.js) queues each input line and runs
// kestrane_pump, which answers them as the native command loop does; a
// search gives the host its turn every few milliseconds, and the lines that
// arrived meanwhile are taken as the native reader thread takes them, so a
// "stop" ends the search at its next clock check. Output lines go to the
// wrapper through standard output.
//
// The page's own calls (kestrane_read_problem, kestrane_line_report,
// kestrane_check_report) work on a problem file the page has written into
// the module's file system, and answer with text the page shows.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <emscripten.h>

#include "check_one.h"
#include "html_report.h"
#include "problem_formats.h"
#include "solve_session.h"
#include "platform/platform.h"
#include "solve/stop_request.h"
#include "usi/command_loop.h"
#include "usi/command_queue.h"

// The next piece of input the host has queued (at most `capacity` - 1 bytes
// of one line, without its line feed), copied into `buffer`; its length, or
// -1 when nothing waits.
EM_JS(int, host_next_line, (char* buffer, int capacity), { return Module.kestraneTakeLine(buffer, capacity); });

namespace {

bool input_over = false;
char line_buffer[LINE_BUFFER_SIZE];

// What the reader thread does for the native engine, for the lines the host
// queued since the last call.
void take_host_lines() {
  while (!input_over) {
    const int n = host_next_line(line_buffer, LINE_BUFFER_SIZE);
    if (n < 0) return;
    if (!take_input_line(std::string(line_buffer, static_cast<size_t>(n)))) {
      input_over = true;
      end_input(true);
    }
  }
}

// Text handed to the page, which frees it.
char* page_text(const std::string& text) {
  char* out = static_cast<char*>(std::malloc(text.size() + 1));
  if (out != nullptr) std::memcpy(out, text.c_str(), text.size() + 1);
  return out;
}

bool first_problem(const char* path, ProblemEntry& problem, std::string& why) {
  std::vector<ProblemEntry> problems;
  std::vector<std::string> errors;
  if (!load_problems(path, problems, errors) || problems.empty()) {
    why = errors.empty() ? std::string("no problem in the file") : errors.front();
    return false;
  }
  problem = problems.front();
  return true;
}

std::vector<std::string> words_of(const char* text) {
  std::vector<std::string> words;
  std::string word;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c == ' ') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += *c;
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE void kestrane_start() {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  queue_create_lock();
  command_loop_reset();
  platform_set_yield_hook(take_host_lines);
}

// Answers the queued lines; 1 once the input has ended ("quit").
EMSCRIPTEN_KEEPALIVE int kestrane_pump() {
  take_host_lines();
  std::string line;
  uint64_t number = 0;
  while (queue_has_line()) {
    if (!pop_line(line, number)) return 1;
    handle_command(line, number);
    take_host_lines();
  }
  return input_over ? 1 : 0;
}

// The first problem of the file at `path` (KIF, KIFU, CSA or SFEN lines):
// "ok<TAB>SFEN<TAB>stated moves, space-separated", or "error<TAB>why".
EMSCRIPTEN_KEEPALIVE char* kestrane_read_problem(const char* path) {
  ProblemEntry problem;
  std::string why;
  if (!first_problem(path, problem, why)) return page_text("error\t" + why);
  std::string stated;
  for (const std::string& m : problem.stated) stated += (stated.empty() ? "" : " ") + m;
  return page_text("ok\t" + problem.sfen + "\t" + stated);
}

// The report page of a known solution (`moves`, USI text, space-separated)
// from `sfen`, without a search: `shortest` 1 when the solve proved it
// shortest, 0 when not; `ms` the solve's time. "" when a move is not legal.
EMSCRIPTEN_KEEPALIVE char* kestrane_line_report(const char* sfen, const char* moves, const char* name, int shortest,
                                                int ms) {
  ProblemEntry problem;
  problem.sfen = sfen;
  problem.name = name;
  CheckedProblem checked;
  if (!checked_line(problem, words_of(moves), checked)) return page_text("");
  checked.shortest = shortest;
  checked.ms = ms;
  return page_text(html_report({checked}, ReportSettings{}));
}

// The report page of kestrane-check for the first problem of the file at
// `path`: solved within `limit_ms`, its line checked within `alt_seconds`,
// with a table of `hash_mb`. "error<TAB>why" when the file has no problem.
EMSCRIPTEN_KEEPALIVE char* kestrane_check_report(const char* path, uint32_t limit_ms, int alt_seconds,
                                                 uint32_t hash_mb) {
  ProblemEntry problem;
  std::string why;
  if (!first_problem(path, problem, why)) return page_text("error\t" + why);
  // The engine's progress lines of the solve go to the host as they come;
  // a "stop" from the host ends the check as it ends a request (an empty
  // line in the queue, which the command loop passes over, numbers it).
  set_up_engine({hash_mb, 0, false, alt_seconds});
  begin_stoppable_request(push_line(""));
  std::vector<std::string> kif_moves;
  const CheckedProblem checked = check_one_problem(problem, limit_ms, alt_seconds, kif_moves);
  return page_text(html_report({checked}, ReportSettings{hash_mb, limit_ms, alt_seconds}));
}

}  // extern "C"

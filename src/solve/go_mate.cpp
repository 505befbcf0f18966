#include "solve/go_mate.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "movegen/generate.h"
#include "platform/platform.h"
#include "position/move_text.h"
#include "search/tt.h"
#include "solution/alternate.h"
#include "solution/line.h"
#include "solve/driver.h"
#include "solve/main_line.h"
#include "solve/position_check.h"
#include "solve/progress.h"
#include "search/search_state.h"
#include "solve/search_threads.h"
#include "solve/soundness.h"
#include "solve/stop_request.h"
#include "solve/engine_options.h"

const char ANSWER_REJECTED_LINE[] =
    "info string The proven line does not mate by the rules; solving again with an empty table.\n";

SoundnessReport last_soundness;

namespace {

// The main solve's answer, kept while the rounds reuse the answer list.
MoveCode main_answer[LINE_ARRAY_SIZE];

void restart_clocks() {
  const uint32_t now = platform_time_ms();
  limit_start_ms = now;
  last_report_ms = now;
}

bool alternate_timed_out = false;

// Settling the main line may take as long again as the solve took, at least a
// second, and never runs past the request's limit. With a fixed stage budget
// (the bench) only the limit applies, so that node counts do not depend on
// the clock.
uint32_t settle_limit(uint32_t time_limit) {
  if (search_modes.stage_expansion_budget != 0) return time_limit;
  const uint64_t spent = platform_time_ms() - limit_start_ms;
  const uint64_t limit = std::min<uint64_t>(spent + std::max<uint64_t>(spent, 1000), UINT32_MAX);
  return time_limit != 0 && time_limit < limit ? time_limit : static_cast<uint32_t>(limit);
}

// The soundness check of the answer, reported as alternate solutions: one
// line per alternate found at an attacker move of the answer (never the
// main move's promotion twin, never another mating last move), then how the
// check ended. The answer stays as it is.
void report_alternates(uint32_t budget_ms) {
  restart_clocks();
  std::fputs(ALTERNATE_START_LINE, stdout);
  std::vector<MoveCode> line;
  for (int i = 0; i + 1 < LINE_ARRAY_SIZE && main_answer[i] > 0; ++i) line.push_back(main_answer[i]);
  const SoundnessReport report = check_intended_line(line, false, budget_ms);
  bool found = false, open = false;
  for (const PlyCheck& p : report.plies) open |= p.state == PLY_UNDECIDED;
  for (const Finding& f : report.findings) {
    if (f.kind != FINDING_ALTERNATE) continue;
    // The names are read from the board before the alternate's ply.
    for (int k = 0; k + 1 < f.ply; ++k) line_make(k & 1, line[k], k + 1);
    print_alternate_report(f.ply, line[f.ply - 1], f.move);
    for (int k = f.ply - 1; k-- > 0;) line_unmake(k & 1, line[k], k + 1);
    if (!found || f.ply < first_alternate_ply) first_alternate_ply = f.ply;
    found = true;
  }
  // The check's own progress line, as a search's last.
  write_progress(FINAL);
  // A time-out is no proof of uniqueness.
  alternate_timed_out = open;
  if (open)
    std::fputs(ALTERNATE_TIMEOUT_LINE, stdout);
  else if (!found)
    std::fputs(ALTERNATE_NOT_FOUND_LINE, stdout);
  last_soundness = report;
}

}  // namespace

GoMateOutcome solve_go_mate(uint32_t time_limit) {
  const uint32_t now = platform_time_ms();
  search_start_ms = now;
  last_report_ms = now;
  limit_start_ms = now;
  nodes = 0;
  helper_nodes_reset();
  search_threads_configure(engine_options.threads);
  first_alternate_ply = 0;
  alternate_timed_out = false;
  last_soundness = SoundnessReport{};

  // Not a position of a shogi set with one defender king: nothing to mate.
  if (!position_is_solvable()) return {RESULT_NOMATE, nullptr, 0, false};
  tt_bind_out_of_play(pieces_out_of_play());
  const MoveCode* answer = run_solver(SOLVE, time_limit);
  if (answer_rejected) {
    // A table entry was not what it seemed (a false match of its check
    // word): the tables go, and the clock keeps running from the request.
    std::fputs(ANSWER_REJECTED_LINE, stdout);
    tt_renew();
    answer = run_solver(SOLVE, time_limit);
  }
  if (solve_result != RESULT_MATE) return {solve_result, nullptr, 0, false};
  // Settling and the soundness check reuse the answer list: the copy is the
  // answer.
  for (int i = 0; i + 1 < LINE_ARRAY_SIZE; ++i) {
    main_answer[i] = answer[i];
    if (answer[i] <= 0) break;
  }
  if (shortest_state == SHORTEST_PROVEN) settle_main_line(main_answer, settle_limit(time_limit));
  if (engine_options.alternate_search_enabled) {
    // The answer is fixed first; the rounds mark it, not whichever line of
    // the same value the table's best moves now make.
    // YoTsume_Second 0 (below the option's least value): the check takes ten
    // times the solve's time, at least 10 s. The hardest other checks of even a
    // small problem can take without end to disprove, and a request without
    // any limit must still be answered.
    uint32_t budget = static_cast<uint32_t>(engine_options.alternate_time_seconds) * 1000u;
    if (engine_options.alternate_time_seconds <= 0) {
      const uint64_t spent = platform_time_ms() - search_start_ms;
      budget = static_cast<uint32_t>(std::min<uint64_t>(std::max<uint64_t>(10 * spent, 10000), UINT32_MAX / 2));
    }
    report_alternates(budget);
  }
  return {RESULT_MATE, main_answer, first_alternate_ply, alternate_timed_out};
}

namespace {

void print_answer(const GoMateOutcome& outcome) {
  if (outcome.result == RESULT_TIMEOUT) {
    std::fputs("checkmate timeout\n", stdout);
    return;
  }
  if (outcome.result == RESULT_NOMATE) {
    std::fputs("checkmate nomate\n", stdout);
    return;
  }
  std::fputs("checkmate", stdout);
  for (int i = 0; i < MOVE_STACK_SIZE && outcome.answer[i] > 0; ++i) {
    std::fputs(" ", stdout);
    print_move_usi(outcome.answer[i]);
  }
  std::fputs("\n", stdout);
}

}  // namespace

void run_go_mate(uint32_t time_limit) {
  print_answer(solve_go_mate(time_limit));
  // The front end has its answer before the table is tidied for the next;
  // when no request follows, the process is about to end untidied.
  std::fflush(stdout);
  if (!no_request_follows()) tt_retire_refinement();
}

#include "solve/main_line.h"

#include <cstdio>
#include <vector>

#include "position/board.h"
#include "position/make_move.h"
#include "solution/line.h"
#include "solution/line_check.h"
#include "solve/driver.h"
#include "solve/progress.h"
#include "search/search_state.h"

namespace {

Board root_board;
Board node_board;
Board reply_board;
Board scratch_board;
MoveCode current[LINE_ARRAY_SIZE];
MoveCode tail[LINE_ARRAY_SIZE];

int line_length(const MoveCode* line) {
  int n = 0;
  while (n < MAX_LINE_PLIES && line[n] > 0) ++n;
  return n;
}

// Plays the first `count` moves of `line` from the board, the first one the
// attacker's.
void play(const MoveCode* line, int count) {
  for (int k = 0; k < count; ++k) line_make(line_mover(k + 1), line[k], k + 1);
}

// Plies less two per piece left in the attacker's hand, for `line` played
// from the board. The board is left as it was.
int line_value(const MoveCode* line) {
  scratch_board = board;
  const int n = line_length(line);
  play(line, n);
  const int value = n - 2 * attacker_hand_pieces();
  board = scratch_board;
  return value;
}

// An inner solve of the board's position: true for a mate (its line in
// `out`, ended by 0), the board as it was.
bool inner_mate(uint32_t limit_ms, MoveCode* out) {
  node_board = board;
  inner_solve = 1;
  const MoveCode* answer = run_solver(SOLVE, limit_ms);
  inner_solve = 0;
  board = node_board;
  if (solve_result != RESULT_MATE || answer_rejected) return false;
  int n = 0;
  for (; n < MAX_LINE_PLIES && answer[n] > 0; ++n) out[n] = answer[n];
  out[n] = 0;
  return true;
}

// True when a mate of the board's position, found by an inner solve that
// leaves out the proof of the shortest, has a value below `needed`: played by
// the rules, such a mate shows that the least value is below it too. Most
// replies that do not hold out are ruled out so at a fraction of the proof.
bool mates_below(uint32_t limit_ms, int needed) {
  const uint32_t kept_budget = search_modes.stage_expansion_budget;
  search_modes.stage_expansion_budget = 1;
  const bool found = inner_mate(limit_ms, tail);
  search_modes.stage_expansion_budget = kept_budget;
  return found && tail[0] > 0 && line_mates(tail) && line_value(tail) < needed;
}

// With the board before the defender's move `index` of `current`: puts there
// the first other legal reply whose least value is `needed`, followed by its
// mate. Board moves come before drops, so that an interposition is the main
// defence only where nothing else holds out as long.
bool replace_reply(int index, int needed, uint32_t limit_ms) {
  std::vector<MoveCode> replies;
  legal_defender_moves(replies);
  reply_board = board;
  for (const MoveCode reply : replies) {
    if (reply == current[index]) continue;
    int16_t captured_piece = 0, captured_owner = 0;
    make_move(OWNER_DEFENDER, move_of(reply), captured_piece, captured_owner);
    int value = 0;
    if (mates_below(limit_ms, needed)) {
      board = reply_board;
      continue;
    }
    const bool settled = least_mate(limit_ms, tail, value);
    board = reply_board;
    if (!settled) return false;
    if (value != needed) continue;
    const int n = line_length(tail);
    if (index + 1 + n > MAX_LINE_PLIES) return false;
    current[index] = reply;
    for (int k = 0; k <= n; ++k) current[index + 1 + k] = tail[k];
    return true;
  }
  return false;
}

}  // namespace

RequestOutcome keep_request_outcome() {
  return {solve_result, shortest_state, stage_mates, stop_reason, mate_length, reported_depth};
}

void restore_request_outcome(const RequestOutcome& kept) {
  solve_result = kept.result;
  shortest_state = kept.shortest;
  stage_mates = kept.mates;
  stop_reason = kept.stop;
  mate_length = kept.length;
  reported_depth = kept.depth;
  answer_rejected = 0;
}

bool least_mate(uint32_t limit_ms, MoveCode* out, int& value) {
  if (!inner_mate(limit_ms, out) || shortest_state != SHORTEST_PROVEN) return false;
  value = line_value(out);
  return true;
}

bool settle_main_line(MoveCode* line, uint32_t limit_ms) {
  const int length = line_length(line);
  for (int k = 0; k <= length; ++k) current[k] = k < length ? line[k] : 0;
  root_board = board;
  const int value = line_value(current);
  const RequestOutcome kept = keep_request_outcome();

  bool changed = false;
  // Moves past this ply are not known to be the main line's (-1: all are).
  int unsettled_after = -1;
  // Position i is the one after i plies; the root's least value is proven.
  // The defender's move i is the longest resistance once position i is
  // proven to have the least value that the line's rest has.
  for (int i = 2; i < line_length(current); i += 2) {
    board = root_board;
    play(current, i);
    int least = 0;
    if (!least_mate(limit_ms, tail, least) || least > value - i) {
      unsettled_after = i - 1;
      break;
    }
    if (least == value - i) continue;
    // A quicker mate follows the defender's move: another reply holds out
    // as long as the root's value needs.
    board = root_board;
    play(current, i - 1);
    if (!replace_reply(i - 1, value - i, limit_ms)) {
      unsettled_after = i - 1;
      break;
    }
    changed = true;
  }
  board = root_board;
  restore_request_outcome(kept);
  if (changed && (!line_mates(current) || line_value(current) != value)) {
    // Not a mate of the same value after all: the line stays as it was.
    changed = false;
    unsettled_after = 0;
  }
  if (!changed && unsettled_after < 0) return false;

  if (unsettled_after >= 0) std::printf("info string The main line is not settled past ply %d.\n", unsettled_after);
  if (changed) {
    const int n = line_length(current);
    for (int k = 0; k < n; ++k) line[k] = current[k];
    line[n] = -2;
    play(current, n);
    mate_length = static_cast<int16_t>(n);
    write_progress(FINAL_WITH_PV);
    board = root_board;
  }
  // The last info line still tells what the length is.
  std::fputs(PROVEN_SHORTEST_LINE, stdout);
  return changed;
}

#include "solution/alternate.h"

#include <cstdio>

#include "position/move_text.h"
#include "search/search_util.h"
#include "search/tt.h"
#include "solution/line.h"

const char ALTERNATE_START_LINE[] =
    "info string Now start to search another solution.  "
    "\x82\xb1\x82\xcc\x8e\xe8\x8f\x87\x82\xf0\x8d\xec\x88\xd3\x82\xc6\x82\xb5\x82\xc4\x97\x5d\x8b\x6c\x8c\x9f"
    "\x8d\xf5\x82\xf0\x8a\x4a\x8e\x6e\x82\xb5\x82\xdc\x82\xb7\x81\x42\n";
const char ALTERNATE_NOT_FOUND_LINE[] =
    "info string Another solution was not found.  "
    "\x97\x5d\x8b\x6c\x82\xcd\x8c\xa9\x82\xc2\x82\xa9\x82\xe8\x82\xdc\x82\xb9\x82\xf1\x82\xc5\x82\xb5\x82\xbd"
    "\x81\x42\n";
const char ALTERNATE_TIMEOUT_LINE[] =
    "info string Another solution search timed out.  "
    "\x97\x5d\x8b\x6c\x8c\x9f\x8d\xf5\x82\xcd\x8e\x9e\x8a\xd4\x90\xd8\x82\xea\x82\xc9\x82\xc8\x82\xe8\x82\xdc"
    "\x82\xb5\x82\xbd\x81\x42\n";

int32_t first_alternate_ply = 0;
const MoveCode* mark_follow_line = nullptr;

namespace {

// An alternate branch barred by a report: the intended line up to ply - 1,
// then `move`. One report per round, at most 20 rounds.
struct BarredBranch {
  int ply;
  MoveCode move;
};
constexpr int MAX_BARRED_BRANCHES = 20;
BarredBranch barred_branches[MAX_BARRED_BRANCHES];
int barred_count = 0;

// "手目に余詰が見つかりました。(" in Shift-JIS.
constexpr char FOUND_AT_PLY_SJIS[] =
    "\x8e\xe8\x96\xda\x82\xc9\x97\x5d\x8b\x6c\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe8\x82\xdc\x82\xb5\x82\xbd"
    "\x81\x42";

}  // namespace

void print_alternate_report(int ply, MoveCode intended, MoveCode found) {
  std::printf("info string Another solution was found at %d ply.(", ply);
  print_move_usi(intended);
  std::fputs(" -> ", stdout);
  print_move_usi(found);
  std::printf(")  %d", ply);
  std::fputs(FOUND_AT_PLY_SJIS, stdout);
  std::fputs("(", stdout);
  print_move_japanese(intended);
  std::fputs(" -> ", stdout);
  print_move_japanese(found);
  std::fputs(")\n", stdout);
}

int16_t mark_solution(int side) {
  uint32_t hand = 0;
  int16_t length = 0;
  int32_t pn = 0, dn = 0;
  if (!tt_probe(side, hand, length, pn, dn)) return -1;
  if (pn != 0) return dn != 0 ? -1 : -4;

  search_modes.allow_proof_overwrite = 1;
  bool following = true;
  int i = 1;
  for (; i < MOVE_STACK_SIZE; ++i) {
    if (!tt_probe(side, hand, length, pn, dn) || pn != 0) break;
    MoveCode m = tt_hint_move;
    // The answer's own move where it still has one here; the table's best
    // move can be another line of the same value.
    if (mark_follow_line && following) {
      const MoveCode answer_move = mark_follow_line[i - 1];
      if (answer_move > 0 && table_move_valid(side, answer_move))
        m = answer_move;
      else
        following = false;
    }
    if (m == 0 || !table_move_valid(side, m)) break;
    stored_solution[i] = m;
    if (alternate_round == 0) intended_solution[i] = m;
    // The proof stays, under the path key from now on; on this path the
    // position is open again.
    tt_store(side, board.attacker_hand | TT_PATH, length, 0, dn, m);
    store_under_path_key = 1;
    tt_store(side, board.attacker_hand | TT_PATH, 0, 1, 1, m);
    store_under_path_key = 0;
    line_make(side, m, i);
    side ^= 1;
  }
  const int last = i - 1;
  const int leftover = attacker_hand_pieces();
  stored_solution[i] = 0;
  if (alternate_round == 0) intended_solution[i] = 0;

  for (int k = last; k >= 1; --k) {
    side ^= 1;
    line_unmake(side, stored_solution[k], k);
    if (k == last) {
      // The final mate does not count on this path.
      store_under_path_key = 1;
      tt_store(side, board.attacker_hand | TT_NOMATE, sat16(1 - 2 * leftover), 0, PN_INFINITE, stored_solution[k]);
      store_under_path_key = 0;
    }
  }
  search_modes.allow_proof_overwrite = 0;
  return -2;
}

int16_t report_alternate_solution(int side, int16_t status) {
  const int16_t found_value = root_value;
  int found = 0;
  bool solution_ended = false;
  int i = 1;
  for (; i < MOVE_STACK_SIZE; ++i) {
    // Entries past the end of the new line are left over from earlier runs.
    if (solution[i] <= 0) solution_ended = true;
    if (found == 0 && status == 0 && !solution_ended && solution[i] != intended_solution[i] &&
        table_move_valid(side, solution[i])) {
      print_alternate_report(i, intended_solution[i], solution[i]);
      found = i;
      if (first_alternate_ply == 0) first_alternate_ply = i;
      line_make(side, solution[i], i);
      const MoveCode next = solution[i + 1] > 0 ? solution[i + 1] : 0;
      store_under_path_key = 1;
      tt_store(side ^ 1, board.attacker_hand | TT_NOMATE, sat16(found_value - i), 0, PN_INFINITE, next);
      store_under_path_key = 0;
      if (barred_count < MAX_BARRED_BRANCHES) barred_branches[barred_count++] = {i, solution[i]};
      line_unmake(side, solution[i], i);
    }
    if (intended_solution[i] <= 0 || !table_move_valid(side, intended_solution[i])) break;
    line_make(side, intended_solution[i], i);
    side ^= 1;
  }
  const int last = i - 1;
  const int16_t value = sat16(last - 2 * attacker_hand_pieces());
  for (int k = last; k >= 1; --k) {
    side ^= 1;
    line_unmake(side, intended_solution[k], k);
    tt_store(side, board.attacker_hand, sat16(value - k + 1), 0, 1, intended_solution[k]);
    if (k == last) {
      store_under_path_key = 1;
      tt_store(side, board.attacker_hand, sat16(value - k + 1), 0, 1, intended_solution[k]);
      store_under_path_key = 0;
    }
  }
  return value;
}

void lift_alternate_bars() {
  for (int b = 0; b < barred_count; ++b) {
    const BarredBranch& branch = barred_branches[b];
    int made = 0;
    bool reached = true;
    for (int k = 1; k < branch.ply; ++k) {
      if (!table_move_valid(line_mover(k), intended_solution[k])) {
        reached = false;
        break;
      }
      line_make(line_mover(k), intended_solution[k], k);
      made = k;
    }
    const int side = line_mover(branch.ply);
    if (reached && table_move_valid(side, branch.move)) {
      line_make(side, branch.move, branch.ply);
      // The branch has a mate: on its path it is open again, as before the
      // rounds. The bar holds pn 0, so only an overwrite replaces it.
      search_modes.allow_proof_overwrite = 1;
      store_under_path_key = 1;
      tt_store(side ^ 1, board.attacker_hand, 0, 1, 1, 0);
      store_under_path_key = 0;
      search_modes.allow_proof_overwrite = 0;
      line_unmake(side, branch.move, branch.ply);
    }
    for (int k = made; k >= 1; --k) line_unmake(line_mover(k), intended_solution[k], k);
  }
  barred_count = 0;
}

#include "solution/record.h"

#include "movegen/generate.h"
#include "search/search_util.h"
#include "search/tt.h"
#include "solution/line.h"

namespace {

// Highest index of main_line_keys ever written.
int recorded_keys_end = 0;
// The line as read, before it is compared with the recorded one.
MoveCode read_line[LINE_ARRAY_SIZE];

}  // namespace

int read_solution(int side) {
  int i = 1;
  for (; i < MOVE_STACK_SIZE; ++i) {
    uint32_t hand = 0;
    int16_t length = 0;
  int32_t pn = 0, dn = 0;
    if (!tt_probe(side, hand, length, pn, dn) || pn != 0) break;
    const MoveCode m = tt_hint_move;
    if (m == 0 || !table_move_valid(side, m)) break;
    read_line[i] = m;
    line_make(side, m, i);
    side ^= 1;
  }
  length_limit = sat16((i - 3) - 2 * attacker_hand_pieces());

  int changed = 0;
  if (stored_solution[i] != 0) {
    // The recorded line was longer.
    stored_solution[i] = 0;
    main_line_keys[i] = board.path_key;
    changed = 1;
  }
  // Keys past the end of the line no longer belong to it.
  for (int j = i + 1; j <= recorded_keys_end && j < LINE_ARRAY_SIZE; ++j) main_line_keys[j] = 0;
  if (i > recorded_keys_end) recorded_keys_end = i;
  for (int k = i - 1; k >= 1; --k) {
    side ^= 1;
    line_unmake(side, read_line[k], k);
    if (stored_solution[k] != read_line[k]) {
      stored_solution[k] = read_line[k];
      changed = 1;
    }
    main_line_keys[k] = board.path_key;
  }
  refine_node_factor = static_cast<uint16_t>(length_limit > 0 ? length_limit : 0);
  return changed;
}

int16_t restore_solution(int side) {
  int i = 1;
  for (; i < MOVE_STACK_SIZE && stored_solution[i] != 0; ++i) {
    if (!table_move_valid(side, stored_solution[i])) break;
    line_make(side, stored_solution[i], i);
    side ^= 1;
  }
  const int16_t value = sat16((i - 1) - 2 * attacker_hand_pieces());
  for (int k = i - 1; k >= 1; --k) {
    side ^= 1;
    line_unmake(side, stored_solution[k], k);
    tt_store(side, board.attacker_hand, sat16(value - k + 1), 0, 1, stored_solution[k]);
  }
  return value;
}

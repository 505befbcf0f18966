#include "solution/verify.h"

#include <algorithm>

#include "movegen/generate.h"
#include "search/node_search.h"
#include "search/search_util.h"
#include "search/tt.h"
#include "solution/line.h"
#include "search/search_state.h"

namespace {

// Repair thresholds up to here are tried one by one.
constexpr int32_t REPAIR_STEP_LIMIT = 32699;


MoveCode line_moves[LINE_ARRAY_SIZE];

// Scratch generation of the defender's replies at the position before ply
// `first_record`, listed just above the line's records.
void generate_defences(int first_record) {
  proof_len = -LENGTH_INFINITE;
  node_best_move = 0;
  pn_sum = 0;
  list_start[2] = static_cast<int16_t>(first_record);
  generate_moves(1, 2);
}

}  // namespace

int verify_solution(int side, int32_t& status) {
  const int16_t entry_value = root_value;
  length_limit = LENGTH_LIMIT_NONE;
  search_modes.allow_proof_overwrite = 1;
  int changed = 0;
  int deviation_ply = 0;
  bool compare = search_modes.after_mark != 0;
  bool last_on_path = false;
  int made = 0;
  int i = 1;

  // Forward walk along the best moves.
  for (;; ++i) {
    uint32_t hand = 0;
    int16_t length = 0;
    int32_t pn = 0, dn = 0;
    if (tt_probe(side, hand, length, pn, dn)) {
      if (on_path_here) {
        // The line comes back to itself: not a proof.
        status = 1;
        last_on_path = true;
        break;
      }
      if (pn != 0) {
        status = 1;
        search_modes.store_proof_hands = 0;
        break;
      }
      const MoveCode m = tt_hint_move;
      if (m == 0) {
        // The defender is mated here.
        root_value = sat16((i - 1) - 2 * attacker_hand_pieces());
        if (compare && stored_solution[i] != 0) {
          deviation_ply = i;
          changed = 1;
          tt_store(side, board.attacker_hand, sat16(root_value - i + 1), 0, PN_INFINITE, stored_solution[i]);
        }
        break;
      }
      if (compare && stored_solution[i] != m) {
        deviation_ply = i;
        compare = false;
      }
      if (!table_move_valid(side, m)) {
        status = 1;
        break;
      }
      tt_store(side, board.attacker_hand | TT_ON_PATH, 0, 1, 1, m);
      line_moves[i] = m;
      line_make(side, m, i);
      made = i;
    } else {
      if (side == OWNER_ATTACKER) {
        status = 1;
        break;
      }
      generate_defences(i);
      if (gen_overflow || list_start[2] < list_start[3]) {
        // A defence is not proven yet.
        status = 1;
        break;
      }
      const MoveCode m = node_best_move;
      if (m == 0) {
        root_value = sat16((i - 1) - 2 * attacker_hand_pieces());
        break;
      }
      tt_store(1, board.attacker_hand, sat16(proof_len + 1), 0, PN_INFINITE, m);
      line_moves[i] = m;
      line_make(side, m, i);
      made = i;
    }
    side ^= 1;
    if (i + 1 >= MOVE_STACK_SIZE) {
      ++i;
      status = 1;
      break;
    }
  }

  // Local repair where the line broke.
  if (status != 0 && i < MOVE_STACK_SIZE && !last_on_path) {
    // One threshold at a time while they are small; past that they grow
    // like the root's, so that a high first proof does not cost a search
    // per threshold.
    for (int32_t t = 1; int64_t{t} < repair_limit && stop_reason == STOP_NONE;
         t = t < REPAIR_STEP_LIMIT ? t + 1 : std::max(t + 1, next_root_threshold(status))) {
      list_start[i] = static_cast<int16_t>(i);
      search_modes.reopen_main_line = 1;
      int32_t dn = 0;
      uint32_t hand = 0;
      root_value = side == OWNER_ATTACKER ? search_attacker(t, status, dn, hand)
                                          : search_defender(t, status, dn, hand);
      search_modes.reopen_main_line = 0;
      if (status == 0) {
        changed = 1;
        break;
      }
      if (int64_t{status} >= repair_limit) break;
    }
  }
  // A broken line is unproven, never disproven: the driver searches on.
  if (status > 0) status = 1;

  // Backward walk: exact remaining lengths and the longest defences.
  if (root_value != entry_value) changed = 1;
  for (int k = made; k >= 1; --k) {
    const int mover = line_mover(k);
    const MoveCode line_move = line_moves[k];
    line_unmake(mover, line_move, k);
    if (status > 0) {
      // Unproven: keep the line's move for the next search.
      tt_store(mover, board.attacker_hand, 0, 1, 1, line_move);
      if (search_modes.refine_pass != 0) {
        const uint8_t pass = search_modes.refine_pass;
        search_modes.refine_pass = 0;
        tt_store(mover, board.attacker_hand, 0, 1, 1, line_move);
        search_modes.refine_pass = pass;
      }
      continue;
    }
    MoveCode m = line_move;
    if (mover == OWNER_DEFENDER) {
      if (search_modes.after_mark && k <= deviation_ply) {
        m = stored_solution[k];
        if (m != line_move) changed = 1;
      } else {
        generate_defences(k + 1);
        if (root_value != proof_len + k) {
          m = node_best_move;
          if (m != line_move) changed = 1;
          root_value = sat16(proof_len + k);
          if (m == 0) status = 1;
        } else {
          m = changed ? node_best_move : line_move;
        }
      }
    }
    if (status > 0) {
      // No proven defence is left here: unproven, with the line's move.
      tt_store(mover, board.attacker_hand, 0, 1, 1, line_move);
      continue;
    }
    tt_store(mover, board.attacker_hand, sat16(root_value - k + 1), 0, PN_INFINITE, m);
    if (changed) {
      uint32_t hand = 0;
      int16_t length = 0;
    int32_t pn = 0, dn = 0;
      tt_probe(mover, hand, length, pn, dn);
      if ((hand & TT_HAND_MASK) != board.attacker_hand)
        tt_store(mover, hand, sat16(root_value - k + 1 + hand_excess(board.attacker_hand, hand)), 0, PN_INFINITE, m);
    }
  }

  search_modes.allow_proof_overwrite = 0;
  return changed;
}

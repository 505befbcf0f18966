// The attacker (OR) node: prove one check.
#include <algorithm>

#include "movegen/attack.h"
#include "movegen/generate.h"
#include "position/keys.h"
#include "position/make_move.h"
#include "position/rules.h"
#include "search/node_search.h"
#include "search/search_util.h"
#include "search/tt.h"
#include "search/search_state.h"


void repetition_answer(int at, int32_t th, int32_t& pn_out, int32_t& dn_out) {
  pn_out = at >= 0 ? PN_INFINITE : th;
  dn_out = 0;
  disproof_dependency = at >= 0 ? static_cast<int16_t>(at) : NO_DEPENDENCY;
}

int32_t storable_pn(int32_t pn, int16_t dependency) {
  return pn >= PN_INFINITE && dependency < board.ply ? 1 : pn;
}

void keep_path_disproof(int side, uint32_t hand, int16_t dependency, MoveCode move) {
  // The stage's disproofs hold for its length limit, and those of a futile
  // trial or of the alternate-solution rounds for a changed problem: none of
  // them is a disproof of the position on this path.
  if (search_modes.minimality_stage || trial_drop_piece != 0 || search_modes.after_mark || store_under_path_key) return;
  tt_store_path_disproof(side, board.attacker_hand | (hand & TT_PAWN_DROP_MATE), dependency, move);
}

int16_t stopped_node_result(int side, int best_result) {
  tt_store(side, board.attacker_hand, sat16(best_result), 1, 1, 0);
  return sat16(best_result + 1);
}

int16_t proven_length(int side, int& best_result, int depth) {
  uint32_t scratch_hand = 0;
  int16_t scratch_len = 0;
  int32_t scratch_pn = 0, scratch_dn = 0;
  tt_probe(side, scratch_hand, scratch_len, scratch_pn, scratch_dn);
  if (on_path_smaller) best_result = PATH_SMALLER_HAND_RESULT;
  return sat16(best_result - depth + 1);
}

int16_t store_node_result(int side, uint32_t flags, int32_t pn, int32_t dn, uint32_t proven_hand,
                          int best_result, MoveCode best_move, int16_t dependency) {
  const int32_t stored_pn = storable_pn(pn, dependency);
  tt_store_result(side, flags, stored_pn, stored_pn == pn ? dn : 1, best_move);
  if (stored_pn != pn) keep_path_disproof(side, flags, dependency, best_move);
  if (pn == 0) {
    if (search_modes.store_proof_hands && proven_hand != board.attacker_hand)
      tt_store(side, proven_hand, sat16(proof_len + hand_excess_over_current(proven_hand)), 0, dn, best_move);
    return sat16(best_result);
  }
  disproof_dependency = dependency;
  return sat16(best_result + 1);
}

bool node_entry_check() {
  // A helper thread stops when the main thread says so and writes no line.
  if (search_helper) return helper_entry_check();
  if (node_clock_step) node_clock_step();
  if (pass_budget_spent()) stop_reason = STOP_BUDGET;
  if (turn_node_cap != 0 && stop_reason == STOP_NONE && static_cast<int32_t>(nodes - turn_node_cap) > 0)
    stop_reason = STOP_TURN;
  if (search_modes.minimality_stage && search_modes.stage_expansion_budget != 0 && expansions > search_modes.stage_expansion_budget)
    stop_reason = STOP_BUDGET;
  return stop_reason != STOP_NONE;
}

bool node_answers_at_entry(int32_t th, int32_t& pn_out, int32_t& dn_out, uint32_t& hand_out) {
  if (!node_entry_check() && board.ply <= MAX_NODE_PLY) return false;
  if (stop_reason != STOP_NONE) {
    pn_out = 1;
    dn_out = 1;
    hand_out = board.attacker_hand;
  } else {
    fail_for_threshold(th, pn_out, dn_out, hand_out);
  }
  return true;
}

void fail_for_threshold(int32_t th, int32_t& pn_out, int32_t& dn_out, uint32_t& hand_out) {
  pn_out = th;
  dn_out = 1;
  hand_out = board.attacker_hand;
}

int select_attacker_child(int first, int last, int& second_plus_one) {
  int best = first;
  for (int i = first + 1; i <= last; ++i) {
    const MoveEntry& e = move_entries[i];
    if (e.pn < move_entries[best].pn || (e.pn == move_entries[best].pn && e.tag < move_entries[best].tag))
      best = i;
  }
  int32_t second = PN_INFINITE;
  for (int i = first; i <= last; ++i)
    if (i != best) second = std::min(second, move_entries[i].pn);
  second_plus_one = pn_add(second, 1);
  return best;
}

uint32_t unwind_proof_hand(uint32_t hand, int from, int captured_kind) {
  hand &= TT_HAND_MASK;
  if (from <= HAND_SQUARE_BASE) return captured_kind ? hand_without(hand, captured_kind) : hand;
  return hand_with(hand, from - HAND_SQUARE_BASE);
}

int16_t search_attacker(int32_t th, int32_t& pn_out, int32_t& dn_out, uint32_t& hand_out, int32_t th_dn) {
  // 1. Entry: clock, progress, stop; and the end of the level storage.
  disproof_dependency = NO_DEPENDENCY;
  if (node_answers_at_entry(th, pn_out, dn_out, hand_out)) return 0;
  const int depth = board.depth;

  // 2. Table.
  if (tt_probe(0, hand_out, proof_len, pn_out, dn_out)) {
    if (pn_out == 0) return sat16(depth + proof_len - 1);
    if (on_path_here) {
      // A repetition: the attacker fails on this path.
      repetition_answer(repeated_ply(), th, pn_out, dn_out);
      return 1;
    }
    if (pn_out >= PN_INFINITE) disproof_dependency = tt_dependency;
    if (pn_out >= th || (th_dn < PN_INFINITE && dn_out >= th_dn)) return sat16(proof_len + 1);
    ++reexpansions;
  }

  // 3. Expansion.
  pn_out = th;
  hand_out = board.attacker_hand;
  proof_len = -LENGTH_INFINITE;
  node_threshold = th;
  pn_sum = 0;
  proof_hand = 0;
  rest_min_pn = PN_INFINITE;
  rest_dn_sum = 0;
  rest_dependency = NO_DEPENDENCY;
  node_len = 0;
  node_best_move = 0;
  drop_mate_seen = 0;
  generate_moves(0, depth);
  if (gen_overflow) {
    // The level storage is full: fail for this threshold, store nothing.
    fail_for_threshold(th, pn_out, dn_out, hand_out);
    return 0;
  }
  hand_out = proof_hand | (drop_mate_seen ? TT_PAWN_DROP_MATE : 0u);
  pn_out = rest_min_pn;
  dn_out = rest_dn_sum;
  // The searches below generate their own moves into the same accumulators.
  const int16_t left_out_dependency = rest_dependency;
  ++expansions;
  int best_result = node_len;
  MoveCode best_move = node_best_move;
  const int first = list_start[depth];
  const int end = list_start[depth + 1];
  if (first == end) {
    // No check at all, or none below the threshold.
    disproof_dependency = rest_dependency;
    return sat16(node_len + 1);
  }
  // The root's marker is large but finite: it is never a disproof.
  tt_store(0, board.attacker_hand | TT_ON_PATH, 0, board.ply == 0 ? PN_SUM_CAP : th, 0,
           entry_code(move_entries[first]));

  // 4.-5. Child loop.
  bool last = false;
  bool retry = false;
  int best_index = first;
  int32_t child_th = th;
  int32_t child_th_dn = th_dn;
  int16_t captured_piece = EMPTY, captured_owner = OWNER_NONE;
  uint32_t child_hand = 0;
  // A helper takes the root's checks from the other end: the least promising
  // check still below the threshold, with the whole threshold, so that its
  // work is the main thread's last rather than its next (a root's disproof
  // needs every check disproven, and the stage's root is such a one).
  const bool reversed_root = search_helper && board.ply == 0;
  while (true) {
    if (!retry && reversed_root) {
      best_index = -1;
      for (int i = first; i < end; ++i) {
        const MoveEntry& e = move_entries[i];
        // A check the table proves (listed with a number below 1) goes first.
        if (e.pn <= 0) {
          best_index = i;
          break;
        }
        if (e.pn < th && (best_index < 0 || e.pn >= move_entries[best_index].pn)) best_index = i;
      }
      if (best_index < 0) break;
      child_th = th;
      child_th_dn = th_dn;
      if (th_dn < PN_INFINITE && move_entries[best_index].pn > 0) {
        int64_t dn_sum = dn_out;
        for (int i = first; i < end; ++i) dn_sum += move_entries[i].dn;
        if (dn_sum >= th_dn) break;
        child_th_dn = static_cast<int32_t>(th_dn - (dn_sum - move_entries[best_index].dn));
      }
      make_move(0, entry_move(move_entries[best_index]), captured_piece, captured_owner);
    } else if (!retry) {
      int second_plus_one = 0;
      best_index = select_attacker_child(first, end - 1, second_plus_one);
      if (move_entries[best_index].pn >= th) break;
      if (th_dn < PN_INFINITE && move_entries[best_index].pn > 0) {
        // The checks' disproof numbers add up: the node ends at th_dn, and the
        // chosen check gets what the others leave of it (a check proven by the
        // table goes first in any case).
        int64_t dn_sum = dn_out;  // the left-out checks (the global is reused below)
        for (int i = first; i < end; ++i) dn_sum += move_entries[i].dn;
        if (dn_sum >= th_dn) break;
        child_th_dn = static_cast<int32_t>(th_dn - (dn_sum - move_entries[best_index].dn));
      }
      child_th = second_plus_one;
      if (child_th > th) {
        child_th = th;
        last = true;
      } else if (move_entries[best_index].tag == -2) {
        child_th = th;  // a futile recapture gets the whole threshold
      } else if (child_th < 1) {
        child_th = 1;
      } else {
        // An eighth more than the second best (a quarter was as good on the
        // no-mate sets and lost long mates: Tenma 101).
        child_th = std::min(th, past_sibling(child_th));
      }
      make_move(0, entry_move(move_entries[best_index]), captured_piece, captured_owner);
    }
    retry = false;
    MoveEntry& best = move_entries[best_index];
    best.length = search_defender(child_th, best.pn, best.dn, child_hand, child_th_dn);
    best.dependency = disproof_dependency;
    unmake_move(0, entry_move(best), captured_piece, captured_owner);

    if (best.pn == 0) {
      best_result = best.length;
      best_move = entry_code(best);
      hand_out = unwind_proof_hand(child_hand, best.from, demote_of[captured_piece]) | (child_hand & TT_FUTILE);
      pn_out = 0;
      dn_out = PN_INFINITE;
      break;
    }
    if (child_hand & TT_PAWN_DROP_MATE) hand_out |= TT_PAWN_DROP_MATE;

    // 6. A promotion that only ran into a pawn-drop mate below is tried
    // once more without promoting.
    const int moved = board.pieces[best.from < SQUARES ? best.from : 0];
    const bool promoted = best.from < SQUARES && (best.to & PROMOTION_BIT) != 0;
    if (promoted && promotion_keeps_every_move(moved) && may_stand_unpromoted(OWNER_ATTACKER, moved, best.to & 0x7F) &&
        (child_hand & TT_PAWN_DROP_MATE) && board.attacker_has_king == 0 && best.pn >= th) {
      best.to &= 0x7F;
      make_move(0, entry_move(best), captured_piece, captured_owner);
      if (square_attacked(board.piece_lists[1][0], 0)) {
        pn_out = std::min(pn_out, best.pn);
        best_move = entry_code(best);
        best.pn = 1;
        child_th = th;
        retry = true;
        continue;
      }
      unmake_move(0, entry_move(best), captured_piece, captured_owner);
      best.to |= PROMOTION_BIT;
    }
    if (last || stop_reason != STOP_NONE) break;
  }

  // 8. Failed node: the smallest pn and the sum of dn over the list; the
  // result is one more than the longest listed child.
  if (pn_out != 0) {
    best_result = 0;
    int32_t dn = dn_out;
    for (int i = first; i < end; ++i) {
      const MoveEntry& e = move_entries[i];
      pn_out = std::min(pn_out, e.pn);
      if (e.length > best_result) {
        best_result = e.length;
        best_move = entry_code(e);
      }
      dn = std::min(PN_SUM_CAP, pn_add(dn, e.dn));
    }
    dn_out = dn;
    if (pn_out <= 0) pn_out = 1;
  }
  // Disproven only when every check is; the disproof rests on all of them.
  int16_t dependency = left_out_dependency;
  if (pn_out >= PN_INFINITE) {
    for (int i = first; i < end; ++i) dependency = std::min(dependency, move_entries[i].dependency);
    if (dependency >= board.ply) dependency = NO_DEPENDENCY;
  }

  // 9. Exit.
  if (stop_reason != STOP_NONE) return stopped_node_result(0, best_result);
  proof_len = pn_out == 0 ? proven_length(0, best_result, depth) : sat16(best_result);
  return store_node_result(0, board.attacker_hand | (hand_out & (TT_PAWN_DROP_MATE | TT_FUTILE)), pn_out,
                           dn_out, hand_out, best_result, best_move, dependency);
}

// The defender (AND) node: every legal reply must be mated.
#include <algorithm>

#include "movegen/generate.h"
#include "position/keys.h"
#include "position/make_move.h"
#include "position/rules.h"
#include "search/defence.h"
#include "search/node_search.h"
#include "search/search_util.h"
#include "search/tt.h"
#include "search/search_state.h"

namespace {

constexpr int DEFENDER_PAWN_DROP = HAND_SQUARE_BASE + 15 + PAWN;  // 97
constexpr int ATTACKER_PAWN_DROP = HAND_SQUARE_BASE + PAWN;       // 82

// Union of two proof hands: the larger pawn count, the unary bits ORed.
uint32_t hand_union(uint32_t a, uint32_t b) {
  a &= TT_HAND_MASK;
  b &= TT_HAND_MASK;
  return std::max(a & HAND_PAWN_MASK, b & HAND_PAWN_MASK) | ((a | b) & HAND_PIECE_MASK);
}


// Replies that look alike (the same answer from the table, the same kind of
// move onto the same piece) are not tried one after the other.
bool similar_replies(const MoveEntry& p, const MoveEntry& best) {
  if (p.tt_move == 0 || ((p.tt_move >> 8) & 0xFF) != ((best.tt_move >> 8) & 0xFF)) return false;
  if (p.from >= SQUARES) return false;
  if (p.from != best.from && p.to != best.to) return false;
  return board.pieces[p.to & 0x7F] == board.pieces[best.to & 0x7F];
}

// The next drop kind after `kind` that the defender can put on `sq`, or 0.
int next_drop_kind(int sq, int kind) {
  for (int k = kind + 1; k <= ROOK; ++k)
    if (board.hands[1][k] != 0 && board_drop_allowed(OWNER_DEFENDER, k, sq)) return k;
  return 0;
}

// A defender pawn dropped in front of the attacker's king: when the attacker
// then has no legal candidate at all, the drop would mate and is not allowed.
bool pawn_drop_mates_attacker() {
  const int32_t saved_threshold = node_threshold;
  no_legal_candidate = 1;
  generate_moves(0, board.depth);
  const bool mates = no_legal_candidate == 1 && !gen_overflow;
  node_threshold = saved_threshold;
  return mates;
}

// The largest proof number among the unproven replies of first..end-1 but
// `skip`, and how many there are. Replies that transpose into one another
// share their subtrees, so their numbers are not added up: the node counts
// the hardest reply and one for each other (weak proof numbers).
int32_t others_max_pn(int first, int end, int skip, int& count) {
  int32_t most = 0;
  count = 0;
  for (int i = first; i < end; ++i) {
    if (i == skip || move_entries[i].pn <= 0) continue;
    ++count;
    most = std::max(most, move_entries[i].pn);
  }
  return most;
}

int32_t weak_and_pn(int32_t child_pn, int32_t others_most, int others) {
  if (child_pn >= PN_INFINITE || others_most >= PN_INFINITE) return PN_INFINITE;
  if (child_pn <= 0) return others == 0 ? 0 : pn_add(others_most, others - 1);
  return pn_add(std::max(child_pn, others_most), others);
}

}  // namespace

int leftover_penalty() {
  if (board.attacker_hand == 0) return 0;
  int pieces = 0;
  for (int piece = PAWN; piece <= ROOK; ++piece) pieces += board.hands[0][piece];
  return 2 * pieces;
}

int32_t select_defender_child(int first, int last) {
  if (first > last) return PN_INFINITE;
  int best = first;
  int32_t second_dn = PN_INFINITE;
  const int king = board.piece_lists[1][0];
  for (int i = first + 1; i <= last; ++i) {
    const MoveEntry& p = move_entries[i];
    const MoveEntry& b = move_entries[best];
    if (p.tag < b.tag) {
      best = i;
      second_dn = PN_INFINITE;
    } else if (p.tag > b.tag) {
      continue;
    } else if (similar_replies(p, b)) {
      if (p.from == king && b.from == king && (p.to & 0x7F) < (b.to & 0x7F)) {
        second_dn = b.dn;
        best = i;
      }
    } else if (p.dn < b.dn) {
      second_dn = b.dn;
      best = i;
    } else {
      second_dn = std::min(second_dn, p.dn);
    }
  }
  std::swap(move_entries[first], move_entries[best]);
  return second_dn;
}

int32_t select_defender_child_by_dn(int first, int last) {
  if (first > last) return PN_INFINITE;
  int best = first;
  for (int i = first + 1; i <= last; ++i) {
    const MoveEntry& p = move_entries[i];
    const MoveEntry& b = move_entries[best];
    if (p.dn < b.dn || (p.dn == b.dn && p.tag < b.tag)) best = i;
  }
  int32_t second_dn = PN_INFINITE;
  for (int i = first; i <= last; ++i)
    if (i != best) second_dn = std::min(second_dn, move_entries[i].dn);
  std::swap(move_entries[first], move_entries[best]);
  return second_dn;
}

uint32_t and_proof_hand() {
  const uint32_t current = board.attacker_hand;
  uint32_t hand = proof_hand & TT_HAND_MASK;
  // A kind the defender lacks cannot be interposed, so the attacker's pieces
  // of that kind all belong to the proof.
  if (board.hands[1][PAWN] == 0) hand = (hand & ~HAND_PAWN_MASK) | (current & HAND_PAWN_MASK);
  for (int piece = LANCE; piece <= ROOK; ++piece)
    if (board.hands[1][piece] == 0) hand |= current & hand_field_mask(piece);
  hand = (hand & HAND_PAWN_MASK) | (hand & current & HAND_PIECE_MASK);
  if (hand > current) hand = (hand & ~HAND_PAWN_MASK) | (current & HAND_PAWN_MASK);
  return hand;
}

int16_t search_defender(int32_t th, int32_t& pn_out, int32_t& dn_out, uint32_t& hand_out, int32_t th_dn) {
  // 1. Entry: clock, progress, stop; and the end of the level storage.
  disproof_dependency = NO_DEPENDENCY;
  if (node_answers_at_entry(th, pn_out, dn_out, hand_out)) return 0;
  const int depth = board.depth;
  const int ply = board.ply;

  // 2. Beyond the mate length limit of a refinement pass.
  if (search_modes.limit_active && (trial_drop_piece == 0 || search_modes.refine_pass > 0) && ply >= length_limit + 2) {
    const int penalty = leftover_penalty();
    if (ply - penalty >= length_limit + 2) {
      hand_out = board.attacker_hand;
      if (search_modes.minimality_stage) {
        // No mate within the limit along this path. A refinement pass keeps
        // such results under the path key, where the same path (same ply,
        // a limit never larger) meets them again.
        pn_out = PN_INFINITE;
        dn_out = 0;
      } else {
        pn_out = th;
        dn_out = root_threshold;
      }
      return sat16(-penalty);
    }
  }

  // 3. Table.
  if (tt_probe(1, hand_out, proof_len, pn_out, dn_out)) {
    if (pn_out == 0) {
      if ((hand_out & TT_HAND_MASK) != board.attacker_hand && futile_reply(tt_hint_move)) hand_out |= TT_FUTILE;
      return sat16(depth + proof_len - 1);
    }
    if (on_path_here) {
      // A repetition: the defender escapes on this path.
      repetition_answer(repeated_ply(), th, pn_out, dn_out);
      return 1;
    }
    if (pn_out >= PN_INFINITE) disproof_dependency = tt_dependency;
    if (pn_out >= th || (th_dn < PN_INFINITE && dn_out >= th_dn)) return sat16(proof_len + 1);
    ++reexpansions;
  }

  // 5. Expansion.
  pn_out = th;
  dn_out = root_threshold;
  hand_out = board.attacker_hand;
  proof_len = -LENGTH_INFINITE;
  pn_sum = 0;
  proof_hand = 0;
  node_len = LENGTH_INFINITE;
  node_best_move = 0;
  node_threshold = th;
  drop_mate_seen = 0;
  no_legal_evasion = 1;
  generate_moves(1, depth);
  if (gen_overflow) {
    // The level storage is full: fail for this threshold, store nothing.
    fail_for_threshold(th, pn_out, dn_out, hand_out);
    return 0;
  }
  hand_out = proof_hand | (drop_mate_seen ? TT_PAWN_DROP_MATE : 0u);
  ++expansions;
  MoveCode best_move = node_best_move;
  int best_result = node_best_move != 0 ? depth + proof_len : ply - leftover_penalty();
  const int first = list_start[depth];
  const int end = list_start[depth + 1];

  // 6. No reply to search.
  if (first == end) {
    hand_out = and_proof_hand();
    pn_out = 0;
    dn_out = PN_INFINITE;
    if (node_best_move != 0) {
      // Every legal reply is already proven by the table.
      tt_store(1, board.attacker_hand, sat16(best_result - depth + 1), 0, PN_INFINITE, best_move);
      if (search_modes.store_proof_hands && hand_out != board.attacker_hand)
        tt_store(1, hand_out, sat16(hand_excess_over_current(hand_out) + best_result - depth + 1), 0, PN_INFINITE,
                 best_move);
    } else if (no_legal_evasion == 1 && ply > 0 &&
               ((board.move_stack[ply].move >> 8) & 0xFF) == ATTACKER_PAWN_DROP) {
      // Mate by a pawn drop does not count.
      pn_out = PN_INFINITE;
      dn_out = 1;
      hand_out |= TT_PAWN_DROP_MATE;
      best_result = 0;
    }
    if (pn_out == 0 && futile_reply(best_move)) hand_out |= TT_FUTILE;
    return sat16(best_result);
  }

  // 7. Replies.
  bool all_futile = true;
  // One disproven reply disproves the node: the one resting least on the path.
  int16_t dependency = 0;
  const bool weak = weak_and_numbers != 0;
  if (weak) {
    int others = 0;
    const int32_t most = others_max_pn(first, end, -1, others);
    pn_out = others == 0 ? 0 : weak_and_pn(most, 0, others - 1);
    if (pn_sum >= PN_INFINITE) pn_out = PN_INFINITE;
  } else {
    pn_out = pn_sum;
  }
  const bool dn_limited = th_dn < PN_INFINITE;
  int32_t min_dn = PN_INFINITE;
  if (dn_limited)
    for (int i = first; i < end; ++i)
      if (move_entries[i].pn > 0) min_dn = std::min(min_dn, move_entries[i].dn);
  if (pn_out >= th || (dn_limited && pn_out > 0 && min_dn >= th_dn)) {
    // Fails without search: the easiest escape decides the disproof number.
    int32_t dn = PN_INFINITE;
    best_result = LENGTH_INFINITE;
    best_move = 0;
    for (int i = first; i < end; ++i) {
      const MoveEntry& e = move_entries[i];
      if (e.pn <= 0) continue;
      if (e.pn >= PN_INFINITE) dependency = std::max(dependency, e.dependency);
      dn = std::min(dn, e.dn);
      if (e.length < best_result) {
        best_result = e.length;
        best_move = entry_code(e);
      }
    }
    dn_out = dn;
  } else {
    tt_store(1, board.attacker_hand | TT_ON_PATH, 0, ply == 0 ? PN_SUM_CAP : th, 0, entry_code(move_entries[first]));
    int h = first;
    bool retry = false;
    int32_t second_dn = PN_INFINITE;
    int16_t captured_piece = EMPTY, captured_owner = OWNER_NONE;
    uint32_t child_hand = 0;
    while (h < end) {
      if (!retry) second_dn = dn_limited ? select_defender_child_by_dn(h, end - 1) : select_defender_child(h, end - 1);
      MoveEntry& p = move_entries[h];
      make_move(1, entry_move(p), captured_piece, captured_owner);

      // 7.2 A pawn drop that would mate the attacker's king is replaced by
      // the next drop kind on the square, or skipped.
      if (board.attacker_has_king && p.from == DEFENDER_PAWN_DROP &&
          (p.to & 0x7F) == board.piece_lists[0][0] + 9 && pawn_drop_mates_attacker()) {
        unmake_move(1, entry_move(p), captured_piece, captured_owner);
        const int kind = next_drop_kind(p.to & 0x7F, PAWN);
        if (kind != 0) {
          p.from = static_cast<uint8_t>(HAND_SQUARE_BASE + 15 + kind);
          p.pn = 0;
          retry = true;
          continue;
        }
        if (h == end - 1) {
          pn_out = 0;
          dn_out = PN_INFINITE;
        }
        ++h;
        retry = false;
        continue;
      }

      // 7.3 The threshold left after the other replies' proof numbers.
      int others = 0;
      const int32_t others_most = weak ? others_max_pn(h, end, h, others) : 0;
      const int32_t c = weak ? std::max<int32_t>(1, th - others) : pn_add(int64_t{p.pn} - pn_out, th);
      // Under a disproof threshold the reply beats the next easiest one's
      // disproof number as a check beats its siblings' proof numbers.
      const int32_t c_dn = dn_limited ? std::min(th_dn, past_sibling(pn_add(second_dn, 1))) : th_dn;

      // 7.4 Futile interposition trial: the captured interposer is given
      // back to the defender; a reply mated even so costs no plies.
      if (futile_trial_applies(p)) {
        const int piece = demote_of[board.move_stack[board.ply - 1].captured_piece];
        const PackedHand saved_hand = board.attacker_hand;
        const int16_t saved_limit = length_limit;
        ++board.hands[1][piece];
        --board.hands[0][piece];
        update_key_and_hand(hand_square(0, piece), piece, NO_SQUARE, 0);
        trial_drop_piece = static_cast<int16_t>(piece);
        if (search_modes.refine_pass > 0) length_limit = sat16(length_limit + 2);
        const int16_t trial_result = search_attacker(c, p.pn, p.dn, child_hand, c_dn);
        p.length = trial_result;
        length_limit = saved_limit;
        board.attacker_hand = saved_hand;
        ++board.hands[0][piece];
        --board.hands[1][piece];
        trial_drop_piece = 0;
        if (p.pn != 0) {
          p.length = search_attacker(c, p.pn, p.dn, child_hand, c_dn);
          const uint32_t field = hand_field_mask(piece);
          if (((board.attacker_hand ^ child_hand) & field) == 0) all_futile = false;
        } else {
          p.length = sat16(trial_result - 2);
        }
      } else {
        p.length = search_attacker(c, p.pn, p.dn, child_hand, c_dn);
        all_futile = false;
      }
      p.dependency = disproof_dependency;

      // 7.6
      unmake_move(1, entry_move(p), captured_piece, captured_owner);
      if (weak)
        pn_out = weak_and_pn(p.pn, others_most, others);
      else
        pn_out = p.pn >= PN_INFINITE ? PN_INFINITE : pn_add(int64_t{p.pn} - c, th);

      // 7.7 This reply escapes within its threshold: the node fails.
      if (p.pn > 0) {
        if (p.pn >= PN_INFINITE) dependency = p.dependency;
        dn_out = std::min(p.dn, second_dn);
        if (dn_limited && p.pn < PN_INFINITE && p.dn >= c_dn && pn_out < th && dn_out < th_dn &&
            stop_reason == STOP_NONE) {
          // Only its disproof threshold ran out: another reply is easier now.
          if (child_hand & TT_PAWN_DROP_MATE) hand_out |= TT_PAWN_DROP_MATE;
          retry = false;
          continue;
        }
        if (child_hand & TT_PAWN_DROP_MATE) hand_out |= TT_PAWN_DROP_MATE;
        best_result = p.length;
        best_move = entry_code(p);
        break;
      }

      // 7.8 Mated.
      if (better_defence(p, sat16(best_result), best_move, child_hand)) {
        best_result = p.length;
        best_move = entry_code(p);
      }
      hand_out = hand_union(hand_out, child_hand);
      retry = false;
      // Lazy alternatives: the next drop kind on the same square, then the
      // plain form of a promotion.
      if (p.from > HAND_SQUARE_BASE + 15) {
        const int kind = next_drop_kind(p.to & 0x7F, p.from - HAND_SQUARE_BASE - 15);
        if (kind != 0) {
          p.from = static_cast<uint8_t>(HAND_SQUARE_BASE + 15 + kind);
          p.pn = 0;
          retry = true;
          continue;
        }
      } else if (p.to & PROMOTION_BIT) {
        const int piece = board.pieces[p.from];
        const int dest = p.to & 0x7F;
        const bool plain_legal = promotable_kind(piece) && may_stand_unpromoted(OWNER_DEFENDER, piece, dest);
        if (plain_legal) {
          p.to = static_cast<uint8_t>(dest);
          p.pn = 0;
          retry = true;
          continue;
        }
      }
      if (h == end - 1) {
        pn_out = 0;
        dn_out = PN_INFINITE;
      }
      ++h;
      if (stop_reason != STOP_NONE) break;
    }
  }

  // 9. Exit.
  if (stop_reason != STOP_NONE) return stopped_node_result(1, best_result);
  const bool proven = pn_out == 0;
  uint32_t flags = board.attacker_hand;
  if (proven) {
    proof_hand = hand_out;
    hand_out = and_proof_hand();
    const int16_t length = proven_length(1, best_result, depth);
    flags |= hand_out & TT_PAWN_DROP_MATE;
    if (futile_reply(best_move)) {
      if (best_move == 0) all_futile = true;
      if (all_futile) flags |= TT_FUTILE;
    } else {
      all_futile = false;
    }
    proof_len = length;
  } else {
    flags |= hand_out & TT_PAWN_DROP_MATE;
    proof_len = sat16(best_result);
  }
  if (dependency >= ply) dependency = NO_DEPENDENCY;
  const int16_t result = store_node_result(1, flags, pn_out, dn_out, hand_out, best_result, best_move, dependency);
  if (proven && all_futile) hand_out |= TT_FUTILE;
  return result;
}

// Trying one candidate check: legality, the table, and the estimate of the
// child's proof number from the king's free squares and the defence of the
// checking piece.
#include <algorithm>

#include "movegen/attack.h"
#include "movegen/generate.h"
#include "movegen/probe_make.h"
#include "position/make_move.h"
#include "movegen/step_tables.h"
#include "position/keys.h"
#include "search/tt.h"

namespace {

constexpr uint32_t ATTACK_KIND_MASK = 0x3FFF00;

int count_of(uint32_t word) { return static_cast<int>(word & ATTACK_COUNT_MASK); }

// Undo of the candidate, with what probe_make returned.
struct ProbeUndo {
  int from;
  int to;
  ProbeCapture captured;
  void operator()() const { probe_unmake(from, to, captured.piece, captured.owner); }
};

// A capture by a slider of an interposer dropped on a square the defender
// cannot take back safely is the futile-interposition recapture.
bool futile_recapture(int dest) {
  const int ply = board.ply;  // counts the probe move
  if (ply <= 1) return false;
  const PlyRecord& previous = board.move_stack[ply - 1];
  if (previous.captured_owner != OWNER_NONE || (previous.move & 0x7F) != dest) return false;
  if (!SLIDES[board.pieces[dest]]) return false;
  const uint32_t defenders = probe_attacks[1][dest];
  if (count_of(defenders) == 0) return true;
  return count_of(defenders) == 1 && (defenders & ATTACK_KIND_MASK) == ATTACK_BIT[KING] &&
         count_of(probe_attacks[0][dest]) >= 1;
}

// Proof-number estimate of a new child after the check to `dest`.
int16_t estimate_check(int dest, int king) {
  int free_squares = 0;
  const Neighbours& around = neighbours[king];
  for (int i = 0; i < around.count; ++i) {
    const int n = around.square[i];
    if (board.owners[n] != OWNER_DEFENDER && probe_attacks[0][n] == 0) ++free_squares;
  }
  if (count_of(probe_attacks[0][king]) >= 2) return static_cast<int16_t>(free_squares);
  int pn = free_squares + count_of(probe_attacks[1][dest]);
  if (square_distance[dest][king] == 1 && probe_attacks[0][dest] != 0)
    pn -= 1;  // a protected contact check
  else if (SLIDES[board.pieces[dest]] && pn >= 1)
    pn += 1;
  return static_cast<int16_t>(pn);
}

}  // namespace

int probe_check(int from, int to) {
  const MoveCode code = static_cast<MoveCode>(from * 256 + to);
  const int dest = to & 0x7F;
  const int king = opponent_king_sq;

  // 1. Make the candidate.
  cur_entry->from = static_cast<uint8_t>(from);
  cur_entry->to = static_cast<uint8_t>(to);
  cur_entry->tt_move = 0;
  const ProbeUndo undo{from, dest, probe_make(from, dest)};

  // 2. Own king left in check.
  if (board.attacker_has_king == 1) {
    const int king_sq = from == own_king_sq ? dest : own_king_sq;
    if (square_attacked(king_sq, opponent)) {
      undo();
      return 0;
    }
  }
  // 3.-4. Legal; it must give check.
  no_legal_candidate = 0;
  if (!gives_check(from, dest, gen_attacks[mover])) {
    undo();
    return 0;
  }
  // 5.
  ++nodes;
  child_tag = 0;

  // 6. Restricted mode admits only the hint moves and moves of the capturer.
  if (trial_drop_piece != 0) {
    tt_hint_move = code;
    if (code != hint_moves[0] && code != hint_moves[1] && code != hint_moves[2] && from != (ref_move & 0x7F)) {
      undo();
      return 0;
    }
  }

  // 7.-8. Known child.
  int16_t length = 0;
  if (tt_probe(1, probe_flags, length, child_pn, child_dn)) {
    cur_entry->tt_move = tt_hint_move;
    if (child_pn == 0) {
      // Proved children sort first, shorter mates before longer ones.
      child_pn = length - PROVEN_CHILD_BASE;
      undo();
      return push_entry(from, to, length);
    }
    if (probe_flags & TT_PAWN_DROP_MATE) drop_mate_seen = 1;
    if (child_pn >= PN_INFINITE) child_dependency = tt_dependency;
    if (on_path_here) {
      // The check leads back to a position on the path: it fails here.
      const int at = repeated_ply();
      if (at >= 0) {
        child_pn = PN_INFINITE;
        child_dependency = static_cast<int16_t>(at);
      }
    }
    if (child_pn < node_threshold) {
      undo();
      return push_entry(from, to, length);
    }
    if (probe_flags & TT_PAWN_DROP_MATE) promo_flagged = 1;
    rest_min_pn = std::min(rest_min_pn, child_pn);
    rest_dn_sum = pn_add(rest_dn_sum, child_dn);
    rest_dependency = std::min(rest_dependency, child_dependency);
    child_dependency = NO_DEPENDENCY;
    if (length > node_len || node_best_move == 0) {
      node_len = length;
      node_best_move = code;
    }
    undo();
    return 0;
  }

  // 9. New child: maps of the position after the check.
  child_dn = 1;
  build_attacker_map_xray(probe_attacks[0]);
  build_defender_map_unpinned(probe_attacks[1]);

  // 10. Taking a futile interposer.
  if (futile_recapture(dest)) {
    child_pn = 0;
    child_tag = -2;
    if (board.ply > 2 && (board.move_stack[board.ply - 2].move & 0x7F) == from) child_tag = -3;
    undo();
    return push_entry(from, to, 0);
  }

  // 11. Estimate.
  child_pn = estimate_check(dest, king);

  // 12. Listed.
  if (child_pn < node_threshold) {
    undo();
    if (is_drop_from(from)) {
      const int piece = from - HAND_SQUARE_BASE;
      if (piece == LANCE || piece == BISHOP || piece == ROOK) child_tag = square_distance[dest][king];
    } else if (undo.captured.owner != OWNER_NONE) {
      child_tag = -1;
    }
    return push_entry(from, to, -LENGTH_INFINITE);
  }

  // 13. Left out.
  if (child_pn < rest_min_pn || node_best_move == 0) {
    rest_min_pn = child_pn;
    node_best_move = code;
  }
  rest_dn_sum = pn_add(rest_dn_sum, 1);
  undo();
  return 0;
}

void find_hint_moves() {
  hint_moves[0] = hint_moves[1] = hint_moves[2] = 0;
  uint32_t hand = 0;
  int16_t length = 0;
  int32_t pn = 0, dn = 0;

  // 1. The proof of this very position.
  if (tt_probe(0, hand, length, pn, dn) && pn == 0) hint_moves[0] = tt_hint_move;

  // 2. The position before the capturing check, in the key only.
  const HashKey saved_key = board.board_key;
  const PackedHand saved_hand = board.attacker_hand;
  const int m_from = (ref_move >> 8) & 0xFF;
  const int m_to = ref_move & 0x7F;
  const bool m_promotes = (ref_move & PROMOTION_BIT) != 0;
  if (m_promotes) {
    update_key_and_hand(m_to, ref_piece, NO_SQUARE, 0);
    update_key_and_hand(NO_SQUARE, demote_of[ref_piece], m_from, 0);
  } else {
    update_key_and_hand(m_to, ref_piece, m_from, 0);
  }

  // 3. Its proof, moved over to the piece that now stands on the capture square.
  probe_off_board = 1;
  const bool before_proven = tt_probe(0, hand, length, pn, dn) && pn == 0;
  probe_off_board = 0;
  if (before_proven) {
    const MoveCode m = tt_hint_move;
    if (((m >> 8) & 0xFF) == m_from) {
      int to_byte = m & 0xFF;
      if (m_promotes) to_byte &= 0x7F;
      hint_moves[1] = static_cast<MoveCode>(m_to * 256 + to_byte);
    } else {
      hint_moves[1] = m;
    }
    // 4. The same proof seen from the defender's earlier move (same position,
    // so the lookup above serves).
    if (ref_move2 != 0) {
      if (((m >> 8) & 0xFF) == ((ref_move2 >> 8) & 0xFF))
        hint_moves[2] = static_cast<MoveCode>((ref_move2 & 0x7F) * 256 + (m & 0xFF));
      else
        hint_moves[2] = m;
    }
  }

  board.board_key = saved_key;
  board.attacker_hand = saved_hand;
}

// The defender's probe: tries one evasion, looks the child up in the
// attacker's table and either folds a proved child into the node's proof
// data or lists the child with its estimates.
#include <initializer_list>
#include <iterator>

#include "movegen/attack.h"
#include "movegen/generate.h"
#include "movegen/probe_make.h"
#include "position/make_move.h"
#include "movegen/step_tables.h"
#include "position/keys.h"
#include "position/rules.h"
#include "search/defence.h"
#include "search/tt.h"

namespace {

constexpr uint32_t KING_ONLY = ATTACK_BIT[KING] | 1u;  // one defender, the king

// A dropped interposer that the attacker simply takes: no defender guards the
// square, or only the king while two attackers hit it. Both maps are the
// node's, from before the move.
bool futile_drop(int to) {
  const uint32_t guards = gen_attacks[OWNER_DEFENDER][to];
  if (guards == 0) return true;
  return guards == KING_ONLY && (gen_attacks[OWNER_ATTACKER][to] & ATTACK_COUNT_MASK) >= 2;
}

// Union of two proof hands: the larger pawn count, every other piece of
// either. Flag bits are dropped.
PackedHand hand_union(uint32_t a, uint32_t b) {
  a &= TT_HAND_MASK;
  b &= TT_HAND_MASK;
  const uint32_t pawns = (a & HAND_PAWN_MASK) > (b & HAND_PAWN_MASK) ? (a & HAND_PAWN_MASK) : (b & HAND_PAWN_MASK);
  return pawns | ((a | b) & HAND_PIECE_MASK);
}

// Checking chances around the king, by the neighbour's place relative to it.
enum NeighbourClass { CLASS_F, CLASS_FD, CLASS_S, CLASS_B, CLASS_BD, CLASSES };

struct ClassSets {
  uint32_t checking;   // attacker kinds that check from there
  uint32_t promoting;  // kinds that check after promoting there (attacker zone only)
  uint32_t drops;      // pieces in hand that check when dropped there (bit = piece code)
};

constexpr uint32_t hand_bits(std::initializer_list<int> pieces) {
  uint32_t bits = 0;
  for (int p : pieces) bits |= 1u << p;
  return bits;
}

constexpr ClassSets CLASS_SETS[CLASSES] = {
    {0x3bee00, 0x49000, hand_bits({PAWN, LANCE, SILVER, GOLD, ROOK})},  // F: same column, attacker's side
    {0x13fa00, 0x2c8400, hand_bits({SILVER, GOLD, BISHOP})},            // FD: diagonal, attacker's side
    {0x136e00, 0x2c9000, hand_bits({GOLD, ROOK})},                      // S: same row
    {0x136e00, 0x2c9000, hand_bits({GOLD, ROOK})},                      // B: same column, defender's side
    {0x9a00, 0x400, hand_bits({SILVER, BISHOP})},                       // BD: diagonal, defender's side
};

// Class of a neighbour by its square difference n - king + 10 (0..20).
constexpr int8_t CLASS_OF_OFFSET[21] = {
    CLASS_FD, CLASS_F, CLASS_FD, -1, -1, -1, -1, -1, -1, CLASS_S,  // -10 .. -1
    -1,                                                          // 0
    CLASS_S,  -1,      -1,       -1, -1, -1, -1, CLASS_BD, CLASS_B, CLASS_BD,  // +1 .. +10
};

// Disproof estimate of a new child, on the board after the move: free squares
// around the king make the child easier to disprove, the attacker's checking
// chances next to it (half weight) harder.
int16_t estimate_dn() {
  AttackMap& attacks = probe_attacks[OWNER_ATTACKER];
  build_attack_map(OWNER_ATTACKER, attacks);

  uint32_t held = 0;
  for (int p = PAWN; p <= ROOK; ++p)
    if (board.hands[OWNER_ATTACKER][p] != 0) held |= 1u << p;

  const int king = board.piece_lists[OWNER_DEFENDER][0];
  const Neighbours& near = neighbours[king];
  int free = 0;
  int chances = 0;
  for (int i = 0; i < near.count; ++i) {
    const int n = near.square[i];
    const uint32_t hits = attacks[n];
    if (hits == 0) ++free;
    if (board.owners[n] == OWNER_ATTACKER) continue;
    const ClassSets& sets = CLASS_SETS[CLASS_OF_OFFSET[n - king + 10]];
    if ((hits & sets.checking) != 0 || (in_promotion_zone(OWNER_ATTACKER, n) && (hits & sets.promoting) != 0))
      ++chances;
    if (board.pieces[n] == EMPTY && (held & sets.drops) != 0) ++chances;
  }
  const int dn = chances / 2 - free + 9;
  return static_cast<int16_t>(dn < 1 ? 1 : dn);
}

}  // namespace

int probe_evasion(int from, int to) {
  const MoveCode code = static_cast<MoveCode>(from * 256 + to);
  const int king = own_king_sq;
  const int dest = to & 0x7F;
  const bool drop = is_drop_from(from);

  cur_entry->from = static_cast<uint8_t>(from);
  cur_entry->to = static_cast<uint8_t>(to);
  cur_entry->tt_move = 0;
  const ProbeCapture captured = probe_make(from, to);

  // A drop only goes where it blocks the single line check; board moves
  // must not leave the king attacked.
  if (!drop && square_attacked(from == king ? dest : king, opponent)) {
    probe_unmake(from, to, captured.piece, captured.owner);
    return 0;
  }

  ++nodes;
  no_legal_candidate = 0;
  child_tag = 0;
  no_legal_evasion = 0;

  // The node can no longer be proved: the rest only counts as legal.
  if (pn_sum >= PN_INFINITE) {
    probe_unmake(from, to, captured.piece, captured.owner);
    return 1;
  }

  int16_t len = 0;
  const bool found = tt_probe(OWNER_ATTACKER, probe_flags, len, child_pn, child_dn);

  if (found) {
    cur_entry->tt_move = tt_hint_move;
    if (child_pn == 0) {
      // The index is the child's depth; ply already counts the probe move.
      const int depth_index = board.ply + 1;
      if (search_modes.refine_pass > 0 && search_modes.reopen_main_line == 1 && depth_index >= 0 &&
          depth_index < static_cast<int>(std::size(main_line_keys)) &&
          main_line_keys[depth_index] == board.path_key) {
        // Back onto the recorded line: search it again instead of trusting
        // the old proof.
        pn_sum = pn_add(pn_sum, 1);
        child_pn = 1;
        child_dn = 1;
        probe_unmake(from, to, captured.piece, captured.owner);
        push_entry(from, to, 0);
        return 1;
      }
      probe_unmake(from, to, captured.piece, captured.owner);
      proof_hand = hand_union(proof_hand, probe_flags);
      cur_entry->length = len;
      if (better_defence(*cur_entry, proof_len, node_best_move, probe_flags)) {
        proof_len = len;
        node_best_move = code;
      }
      return 0;
    }

    if (len < node_len) node_len = len;
    if ((probe_flags & TT_PAWN_DROP_MATE) != 0) drop_mate_seen = 1;
    if (child_pn >= PN_INFINITE) child_dependency = tt_dependency;

    if (on_path_here) {
      // Back to a position on the path: the defender escapes by repetition,
      // on this path only.
      const int at = repeated_ply();
      if (at >= 0) {
        child_pn = PN_INFINITE;
        child_dependency = static_cast<int16_t>(at);
      }
      child_dn = 0;
      pn_sum = pn_add(pn_sum, child_pn);
      probe_unmake(from, to, captured.piece, captured.owner);
      push_entry(from, to, len);
      return 1;
    }

    if (drop && futile_drop(dest)) {
      child_pn = 0;
      child_tag = square_distance[king][dest];
    } else {
      // A drop costs the attacker a capture more.
      if (drop) child_pn = pn_add(child_pn, 1);
    }
    pn_sum = pn_add(pn_sum, child_pn);
    probe_unmake(from, to, captured.piece, captured.owner);
    push_entry(from, to, len);
    return 1;
  }

  if (!drop) {
    child_pn = 1;
  } else if (futile_drop(dest)) {
    child_pn = 0;
    child_tag = square_distance[king][dest];
  } else {
    child_pn = 2;
  }
  pn_sum = pn_add(pn_sum, child_pn);
  child_dn = pn_sum >= node_threshold ? 1 : estimate_dn();
  probe_unmake(from, to, captured.piece, captured.owner);
  push_entry(from, to, 0);
  return 1;
}

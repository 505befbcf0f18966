#include "movegen/generate.h"

#include "movegen/attack.h"
#include "movegen/step_tables.h"
#include "position/rules.h"




uint32_t main_line_keys[MOVE_STACK_SIZE + 2];


namespace {

// Level of the generation in progress: push_entry grows its list's end.
// Where the probes write once the storage is full, so that no list of a
// lower level is overwritten.

MoveEntry* entry_at(int index) { return index >= 0 && index < MOVE_ENTRIES_SIZE ? &move_entries[index] : &overflow_sink; }

constexpr uint32_t LINE_PIECE_BITS =
    ATTACK_BIT[LANCE] | ATTACK_BIT[BISHOP] | ATTACK_BIT[HORSE] | ATTACK_BIT[ROOK] | ATTACK_BIT[DRAGON];

int col_of(int sq) { return sq % 9; }
int distance(int a, int b) { return square_distance[a][b]; }

// Destination rules of the piece filter.
enum DestinationRule { RULE_NONE, RULE_ALL, RULE_ADJACENT, RULE_NEAR, RULE_LANCE };

DestinationRule destination_rule(int from, int piece, int king) {
  // A piece standing on a line of its own slider may uncover a check from
  // anywhere, so all of its moves are tried.
  if (gen_attacks[0][from] & LINE_PIECE_BITS) return RULE_ALL;
  switch (piece) {
    case PAWN:
    case SILVER:
    case GOLD:
    case TOKIN:
    case PRO_LANCE:
    case PRO_KNIGHT:
    case PRO_SILVER:
      return distance(from, king) > 2 ? RULE_NONE : RULE_ADJACENT;
    case KNIGHT:
      return distance(from, king) > 4 ? RULE_NONE : RULE_NEAR;
    case LANCE: {
      int dc = col_of(from) - col_of(king);
      return (dc > 1 || dc < -1) ? RULE_NONE : RULE_LANCE;
    }
    default:
      return RULE_ALL;
  }
}

bool meets_rule(DestinationRule rule, int to, int king) {
  switch (rule) {
    case RULE_ALL:
      return true;
    case RULE_ADJACENT:
      return distance(to, king) <= 1;
    case RULE_NEAR:
      return distance(to, king) <= 2;
    case RULE_LANCE:
      return board.owners[to] == OWNER_DEFENDER || distance(to, king) <= 1;
    default:
      return false;
  }
}

void gen_attacker_moves() {
  if (trial_drop_piece != 0) find_hint_moves();
  for (int slot = board.last_slot[0]; slot >= 1; --slot) gen_piece_checks(board.piece_lists[0][slot]);
  if (board.attacker_has_king) gen_piece_checks(board.piece_lists[0][0]);
  for (int piece = PAWN; piece <= ROOK; ++piece)
    if (board.hands[0][piece] != 0) gen_drop_checks(piece);
}

}  // namespace

void generate_moves(int side, int level) {
  gen_overflow = 0;
  // The list of `level` ends at list_start[level + 1].
  if (level < 0 || level >= LIST_LEVELS) {
    gen_overflow = 1;
    return;
  }
  gen_level = level;

  // 1. Context.
  node_best_move = 0;
  opponent = static_cast<int16_t>(side ^ 1);
  mover = static_cast<int16_t>(side);
  opponent_king_sq = board.piece_lists[opponent][0];
  own_king_sq = board.piece_lists[mover][0];

  // 2. The list starts empty where the level's list begins.
  list_start[level + 1] = list_start[level];
  cur_entry = entry_at(list_start[level]);

  // 3. Attacker map; the defender's generation marks the check on the way.
  build_attack_map(0, gen_attacks[0], side == OWNER_DEFENDER ? MARK_CHECK : MARK_NONE);

  // 4. Class of the check.
  if (side == OWNER_DEFENDER) {
    if ((gen_attacks[0][own_king_sq] & ATTACK_COUNT_MASK) >= 2)
      check_class = CHECK_DOUBLE;
    else if (checker_square >= 0)
      check_class = CHECK_STEP;
    else
      check_class = CHECK_LINE;
  }

  // 5. Defender map; a stepping checker needs its capturers marked.
  build_attack_map(1, gen_attacks[1],
                   side == OWNER_DEFENDER && check_class == CHECK_STEP ? MARK_CAPTURERS : MARK_NONE);

  // 6. The side's half.
  if (side == OWNER_ATTACKER)
    gen_attacker_moves();
  else
    gen_defender_moves();
}

void gen_piece_checks(int from) {
  const int king = opponent_king_sq;
  const int piece = board.pieces[from];
  const DestinationRule rule = destination_rule(from, piece, king);
  if (rule == RULE_NONE) return;

  const int kind = movement_kind[mover][piece];
  int to = next_along[kind][from][from];
  while (to != from) {
    const int next = board.owners[to] == OWNER_NONE ? next_along[kind][from][to] : next_ray[kind][from][to];
    if (meets_rule(rule, to, king) && board.owners[to] != mover && board.pieces[to] != KING) {
      // Root symmetry: one half of a mirror-symmetric root is enough.
      bool mirrored = search_modes.symmetric_root == 1 && board.ply == 0 &&
                      (col_of(to) <= 3 || (col_of(to) == 4 && col_of(from) < 4));
      if (!mirrored) {
        if (!may_promote(mover, piece, from, to)) {
          probe_check(from, to);
        } else {
          promo_flagged = 0;
          int listed = probe_check(from, to | PROMOTION_BIT);
          // A pawn, bishop or rook gains nothing by staying unpromoted unless
          // its promotion was refused or led to a pawn-drop mate.
          if (may_stand_unpromoted(mover, piece, to) &&
              (board.attacker_has_king == 1 || promo_flagged == 1 || listed == 0 ||
               !promotion_keeps_every_move(piece)))
            probe_check(from, to);
        }
      }
    }
    to = next;
  }
}

void gen_drop_checks(int piece) {
  const int king = opponent_king_sq;
  // The squares from which the piece would attack the king are the piece's
  // own destinations for the other side, seen from the king.
  const int kind = movement_kind[opponent][piece];
  int sq = next_along[kind][king][king];
  while (sq != king) {
    const int next = board.owners[sq] == OWNER_NONE ? next_along[kind][king][sq] : next_ray[kind][king][sq];
    bool mirrored = search_modes.symmetric_root == 1 && board.ply <= 0 && col_of(sq) <= 3;
    if (!mirrored && board_drop_allowed(mover, piece, sq)) probe_check(hand_square(0, piece), sq);
    sq = next;
  }
}

int push_entry(int from, int to, int16_t length) {
  // Full storage cuts the list short; the flag tells the search.
  if (list_start[gen_level + 1] >= MOVE_ENTRIES_SIZE) {
    gen_overflow = 1;
    return 0;
  }
  cur_entry->from = static_cast<uint8_t>(from);
  cur_entry->to = static_cast<uint8_t>(to);
  cur_entry->length = length;
  cur_entry->pn = child_pn;
  cur_entry->dn = child_dn;
  cur_entry->tag = child_tag;
  cur_entry->dependency = child_dependency;
  child_dependency = NO_DEPENDENCY;
  ++list_start[gen_level + 1];
  cur_entry = entry_at(list_start[gen_level + 1]);
  return 1;
}

#include "position/make_move.h"

#include "position/keys.h"

#ifdef KESTRANE_CHECKS
#include <cassert>
#define KESTRANE_CHECK_BOARD() assert(board_is_ok())
#else
#define KESTRANE_CHECK_BOARD() ((void)0)
#endif

namespace {

constexpr int SQUARE_MASK = 0x7F;

// Piece code named by a drop's hand square.
inline int dropped_piece(int side, int from) { return from - HAND_SQUARE_BASE - 15 * side; }

// The path key term of one move: the origin's hi value (for a drop the ply,
// so that the same drop at another ply gives another key) plus the
// destination's. Adding rather than XORing keeps the key dependent on the
// route, while a move and its exact reverse still cancel.
inline uint32_t path_term(int side, int piece, int from, int to, int ply) {
  uint32_t origin = from > HAND_SQUARE_BASE ? static_cast<uint32_t>(ply) + 1u : zobrist[side][piece][from].hi;
  return origin + zobrist[side][piece][to].hi;
}

}  // namespace

void list_remove(int owner, int sq) {
  int s = board.slot_of[sq];
  if (s == 0) {
    // Only a king sits in slot 0. Shifting the others down would put a
    // plain piece into the king's slot, where nothing looks for it, so the
    // slot is just left stale.
    if (owner == OWNER_ATTACKER) board.attacker_has_king = 0;
    return;
  }
  int last = --board.last_slot[owner];
  uint8_t* list = board.piece_lists[owner];
  for (int i = s; i <= last; ++i) {
    uint8_t moved = list[i + 1];
    list[i] = moved;
    board.slot_of[moved] = static_cast<uint8_t>(i);
  }
}

void list_add(int owner, int sq) {
  if (board.pieces[sq] == KING) {
    // Counterpart of list_remove: the king's slot was left empty.
    board.piece_lists[owner][0] = static_cast<uint8_t>(sq);
    board.slot_of[sq] = 0;
    if (owner == OWNER_ATTACKER) board.attacker_has_king = 1;
    return;
  }
  int last = ++board.last_slot[owner];
  board.piece_lists[owner][last] = static_cast<uint8_t>(sq);
  board.slot_of[sq] = static_cast<uint8_t>(last);
}

void drop_piece(int owner, int piece, int hand_sq, int to, int mode) {
  if (mode == DROP_MODE_DROP) {
    --board.hands[owner][piece];
    board.pieces[to] = static_cast<int8_t>(piece);
    board.owners[to] = static_cast<uint8_t>(owner);
    list_add(owner, to);
    if (piece == PAWN) ++board.pawn_columns[owner][to % 9];
    update_key_and_hand(hand_sq, piece, to, owner);
  } else if (mode == DROP_MODE_TAKE_BACK) {
    ++board.hands[owner][piece];
    board.pieces[to] = EMPTY;
    board.owners[to] = OWNER_NONE;
    list_remove(owner, to);
    if (piece == PAWN) --board.pawn_columns[owner][to % 9];
    update_key_and_hand(to, piece, hand_sq, owner);
  }
}

thread_local PathPosition path_positions[MOVE_STACK_SIZE];
thread_local uint16_t path_counts[PATH_COUNT_MASK + 1];

void clear_path_counts() {
  for (uint16_t& count : path_counts) count = 0;
}

int repeated_ply() {
  for (int at = board.ply - 2; at >= 0; at -= 2) {
    if (at >= MOVE_STACK_SIZE) continue;
    const PathPosition& p = path_positions[at];
    if (p.key.lo == board.board_key.lo && p.key.hi == board.board_key.hi && hand_contains(p.hand, board.attacker_hand))
      return at;
  }
  return -1;
}

void make_move(int16_t side, const Move& move, int16_t& captured_piece, int16_t& captured_owner) {
  const int from = move.from;
  const int to = move.to & SQUARE_MASK;
  if (static_cast<unsigned>(board.ply) < static_cast<unsigned>(MOVE_STACK_SIZE)) {
    path_positions[board.ply] = PathPosition{board.board_key, board.attacker_hand};
    ++path_counts[board.board_key.lo & PATH_COUNT_MASK];
  }
  ++board.depth;
  const int ply = ++board.ply;

  if (from > HAND_SQUARE_BASE) {
    captured_piece = EMPTY;
    captured_owner = OWNER_NONE;
    drop_piece(side, dropped_piece(side, from), from, to, DROP_MODE_DROP);
  } else {
    const int captured = board.pieces[to];
    const int victim = board.owners[to];
    const int moving = board.pieces[from];
    captured_piece = static_cast<int16_t>(captured);
    captured_owner = static_cast<int16_t>(victim);

    if (victim != OWNER_NONE) {
      list_remove(victim, to);
      if (captured == PAWN) --board.pawn_columns[victim][to % 9];
      const int gained = demote_of[captured];
      ++board.hands[side][gained];
      update_key_and_hand(to, captured, NO_SQUARE, victim);
      update_key_and_hand(NO_SQUARE, gained, hand_square(side, gained), side);
    }

    const uint8_t slot = board.slot_of[from];
    board.owners[to] = static_cast<uint8_t>(side);
    board.slot_of[to] = slot;
    board.piece_lists[side][slot] = static_cast<uint8_t>(to);
    board.owners[from] = OWNER_NONE;
    board.pieces[from] = EMPTY;

    if (move.to & PROMOTION_BIT) {
      const int promoted = promote_of[moving];
      board.pieces[to] = static_cast<int8_t>(promoted);
      update_key_and_hand(from, moving, NO_SQUARE, side);
      update_key_and_hand(NO_SQUARE, promoted, to, side);
      if (moving == PAWN) --board.pawn_columns[side][from % 9];
    } else {
      board.pieces[to] = static_cast<int8_t>(moving);
      update_key_and_hand(from, moving, to, side);
    }
  }

  const uint32_t term = path_term(side, board.pieces[to], from, to, ply);
  board.path_key ^= term;
  board.route_key ^= route_term(term, ply);

  // Past the last record the move is still made but not recorded; callers
  // bound the depth so that this never happens on a line they read back.
  if (static_cast<unsigned>(ply) < static_cast<unsigned>(MOVE_STACK_SIZE)) {
    PlyRecord& record = board.move_stack[ply];
    record.move = move_code(move);
    record.captured_piece = captured_piece;
    record.captured_owner = captured_owner;
  }
  KESTRANE_CHECK_BOARD();
}

void unmake_move(int16_t side, const Move& move, int16_t captured_piece, int16_t captured_owner) {
  const int from = move.from;
  const int to = move.to & SQUARE_MASK;
  const int piece = board.pieces[to];

  const uint32_t term = path_term(side, piece, from, to, board.ply);
  board.path_key ^= term;
  board.route_key ^= route_term(term, board.ply);

  if (from > HAND_SQUARE_BASE) {
    drop_piece(side, dropped_piece(side, from), from, to, DROP_MODE_TAKE_BACK);
  } else {
    board.pieces[to] = static_cast<int8_t>(captured_piece);
    board.owners[to] = static_cast<uint8_t>(captured_owner);
    const uint8_t slot = board.slot_of[to];
    board.slot_of[from] = slot;
    board.piece_lists[side][slot] = static_cast<uint8_t>(from);
    board.owners[from] = static_cast<uint8_t>(side);

    if (move.to & PROMOTION_BIT) {
      const int original = demote_of[piece];
      board.pieces[from] = static_cast<int8_t>(original);
      update_key_and_hand(to, piece, NO_SQUARE, side);
      update_key_and_hand(NO_SQUARE, original, from, side);
      if (piece == TOKIN) ++board.pawn_columns[side][from % 9];
    } else {
      board.pieces[from] = static_cast<int8_t>(piece);
      update_key_and_hand(to, piece, from, side);
    }

    if (captured_owner != OWNER_NONE) {
      // The captured piece comes back at the end of its list (a king into
      // slot 0), not into its former slot.
      list_add(captured_owner, to);
      if (captured_piece == PAWN) ++board.pawn_columns[captured_owner][to % 9];
      const int gained = demote_of[captured_piece];
      --board.hands[side][gained];
      update_key_and_hand(hand_square(side, gained), gained, NO_SQUARE, side);
      update_key_and_hand(NO_SQUARE, captured_piece, to, captured_owner);
    }
  }

  --board.ply;
  --board.depth;
  if (static_cast<unsigned>(board.ply) < static_cast<unsigned>(MOVE_STACK_SIZE))
    --path_counts[path_positions[board.ply].key.lo & PATH_COUNT_MASK];
  KESTRANE_CHECK_BOARD();
}

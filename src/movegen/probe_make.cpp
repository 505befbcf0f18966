#include "movegen/probe_make.h"

#include "position/board.h"
#include "position/keys.h"

namespace {

// Removes `sq` from the owner's list; later entries move down one slot.
void list_remove(int owner, int sq) {
  uint8_t* list = board.piece_lists[owner];
  const int last = --board.last_slot[owner];
  for (int i = board.slot_of[sq]; i <= last; ++i) {
    list[i] = list[i + 1];
    board.slot_of[list[i]] = static_cast<uint8_t>(i);
  }
}

void list_append(int owner, int sq) {
  const int slot = ++board.last_slot[owner];
  board.piece_lists[owner][slot] = static_cast<uint8_t>(sq);
  board.slot_of[sq] = static_cast<uint8_t>(slot);
}

// The path key term of a move of `side` that leaves `piece` on `to`, made at
// ply `ply` (counting the move itself). Sums wrap modulo 2^32.
uint32_t path_term(int side, int piece, int from, int to, int ply) {
  const uint32_t origin = from < SQUARES ? zobrist[side][piece][from].hi : static_cast<uint32_t>(ply) + 1u;
  return origin + zobrist[side][piece][to].hi;
}

}  // namespace

ProbeCapture probe_make(int from, int to) {
  to &= 0x7F;
  const int side = mover;
  ProbeCapture captured{EMPTY, OWNER_NONE};

  if (is_drop_from(from)) {
    const int piece = from - HAND_SQUARE_BASE - 15 * side;
    board.pieces[to] = static_cast<int8_t>(piece);
    board.owners[to] = static_cast<uint8_t>(side);
    list_append(side, to);
    update_key_and_hand(from, piece, to, side);
  } else {
    captured.piece = board.pieces[to];
    captured.owner = board.owners[to];
    if (captured.owner == (side ^ 1)) {
      const int foe = side ^ 1;
      const int gained = demote_of[captured.piece];
      list_remove(foe, to);
      update_key_and_hand(to, captured.piece, NO_SQUARE, foe);
      update_key_and_hand(NO_SQUARE, gained, hand_square(side, gained), side);
    }
    const int moving = board.pieces[from];
    const int slot = board.slot_of[from];
    board.pieces[from] = EMPTY;
    board.owners[from] = OWNER_NONE;
    board.owners[to] = static_cast<uint8_t>(side);
    board.slot_of[to] = static_cast<uint8_t>(slot);
    board.piece_lists[side][slot] = static_cast<uint8_t>(to);
    if ((cur_entry->to & PROMOTION_BIT) != 0) {
      const int promoted = promote_of[moving];
      board.pieces[to] = static_cast<int8_t>(promoted);
      update_key_and_hand(from, moving, NO_SQUARE, side);
      update_key_and_hand(NO_SQUARE, promoted, to, side);
    } else {
      board.pieces[to] = static_cast<int8_t>(moving);
      update_key_and_hand(from, moving, to, side);
    }
  }

  // Only a counter here: the move stack is not written.
  board.ply = static_cast<int16_t>(board.ply + 1);
  const uint32_t term = path_term(side, board.pieces[to], from, to, board.ply);
  board.path_key ^= term;
  board.route_key ^= route_term(term, board.ply);
  return captured;
}

void probe_unmake(int from, int to, int captured, int captured_owner) {
  to &= 0x7F;
  const int side = mover;
  const int now = board.pieces[to];
  const uint32_t term = path_term(side, now, from, to, board.ply);
  board.path_key ^= term;
  board.route_key ^= route_term(term, board.ply);

  if (is_drop_from(from)) {
    update_key_and_hand(to, now, from, side);
    list_remove(side, to);
    board.pieces[to] = EMPTY;
    board.owners[to] = OWNER_NONE;
  } else {
    const int slot = board.slot_of[to];
    int moving = now;
    if ((cur_entry->to & PROMOTION_BIT) != 0) {
      moving = demote_of[now];
      update_key_and_hand(to, now, NO_SQUARE, side);
      update_key_and_hand(NO_SQUARE, moving, from, side);
    } else {
      update_key_and_hand(to, now, from, side);
    }
    board.pieces[from] = static_cast<int8_t>(moving);
    board.owners[from] = static_cast<uint8_t>(side);
    board.slot_of[from] = static_cast<uint8_t>(slot);
    board.piece_lists[side][slot] = static_cast<uint8_t>(from);

    board.pieces[to] = static_cast<int8_t>(captured);
    board.owners[to] = static_cast<uint8_t>(captured_owner);
    if (captured_owner == (side ^ 1)) {
      const int foe = side ^ 1;
      const int gained = demote_of[captured];
      list_append(foe, to);
      update_key_and_hand(hand_square(side, gained), gained, NO_SQUARE, side);
      update_key_and_hand(NO_SQUARE, captured, to, foe);
    }
  }

  board.ply = static_cast<int16_t>(board.ply - 1);
}

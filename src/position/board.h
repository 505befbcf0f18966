// The single position that the whole solver works on.
#pragma once

#include <cstdint>

#include "position/types.h"

// 64-bit Zobrist key as two halves: lo picks the table slot, hi is the check word.
struct HashKey {
  uint32_t lo;
  uint32_t hi;
};

// The attacker's hand packed so that hand containment is a bit test (see keys.h).
using PackedHand = uint32_t;

struct PlyRecord {
  int16_t move;            // MoveCode that led to this ply
  int16_t captured_piece;  // 0 for none
  int16_t captured_owner;  // 2 for none
};

struct Board {
  int8_t pieces[SQUARES];
  uint8_t owners[SQUARES];
  int8_t hands[2][15];
  // Slot 0 is the king's; one spare slot so that even a board filled with one
  // owner's non-king pieces stays inside the list.
  uint8_t piece_lists[2][SQUARES + 1];
  int8_t last_slot[2];
  uint8_t slot_of[SQUARES];
  uint8_t pawn_columns[2][9];
  uint8_t attacker_has_king;
  HashKey board_key;
  uint32_t path_key;
  // The path key's terms, each times an odd factor of its ply: the same
  // moves in another order give another route key (they give the same path
  // key). Results that rest on the positions of the path are kept under it.
  uint32_t route_key;
  PackedHand attacker_hand;
  PlyRecord move_stack[MOVE_STACK_SIZE];
  int16_t ply;
  int16_t depth;
  uint32_t flipped;
};

extern thread_local Board board;

// The route key's term of a move made at `ply` whose path key term is `term`.
inline uint32_t route_term(uint32_t term, int ply) { return term * (2u * static_cast<uint32_t>(ply) + 1u); }

// Recomputes every field but pieces, owners and hands from those three.
void rebuild_derived_state();

// True when every invariant of the board model holds (used by tests and
// asserted in checked builds after make/unmake).
bool board_is_ok();

// Empties the board and both hands (tests and fresh setups).
void board_clear();

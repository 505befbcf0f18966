// Zobrist keys, the path key and the packed attacker hand.
#pragma once

#include <cstdint>

#include "position/board.h"

// PackedHand layout:
//   bits 0-3 lances, 4-7 knights, 8-11 silvers, 12-15 golds (unary),
//   bits 16-17 bishops, 18-19 rooks (unary),
//   bits 20-24 pawns as a binary count; bits 25-31 stay zero (the
//   transposition table keeps its flags there).
constexpr uint32_t HAND_PAWN_UNIT = 1u << 20;
constexpr uint32_t HAND_PAWN_MASK = 0x1Fu << 20;
constexpr uint32_t HAND_PIECE_MASK = 0xFFFFFu;  // bits 0-19
constexpr uint32_t HAND_PAWN_MAX = 31;          // largest count bits 20-24 hold

extern HashKey zobrist[2][PIECE_CODES][SQUARES];

// Fills `zobrist` from the fixed generator; idempotent.
void build_zobrist();

// The packed form of hands[0]; counts beyond a field's width saturate.
PackedHand pack_attacker_hand();

// Moves the key contribution of `piece` of `owner` from `from` to `to`
// (each a board square, a hand square or NO_SQUARE), and keeps
// attacker_hand in step for owner 0's hand squares.
void update_key_and_hand(int from, int piece, int to, int owner);

// One piece of a kind more or less in a packed hand; a full or empty field
// stays as it is.
PackedHand hand_add_piece(PackedHand hand, int piece);
PackedHand hand_remove_piece(PackedHand hand, int piece);
// The bits of one kind's field.
uint32_t hand_field_mask(int piece);

// Pieces of one kind in a packed hand (pawns included).
int hand_count(PackedHand hand, int piece);

// True when hand `a` holds at least every piece of hand `b`.
inline bool hand_contains(PackedHand a, PackedHand b) {
  return (a & HAND_PAWN_MASK) >= (b & HAND_PAWN_MASK) && (b & HAND_PIECE_MASK & ~a) == 0;
}

// Piece codes, owners, squares and the move encoding shared by every subsystem.
#pragma once

#include <cstdint>

// Piece codes; 1..7 double as hand indices.
enum PieceCode : int8_t {
  EMPTY = 0,
  PAWN = 1,
  LANCE = 2,
  KNIGHT = 3,
  SILVER = 4,
  GOLD = 5,
  BISHOP = 6,
  ROOK = 7,
  TOKIN = 8,
  PRO_LANCE = 9,
  PRO_KNIGHT = 10,
  PRO_SILVER = 11,
  HORSE = 12,
  DRAGON = 13,
  KING = 14,
};
constexpr int PIECE_CODES = 15;

enum Owner : uint8_t {
  OWNER_ATTACKER = 0,
  OWNER_DEFENDER = 1,
  OWNER_NONE = 2,
};

constexpr int SQUARES = 81;
constexpr int HAND_SQUARE_BASE = 81;
// Hand square of a piece in hand: 81 + 15 * owner + code.
constexpr int hand_square(int owner, int piece) { return HAND_SQUARE_BASE + 15 * owner + piece; }
// "No square" for the key updater's from/to arguments.
constexpr int NO_SQUARE = -1;

constexpr int8_t promote_of[PIECE_CODES] = {0, 8, 9, 10, 11, 5, 12, 13, 8, 9, 10, 11, 12, 13, 14};
constexpr int8_t demote_of[PIECE_CODES] = {0, 1, 2, 3, 4, 5, 6, 7, 1, 2, 3, 4, 6, 7, 14};

// Two-byte move record: bit 7 of `to` is the promotion flag.
struct Move {
  uint8_t from;
  uint8_t to;
};

// from * 256 + to-byte; 0 is no move, and 0 or below ends a move array.
using MoveCode = int16_t;

constexpr uint8_t PROMOTION_BIT = 0x80;
constexpr int MOVE_STACK_SIZE = 2000;

inline MoveCode move_code(Move m) { return static_cast<MoveCode>(m.from * 256 + m.to); }
inline Move move_of(MoveCode code) {
  return Move{static_cast<uint8_t>((code >> 8) & 0xFF), static_cast<uint8_t>(code & 0xFF)};
}
inline int move_from(MoveCode code) { return (code >> 8) & 0xFF; }
inline int move_to(MoveCode code) { return code & 0x7F; }
inline bool move_promotes(MoveCode code) { return (code & PROMOTION_BIT) != 0; }
inline bool is_drop_from(int from) { return from > HAND_SQUARE_BASE; }

// Precomputed successor tables that link every destination of a movement kind
// into one circular list per origin square, so that walkers need neither
// direction arithmetic nor border tests.
#pragma once

#include <array>
#include <cstdint>

#include "position/types.h"

// 13 rows by 11 columns with the board in the middle; index 23 + 11 * row + col
// holds the square 9 * row + col, every other index holds -1. Direction steps
// are offsets in this index (+11 is row + 1, +1 is col + 1).
constexpr int MAILBOX_SIZE = 143;
constexpr int mailbox_index(int sq) { return 23 + 11 * (sq / 9) + sq % 9; }

constexpr std::array<int8_t, MAILBOX_SIZE> make_mailbox() {
  std::array<int8_t, MAILBOX_SIZE> frame{};
  for (int m = 0; m < MAILBOX_SIZE; ++m) frame[m] = -1;
  for (int sq = 0; sq < SQUARES; ++sq) frame[mailbox_index(sq)] = static_cast<int8_t>(sq);
  return frame;
}
inline constexpr std::array<int8_t, MAILBOX_SIZE> MAILBOX = make_mailbox();

// Movement kinds. Kinds 0-4 and 10-14 differ only by the side that moves;
// sliders, the horse, the dragon and the king are the same for both sides.
enum MovementKind : uint8_t {
  KIND_PAWN = 0,
  KIND_LANCE = 1,
  KIND_KNIGHT = 2,
  KIND_SILVER = 3,
  KIND_GOLD = 4,  // also tokin and the other promoted small pieces
  KIND_BISHOP = 5,
  KIND_ROOK = 6,
  KIND_HORSE = 7,
  KIND_DRAGON = 8,
  KIND_KING = 9,
  KIND_DEF_PAWN = 10,
  KIND_DEF_LANCE = 11,
  KIND_DEF_KNIGHT = 12,
  KIND_DEF_SILVER = 13,
  KIND_DEF_GOLD = 14,
};
constexpr int MOVEMENT_KINDS = 15;

// Directions of each kind in walking order, as frame offsets, with the number
// of steps allowed in each (1 or 8).
struct KindDirections {
  int count;
  int offset[8];
  int limit[8];
};

inline constexpr KindDirections KIND_DIRECTIONS[MOVEMENT_KINDS] = {
    {1, {11}, {1}},                                                     // attacker pawn
    {1, {11}, {8}},                                                     // attacker lance
    {2, {21, 23}, {1, 1}},                                              // attacker knight
    {5, {10, 11, 12, -12, -10}, {1, 1, 1, 1, 1}},                       // attacker silver
    {6, {10, 11, 12, -1, 1, -11}, {1, 1, 1, 1, 1, 1}},                  // attacker gold
    {4, {10, 12, -12, -10}, {8, 8, 8, 8}},                              // bishop
    {4, {11, -1, 1, -11}, {8, 8, 8, 8}},                                // rook
    {8, {10, 11, 12, -1, 1, -12, -11, -10}, {8, 1, 8, 1, 1, 8, 1, 8}},  // horse
    {8, {10, 11, 12, -1, 1, -12, -11, -10}, {1, 8, 1, 8, 8, 1, 8, 1}},  // dragon
    {8, {10, 11, 12, -1, 1, -12, -11, -10}, {1, 1, 1, 1, 1, 1, 1, 1}},  // king
    {1, {-11}, {1}},                                                    // defender pawn
    {1, {-11}, {8}},                                                    // defender lance
    {2, {-21, -23}, {1, 1}},                                            // defender knight
    {5, {-10, -11, -12, 12, 10}, {1, 1, 1, 1, 1}},                      // defender silver
    {6, {-10, -11, -12, 1, -1, 11}, {1, 1, 1, 1, 1, 1}},                // defender gold
};

// movement_kind[side][piece code]; EMPTY maps to the king kind only so that
// the entry is a valid index, nothing walks an empty square.
inline constexpr uint8_t movement_kind[2][PIECE_CODES] = {
    {KIND_KING, KIND_PAWN, KIND_LANCE, KIND_KNIGHT, KIND_SILVER, KIND_GOLD, KIND_BISHOP, KIND_ROOK, KIND_GOLD,
     KIND_GOLD, KIND_GOLD, KIND_GOLD, KIND_HORSE, KIND_DRAGON, KIND_KING},
    {KIND_KING, KIND_DEF_PAWN, KIND_DEF_LANCE, KIND_DEF_KNIGHT, KIND_DEF_SILVER, KIND_DEF_GOLD, KIND_BISHOP,
     KIND_ROOK, KIND_DEF_GOLD, KIND_DEF_GOLD, KIND_DEF_GOLD, KIND_DEF_GOLD, KIND_HORSE, KIND_DRAGON,
     KIND_KING},
};

// 1 for the pieces whose walk continues past empty squares.
inline constexpr uint8_t SLIDES[PIECE_CODES] = {0, 0, 1, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1, 0};

// Kind bit of each piece in an attack map word (bits 8-21).
inline constexpr uint32_t ATTACK_BIT[PIECE_CODES] = {
    0,        0x200000, 0x80000, 0x40000, 0x8000, 0x2000, 0x1000, 0x400,
    0x100000, 0x20000,  0x10000, 0x4000,  0x800,  0x200,  0x100,
};
constexpr uint32_t ATTACK_COUNT_MASK = 0xFF;

// Successor tables, indexed [kind][origin][square]. A walker starts at
// next_along[k][from][from]; after an empty square it takes next_along, after
// an occupied one (or always, for a non-sliding kind) next_ray, and it stops
// when it is back at `from`. Squares on no ray of the origin hold `from`.
extern uint8_t next_along[MOVEMENT_KINDS][SQUARES][SQUARES];
extern uint8_t next_ray[MOVEMENT_KINDS][SQUARES][SQUARES];

// The king-kind neighbours of each square in walking order, each with the
// EIGHT_DIRECTIONS bit of the step that leads from the neighbour back to the
// square.
struct Neighbours {
  uint8_t count;
  uint8_t square[8];
  uint8_t back_bit[8];
};
extern Neighbours neighbours[SQUARES];

// Frame offsets of the eight directions in the king's walking order; the
// opposite of direction i is direction 7 - i.
inline constexpr int EIGHT_DIRECTIONS[8] = {10, 11, 12, -1, 1, -12, -11, -10};

constexpr std::array<std::array<uint8_t, PIECE_CODES>, 2> make_adjacent_reach() {
  std::array<std::array<uint8_t, PIECE_CODES>, 2> reach{};
  for (int side = 0; side < 2; ++side) {
    for (int piece = PAWN; piece < PIECE_CODES; ++piece) {
      const KindDirections& kind = KIND_DIRECTIONS[movement_kind[side][piece]];
      for (int d = 0; d < kind.count; ++d)
        for (int i = 0; i < 8; ++i)
          if (kind.offset[d] == EIGHT_DIRECTIONS[i]) reach[side][piece] |= static_cast<uint8_t>(1u << i);
    }
  }
  return reach;
}
// For each side and piece, the bits of the eight directions that its first
// steps cover: a piece on n reaches the neighbour in direction i exactly when
// bit i is set. Knights and empty squares have none.
inline constexpr std::array<std::array<uint8_t, PIECE_CODES>, 2> adjacent_reach = make_adjacent_reach();

constexpr std::array<std::array<uint8_t, SQUARES>, SQUARES> make_square_distance() {
  std::array<std::array<uint8_t, SQUARES>, SQUARES> dist{};
  for (int a = 0; a < SQUARES; ++a) {
    for (int b = 0; b < SQUARES; ++b) {
      int dr = a / 9 - b / 9, dc = a % 9 - b % 9;
      if (dr < 0) dr = -dr;
      if (dc < 0) dc = -dc;
      dist[a][b] = static_cast<uint8_t>(dr > dc ? dr : dc);
    }
  }
  return dist;
}
// Chebyshev distance between two squares.
inline constexpr std::array<std::array<uint8_t, SQUARES>, SQUARES> square_distance = make_square_distance();

// Fills next_along, next_ray and neighbours; later calls do nothing.
void build_step_tables();

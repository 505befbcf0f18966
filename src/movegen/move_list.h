// Generated moves, stacked by search level in one global array.
#pragma once

#include <cstdint>

#include "position/types.h"

// Proof and disproof numbers are 32-bit. PN_INFINITE is reached only by a
// real proof or disproof, never by a sum: finite sums stop at PN_SUM_CAP.
constexpr int32_t PN_INFINITE = 0x7FFFFFFF;
constexpr int32_t PN_SUM_CAP = PN_INFINITE - 1;
// The infinite mate length (lengths and results stay 16-bit).
constexpr int16_t LENGTH_INFINITE = 32700;

// A listed check whose child the table proves carries pn = length -
// PROVEN_CHILD_BASE: below 1 for every mate length under the limit, so proofs
// sort first and shorter mates before longer ones.
constexpr int32_t PROVEN_CHILD_BASE = 3000;

// a + b for proof or disproof numbers: infinite when either is, else capped
// below infinity (terms may be negative: listed proofs carry length -
// PROVEN_CHILD_BASE).
inline int32_t pn_add(int64_t a, int64_t b) {
  if (a >= PN_INFINITE || b >= PN_INFINITE) return PN_INFINITE;
  const int64_t sum = a + b;
  return sum > PN_SUM_CAP ? PN_SUM_CAP : static_cast<int32_t>(sum);
}

// A disproof that rests on no position of the current path.
constexpr int16_t NO_DEPENDENCY = 32767;

constexpr int MOVE_ENTRIES_SIZE = 10000;
constexpr int LIST_LEVELS = 2000;

// One generated move with the child's estimates.
struct MoveEntry {
  uint8_t from;      // origin square, or the hand square of a drop
  uint8_t to;        // destination in bits 0-6, bit 7 = promotion
  MoveCode tt_move;  // child's stored best move, 0 when none
  int16_t length;    // child's stored length (-32700: attacker candidate not in the table)
  int32_t pn;        // child's proof number estimate
  int32_t dn;        // child's disproof number estimate
  int16_t tag;       // ordering tag: -3, -2 futile recapture, -1 capture, 0, 1..8 king distance
  int16_t dependency;  // pn infinite: shallowest path ply the disproof rests on
};

// The list of level L is move_entries[list_start[L] .. list_start[L + 1] - 1].
// One spare index so that level LIST_LEVELS - 1 still has an end.

#include "movegen/attack.h"

#include <cstring>

#include "position/board.h"

namespace {

// Template switches of the map walker, so that the plain map pays for none of
// the markings.
constexpr unsigned WALK_CHECK = 1;
constexpr unsigned WALK_CAPTURERS = 2;
constexpr unsigned WALK_XRAY = 4;
constexpr unsigned WALK_SKIP_PINNED = 8;

bool side_has_king(int side) {
  return side == OWNER_ATTACKER ? board.attacker_has_king != 0 : defender_king_square() >= 0;
}

// Marks the squares from the first square of the ray up to, not including,
// the king, and the slider's own square.
void mark_line(int slider, int ray_first, int king, const uint8_t* along) {
  block_squares[slider] = 1;
  for (int q = ray_first; q != king; q = along[q]) block_squares[q] = 1;
}

// Adds the piece on `s` to `map`. `target` is the defender king for check
// marking and checker_square for capturer marking.
template <unsigned FLAGS>
inline void add_piece(int side, int s, uint32_t* map, int target) {
  const int p = board.pieces[s];
  const uint32_t bit = ATTACK_BIT[p];
  const int kind = movement_kind[side][p];
  const uint8_t* along = next_along[kind][s];
  const uint8_t* ray = next_ray[kind][s];

  if (!SLIDES[p]) {
    for (int h = ray[s]; h != s; h = ray[h]) {
      map[h] = (map[h] + 1) | bit;
      if constexpr ((FLAGS & WALK_CHECK) != 0) {
        if (h == target) checker_square = static_cast<int16_t>(s);
      }
      if constexpr ((FLAGS & WALK_CAPTURERS) != 0) {
        if (h == target) checker_capturers[s] = 1;
      }
    }
    return;
  }

  int ray_first = along[s];
  for (int h = along[s]; h != s;) {
    map[h] = (map[h] + 1) | bit;
    int next;
    if (board.owners[h] == OWNER_NONE) {
      next = along[h];
    } else {
      if constexpr ((FLAGS & WALK_XRAY) != 0) {
        if (board.owners[h] == OWNER_DEFENDER && along[h] != ray[h]) {
          const int behind = along[h];
          if (board.pieces[h] == KING)
            map[behind] = (map[behind] + 1) | bit;
          else if (board.pieces[behind] == KING && board.owners[behind] == OWNER_DEFENDER)
            pinned[h] = 1;
        }
      }
      next = ray[h];
    }
    if constexpr ((FLAGS & WALK_CHECK) != 0) {
      if (h == target) mark_line(s, ray_first, h, along);
      // A new ray starts after h whenever both successors agree there: after
      // an occupied square, and also after the last square of a ray that runs
      // to the board's edge, which the walker leaves through next_along.
      if (next == ray[h]) ray_first = next;
    }
    if constexpr ((FLAGS & WALK_CAPTURERS) != 0) {
      if (h == target) checker_capturers[s] = 1;
    }
    h = next;
  }
}

template <unsigned FLAGS>
void build_map(int side, uint32_t* map, int target) {
  std::memset(map, 0, sizeof(AttackMap));
  const uint8_t* list = board.piece_lists[side];
  for (int slot = board.last_slot[side]; slot >= 1; --slot) {
    const int s = list[slot];
    if constexpr ((FLAGS & WALK_SKIP_PINNED) != 0) {
      if (pinned[s]) continue;
    }
    add_piece<FLAGS>(side, s, map, target);
  }
  if (side_has_king(side)) add_piece<FLAGS>(side, list[0], map, target);
}

// A neighbour of `sq` holds a piece of `side` whose first steps reach `sq`.
inline bool adjacent_hit(int sq, int side) {
  const Neighbours& near = neighbours[sq];
  for (int i = 0; i < near.count; ++i) {
    const int n = near.square[i];
    if (board.owners[n] == side && (adjacent_reach[side][board.pieces[n]] & near.back_bit[i]) != 0)
      return true;
  }
  return false;
}

// On some ray of `kind` from `sq` the first occupied square holds a piece of
// `side` that demotes to `piece` (bishop or horse, rook or dragon).
inline bool line_hit(int sq, int kind, int side, int piece) {
  const uint8_t* along = next_along[kind][sq];
  const uint8_t* ray = next_ray[kind][sq];
  for (int h = along[sq]; h != sq;) {
    if (board.owners[h] == OWNER_NONE) {
      h = along[h];
      continue;
    }
    if (board.owners[h] == side && demote_of[board.pieces[h]] == piece) return true;
    h = ray[h];
  }
  return false;
}

// The first occupied square behind `sq`, seen along the lance's file, holds
// an unpromoted lance of `side`.
inline bool lance_hit(int sq, int side) {
  const int kind = movement_kind[side ^ 1][LANCE];
  const uint8_t* along = next_along[kind][sq];
  int h = along[sq];
  while (h != sq && board.owners[h] == OWNER_NONE) h = along[h];
  return h != sq && board.owners[h] == side && board.pieces[h] == LANCE;
}

// An unpromoted knight of `side` stands on a square from which it jumps to `sq`.
inline bool knight_hit(int sq, int side) {
  const uint8_t* ray = next_ray[movement_kind[side ^ 1][KNIGHT]][sq];
  for (int h = ray[sq]; h != sq; h = ray[h])
    if (board.owners[h] == side && board.pieces[h] == KNIGHT) return true;
  return false;
}

constexpr uint32_t DIAGONAL_BITS = ATTACK_BIT[BISHOP] | ATTACK_BIT[HORSE];
constexpr uint32_t ORTHOGONAL_BITS = ATTACK_BIT[ROOK] | ATTACK_BIT[DRAGON];

}  // namespace

int defender_king_square() {
  const int k = board.piece_lists[OWNER_DEFENDER][0];
  return board.pieces[k] == KING && board.owners[k] == OWNER_DEFENDER ? k : -1;
}

void build_attack_map(int side, AttackMap map, unsigned marking) {
  if (side == OWNER_ATTACKER && (marking & MARK_CHECK) != 0) {
    std::memset(block_squares, 0, sizeof block_squares);
    checker_square = -1;
    build_map<WALK_CHECK>(side, map, defender_king_square());
  } else if (side == OWNER_DEFENDER && (marking & MARK_CAPTURERS) != 0) {
    std::memset(checker_capturers, 0, sizeof checker_capturers);
    build_map<WALK_CAPTURERS>(side, map, checker_square);
  } else {
    build_map<0>(side, map, -1);
  }
}

void build_attacker_map_xray(AttackMap map) {
  std::memset(pinned, 0, sizeof pinned);
  build_map<WALK_XRAY>(OWNER_ATTACKER, map, -1);
}

void build_defender_map_unpinned(AttackMap map) { build_map<WALK_SKIP_PINNED>(OWNER_DEFENDER, map, -1); }

int square_attacked(int sq, int side) {
  if (adjacent_hit(sq, side)) return 1;
  if (line_hit(sq, KIND_BISHOP, side, BISHOP)) return 1;
  if (line_hit(sq, KIND_ROOK, side, ROOK)) return 1;
  if (lance_hit(sq, side)) return 1;
  if (knight_hit(sq, side)) return 1;
  return 0;
}

int gives_check(int from, int to, const AttackMap map) {
  to &= 0x7F;
  const int king = opponent_king_sq;
  const int side = mover;
  const int p = board.pieces[to];
  // A drop uncovers nothing.
  const uint32_t uncovered = from < SQUARES ? map[from] : 0;

  if (square_distance[king][to] == 1 && adjacent_hit(king, side)) return 1;
  if ((demote_of[p] == BISHOP || (uncovered & DIAGONAL_BITS) != 0) &&
      line_hit(king, KIND_BISHOP, side, BISHOP))
    return 1;
  if ((demote_of[p] == ROOK || (uncovered & ORTHOGONAL_BITS) != 0) && line_hit(king, KIND_ROOK, side, ROOK))
    return 1;
  if ((p == LANCE || (uncovered & ATTACK_BIT[LANCE]) != 0) && lance_hit(king, side)) return 1;
  if (p == KNIGHT && knight_hit(king, side)) return 1;
  return 0;
}

// Attack maps of one side, the check information marked while they are
// built, and the two attack tests of the generator's probes.
#pragma once

#include <cstdint>

#include "search/thread_state.h"
#include "movegen/step_tables.h"

// Square of the defender king, or -1 when slot 0 holds no king (a stale slot
// must neither be walked nor match any reached square).
int defender_king_square();

// Optional markings of build_attack_map, combined with |.
//  MARK_CHECK: with the attacker map (side 0), clears block_squares, resets
//    checker_square to -1 and marks the check on the defender king: a slider
//    that reaches the king marks its own square and the empty squares between
//    it and the king; a stepping piece that reaches it becomes checker_square
//    (the last one examined wins).
//  MARK_CAPTURERS: with the defender map (side 1), clears checker_capturers and
//    flags every defender piece, king included, that reaches checker_square.
// A marking given with the other side's map is ignored.
enum AttackMarking : unsigned {
  MARK_NONE = 0,
  MARK_CHECK = 1,
  MARK_CAPTURERS = 2,
};

// Zeroes `map` and adds every piece of `side`, from the last slot down to the
// king in slot 0. The attacker king counts only when attacker_has_king is 1;
// the defender king counts whenever one stands in slot 0.
void build_attack_map(int side, AttackMap map, unsigned marking = MARK_NONE);

// Attacker map in which every slider that reaches the defender king also
// reaches the one square behind it on the same ray. Rewrites `pinned`: a
// defender piece is pinned when an attacker slider reaches it and the
// defender king stands directly behind it on that ray.
void build_attacker_map_xray(AttackMap map);

// Defender map, king included, without the pieces flagged in `pinned`.
void build_defender_map_unpinned(AttackMap map);

// 1 when a piece of `side` reaches `sq`, else 0.
int square_attacked(int sq, int side);

// 1 when the move just made by `mover` (from, to; bit 7 of `to` ignored)
// checks opponent_king_sq, else 0. `map` is the mover's attack map from
// before the move; its word at `from` tells which lines the move may have
// uncovered. Only checks made by this move are found: a check that existed
// before it is not looked for.
int gives_check(int from, int to, const AttackMap map);

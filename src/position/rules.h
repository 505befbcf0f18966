// The rules of promotion and of drops, kept here once for the generators,
// the line checks and the search. They are inline so that the generator's
// inner loops cost what they did with the rules written out in place.
//
// The attacker (owner 0) plays towards row 8 and the defender (owner 1)
// towards row 0 (sq = 9 * row + col); each promotes on the three rows
// farthest from where it starts.
#pragma once

#include "position/board.h"
#include "position/types.h"

// The attacker's promotion zone is rows 6-8, the defender's rows 0-2.
constexpr int ATTACKER_ZONE_FIRST = 54;
constexpr int DEFENDER_ZONE_LAST = 26;

// Pawn, lance, knight, silver, bishop and rook promote; gold, king and the
// promoted pieces do not.
constexpr bool promotable_kind(int piece) {
  return piece == PAWN || piece == LANCE || piece == KNIGHT || piece == SILVER || piece == BISHOP ||
         piece == ROOK;
}

constexpr bool in_promotion_zone(int side, int sq) {
  return side == OWNER_ATTACKER ? sq >= ATTACKER_ZONE_FIRST : sq <= DEFENDER_ZONE_LAST;
}

// Whether a `piece` of `side` may promote on its move from `from` to `to`:
// a promotable kind that starts or ends in the zone.
constexpr bool may_promote(int side, int piece, int from, int to) {
  return promotable_kind(piece) && (in_promotion_zone(side, from) || in_promotion_zone(side, to));
}

// Whether an unpromoted `piece` of `side` on `sq` would still have a move:
// a pawn or lance needs a row in front of it, a knight two. A move onto a
// square where it would have none must promote, and no drop goes there.
constexpr bool may_stand_unpromoted(int side, int piece, int sq) {
  if (piece == PAWN || piece == LANCE) return side == OWNER_ATTACKER ? sq < 72 : sq > 8;
  if (piece == KNIGHT) return side == OWNER_ATTACKER ? sq < 63 : sq > 17;
  return true;
}

constexpr bool must_promote(int side, int piece, int to) { return !may_stand_unpromoted(side, piece, to); }

// A promoted pawn, bishop or rook still makes every move of its unpromoted
// form (tokin, horse, dragon); a promoted lance, knight or silver gives some
// up, so only for these three is the plain move ever the stronger one.
constexpr bool promotion_keeps_every_move(int piece) { return piece == PAWN || piece == BISHOP || piece == ROOK; }

// Whether `side` may drop `piece` on the empty square `sq`, where
// `pawn_in_column` tells whether it has an unpromoted pawn in that column
// already. A mate by the pawn drop is the search's concern, not this rule's.
constexpr bool drop_allowed(int side, int piece, int sq, bool pawn_in_column) {
  return may_stand_unpromoted(side, piece, sq) && !(piece == PAWN && pawn_in_column);
}

// The same on the board: the square must be empty, and the column's pawns
// are the board's.
inline bool board_drop_allowed(int side, int piece, int sq) {
  return board.pieces[sq] == EMPTY && drop_allowed(side, piece, sq, board.pawn_columns[side][sq % 9] != 0);
}

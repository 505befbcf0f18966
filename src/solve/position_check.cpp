#include "solve/position_check.h"

#include "movegen/attack.h"
#include "movegen/step_tables.h"
#include "position/board.h"
#include "position/rules.h"

namespace {

// Pieces of each base kind in one shogi set (index = piece code 1..7, 14).
constexpr int SET_COUNT[PIECE_CODES] = {0, 18, 4, 4, 4, 4, 2, 2, 0, 0, 0, 0, 0, 0, 2};

}  // namespace

const char* position_fault() {
  int count[PIECE_CODES] = {};
  int kings[2] = {0, 0};
  int pawns_in_column[2][9] = {};
  int defender_king = -1;
  for (int sq = 0; sq < SQUARES; ++sq) {
    const int piece = board.pieces[sq];
    const int owner = board.owners[sq];
    if (piece == EMPTY) {
      if (owner != OWNER_NONE) return "a square that is empty and owned";
      continue;
    }
    if (piece < 0 || piece >= PIECE_CODES || owner > OWNER_DEFENDER) return "a piece that does not exist";
    // A piece that could never move again cannot have got where it stands.
    if (!may_stand_unpromoted(owner, piece, sq)) return "a piece with no move left (a pawn, lance or knight too far up)";
    if (piece == PAWN && ++pawns_in_column[owner][sq % 9] > 1) return "two unpromoted pawns of one side on a file";
    if (piece == KING) {
      ++kings[owner];
      if (owner == OWNER_DEFENDER) defender_king = sq;
    }
    ++count[demote_of[piece]];
  }
  for (int side = 0; side < 2; ++side) {
    for (int piece = PAWN; piece <= ROOK; ++piece) {
      if (board.hands[side][piece] < 0) return "a negative number of pieces in hand";
      count[piece] += board.hands[side][piece];
    }
  }
  if (kings[OWNER_DEFENDER] != 1) return kings[OWNER_DEFENDER] == 0 ? "no king to mate" : "two defending kings";
  if (kings[OWNER_ATTACKER] > 1) return "two attacking kings";
  for (int piece = PAWN; piece <= ROOK; ++piece)
    if (count[piece] > SET_COUNT[piece]) return "more pieces of a kind than a shogi set has";
  // With the attacker to move, the defender's king must not stand in check:
  // the attacker would take it.
  build_step_tables();
  if (square_attacked(defender_king, OWNER_ATTACKER) != 0) return "the defending king in check with the attacker to move";
  return nullptr;
}

bool position_is_solvable() { return position_fault() == nullptr; }

uint64_t pieces_out_of_play() {
  int count[PIECE_CODES] = {};
  for (int sq = 0; sq < SQUARES; ++sq)
    if (board.pieces[sq] != EMPTY) ++count[demote_of[board.pieces[sq]]];
  uint64_t signature = 0;
  for (int piece = PAWN; piece <= ROOK; ++piece) {
    const int missing = SET_COUNT[piece] - count[piece] - board.hands[0][piece] - board.hands[1][piece];
    signature |= static_cast<uint64_t>(missing & 0x1F) << (5 * (piece - PAWN));
  }
  return signature;
}

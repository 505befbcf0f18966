// Test-only rules of shogi, written to be slow and plainly right.
//
// Nothing here uses the engine's step tables, attack maps or piece lists: a
// piece's reach is decided from the row and column offsets of its movement,
// legality by playing the move on a copy of the squares and hands and looking
// for an attack on the mover's king. The legal moves of a side are found by
// trying every move code there is.
//
// Conventions of the board model: owner 0 moves towards row 8 and promotes
// on squares >= 54, owner 1 towards row 0 and promotes on squares <= 26;
// moves are MoveCodes (from * 256 + to, bit 7 of `to` for a promotion, a
// drop's `from` being 81 + 15 * owner + piece code).
//
// Two deliberate limits: a move that captures a king is never listed (it can
// only arise in a position that is already illegal), and a mate by pawn drop
// is listed like any other drop (rejecting it is the search's business).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "position/types.h"

namespace rules_reference {

// The part of a position that the rules depend on.
struct Position {
  int8_t pieces[SQUARES];
  uint8_t owners[SQUARES];
  int8_t hands[2][8];  // counts of codes 1..7; index 0 unused

  // A copy of the global board's pieces, owners and hands.
  static Position from_board();
};

// Whether the piece on `from` reaches `target` (whatever stands there):
// one step of a stepping piece, or a slide over empty squares only.
bool piece_reaches(const Position& pos, int from, int target);

// Whether any piece of `by_side` reaches `sq`.
bool square_attacked(const Position& pos, int sq, int by_side);

// Square of the side's king, -1 when it has none.
int king_square(const Position& pos, int side);

// Whether the side's king (if it has one) is attacked.
bool in_check(const Position& pos, int side);

// The promotion and stranding rules that is_legal applies, for any pair of
// squares: whether a `piece` of `side` moving from `from` to `to` may
// promote, and whether an unpromoted `piece` of `side` on `sq` still has a
// move (a plain move or a drop onto a square where it has none is illegal).
bool promotion_allowed(int side, int piece, int from, int to);
bool keeps_a_move(int side, int piece, int sq);

// Whether `move` is a legal move of `side`: a well-formed board move or drop
// that leaves no piece without a further move, obeys the two-pawns rule,
// captures no king and does not leave the mover's own king attacked.
bool is_legal(const Position& pos, int side, MoveCode move);

// The position after `move` of `side` (the move is not checked).
Position after(const Position& pos, int side, MoveCode move);

// Every legal move of `side`, in ascending code order.
std::vector<MoveCode> legal_moves(const Position& pos, int side);

// Whether `move` of `side` leaves the opponent's king attacked.
bool gives_check(const Position& pos, int side, MoveCode move);

// The legal moves of `side` that give check, in ascending code order.
std::vector<MoveCode> legal_checks(const Position& pos, int side);

// The same questions asked of the global board.
bool in_check(int side);
bool is_legal(int side, MoveCode move);
bool gives_check(int side, MoveCode move);
std::vector<MoveCode> legal_moves(int side);
std::vector<MoveCode> legal_checks(int side);

// SFEN of the position with owner 0 as Black, for failure messages; the
// board text reads back into the same squares with the Black reader.
std::string to_sfen(const Position& pos, int side_to_move);
std::string board_sfen(int side_to_move);

// "7g7f+", "P*5e" (squares as the Black reader maps them) with the code.
std::string move_name(MoveCode move);

}  // namespace rules_reference

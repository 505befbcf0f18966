#include "position/move_text.h"

#include <cstdio>

#include "position/board.h"

namespace {

constexpr char RANK_LETTERS[] = "abcdefghi";
constexpr char DROP_LETTERS[] = " PLNSGBRK";

// Shift-JIS (code page 932) texts.
constexpr const char* JAPANESE_FILES[10] = {
    "", "\x82\x50", "\x82\x51", "\x82\x52", "\x82\x53", "\x82\x54",
    "\x82\x55", "\x82\x56", "\x82\x57", "\x82\x58"};  // full-width 1..9
constexpr const char* JAPANESE_RANKS[10] = {
    "", "\x88\xea", "\x93\xf1", "\x8e\x4f", "\x8e\x6c", "\x8c\xdc",
    "\x98\x5a", "\x8e\xb5", "\x94\xaa", "\x8b\xe3"};  // kanji 1..9
constexpr const char* JAPANESE_PIECES[PIECE_CODES] = {
    "",
    "\x95\xe0",          // pawn
    "\x8d\x81",          // lance
    "\x8c\x6a",          // knight
    "\x8b\xe2",          // silver
    "\x8b\xe0",          // gold
    "\x8a\x70",          // bishop
    "\x94\xf2",          // rook
    "\x82\xc6",          // tokin
    "\x90\xac\x8d\x81",  // promoted lance
    "\x90\xac\x8c\x6a",  // promoted knight
    "\x90\xac\x8b\xe2",  // promoted silver
    "\x94\x6e",          // horse
    "\x97\xb4",          // dragon
    "\x8b\xca"};         // king
constexpr const char JAPANESE_DROP[] = "\x91\xc5";
constexpr const char JAPANESE_PROMOTE[] = "\x90\xac";

// Printed coordinates are those of the SFEN as given, whichever reader
// stored the position.
int file_of(int sq) { return board.flipped ? sq % 9 + 1 : 9 - sq % 9; }
int rank_of(int sq) { return board.flipped ? sq / 9 + 1 : 9 - sq / 9; }

// Piece code dropped from a hand square of either owner.
int dropped_piece(int from) {
  int piece = from - HAND_SQUARE_BASE;
  if (piece > 15) piece -= 15;
  return piece;
}

void print_square_usi(int sq) { std::printf("%d%c", file_of(sq), RANK_LETTERS[rank_of(sq) - 1]); }

}  // namespace

void print_move_usi(MoveCode code) {
  int from = move_from(code);
  int to = move_to(code);
  if (to >= SQUARES) return;  // not a move of this board
  if (is_drop_from(from)) {
    int piece = dropped_piece(from);
    if (piece < PAWN || piece > ROOK) return;
    std::printf("%c*", DROP_LETTERS[piece]);
    print_square_usi(to);
    return;
  }
  if (from >= SQUARES) return;
  print_square_usi(from);
  print_square_usi(to);
  if (move_promotes(code)) std::fputs("+", stdout);
}

void print_ply_usi(int ply) {
  if (ply < 0 || ply >= MOVE_STACK_SIZE) return;
  print_move_usi(board.move_stack[ply].move);
  std::fputs(" ", stdout);
}

void print_move_japanese(MoveCode code) {
  int from = move_from(code);
  int to = move_to(code);
  if (to >= SQUARES) return;
  std::fputs(JAPANESE_FILES[file_of(to)], stdout);
  std::fputs(JAPANESE_RANKS[rank_of(to)], stdout);
  if (is_drop_from(from)) {
    int piece = dropped_piece(from);
    if (piece < PAWN || piece > ROOK) return;
    std::fputs(JAPANESE_PIECES[piece], stdout);
    std::fputs(JAPANESE_DROP, stdout);
    return;
  }
  if (from >= SQUARES) return;
  int piece = board.pieces[from];
  if (piece > EMPTY && piece < PIECE_CODES) std::fputs(JAPANESE_PIECES[piece], stdout);
  if (move_promotes(code)) std::fputs(JAPANESE_PROMOTE, stdout);
  std::printf("(%d%d)", file_of(from), rank_of(from));
}

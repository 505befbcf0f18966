#include "position/move_text.h"

#include <cstdio>

#include "movegen/step_tables.h"
#include "position/board.h"
#include "position/rules.h"

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

std::string square_usi(int sq) {
  return std::to_string(file_of(sq)) + RANK_LETTERS[rank_of(sq) - 1];
}

}  // namespace

std::string move_usi_text(MoveCode code) {
  const int from = move_from(code);
  const int to = move_to(code);
  if (to >= SQUARES) return "";  // not a move of this board
  if (is_drop_from(from)) {
    const int piece = dropped_piece(from);
    if (piece < PAWN || piece > ROOK) return "";
    return std::string(1, DROP_LETTERS[piece]) + "*" + square_usi(to);
  }
  if (from >= SQUARES) return "";
  return square_usi(from) + square_usi(to) + (move_promotes(code) ? "+" : "");
}

void print_move_usi(MoveCode code) { std::fputs(move_usi_text(code).c_str(), stdout); }

namespace {

// Stored square of USI coordinates ("7g"); -1 for anything else.
int parse_square_usi(char file_char, char rank_char, bool flipped) {
  const int file = file_char - '0';
  const int rank = rank_char - 'a' + 1;
  if (file < 1 || file > 9 || rank < 1 || rank > 9) return -1;
  return flipped ? 9 * (rank - 1) + (file - 1) : 9 * (9 - rank) + (9 - file);
}

}  // namespace

bool parse_move_usi(std::string_view text, int side, bool flipped, MoveCode& out) {
  if (text.size() == 4 && text[1] == '*') {
    // Only the pieces a hand can hold: not ' ' and not the king.
    int piece = PAWN;
    while (piece <= ROOK && DROP_LETTERS[piece] != text[0]) ++piece;
    const int to = parse_square_usi(text[2], text[3], flipped);
    if (piece > ROOK || to < 0) return false;
    out = static_cast<MoveCode>(hand_square(side, piece) * 256 + to);
    return true;
  }
  const bool promotes = text.size() == 5 && text[4] == '+';
  if (text.size() != 4 && !promotes) return false;
  const int from = parse_square_usi(text[0], text[1], flipped);
  const int to = parse_square_usi(text[2], text[3], flipped);
  if (from < 0 || to < 0) return false;
  out = static_cast<MoveCode>(from * 256 + to + (promotes ? PROMOTION_BIT : 0));
  return true;
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

// The piece on `from` could step or slide to `to` on the current board
// (pins are not considered: they do not change how a move is named).
bool piece_reaches(int from, int to) {
  const int piece = board.pieces[from];
  const int owner = board.owners[from];
  if (piece <= EMPTY || piece >= PIECE_CODES || owner > OWNER_DEFENDER) return false;
  const KindDirections& kind = KIND_DIRECTIONS[movement_kind[owner][piece]];
  for (int d = 0; d < kind.count; ++d) {
    int m = mailbox_index(from);
    for (int step = 0; step < kind.limit[d]; ++step) {
      m += kind.offset[d];
      const int sq = MAILBOX[m];
      if (sq < 0) break;
      if (sq == to) return true;
      if (board.pieces[sq] != EMPTY) break;
    }
  }
  return false;
}

namespace {

// UTF-8 texts of the reports and KIF files.
constexpr const char* UTF8_FILES[10] = {"", "１", "２", "３", "４", "５", "６", "７", "８", "９"};
constexpr const char* UTF8_RANKS[10] = {"", "一", "二", "三", "四", "五", "六", "七", "八", "九"};
constexpr const char* UTF8_PIECES[PIECE_CODES] = {"",     "歩",   "香",   "桂", "銀", "金", "角", "飛",
                                                  "と",   "成香", "成桂", "成銀", "馬", "龍", "玉"};
// Pieces whose move straight forward is written 直 when another of the kind
// could also go there: gold, silver and the pieces that move as gold.
constexpr bool STRAIGHT_WORD[PIECE_CODES] = {false, false, false, false, true, true, false, false,
                                             true,  true,  true,  true,  false, false, false};

int row_of(int sq) { return sq / 9; }
int col_of(int sq) { return sq % 9; }

// Other pieces of `owner` of code `piece` that reach `to`, `from` excluded.
int other_reachers(int owner, int piece, int from, int to, int* squares) {
  int count = 0;
  for (int sq = 0; sq < SQUARES; ++sq) {
    if (sq == from || board.owners[sq] != owner || board.pieces[sq] != piece) continue;
    if (piece_reaches(sq, to)) squares[count++] = sq;
  }
  return count;
}

// 1 when `to` lies ahead of `sq` for owner, -1 behind, 0 on the same rank.
int vertical(int owner, int sq, int to) {
  const int rows = row_of(to) - row_of(sq);
  const int ahead = owner == OWNER_ATTACKER ? rows : -rows;
  return ahead > 0 ? 1 : ahead < 0 ? -1 : 0;
}

// How far to owner's right the square lies.
int rightness(int owner, int sq) { return owner == OWNER_ATTACKER ? col_of(sq) : 8 - col_of(sq); }

const char* vertical_word(int v) { return v > 0 ? "上" : v < 0 ? "引" : "寄"; }

// The words that tell the moving piece from the others of its kind that
// could make the same move: 上 引 寄 when the direction alone tells, else 直
// for a gold-like piece moving straight forward, else 右 or 左 (with the
// direction too when that is not enough).
std::string relative_words(int owner, int piece, int from, int to) {
  int others[SQUARES];
  const int count = other_reachers(owner, piece, from, to, others);
  if (count == 0) return "";
  const int own = vertical(owner, from, to);
  int same_direction[SQUARES];
  int same = 0;
  for (int i = 0; i < count; ++i) {
    if (vertical(owner, others[i], to) == own) same_direction[same++] = others[i];
  }
  if (same == 0) return vertical_word(own);
  if (STRAIGHT_WORD[piece] && own > 0 && col_of(from) == col_of(to)) return "直";
  const int mine = rightness(owner, from);
  bool rightmost = true, leftmost = true;
  for (int i = 0; i < same; ++i) {
    if (rightness(owner, same_direction[i]) >= mine) rightmost = false;
    if (rightness(owner, same_direction[i]) <= mine) leftmost = false;
  }
  if (!rightmost && !leftmost) return vertical_word(own);
  // A piece of another direction on the same side would also answer to 右
  // or 左 alone.
  bool direction_needed = false;
  for (int i = 0; i < count; ++i) {
    const int r = rightness(owner, others[i]);
    if (vertical(owner, others[i], to) != own && (rightmost ? r >= mine : r <= mine)) direction_needed = true;
  }
  std::string words = rightmost ? "右" : "左";
  if (direction_needed) words += vertical_word(own);
  return words;
}

}  // namespace

std::string japanese_move_text(MoveCode code, int previous_to, JapaneseStyle style) {
  const int from = move_from(code);
  const int to = move_to(code);
  if (to >= SQUARES) return "";
  std::string text;
  const bool same_square = to == previous_to;
  if (same_square) {
    text = "同";
  } else {
    text = UTF8_FILES[file_of(to)];
    text += UTF8_RANKS[rank_of(to)];
  }
  auto add_name = [&](int piece) {
    // KIF pads 同 to the width of a square with a full-width space.
    const bool two_characters = piece == PRO_LANCE || piece == PRO_KNIGHT || piece == PRO_SILVER;
    if (same_square && style == JAPANESE_KIF && !two_characters) text += "　";
    text += UTF8_PIECES[piece];
  };
  if (is_drop_from(from)) {
    const int piece = dropped_piece(from);
    if (piece < PAWN || piece > ROOK) return "";
    const int owner = from - HAND_SQUARE_BASE > 15 ? OWNER_DEFENDER : OWNER_ATTACKER;
    add_name(piece);
    int others[SQUARES];
    if (style == JAPANESE_KIF || other_reachers(owner, piece, NO_SQUARE, to, others) > 0) text += "打";
    return text;
  }
  if (from >= SQUARES) return "";
  const int piece = board.pieces[from];
  const int owner = board.owners[from];
  if (piece <= EMPTY || piece >= PIECE_CODES || owner > OWNER_DEFENDER) return "";
  add_name(piece);
  if (style == JAPANESE_PUBLISHED) text += relative_words(owner, piece, from, to);
  if (move_promotes(code)) {
    text += "成";
  } else if (may_promote(owner, piece, from, to)) {
    text += "不成";
  }
  if (style == JAPANESE_KIF) {
    const char origin[] = {'(', static_cast<char>('0' + file_of(from)), static_cast<char>('0' + rank_of(from)), ')'};
    text.append(origin, sizeof origin);
  }
  return text;
}

std::string japanese_side_mark(int owner) {
  const bool black = (owner == OWNER_ATTACKER) != (board.flipped != 0);
  return black ? "▲" : "△";
}

#include "rules_reference.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "position/board.h"

namespace rules_reference {

namespace {

int row_of(int sq) { return sq / 9; }
int col_of(int sq) { return sq % 9; }
int sign(int x) { return (x > 0) - (x < 0); }

bool promotable_kind(int piece) {
  return piece == PAWN || piece == LANCE || piece == KNIGHT || piece == SILVER || piece == BISHOP ||
         piece == ROOK;
}

int promoted(int piece) {
  switch (piece) {
    case PAWN: return TOKIN;
    case LANCE: return PRO_LANCE;
    case KNIGHT: return PRO_KNIGHT;
    case SILVER: return PRO_SILVER;
    case BISHOP: return HORSE;
    case ROOK: return DRAGON;
    default: return piece;
  }
}

// The kind a captured piece becomes in the captor's hand.
int unpromoted(int piece) {
  switch (piece) {
    case TOKIN: return PAWN;
    case PRO_LANCE: return LANCE;
    case PRO_KNIGHT: return KNIGHT;
    case PRO_SILVER: return SILVER;
    case HORSE: return BISHOP;
    case DRAGON: return ROOK;
    default: return piece;
  }
}

bool in_zone(int side, int sq) { return side == 0 ? sq >= 54 : sq <= 26; }

// Rows still in front of a piece of `side` standing on `sq`.
int rows_ahead(int side, int sq) { return side == 0 ? 8 - row_of(sq) : row_of(sq); }

// A pawn or lance needs a row ahead of it, a knight two; the rest can always
// move on.
bool may_stand(int side, int piece, int sq) {
  if (piece == PAWN || piece == LANCE) return rows_ahead(side, sq) >= 1;
  if (piece == KNIGHT) return rows_ahead(side, sq) >= 2;
  return true;
}

// Squares strictly between two squares on one line are all empty.
bool path_clear(const Position& pos, int from, int target) {
  const int dr = sign(row_of(target) - row_of(from)), dc = sign(col_of(target) - col_of(from));
  int r = row_of(from) + dr, c = col_of(from) + dc;
  while (9 * r + c != target) {
    if (pos.owners[9 * r + c] != OWNER_NONE) return false;
    r += dr;
    c += dc;
  }
  return true;
}

bool has_unpromoted_pawn_in_column(const Position& pos, int side, int col) {
  for (int row = 0; row < 9; ++row) {
    const int sq = 9 * row + col;
    if (pos.owners[sq] == side && pos.pieces[sq] == PAWN) return true;
  }
  return false;
}

const char* const PIECE_LETTERS[PIECE_CODES] = {"",   "P",  "L",  "N",  "S",  "G",  "B", "R",
                                                "+P", "+L", "+N", "+S", "+B", "+R", "K"};

std::string square_name(int sq) {
  std::string out;
  out += static_cast<char>('0' + (9 - col_of(sq)));
  out += static_cast<char>('a' + (8 - row_of(sq)));
  return out;
}

}  // namespace

Position Position::from_board() {
  Position pos;
  std::memcpy(pos.pieces, board.pieces, sizeof pos.pieces);
  std::memcpy(pos.owners, board.owners, sizeof pos.owners);
  for (int side = 0; side < 2; ++side) {
    pos.hands[side][0] = 0;
    for (int piece = PAWN; piece <= ROOK; ++piece) pos.hands[side][piece] = board.hands[side][piece];
  }
  return pos;
}

bool piece_reaches(const Position& pos, int from, int target) {
  if (from == target) return false;
  const int side = pos.owners[from];
  if (side == OWNER_NONE) return false;
  // Offsets as the owner sees them: `ahead` > 0 is towards its far end.
  const int ahead = (row_of(target) - row_of(from)) * (side == 0 ? 1 : -1);
  const int across = std::abs(col_of(target) - col_of(from));
  const int dist = std::abs(ahead);
  const bool diagonal = dist == across;
  const bool straight = ahead == 0 || across == 0;
  switch (pos.pieces[from]) {
    case PAWN: return ahead == 1 && across == 0;
    case LANCE: return across == 0 && ahead >= 1 && path_clear(pos, from, target);
    case KNIGHT: return ahead == 2 && across == 1;
    case SILVER: return (ahead == 1 && across <= 1) || (ahead == -1 && across == 1);
    case GOLD:
    case TOKIN:
    case PRO_LANCE:
    case PRO_KNIGHT:
    case PRO_SILVER: return (ahead == 1 && across <= 1) || (ahead == 0 && across == 1) || (ahead == -1 && across == 0);
    case BISHOP: return diagonal && path_clear(pos, from, target);
    case ROOK: return straight && path_clear(pos, from, target);
    case HORSE: return (diagonal && path_clear(pos, from, target)) || dist + across == 1;
    case DRAGON: return (straight && path_clear(pos, from, target)) || (dist == 1 && across == 1);
    case KING: return dist <= 1 && across <= 1;
    default: return false;
  }
}

bool square_attacked(const Position& pos, int sq, int by_side) {
  for (int from = 0; from < SQUARES; ++from)
    if (pos.owners[from] == by_side && piece_reaches(pos, from, sq)) return true;
  return false;
}

int king_square(const Position& pos, int side) {
  for (int sq = 0; sq < SQUARES; ++sq)
    if (pos.owners[sq] == side && pos.pieces[sq] == KING) return sq;
  return -1;
}

bool in_check(const Position& pos, int side) {
  const int king = king_square(pos, side);
  return king >= 0 && square_attacked(pos, king, side ^ 1);
}

Position after(const Position& pos, int side, MoveCode move) {
  Position next = pos;
  const int from = (move >> 8) & 0xFF, to = move & 0x7F;
  if (from < SQUARES) {
    const int captured = unpromoted(next.pieces[to]);
    if (captured >= PAWN && captured <= ROOK) ++next.hands[side][captured];
    next.pieces[to] = static_cast<int8_t>((move & PROMOTION_BIT) ? promoted(pos.pieces[from]) : pos.pieces[from]);
    next.owners[to] = static_cast<uint8_t>(side);
    next.pieces[from] = EMPTY;
    next.owners[from] = OWNER_NONE;
  } else {
    const int piece = from - HAND_SQUARE_BASE - 15 * side;
    --next.hands[side][piece];
    next.pieces[to] = static_cast<int8_t>(piece);
    next.owners[to] = static_cast<uint8_t>(side);
  }
  return next;
}

bool promotion_allowed(int side, int piece, int from, int to) {
  return promotable_kind(piece) && (in_zone(side, from) || in_zone(side, to));
}

bool keeps_a_move(int side, int piece, int sq) { return may_stand(side, piece, sq); }

bool is_legal(const Position& pos, int side, MoveCode move) {
  if (move <= 0) return false;
  const int from = (move >> 8) & 0xFF, to = move & 0x7F;
  const bool promotes = (move & PROMOTION_BIT) != 0;
  if (to >= SQUARES) return false;
  if (from < SQUARES) {
    if (pos.owners[from] != side) return false;
    const int piece = pos.pieces[from];
    if (pos.owners[to] == side || pos.pieces[to] == KING) return false;
    if (!piece_reaches(pos, from, to)) return false;
    if (promotes) {
      if (!promotable_kind(piece) || !(in_zone(side, from) || in_zone(side, to))) return false;
    } else if (!may_stand(side, piece, to)) {
      return false;
    }
  } else {
    const int piece = from - HAND_SQUARE_BASE - 15 * side;
    if (piece < PAWN || piece > ROOK || promotes) return false;
    if (pos.hands[side][piece] <= 0 || pos.owners[to] != OWNER_NONE) return false;
    if (!may_stand(side, piece, to)) return false;
    if (piece == PAWN && has_unpromoted_pawn_in_column(pos, side, col_of(to))) return false;
  }
  return !in_check(after(pos, side, move), side);
}

std::vector<MoveCode> legal_moves(const Position& pos, int side) {
  // Every origin there is, the 81 squares and both owners' hand squares, to
  // every destination; origins without a piece of the side are passed over
  // only to save time, is_legal would refuse all their moves.
  std::vector<MoveCode> moves;
  for (int from = 0; from <= HAND_SQUARE_BASE + 15 + ROOK; ++from) {
    if (from < SQUARES && pos.owners[from] != side) continue;
    for (int to = 0; to < SQUARES; ++to)
      for (int promotion : {0, static_cast<int>(PROMOTION_BIT)}) {
        const MoveCode move = static_cast<MoveCode>(from * 256 + (to | promotion));
        if (is_legal(pos, side, move)) moves.push_back(move);
      }
  }
  std::sort(moves.begin(), moves.end());
  return moves;
}

bool gives_check(const Position& pos, int side, MoveCode move) {
  const Position next = after(pos, side, move);
  const int king = king_square(next, side ^ 1);
  return king >= 0 && square_attacked(next, king, side);
}

std::vector<MoveCode> legal_checks(const Position& pos, int side) {
  std::vector<MoveCode> checks;
  for (MoveCode move : legal_moves(pos, side))
    if (gives_check(pos, side, move)) checks.push_back(move);
  return checks;
}

bool in_check(int side) { return in_check(Position::from_board(), side); }
bool is_legal(int side, MoveCode move) { return is_legal(Position::from_board(), side, move); }
bool gives_check(int side, MoveCode move) { return gives_check(Position::from_board(), side, move); }
std::vector<MoveCode> legal_moves(int side) { return legal_moves(Position::from_board(), side); }
std::vector<MoveCode> legal_checks(int side) { return legal_checks(Position::from_board(), side); }

std::string to_sfen(const Position& pos, int side_to_move) {
  std::string out;
  for (int row = 8; row >= 0; --row) {
    int empties = 0;
    for (int col = 0; col < 9; ++col) {
      const int sq = 9 * row + col;
      if (pos.owners[sq] == OWNER_NONE) {
        ++empties;
        continue;
      }
      if (empties > 0) out += static_cast<char>('0' + empties);
      empties = 0;
      std::string letter = PIECE_LETTERS[pos.pieces[sq]];
      if (pos.owners[sq] == 1)
        for (char& ch : letter) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      out += letter;
    }
    if (empties > 0) out += static_cast<char>('0' + empties);
    if (row > 0) out += '/';
  }
  out += side_to_move == 0 ? " b " : " w ";
  std::string hands;
  for (int side = 0; side < 2; ++side)
    for (int piece : {ROOK, BISHOP, GOLD, SILVER, KNIGHT, LANCE, PAWN}) {
      const int count = pos.hands[side][piece];
      if (count <= 0) continue;
      if (count > 1) hands += std::to_string(count);
      char letter = PIECE_LETTERS[piece][0];
      hands += side == 0 ? letter : static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    }
  out += hands.empty() ? "-" : hands;
  out += " 1";
  return out;
}

std::string board_sfen(int side_to_move) { return to_sfen(Position::from_board(), side_to_move); }

std::string move_name(MoveCode move) {
  const int from = (move >> 8) & 0xFF, to = move & 0x7F;
  std::string out;
  if (from < SQUARES) {
    out = square_name(from) + square_name(to);
    if (move & PROMOTION_BIT) out += '+';
  } else {
    const int piece = (from - HAND_SQUARE_BASE) % 15;
    out = std::string(piece >= PAWN && piece <= ROOK ? PIECE_LETTERS[piece] : "?") + "*" + square_name(to);
  }
  return out + " (code " + std::to_string(move) + ")";
}

}  // namespace rules_reference

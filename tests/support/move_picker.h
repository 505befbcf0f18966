// Test-only pseudo-legal move lister and random picker.
//
// Deliberately independent of the engine's step tables and piece lists: it
// scans `pieces`, `owners` and `hands` of the global board and works out each
// piece's movement from row and column offsets. Moves follow the movement
// rules (blocked by any piece, capturing opponent pieces but never a king),
// promote where allowed (entering or leaving the zone), never leave a piece
// without a further move, and drops obey the two-pawns rule. Whether a
// move leaves the mover's own king in check is not looked at.
#pragma once

#include <random>
#include <vector>

#include "position/board.h"
#include "position/types.h"

namespace move_picker {

struct Options {
  bool captures = true;
  bool drops = true;
  bool promotions = true;
};

// Offsets relative to the mover: dr > 0 is forward.
struct Offset {
  int dr;
  int dc;
};

struct Movement {
  Offset steps[8];
  int step_count = 0;
  Offset slides[4];
  int slide_count = 0;
};

inline Movement movement_of(int piece) {
  static constexpr Offset ORTHOGONAL[4] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
  static constexpr Offset DIAGONAL[4] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
  static constexpr Offset GOLD_STEPS[6] = {{1, -1}, {1, 0}, {1, 1}, {0, -1}, {0, 1}, {-1, 0}};
  static constexpr Offset SILVER_STEPS[5] = {{1, -1}, {1, 0}, {1, 1}, {-1, -1}, {-1, 1}};
  Movement m;
  auto add_steps = [&m](const Offset* offsets, int n) {
    for (int i = 0; i < n; ++i) m.steps[m.step_count++] = offsets[i];
  };
  auto add_slides = [&m](const Offset* offsets, int n) {
    for (int i = 0; i < n; ++i) m.slides[m.slide_count++] = offsets[i];
  };
  switch (piece) {
    case PAWN: m.steps[m.step_count++] = {1, 0}; break;
    case LANCE: m.slides[m.slide_count++] = {1, 0}; break;
    case KNIGHT:
      m.steps[m.step_count++] = {2, -1};
      m.steps[m.step_count++] = {2, 1};
      break;
    case SILVER: add_steps(SILVER_STEPS, 5); break;
    case GOLD:
    case TOKIN:
    case PRO_LANCE:
    case PRO_KNIGHT:
    case PRO_SILVER: add_steps(GOLD_STEPS, 6); break;
    case BISHOP: add_slides(DIAGONAL, 4); break;
    case ROOK: add_slides(ORTHOGONAL, 4); break;
    case HORSE:
      add_slides(DIAGONAL, 4);
      add_steps(ORTHOGONAL, 4);
      break;
    case DRAGON:
      add_slides(ORTHOGONAL, 4);
      add_steps(DIAGONAL, 4);
      break;
    case KING:
      add_steps(ORTHOGONAL, 4);
      add_steps(DIAGONAL, 4);
      break;
    default: break;
  }
  return m;
}

inline bool can_promote(int piece) {
  return piece == PAWN || piece == LANCE || piece == KNIGHT || piece == SILVER || piece == BISHOP ||
         piece == ROOK;
}

inline bool in_zone(int side, int row) { return side == 0 ? row >= 6 : row <= 2; }

// Rows still ahead of a piece on `row` (0 on the mover's last row).
inline int rows_ahead(int side, int row) { return side == 0 ? 8 - row : row; }

// True when `piece` on `row` would still have a move (pawn and lance need one
// row ahead, a knight two).
inline bool has_future(int side, int piece, int row) {
  if (piece == PAWN || piece == LANCE) return rows_ahead(side, row) >= 1;
  if (piece == KNIGHT) return rows_ahead(side, row) >= 2;
  return true;
}

inline void add_board_move(int side, int from, int to, const Options& options, std::vector<Move>& out) {
  const int piece = board.pieces[from];
  const int from_row = from / 9, to_row = to / 9;
  if (options.promotions && can_promote(piece) && (in_zone(side, from_row) || in_zone(side, to_row)))
    out.push_back(Move{static_cast<uint8_t>(from), static_cast<uint8_t>(to | PROMOTION_BIT)});
  if (has_future(side, piece, to_row))
    out.push_back(Move{static_cast<uint8_t>(from), static_cast<uint8_t>(to)});
}

// Whether `side` may end a move on (row, col); *stop is set when the square
// is occupied so that a slide ends there.
inline bool target_ok(int side, int row, int col, const Options& options, bool* stop) {
  const int sq = 9 * row + col;
  const int owner = board.owners[sq];
  *stop = owner != OWNER_NONE;
  if (owner == OWNER_NONE) return true;
  if (owner == side) return false;
  return options.captures && board.pieces[sq] != KING;
}

inline bool on_board(int row, int col) { return row >= 0 && row < 9 && col >= 0 && col < 9; }

inline bool has_unpromoted_pawn_in_column(int side, int col) {
  for (int row = 0; row < 9; ++row) {
    const int sq = 9 * row + col;
    if (board.owners[sq] == side && board.pieces[sq] == PAWN) return true;
  }
  return false;
}

// Replaces `out` with every pseudo-legal move of `side`.
inline void collect_moves(int side, std::vector<Move>& out, const Options& options = Options{}) {
  out.clear();
  const int forward = side == 0 ? 1 : -1;
  for (int from = 0; from < SQUARES; ++from) {
    if (board.owners[from] != side) continue;
    const Movement m = movement_of(board.pieces[from]);
    const int row = from / 9, col = from % 9;
    bool stop = false;
    for (int i = 0; i < m.step_count; ++i) {
      const int r = row + forward * m.steps[i].dr, c = col + m.steps[i].dc;
      if (on_board(r, c) && target_ok(side, r, c, options, &stop)) add_board_move(side, from, 9 * r + c, options, out);
    }
    for (int i = 0; i < m.slide_count; ++i) {
      for (int r = row + forward * m.slides[i].dr, c = col + m.slides[i].dc; on_board(r, c);
           r += forward * m.slides[i].dr, c += m.slides[i].dc) {
        if (target_ok(side, r, c, options, &stop)) add_board_move(side, from, 9 * r + c, options, out);
        if (stop) break;
      }
    }
  }
  if (!options.drops) return;
  for (int piece = PAWN; piece <= ROOK; ++piece) {
    if (board.hands[side][piece] <= 0) continue;
    for (int to = 0; to < SQUARES; ++to) {
      if (board.owners[to] != OWNER_NONE) continue;
      if (!has_future(side, piece, to / 9)) continue;
      if (piece == PAWN && has_unpromoted_pawn_in_column(side, to % 9)) continue;
      out.push_back(Move{static_cast<uint8_t>(hand_square(side, piece)), static_cast<uint8_t>(to)});
    }
  }
}

// Picks one of side's moves uniformly; false when it has none.
inline bool pick_move(int side, std::mt19937& rng, Move& out, const Options& options = Options{}) {
  static thread_local std::vector<Move> moves;
  collect_moves(side, moves, options);
  if (moves.empty()) return false;
  std::uniform_int_distribution<size_t> index(0, moves.size() - 1);
  out = moves[index(rng)];
  return true;
}

}  // namespace move_picker

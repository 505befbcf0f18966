// Reference computations for the movegen tests, written by rows and columns
// without the step tables, and random positions to compare them on.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "position/board.h"
#include "position/keys.h"

namespace ref {

struct Direction {
  int dr;
  int dc;
  bool slide;
};

inline int row_of(int sq) { return sq / 9; }
inline int col_of(int sq) { return sq % 9; }
inline bool on_board(int row, int col) { return row >= 0 && row < 9 && col >= 0 && col < 9; }

// How a piece of `side` moves; forward is +1 row for side 0, -1 for side 1.
inline std::vector<Direction> directions(int side, int piece) {
  const int f = side == 0 ? 1 : -1;
  const std::vector<Direction> gold = {{f, -1, false}, {f, 0, false}, {f, 1, false},
                                       {0, -1, false}, {0, 1, false}, {-f, 0, false}};
  switch (piece) {
    case PAWN: return {{f, 0, false}};
    case LANCE: return {{f, 0, true}};
    case KNIGHT: return {{2 * f, -1, false}, {2 * f, 1, false}};
    case SILVER: return {{f, -1, false}, {f, 0, false}, {f, 1, false}, {-f, -1, false}, {-f, 1, false}};
    case GOLD:
    case TOKIN:
    case PRO_LANCE:
    case PRO_KNIGHT:
    case PRO_SILVER: return gold;
    case BISHOP: return {{1, -1, true}, {1, 1, true}, {-1, -1, true}, {-1, 1, true}};
    case ROOK: return {{1, 0, true}, {0, -1, true}, {0, 1, true}, {-1, 0, true}};
    case HORSE:
      return {{1, -1, true}, {1, 1, true},   {-1, -1, true}, {-1, 1, true},
              {1, 0, false}, {0, -1, false}, {0, 1, false},  {-1, 0, false}};
    case DRAGON:
      return {{1, 0, true},   {0, -1, true}, {0, 1, true},    {-1, 0, true},
              {1, -1, false}, {1, 1, false}, {-1, -1, false}, {-1, 1, false}};
    case KING:
      return {{1, -1, false}, {1, 0, false},   {1, 1, false},  {0, -1, false},
              {0, 1, false},  {-1, -1, false}, {-1, 0, false}, {-1, 1, false}};
    default: return {};
  }
}

inline bool is_slider(int piece) {
  return piece == LANCE || piece == BISHOP || piece == ROOK || piece == HORSE || piece == DRAGON;
}

// Squares reached by the piece on `s` on the current board, each ray up to
// and including its first occupied square.
inline std::vector<int> reach(int s) {
  std::vector<int> out;
  const int side = board.owners[s];
  for (const Direction& d : directions(side, board.pieces[s])) {
    int r = row_of(s) + d.dr, c = col_of(s) + d.dc;
    while (on_board(r, c)) {
      const int q = 9 * r + c;
      out.push_back(q);
      if (board.owners[q] != OWNER_NONE || !d.slide) break;
      r += d.dr;
      c += d.dc;
    }
  }
  return out;
}

inline bool reaches(int s, int target) {
  const std::vector<int> r = reach(s);
  return std::find(r.begin(), r.end(), target) != r.end();
}

// The squares of `side`'s pieces that an attack map includes: every piece but
// a king, and the king only when it stands in slot 0 (for the attacker: only
// when attacker_has_king).
inline std::vector<int> counted_pieces(int side) {
  std::vector<int> out;
  for (int sq = 0; sq < SQUARES; ++sq) {
    if (board.owners[sq] != side) continue;
    if (board.pieces[sq] == KING && side == 0 && !board.attacker_has_king) continue;
    out.push_back(sq);
  }
  return out;
}

// A slider of the same owner reaches the piece on `sq`.
inline bool is_line_blocker(int sq) {
  for (int s = 0; s < SQUARES; ++s)
    if (s != sq && board.owners[s] == board.owners[sq] && is_slider(board.pieces[s]) && reaches(s, sq))
      return true;
  return false;
}

inline bool attacked_by(int sq, int side) {
  for (int s = 0; s < SQUARES; ++s)
    if (board.owners[s] == side && reaches(s, sq)) return true;
  return false;
}

inline int defender_king() {
  for (int sq = 0; sq < SQUARES; ++sq)
    if (board.owners[sq] == OWNER_DEFENDER && board.pieces[sq] == KING) return sq;
  return -1;
}

inline int attacker_king() {
  for (int sq = 0; sq < SQUARES; ++sq)
    if (board.owners[sq] == OWNER_ATTACKER && board.pieces[sq] == KING) return sq;
  return -1;
}

// Whether an unpromoted piece of `side` would have no move on `sq`.
inline bool dead_square(int side, int piece, int sq) {
  const int rows_left = side == 0 ? 8 - row_of(sq) : row_of(sq);
  if (piece == PAWN || piece == LANCE) return rows_left == 0;
  if (piece == KNIGHT) return rows_left <= 1;
  return false;
}

inline bool promotable(int piece) {
  return piece == PAWN || piece == LANCE || piece == KNIGHT || piece == SILVER || piece == BISHOP ||
         piece == ROOK;
}

inline bool in_zone(int side, int sq) { return side == 0 ? sq >= 54 : sq <= 26; }

// A random position drawn from the 38 non-king pieces of a shogi set: some on
// the board (possibly promoted), some in hand, with both kings or only the
// defender's. The derived state is rebuilt and ply is 0.
inline void random_position(std::mt19937& rng, int on_board_count, bool attacker_king_too) {
  build_zobrist();
  board_clear();
  std::vector<int> set;
  const int counts[8] = {0, 18, 4, 4, 4, 4, 2, 2};
  for (int piece = PAWN; piece <= ROOK; ++piece)
    for (int i = 0; i < counts[piece]; ++i) set.push_back(piece);
  std::shuffle(set.begin(), set.end(), rng);

  auto random_empty = [&]() {
    std::uniform_int_distribution<int> any(0, SQUARES - 1);
    for (;;) {
      int sq = any(rng);
      if (board.owners[sq] == OWNER_NONE) return sq;
    }
  };
  auto place = [&](int sq, int piece, int owner) {
    board.pieces[sq] = static_cast<int8_t>(piece);
    board.owners[sq] = static_cast<uint8_t>(owner);
  };

  place(random_empty(), KING, OWNER_DEFENDER);
  if (attacker_king_too) place(random_empty(), KING, OWNER_ATTACKER);

  std::uniform_int_distribution<int> coin(0, 1);
  std::uniform_int_distribution<int> tenth(0, 9);
  size_t next = 0;
  for (int i = 0; i < on_board_count && next < set.size(); ++i) {
    int piece = set[next++];
    const int owner = coin(rng);
    if (promotable(piece) && tenth(rng) < 3) piece = promote_of[piece];
    int sq = random_empty();
    while (dead_square(owner, piece, sq)) sq = random_empty();
    place(sq, piece, owner);
  }
  // A share of the rest goes to the hands.
  for (; next < set.size(); ++next)
    if (tenth(rng) < 3) ++board.hands[coin(rng)][set[next]];

  rebuild_derived_state();
  board.ply = 0;
  board.depth = 1;
}

// A move as the generator hands it to the probes.
struct TrialMove {
  int from;
  int to;  // plain square
  bool promote;
};

// Every board move of `side` (no capture of a king, promotion where the piece
// and zone allow it) and every drop from its hand onto an empty square.
inline std::vector<TrialMove> moves_of(int side) {
  std::vector<TrialMove> out;
  for (int s = 0; s < SQUARES; ++s) {
    if (board.owners[s] != side) continue;
    const int piece = board.pieces[s];
    for (int t : reach(s)) {
      if (board.owners[t] == side || board.pieces[t] == KING) continue;
      const bool can_promote = promotable(piece) && (in_zone(side, s) || in_zone(side, t));
      if (!dead_square(side, piece, t)) out.push_back({s, t, false});
      if (can_promote) out.push_back({s, t, true});
    }
  }
  for (int piece = PAWN; piece <= ROOK; ++piece) {
    if (board.hands[side][piece] == 0) continue;
    for (int t = 0; t < SQUARES; ++t)
      if (board.owners[t] == OWNER_NONE) out.push_back({hand_square(side, piece), t, false});
  }
  return out;
}

}  // namespace ref

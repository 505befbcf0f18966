#include "position/board.h"

#include <cstring>

#include "position/keys.h"

thread_local Board board;

void board_clear() {
  std::memset(&board, 0, sizeof board);
  std::memset(board.owners, OWNER_NONE, sizeof board.owners);
  board.depth = 1;
}

void rebuild_derived_state() {
  std::memset(board.pawn_columns, 0, sizeof board.pawn_columns);
  board.last_slot[0] = board.last_slot[1] = 0;
  board.board_key = HashKey{0, 0};
  board.path_key = 0;
  board.route_key = 0;
  board.attacker_has_king = 0;

  for (int sq = 0; sq < SQUARES; ++sq) {
    int piece = board.pieces[sq];
    if (piece == EMPTY) continue;
    int owner = board.owners[sq];
    // Setups that are not positions at all (a piece code or owner out of
    // range) are left for the solve's position check to refuse.
    if (piece < 0 || piece >= PIECE_CODES || owner > OWNER_DEFENDER) continue;
    int slot;
    if (piece == PAWN) ++board.pawn_columns[owner][sq % 9];
    if (piece == KING) {
      slot = 0;
      if (owner == OWNER_ATTACKER) board.attacker_has_king = 1;
    } else {
      slot = ++board.last_slot[owner];
    }
    board.slot_of[sq] = static_cast<uint8_t>(slot);
    board.piece_lists[owner][slot] = static_cast<uint8_t>(sq);
    board.board_key.lo ^= zobrist[owner][piece][sq].lo;
    board.board_key.hi ^= zobrist[owner][piece][sq].hi;
    board.path_key ^= zobrist[owner][piece][sq].hi;
  }
  board.route_key = board.path_key;
  board.attacker_hand = pack_attacker_hand();
}

bool board_is_ok() {
  HashKey key{0, 0};
  int pawns[2][9] = {};
  int counted[2] = {0, 0};
  bool has_king[2] = {false, false};

  for (int sq = 0; sq < SQUARES; ++sq) {
    int piece = board.pieces[sq];
    int owner = board.owners[sq];
    if ((owner == OWNER_NONE) != (piece == EMPTY)) return false;
    if (piece == EMPTY) continue;
    if (piece < 0 || piece >= PIECE_CODES || owner > OWNER_DEFENDER) return false;
    int slot = board.slot_of[sq];
    if (board.piece_lists[owner][slot] != sq) return false;
    if (piece == KING) {
      if (slot != 0 || has_king[owner]) return false;
      has_king[owner] = true;
    } else {
      if (slot < 1 || slot > board.last_slot[owner]) return false;
      ++counted[owner];
    }
    if (piece == PAWN) ++pawns[owner][sq % 9];
    key.lo ^= zobrist[owner][piece][sq].lo;
    key.hi ^= zobrist[owner][piece][sq].hi;
  }
  for (int owner = 0; owner < 2; ++owner) {
    // Every non-king slot names a distinct square, so the count must match.
    if (counted[owner] != board.last_slot[owner]) return false;
    for (int col = 0; col < 9; ++col)
      if (pawns[owner][col] != board.pawn_columns[owner][col]) return false;
  }
  if (board.attacker_has_king != (has_king[0] ? 1 : 0)) return false;
  if (key.lo != board.board_key.lo || key.hi != board.board_key.hi) return false;
  if (board.attacker_hand != pack_attacker_hand()) return false;
  return board.depth == board.ply + 1;
}

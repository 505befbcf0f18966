#include "solution/line.h"

#include "movegen/generate.h"
#include "position/make_move.h"
#include "position/rules.h"

MoveCode solution[LINE_ARRAY_SIZE];
MoveCode stored_solution[LINE_ARRAY_SIZE];
MoveCode intended_solution[LINE_ARRAY_SIZE];
int16_t line_captured_piece[LINE_ARRAY_SIZE];
int16_t line_captured_owner[LINE_ARRAY_SIZE];

int16_t root_value;
uint32_t repair_limit;
uint16_t refine_node_factor;
int32_t alternate_round;

bool table_move_valid(int side, MoveCode code) {
  if (code <= 0) return false;
  const int from = (code >> 8) & 0xFF;
  const int to = code & 0x7F;
  if (to >= SQUARES) return false;
  if (from < SQUARES) {
    if (board.owners[from] != side) return false;
    if (board.owners[to] == side || board.pieces[to] == KING) return false;
    if ((code & PROMOTION_BIT) && !may_promote(side, board.pieces[from], from, to)) return false;
    return true;
  }
  const int piece = from - HAND_SQUARE_BASE - 15 * side;
  if (piece < PAWN || piece > ROOK || (code & PROMOTION_BIT)) return false;
  return board.hands[side][piece] > 0 && board_drop_allowed(side, piece, to);
}

void line_make(int side, MoveCode code, int record) {
  make_move(static_cast<int16_t>(side), move_of(code), line_captured_piece[record], line_captured_owner[record]);
}

void line_unmake(int side, MoveCode code, int record) {
  unmake_move(static_cast<int16_t>(side), move_of(code), line_captured_piece[record], line_captured_owner[record]);
}

int attacker_hand_pieces() {
  int pieces = 0;
  for (int piece = PAWN; piece <= ROOK; ++piece) pieces += board.hands[0][piece];
  return pieces;
}

// The defender's evasions: captures of a stepping checker, moves onto the
// squares of a line check, king steps and drop interpositions, in the fixed
// order that decides which defence the search meets first.
#include "movegen/attack.h"
#include "movegen/generate.h"
#include "movegen/step_tables.h"
#include "position/rules.h"

namespace {

// Probes the move of the piece on `from` to the square `to`. A promotable
// move is tried promoting first; its plain twin only when the promotion was
// refused (illegal, or its child already proved) and the piece may stand
// there unpromoted.
void probe_board_evasion(int from, int to) {
  const int piece = board.pieces[from];
  if (!may_promote(OWNER_DEFENDER, piece, from, to)) {
    probe_evasion(from, to);
    return;
  }
  if (probe_evasion(from, to | PROMOTION_BIT) == 0 && may_stand_unpromoted(OWNER_DEFENDER, piece, to))
    probe_evasion(from, to);
}

}  // namespace

void gen_defender_moves() {
  switch (check_class) {
    case CHECK_STEP:
      for (int slot = board.last_slot[OWNER_DEFENDER]; slot >= 1; --slot)
        gen_checker_captures(board.piece_lists[OWNER_DEFENDER][slot]);
      gen_king_escapes();
      break;
    case CHECK_LINE:
      for (int slot = board.last_slot[OWNER_DEFENDER]; slot >= 1; --slot)
        gen_blocks_and_captures(board.piece_lists[OWNER_DEFENDER][slot]);
      gen_king_escapes();
      gen_drop_blocks();
      break;
    default:  // two checkers: only the king can answer both
      gen_king_escapes();
      break;
  }
}

void gen_checker_captures(int from) {
  const int target = checker_square;
  if (target < 0 || !checker_capturers[from] || board.pieces[target] == KING) return;
  probe_board_evasion(from, target);
}

void gen_blocks_and_captures(int from) {
  const int piece = board.pieces[from];
  const int kind = movement_kind[OWNER_DEFENDER][piece];
  const uint8_t* along = next_along[kind][from];
  const uint8_t* ray = next_ray[kind][from];
  int to = along[from];
  while (to != from) {
    // Decide the successor before probing: the probe leaves the board as it
    // found it, but the walk must not depend on that.
    const int next = board.owners[to] == OWNER_NONE ? along[to] : ray[to];
    if (block_squares[to] && board.owners[to] != OWNER_DEFENDER && board.pieces[to] != KING)
      probe_board_evasion(from, to);
    to = next;
  }
}

void gen_king_escapes() {
  const int king = own_king_sq;
  const Neighbours& near = neighbours[king];
  for (int i = 0; i < near.count; ++i) {
    const int to = near.square[i];
    // The map is the one from before the move: a step along the checking
    // line away from a slider passes here and is refused by the probe.
    if (gen_attacks[0][to] == 0 && board.owners[to] != OWNER_DEFENDER && board.pieces[to] != KING)
      probe_evasion(king, to);
  }
}

void gen_drop_blocks() {
  for (int sq = SQUARES - 1; sq >= 0; --sq) {
    if (!block_squares[sq] || board.pieces[sq] != EMPTY) continue;
    // One kind per square: the first whose drop is listed (or finds the
    // node saturated). A kind that is not held, not allowed, illegal or
    // already proved lost passes the square on to the next kind.
    for (int piece = PAWN; piece <= ROOK; ++piece) {
      if (board.hands[OWNER_DEFENDER][piece] == 0 || !board_drop_allowed(OWNER_DEFENDER, piece, sq)) continue;
      if (probe_evasion(hand_square(OWNER_DEFENDER, piece), sq) == 1) break;
    }
  }
}

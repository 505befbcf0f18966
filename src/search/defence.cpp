#include "search/defence.h"

#include <cstdlib>

#include "search/thread_state.h"
#include "position/board.h"
#include "position/keys.h"
#include "search/tt.h"


namespace {

int square_distance(int a, int b) {
  int cols = std::abs(a % 9 - b % 9);
  int rows = std::abs(a / 9 - b / 9);
  return cols > rows ? cols : rows;
}

int defender_king_square() { return board.piece_lists[OWNER_DEFENDER][0]; }

// A board move onto an occupied square; drops never capture.
bool captures(int from, int to) { return !is_drop_from(from) && board.pieces[to] != EMPTY; }

}  // namespace

bool better_defence(const MoveEntry& candidate, int16_t best_result, MoveCode best_move,
                    uint32_t child_hand) {
  int to = candidate.to & 0x7F;
  // A reply that only interposes in vain is never the main line, however
  // long; captures and king moves are real defences.
  if (board.pieces[to] == EMPTY && candidate.from != defender_king_square() &&
      (child_hand & TT_FUTILE))
    return false;
  if (best_move == 0) return true;
  if (candidate.length != best_result) return candidate.length > best_result;
  return defence_tie_break(candidate, best_move);
}

bool defence_tie_break(const MoveEntry& candidate, MoveCode best_move) {
  int check_to = move_to(board.move_stack[board.ply].move);
  int cand_from = candidate.from;
  int cand_to = candidate.to & 0x7F;
  int best_from = move_from(best_move);
  int best_to = move_to(best_move);

  // 1. Taking the checking piece is the natural answer; then any capture.
  bool cand_captures = captures(cand_from, cand_to);
  bool best_captures = captures(best_from, best_to);
  bool cand_takes_checker = cand_captures && cand_to == check_to;
  bool best_takes_checker = best_captures && best_to == check_to;
  if (cand_takes_checker != best_takes_checker) return cand_takes_checker;
  if (!cand_captures && best_captures) return false;

  // 2. Board moves before drops.
  bool cand_board = !is_drop_from(cand_from);
  bool best_board = !is_drop_from(best_from);
  if (cand_board != best_board) return cand_board;

  // 3. Two board moves: the smaller destination, else a promotion.
  if (cand_board) {
    if (cand_to < best_to) return true;
    return (candidate.to & PROMOTION_BIT) && !move_promotes(best_move);
  }

  // 4. Two drops: nearer the king, then the smaller piece.
  int king = defender_king_square();
  int cand_distance = square_distance(cand_to, king);
  int best_distance = square_distance(best_to, king);
  if (cand_distance != best_distance) return cand_distance < best_distance;
  return cand_from < best_from;
}

bool futile_trial_applies(const MoveEntry& reply) {
  // 1. No nested trials; the pattern needs three plies.
  if (trial_drop_piece != 0 || board.ply < 3 || board.ply >= MOVE_STACK_SIZE) return false;
  const PlyRecord& check = board.move_stack[board.ply - 1];
  const PlyRecord& interposition = board.move_stack[board.ply - 2];
  int check_to = move_to(check.move);

  // 2. The check must have taken the piece that the defender had just put there.
  if (interposition.captured_piece != EMPTY || move_to(interposition.move) != check_to) return false;

  // 3. A recapture or a return to the origin is a real defence.
  int reply_to = reply.to & 0x7F;
  if (reply_to == check_to || reply_to == move_from(interposition.move)) return false;

  // 4. Hand the pair over to the restricted check generation.
  ref_move = check.move;
  ref_move2 = interposition.move <= 81 ? interposition.move : 0;
  ref_piece = board.pieces[check_to];
  return true;
}

bool futile_reply(MoveCode reply_move) {
  if (board.ply < 2 || board.ply >= MOVE_STACK_SIZE) return false;
  const PlyRecord& check = board.move_stack[board.ply];
  const PlyRecord& interposition = board.move_stack[board.ply - 1];
  int check_to = move_to(check.move);
  if (move_to(interposition.move) != check_to || interposition.captured_piece != EMPTY) return false;
  if (reply_move == 0) return true;
  int reply_to = move_to(reply_move);
  if (reply_to == check_to || reply_to == move_from(interposition.move)) return false;
  return futile_same_answer(reply_move);
}

bool futile_same_answer(MoveCode king_reply) {
  // 1. Only a king move can change the attacker's answer.
  int king_from = move_from(king_reply);
  int king = defender_king_square();
  if (king_from != king || board.pieces[king] != KING || board.owners[king] != OWNER_DEFENDER)
    return true;

  const PlyRecord& check = board.move_stack[board.ply];
  const PlyRecord& interposition = board.move_stack[board.ply - 1];
  HashKey saved_key = board.board_key;
  PackedHand saved_hand = board.attacker_hand;
  MoveCode saved_hint = tt_hint_move;
  uint8_t saved_here = on_path_here;
  uint8_t saved_smaller = on_path_smaller;
  uint32_t hand;
  int16_t length;
  int32_t pn, dn;

  // 2. The position after the king move, on the key only.
  int king_to = move_to(king_reply);
  update_key_and_hand(king_from, KING, king_to, OWNER_DEFENDER);
  if (board.owners[king_to] == OWNER_ATTACKER)
    update_key_and_hand(king_to, board.pieces[king_to], NO_SQUARE, OWNER_ATTACKER);
  probe_off_board = 1;
  bool found_real = tt_probe(OWNER_ATTACKER, hand, length, pn, dn);
  MoveCode answer_real = tt_hint_move;

  // 3. The same king move without the interposition and its capture.
  int check_to = move_to(check.move);
  int check_from = move_from(check.move);
  int captured = check.captured_piece;
  int taken = demote_of[captured];
  update_key_and_hand(hand_square(OWNER_ATTACKER, taken), taken, NO_SQUARE, OWNER_ATTACKER);
  int checker = board.pieces[check_to];
  if (move_promotes(check.move)) {
    update_key_and_hand(check_to, checker, NO_SQUARE, OWNER_ATTACKER);
    update_key_and_hand(NO_SQUARE, demote_of[checker], check_from, OWNER_ATTACKER);
  } else {
    // A dropping check goes back into attacker_hand through its hand square.
    update_key_and_hand(check_to, checker, check_from, OWNER_ATTACKER);
  }
  int interposition_from = move_from(interposition.move);
  if (!is_drop_from(interposition_from)) {
    // A promoting interposition started as the unpromoted piece.
    int piece = move_promotes(interposition.move) ? demote_of[captured] : captured;
    update_key_and_hand(NO_SQUARE, piece, interposition_from, OWNER_DEFENDER);
  }
  bool found_without = tt_probe(OWNER_ATTACKER, hand, length, pn, dn);
  probe_off_board = 0;
  MoveCode answer_without = tt_hint_move;

  // 4. Back to the real position; a missed probe leaves an old hint, so it
  // proves nothing.
  board.board_key = saved_key;
  board.attacker_hand = saved_hand;
  tt_hint_move = saved_hint;
  on_path_here = saved_here;
  on_path_smaller = saved_smaller;
  return found_real && found_without && move_to(answer_real) == move_to(answer_without);
}

#include "check_one.h"

#include <algorithm>

#include "solve_session.h"
#include "solve/driver.h"
#include "solve/position_check.h"
#include "soundness_findings.h"
#include "position/board.h"
#include "position/make_move.h"
#include "position/move_text.h"
#include "solution/line.h"
#include "solution/line_check.h"
#include "usi/command_loop.h"

namespace {

// 1 when the engine said the mate is proven shortest, 0 when it said it is
// not, -1 when it said neither. The first such line is the solve's own: the
// alternate-solution rounds write none.
int shortest_said(const std::string& engine_lines) {
  const size_t proven = engine_lines.find("info string The mate is proven shortest.");
  const size_t open = engine_lines.find("info string The mate is not proven shortest.");
  if (proven == std::string::npos && open == std::string::npos) return -1;
  return proven < open ? 1 : 0;
}

// The problem's position on the board, as the root of a line played from it.
void set_up_problem(const ProblemEntry& p) {
  set_up_position("position sfen " + p.sfen);
  board.flipped = side_to_move == WHITE ? 1 : 0;
  rebuild_derived_state();
  board.ply = 0;
  board.depth = 1;
}

// Plays the answer from the problem's position, naming each move in both
// Japanese notations with the board standing before it.
void japanese_texts(const ProblemEntry& p, const std::vector<MoveCode>& moves, CheckedProblem& checked,
                    std::vector<std::string>& kif_moves) {
  set_up_problem(p);
  int previous_to = NO_SQUARE;
  std::vector<std::pair<Move, std::pair<int16_t, int16_t>>> played;
  for (int i = 0; i < static_cast<int>(moves.size()) && i < MOVE_STACK_SIZE - 1; ++i) {
    const int16_t side = static_cast<int16_t>(i % 2);
    const MoveCode code = moves[i];
    checked.japanese.push_back(japanese_side_mark(side) + japanese_move_text(code, previous_to, JAPANESE_PUBLISHED));
    kif_moves.push_back(japanese_move_text(code, previous_to, JAPANESE_KIF));
    int16_t captured_piece = EMPTY, captured_owner = OWNER_NONE;
    const Move move = move_of(code);
    make_move(side, move, captured_piece, captured_owner);
    played.push_back({move, {captured_piece, captured_owner}});
    previous_to = move_to(code);
  }
  for (size_t i = played.size(); i-- > 0;) {
    unmake_move(static_cast<int16_t>(i % 2), played[i].first, played[i].second.first, played[i].second.second);
  }
}

}  // namespace

CheckedProblem check_one_problem(const ProblemEntry& p, uint32_t limit_ms, int alt_seconds,
                                 std::vector<std::string>& kif_moves,
                                 const std::function<void(const CheckedProblem&)>& solved) {
  std::string engine_lines;
  const Solved s = solve(p, limit_ms, false, &engine_lines);
  CheckedProblem checked;
  checked.problem = p;
  checked.result = s.outcome.result;
  checked.ms = s.ms;
  if (s.outcome.result == RESULT_MATE) {
    for (size_t at = 0; at < s.line.size();) {
      const size_t blank = std::min(s.line.find(' ', at), s.line.size());
      if (blank > at) checked.usi_moves.push_back(s.line.substr(at, blank - at));
      at = blank + 1;
    }
    checked.shortest = shortest_said(engine_lines);
    // Where the engine's lines cannot be captured (the web module, whose
    // host reads them), the solve's own state says it.
    if (checked.shortest < 0 && s.shortest != SHORTEST_UNKNOWN) checked.shortest = s.shortest == SHORTEST_PROVEN ? 1 : 0;
    japanese_texts(p, s.moves, checked, kif_moves);
  }
  if (solved) solved(checked);
  check_problem_soundness(p, s, static_cast<uint32_t>(alt_seconds) * 1000u, checked);
  checked.ms = s.ms + checked.check_ms;
  return checked;
}

bool checked_line(const ProblemEntry& p, const std::vector<std::string>& usi_moves, CheckedProblem& checked) {
  checked = CheckedProblem{};
  checked.problem = p;
  set_up_problem(p);
  // The line is played by the rules only on a position they can hold (the
  // check also builds the step tables they walk).
  if (position_fault() != nullptr) return false;
  const Board start = board;
  // Each move must be a legal check of the attacker or a legal reply.
  std::vector<MoveCode> moves;
  bool fits = usi_moves.size() < MOVE_STACK_SIZE - 1;
  for (size_t i = 0; fits && i < usi_moves.size(); ++i) {
    const int side = static_cast<int>(i % 2);
    MoveCode code = 0;
    std::vector<MoveCode> legal;
    if (side == OWNER_ATTACKER)
      legal_attacker_checks(legal);
    else
      legal_defender_moves(legal);
    fits = parse_move_usi(usi_moves[i], side, board.flipped != 0, code) &&
           std::find(legal.begin(), legal.end(), code) != legal.end();
    if (fits) {
      line_make(side, code, static_cast<int>(i) + 1);
      moves.push_back(code);
    }
  }
  board = start;
  if (!fits) return false;
  checked.result = RESULT_MATE;
  checked.usi_moves = usi_moves;
  std::vector<std::string> kif_moves;
  japanese_texts(p, moves, checked, kif_moves);
  return true;
}

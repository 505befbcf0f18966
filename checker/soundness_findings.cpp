#include "soundness_findings.h"

#include <chrono>
#include <vector>

#include "position/board.h"
#include "position/make_move.h"
#include "position/move_text.h"
#include "solution/line.h"
#include "solve/driver.h"
#include "solve/position_check.h"
#include "solve/soundness.h"
#include "usi/command_loop.h"

namespace {

// The board at the problem's position, as the engine set it up.
void set_up_problem(const ProblemEntry& p) {
  handle_command("position sfen " + p.sfen);
  board.flipped = side_to_move == WHITE ? 1 : 0;
  rebuild_derived_state();
  board.ply = 0;
  board.depth = 1;
}

// The stated line as codes, read move by move on the board; `bad` gets the
// ply of the first move that is no move of that position (0: all read).
std::vector<MoveCode> stated_codes(const std::vector<std::string>& stated, int& bad) {
  std::vector<MoveCode> codes;
  const Board saved = board;
  bad = 0;
  for (size_t k = 0; k < stated.size() && k < static_cast<size_t>(MAX_LINE_PLIES - 2); ++k) {
    const int side = static_cast<int>(k % 2);
    MoveCode code = 0;
    if (!parse_move_usi(stated[k], side, board.flipped != 0, code) || !table_move_valid(side, code)) {
      bad = static_cast<int>(k) + 1;
      break;
    }
    codes.push_back(code);
    line_make(side, code, static_cast<int>(k) + 1);
  }
  board = saved;
  return codes;
}

// Plays `count` moves of `line` from the board (restored by the caller).
void play(const std::vector<MoveCode>& line, int count) {
  for (int k = 0; k < count && k < static_cast<int>(line.size()); ++k) line_make(k & 1, line[k], k + 1);
}

// The moves of `moves` in USI text and both Japanese notations, played from
// the board after `before` plies of `line` (the previous move's square
// gives 同). The board is left as it was.
void describe_moves(const std::vector<MoveCode>& line, int before, const std::vector<MoveCode>& moves,
                    std::string* first_japanese, std::vector<std::string>& usi, std::vector<std::string>& japanese,
                    std::vector<std::string>& kif) {
  const Board saved = board;
  play(line, before);
  int previous_to = before > 0 ? move_to(line[before - 1]) : NO_SQUARE;
  for (size_t k = 0; k < moves.size(); ++k) {
    const MoveCode m = moves[k];
    const int side = static_cast<int>((before + k) % 2);
    if (!table_move_valid(side, m)) break;
    japanese.push_back(japanese_side_mark(side) + japanese_move_text(m, previous_to, JAPANESE_PUBLISHED));
    if (k == 0 && first_japanese != nullptr) *first_japanese = japanese.back();
    usi.push_back(move_usi_text(m));
    kif.push_back(japanese_move_text(m, previous_to, JAPANESE_KIF));
    int16_t cp = 0, co = 0;
    make_move(static_cast<int16_t>(side), move_of(m), cp, co);
    previous_to = move_to(m);
  }
  board = saved;
}

std::string japanese_of(const std::vector<MoveCode>& line, int before, MoveCode m) {
  std::string text;
  std::vector<std::string> usi, japanese, kif;
  describe_moves(line, before, {m}, &text, usi, japanese, kif);
  return text.empty() ? move_usi_text(m) : text;
}

// "歩2 金": the attacker's pieces at the end.
std::string hand_text(const int* left) {
  static const char* const NAMES[] = {"", "歩", "香", "桂", "銀", "金", "角", "飛"};
  std::string text;
  for (int piece = ROOK; piece >= PAWN; --piece) {
    if (left[piece] == 0) continue;
    if (!text.empty()) text += " ";
    text += NAMES[piece];
    if (left[piece] > 1) text += std::to_string(left[piece]);
  }
  return text;
}

}  // namespace

void check_problem_soundness(const ProblemEntry& p, const Solved& s, uint32_t budget_ms, CheckedProblem& checked) {
  set_up_problem(p);
  checked.stated_line = !p.stated.empty();
  if (s.outcome.result == RESULT_TIMEOUT) {
    checked.soundness = "timeout";
    return;
  }
  if (s.outcome.result == RESULT_NOMATE) {
    const char* fault = position_fault();
    checked.soundness = fault != nullptr ? "invalid" : "nomate";
    if (fault != nullptr) checked.soundness_text = fault;
    return;
  }
  std::vector<MoveCode> line = s.moves;
  if (checked.stated_line) {
    int bad = 0;
    line = stated_codes(p.stated, bad);
    if (bad != 0) {
      checked.soundness = "line-wrong";
      checked.verdict_ply = bad;
      checked.soundness_text = "not a move of the position";
      return;
    }
  }
  const auto start = std::chrono::steady_clock::now();
  const SoundnessReport report = check_intended_line(line, checked.stated_line, budget_ms);
  checked.check_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  set_up_problem(p);
  checked.soundness = verdict_name(report.verdict);
  checked.verdict_ply = report.verdict_ply;
  checked.soundness_text = report.fault;
  checked.left_in_hand = hand_text(report.left_in_hand);
  for (const PlyCheck& ply : report.plies) {
    PlyRow row;
    row.state = ply.state == PLY_FOUND ? "found" : ply.state == PLY_UNDECIDED ? "undecided" : "none";
    checked.plies.push_back(row);
  }
  for (size_t k = 0; k < report.plies.size(); ++k)
    for (const MoveCode m : report.plies[k].open)
      checked.plies[k].open.push_back(japanese_of(line, static_cast<int>(k), m));
  for (const Finding& f : report.findings) {
    FindingText text;
    text.kind = finding_name(f.kind);
    text.ply = f.ply;
    text.rejoin_ply = f.rejoin_ply;
    text.flaw = finding_is_flaw(f);
    describe_moves(line, f.ply - 1, f.line.empty() ? std::vector<MoveCode>{f.move} : f.line, &text.move, text.usi_line,
                   text.japanese_line, text.kif_line);
    if (text.move.empty()) text.move = move_usi_text(f.move);
    checked.findings.push_back(text);
  }
  // The first alternate, whatever the verdict puts first.
  for (const FindingText& f : checked.findings) {
    if (f.kind != "alternate" || (checked.alternate_ply != 0 && f.ply >= checked.alternate_ply)) continue;
    checked.alternate_ply = f.ply;
    checked.alternate_move = f.move;
  }
  bool open = false;
  for (const PlyRow& row : checked.plies) open |= row.state == "undecided";
  checked.alternate = checked.alternate_ply != 0 ? "yes" : open ? "unknown" : "no";
}

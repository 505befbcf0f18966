// Are the alternate solutions the soundness check reports real? For a
// problem and its line, this runs the check, and for every alternate found
// plays the line to its ply, makes the alternate move, and solves each of the
// defender's legal replies as a root of its own with the ordinary driver
// (a search path of its own, no path of the line): the alternate is
// confirmed when every reply is mated.
//
//   alternate_audit [--seconds S] SFEN MOVE...
//
// Prints one row per alternate: ply, move, replies, how many were mated,
// and "confirmed", "refuted" (a reply escapes) or "open" (a solve ran out).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "position/board.h"
#include "position/make_move.h"
#include "position/move_text.h"
#include "solution/line.h"
#include "solution/line_check.h"
#include "solve/driver.h"
#include "solve/go_mate.h"
#include "solve/soundness.h"
#include "search/search_state.h"
#include "usi/command_loop.h"

int main(int argc, char** argv) {
  int arg = 1;
  uint32_t seconds = 30;
  if (arg + 1 < argc && std::string(argv[arg]) == "--seconds") {
    seconds = static_cast<uint32_t>(std::atoi(argv[arg + 1]));
    arg += 2;
  }
  if (arg >= argc) {
    std::fprintf(stderr, "usage: alternate_audit [--seconds S] SFEN MOVE...\n");
    return 2;
  }
  const std::string sfen = argv[arg++];
  // The engine's own lines go to the null device; the rows to stderr.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) return 2;
  command_loop_reset();
  handle_command("setoption name USI_Hash value 256");
  handle_command("usinewgame");
  handle_command("position sfen " + sfen);
  board.flipped = side_to_move == WHITE ? 1 : 0;
  const GoMateOutcome outcome = solve_go_mate(seconds * 1000);
  if (outcome.result != RESULT_MATE) {
    std::fprintf(stderr, "no mate from the solve\n");
    return 1;
  }
  std::vector<MoveCode> line;
  const Board root = board;
  for (int k = 0; arg < argc; ++k, ++arg) {
    MoveCode code = 0;
    if (!parse_move_usi(argv[arg], k & 1, board.flipped != 0, code) || !table_move_valid(k & 1, code)) {
      std::fprintf(stderr, "move %d (%s) is no move here\n", k + 1, argv[arg]);
      return 2;
    }
    line.push_back(code);
    line_make(k & 1, code, k + 1);
  }
  board = root;
  const SoundnessReport report = check_intended_line(line, false, seconds * 1000);
  std::fprintf(stderr, "verdict %s\n", verdict_name(report.verdict));
  int unconfirmed = 0;
  for (const Finding& f : report.findings) {
    if (f.kind != FINDING_ALTERNATE) continue;
    board = root;
    for (int k = 0; k + 1 < f.ply; ++k) line_make(k & 1, line[k], k + 1);
    int16_t cp = 0, co = 0;
    make_move(OWNER_ATTACKER, move_of(f.move), cp, co);
    std::vector<MoveCode> replies;
    legal_defender_moves(replies);
    const Board after_move = board;
    int mated = 0, escaped = 0;
    for (const MoveCode reply : replies) {
      board = after_move;
      int16_t rp = 0, ro = 0;
      make_move(OWNER_DEFENDER, move_of(reply), rp, ro);
      const Board position = board;
      // The limit counts from the start of this solve.
      limit_start_ms = last_report_ms = platform_time_ms();
      run_solver(SOLVE, seconds * 1000);
      board = position;
      if (solve_result == RESULT_MATE) ++mated;
      if (solve_result == RESULT_NOMATE) ++escaped;
    }
    const char* status = escaped > 0 ? "refuted" : mated == static_cast<int>(replies.size()) ? "confirmed" : "open";
    if (escaped > 0 || mated != static_cast<int>(replies.size())) ++unconfirmed;
    std::fprintf(stderr, "ply %d %s replies %zu mated %d %s\n", f.ply, move_usi_text(f.move).c_str(), replies.size(),
                 mated, status);
  }
  return unconfirmed == 0 ? 0 : 1;
}

// The soundness check of an intended line, in-process: each finding at its
// boundary, and the findings of short problems against a brute force over
// the rules reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bounded_mate.h"
#include "platform/platform.h"
#include "position/board.h"
#include "position/make_move.h"
#include "position/move_text.h"
#include "rules_reference.h"
#include "search/search_state.h"
#include "search/tt.h"
#include "solution/line.h"
#include "solution/line_check.h"
#include "solve/driver.h"
#include "solve/go_mate.h"
#include "solve/main_line.h"
#include "solve/position_check.h"
#include "solve/soundness.h"
#include "support/problems.h"
#include "usi/command_loop.h"

namespace {

namespace ref = rules_reference;

// 3 plies, sound: P*1b 1a2b 3c3b+.
const char UNIQUE[] = "5p1Sk/7P1/6Prl/9/9/9/9/9/9 b P 1";
// 3 plies; the gold or the knight (promoting) takes the bishop with check.
const char TWO_CAPTURES[] = "6Gbk/9/8N/7+P1/9/9/9/9/9 b - 1";
// 5 plies; at ply 3 the gold or the pawn (promoting) takes the silver.
const char THIRD_PLY[] = "8k/9/5P+Ps1/6+pPG/9/9/9/9/9 b - 1";
// Mate in one with the gold, a pawn left in hand.
const char PAWN_LEFT[] = "4k4/9/4P4/9/9/9/9/9/9 b GP2r2b3g4s4n4l16p 1";
// Mate in one by a gold drop on 1b or on 2b.
const char TWO_DROPS[] = "8k/6G2/8P/9/9/9/9/9/9 b G 1";

struct Checked {
  std::vector<MoveCode> answer;
  SoundnessReport report;
};

// Solves `sfen` in-process, the engine's lines going to a captured stdout
// (the caller ends the capture): the answer, empty when there is no mate.
// The table is given up first: the engine sizes it only when it has none, so
// a tiny table left by an earlier test in the process would otherwise stay,
// and in it the checks below, which have no time limit, ran for minutes.
std::vector<MoveCode> solve_captured(const std::string& sfen) {
  testing::internal::CaptureStdout();
  tt_release();
  command_loop_reset();
  handle_command("setoption name USI_Hash value 16");
  handle_command("usinewgame");
  handle_command("position sfen " + sfen);
  const GoMateOutcome outcome = solve_go_mate(0);
  std::vector<MoveCode> answer;
  for (int i = 0; outcome.result == RESULT_MATE && outcome.answer[i] > 0; ++i) answer.push_back(outcome.answer[i]);
  return answer;
}

// Solves the position in-process and checks the engine's line (or `stated`,
// USI text) within `budget_ms` (by default no limit: the findings must not
// depend on the machine's speed, under the sanitizers too). The engine's own
// lines go to a captured stdout.
Checked check(const std::string& sfen, uint32_t budget_ms = 0, const std::vector<std::string>& stated = {}) {
  Checked c;
  c.answer = solve_captured(sfen);
  std::vector<MoveCode> line = c.answer;
  if (!stated.empty()) {
    line.clear();
    const Board saved = board;
    for (size_t k = 0; k < stated.size(); ++k) {
      MoveCode code = 0;
      EXPECT_TRUE(parse_move_usi(stated[k], static_cast<int>(k % 2), board.flipped != 0, code)) << stated[k];
      line.push_back(code);
      line_make(static_cast<int>(k % 2), code, static_cast<int>(k) + 1);
    }
    board = saved;
  }
  if (!c.answer.empty()) c.report = check_intended_line(line, !stated.empty(), budget_ms);
  testing::internal::GetCapturedStdout();
  return c;
}

std::vector<const Finding*> of_kind(const SoundnessReport& r, uint8_t kind) {
  std::vector<const Finding*> found;
  for (const Finding& f : r.findings)
    if (f.kind == kind) found.push_back(&f);
  return found;
}

// Plays the first `plies` moves of `line` on the board (the caller restores it).
void play(const std::vector<MoveCode>& line, int plies) {
  for (int k = 0; k < plies; ++k) line_make(k & 1, line[k], k + 1);
}

// Whether `line` mates by the rules from the board after `before` plies of `main`.
bool mates_from(const std::vector<MoveCode>& main, int before, std::vector<MoveCode> line) {
  const Board saved = board;
  play(main, before);
  line.push_back(0);
  const bool mates = line_mates(line.data());
  board = saved;
  return mates;
}

TEST(Soundness, TwinsAndLastMovesAreNotesAndAlternatesAreFlaws) {
  // The gold's capture and the knight's promoting capture: an alternate at
  // ply 1 of the engine's line.
  Checked c = check(TWO_CAPTURES);
  ASSERT_EQ(c.answer.size(), 3u);
  ASSERT_EQ(of_kind(c.report, FINDING_ALTERNATE).size(), 1u);
  EXPECT_EQ(c.report.verdict, VERDICT_ALTERNATE);
  EXPECT_EQ(c.report.verdict_ply, 1);
  const Finding& alternate = *of_kind(c.report, FINDING_ALTERNATE)[0];
  EXPECT_NE(alternate.move, c.answer[0]);
  EXPECT_TRUE(mates_from(c.answer, 0, alternate.line));

  // A middle ply: the alternate takes the silver at ply 3.
  c = check(THIRD_PLY);
  ASSERT_EQ(c.answer.size(), 5u);
  EXPECT_EQ(c.report.verdict, VERDICT_ALTERNATE);
  EXPECT_EQ(c.report.verdict_ply, 3);
  for (const Finding* f : of_kind(c.report, FINDING_ALTERNATE)) {
    EXPECT_EQ(f->ply, 3);
    EXPECT_TRUE(mates_from(c.answer, 2, f->line));
  }

  // Two mating drops: the other is a last-move note, and the problem is sound.
  c = check(TWO_DROPS);
  ASSERT_EQ(c.answer.size(), 1u);
  EXPECT_EQ(c.report.verdict, VERDICT_SOUND);
  EXPECT_TRUE(of_kind(c.report, FINDING_ALTERNATE).empty());
  EXPECT_FALSE(of_kind(c.report, FINDING_LAST_MOVE).empty());

  // Zukou 5: at ply 13 the bishop's move without promotion mates too, a twin;
  // at ply 14 a defence of the same length leaves nothing in hand.
  const Problem zukou5 = load_problems("zukou.sfen")[4];
  c = check(zukou5.sfen);
  ASSERT_EQ(std::to_string(c.answer.size()), zukou5.known);
  EXPECT_EQ(c.report.verdict, VERDICT_SOUND);
  const std::vector<const Finding*> twins = of_kind(c.report, FINDING_TWIN);
  ASSERT_EQ(twins.size(), 1u);
  EXPECT_EQ(twins[0]->ply, 13);
  EXPECT_EQ(twins[0]->move & ~PROMOTION_BIT, c.answer[12] & ~PROMOTION_BIT);
  EXPECT_TRUE(mates_from(c.answer, 12, twins[0]->line));
  const std::vector<const Finding*> equal = of_kind(c.report, FINDING_EQUAL);
  ASSERT_EQ(equal.size(), 1u);
  EXPECT_EQ(equal[0]->ply, 14);
  // Its line: the reply, then a mate as long as the line's rest.
  EXPECT_EQ(equal[0]->line.size(), c.answer.size() - 13);
  std::vector<MoveCode> before_split(c.answer.begin(), c.answer.begin() + 13);
  before_split.push_back(equal[0]->line[0]);
  EXPECT_TRUE(mates_from(before_split, 14, std::vector<MoveCode>(equal[0]->line.begin() + 1, equal[0]->line.end())));
}

TEST(Soundness, DetourRejoinsTheLine) {
  // Zukou 22: an alternate route at ply 29 reaches a later position of the line.
  const Problem zukou22 = load_problems("zukou.sfen")[21];
  const Checked c = check(zukou22.sfen);
  EXPECT_EQ(c.report.verdict, VERDICT_SOUND);
  const std::vector<const Finding*> detours = of_kind(c.report, FINDING_DETOUR);
  ASSERT_FALSE(detours.empty());
  for (const Finding* f : detours) {
    ASSERT_GT(f->rejoin_ply, f->ply);
    // Played out, the detour stands where the line stands after rejoin_ply.
    const Board saved = board;
    play(c.answer, f->rejoin_ply);
    const HashKey line_key = board.board_key;
    const uint32_t line_hand = board.attacker_hand;
    board = saved;
    play(c.answer, f->ply - 1);
    const int steps = f->rejoin_ply - f->ply + 1;
    ASSERT_LE(steps, static_cast<int>(f->line.size()));
    for (int k = 0; k < steps; ++k) line_make((f->ply - 1 + k) & 1, f->line[k], f->ply + k);
    EXPECT_EQ(board.board_key.lo, line_key.lo);
    EXPECT_EQ(board.board_key.hi, line_key.hi);
    EXPECT_EQ(board.attacker_hand, line_hand);
    board = saved;
  }
}

TEST(Soundness, PositionsNoSetAllowsAreNamed) {
  testing::internal::CaptureStdout();
  command_loop_reset();
  handle_command("usinewgame");
  // 100,000 pawns, and two defending kings.
  for (const char* sfen : {"4k4/9/4P4/9/9/9/9/9/9 b G100000P 1", "4k3k/9/4P4/9/9/9/9/9/9 b G 1"}) {
    handle_command(std::string("position sfen ") + sfen);
    EXPECT_EQ(solve_go_mate(1000).result, RESULT_NOMATE) << sfen;
    EXPECT_NE(position_fault(), nullptr) << sfen;
  }
  handle_command("position sfen 4k4/9/4P4/9/9/9/9/9/9 b G 1");
  EXPECT_EQ(position_fault(), nullptr);
  testing::internal::GetCapturedStdout();
}

TEST(Soundness, PiecesLeftStatedLinesAndTinyBudgets) {
  Checked c = check(PAWN_LEFT);
  EXPECT_EQ(c.report.verdict, VERDICT_PIECES_LEFT);
  EXPECT_EQ(c.report.left_in_hand[PAWN], 1);

  // A stated line whose first move is no check.
  c = check(UNIQUE, 0, {"P*5e", "1a2b", "3c3b+"});
  EXPECT_EQ(c.report.verdict, VERDICT_LINE_WRONG);
  EXPECT_EQ(c.report.verdict_ply, 1);
  // One that ends before the mate.
  c = check(UNIQUE, 0, {"P*1b", "1a2b"});
  EXPECT_EQ(c.report.verdict, VERDICT_LINE_WRONG);
  EXPECT_EQ(c.report.verdict_ply, 2);
  // The engine's own line, stated, is sound.
  c = check(UNIQUE, 0, {"P*1b", "1a2b", "3c3b+"});
  EXPECT_EQ(c.report.verdict, VERDICT_SOUND);

  // A budget of a millisecond leaves the long problem's plies open.
  const Problem zukou15 = load_problems("zukou.sfen")[14];
  c = check(zukou15.sfen, 1);
  EXPECT_EQ(c.report.verdict, VERDICT_UNDECIDED);
  int open = 0;
  for (const PlyCheck& p : c.report.plies)
    if (p.state == PLY_UNDECIDED) {
      EXPECT_FALSE(p.open.empty());
      ++open;
    }
  EXPECT_GT(open, 0);
}

TEST(Soundness, ARequestWhoseNodeBudgetIsSpentEndsTheCheckAtOnce) {
  // Every question's search stops at once when the request's node budget is
  // spent; the check must then end with its plies open, not ask again until
  // its hour is up (the test's own timeout would end it first).
  const std::vector<MoveCode> line = solve_captured(THIRD_PLY);
  ASSERT_FALSE(line.empty());
  node_budget = 1;
  const SoundnessReport report = check_intended_line(line, false, 3600 * 1000);
  node_budget = 0;
  testing::internal::GetCapturedStdout();
  // What the solve's table already settles stays settled; the rest is open.
  EXPECT_EQ(report.verdict, VERDICT_UNDECIDED);
  int open = 0;
  for (const PlyCheck& p : report.plies) open += p.state == PLY_UNDECIDED && !p.open.empty();
  EXPECT_GT(open, 0);
}

TEST(Soundness, StatedLineThatIsNotTheLongestDefence) {
  // Zukou 2, with a defender's reply swapped for one that is mated sooner:
  // the line's own reply there holds out longer than the stated one.
  const Problem zukou2 = load_problems("zukou.sfen")[1];
  Checked c = check(zukou2.sfen);
  ASSERT_EQ(c.report.verdict, VERDICT_SOUND);
  const std::vector<MoveCode> answer = c.answer;
  const Board root = board;
  std::vector<std::string> stated;
  for (int ply = 2; ply < static_cast<int>(answer.size()) && stated.empty(); ply += 2) {
    board = root;
    play(answer, ply - 1);
    std::vector<MoveCode> replies;
    legal_defender_moves(replies);
    const Board before = board;
    for (const MoveCode reply : replies) {
      if (reply == answer[ply - 1]) continue;
      board = before;
      int16_t cp = 0, co = 0;
      make_move(OWNER_DEFENDER, move_of(reply), cp, co);
      testing::internal::CaptureStdout();
      MoveCode mate[LINE_ARRAY_SIZE];
      int value = 0;
      const bool proven = least_mate(0, mate, value);
      testing::internal::GetCapturedStdout();
      if (!proven || value >= static_cast<int>(answer.size()) - ply) continue;
      for (int k = 0; k < ply - 1; ++k) stated.push_back(move_usi_text(answer[k]));
      stated.push_back(move_usi_text(reply));
      for (int k = 0; mate[k] > 0; ++k) stated.push_back(move_usi_text(mate[k]));
      break;
    }
  }
  board = root;
  ASSERT_FALSE(stated.empty());
  c = check(zukou2.sfen, 0, stated);
  // The problem's least value is the full line's: the defender holds out
  // longer than stated, from the swapped ply on.
  EXPECT_EQ(c.report.verdict, VERDICT_LONGER) << verdict_name(c.report.verdict);
  EXPECT_EQ(c.report.least_value, static_cast<int>(answer.size()));
  const int swapped = static_cast<int>(std::mismatch(answer.begin(), answer.end(), c.report.line.begin()).first - answer.begin()) + 1;
  EXPECT_EQ(c.report.verdict_ply, swapped);
  ASSERT_FALSE(of_kind(c.report, FINDING_LONGER).empty());
  EXPECT_EQ(of_kind(c.report, FINDING_LONGER)[0]->move, answer[swapped - 1]);
}

// A clock that moves one millisecond per 64 nodes searched, so that a budget
// is spent the same way on every machine and under the sanitizers.
uint32_t node_clock_ms = 0;
uint32_t node_clock_calls = 0;
void (*node_clock_next)() = nullptr;
void node_clock_tick() {
  if (++node_clock_calls % 64 == 0) platform_freeze_clock(true, ++node_clock_ms);
  node_clock_next();
}

// The solve of `sfen` and the check of its line (as a stated one when
// `stated`), on an empty table, within `budget_ms` of the node clock; `took`
// gets the check's time.
SoundnessReport check_on_node_clock(const std::string& sfen, bool stated, uint32_t budget_ms, uint32_t& took) {
  // A fresh table of the size asked, whatever an earlier test left.
  tt_release();
  const std::vector<MoveCode> line = solve_captured(sfen);
  node_clock_next = node_clock_step;
  node_clock_step = node_clock_tick;
  platform_freeze_clock(true, node_clock_ms);
  const uint32_t start = node_clock_ms;
  SoundnessReport report = line.empty() ? SoundnessReport{} : check_intended_line(line, stated, budget_ms);
  took = node_clock_ms - start;
  node_clock_step = node_clock_next;
  platform_freeze_clock(false, 0);
  testing::internal::GetCapturedStdout();
  return report;
}

TEST(Soundness, AStatedLineKeepsTheWholeBudgetAfterItsLengthIsProven) {
  // A stated line's least value is proven first, within a third of the
  // budget; the questions after it still have the rest of it. Twice the time
  // the check takes without a limit must settle every ply.
  const Problem zukou2 = load_problems("zukou.sfen")[1];
  uint32_t took = 0;
  const SoundnessReport free = check_on_node_clock(zukou2.sfen, true, 0, took);
  ASSERT_EQ(free.verdict, VERDICT_SOUND) << verdict_name(free.verdict);
  ASSERT_GT(took, 30u);
  uint32_t took_again = 0;
  const SoundnessReport timed = check_on_node_clock(zukou2.sfen, true, 2 * took, took_again);
  EXPECT_EQ(timed.verdict, VERDICT_SOUND) << verdict_name(timed.verdict) << " after " << took_again << " of " << 2 * took << " ms";
  for (size_t k = 0; k < timed.plies.size(); ++k) EXPECT_NE(timed.plies[k].state, PLY_UNDECIDED) << "ply " << k + 1;
}

// The other checks at each attacker ply that mate within the line's rest and
// two plies more, by a brute force over the rules reference: the check must
// report exactly those, as alternates, twins or detours.
TEST(Soundness, FindingsOfShortProblemsAgreeWithABruteForce) {
  for (const char* sfen : {UNIQUE, TWO_CAPTURES, THIRD_PLY, TWO_DROPS}) {
    const Checked c = check(sfen);
    const int n = static_cast<int>(c.answer.size());
    ASSERT_GT(n, 0) << sfen;
    ref::Position pos = ref::Position::from_board();
    for (int ply = 1; ply <= n; ply += 2) {
      const int bound = n - ply + 3;
      std::vector<MoveCode> mating;
      for (const MoveCode m : ref::legal_checks(pos, 0)) {
        if (m == c.answer[ply - 1]) continue;
        const ref::Position next = ref::after(pos, 0, m);
        const std::vector<MoveCode> replies = ref::legal_moves(next, 1);
        bool mates = true;
        if (replies.empty()) {
          mates = move_from(m) != hand_square(OWNER_ATTACKER, PAWN);  // a pawn-drop mate is none
        } else if (ply == n) {
          mates = false;  // at the last move only an immediate mate is asked
        } else {
          bounded_mate::Table table(1 << 16);
          for (const MoveCode r : replies)
            if (bounded_mate::shortest_within(ref::after(next, 1, r), bound - 2, table).plies == 0) mates = false;
        }
        if (mates) mating.push_back(m);
      }
      std::vector<MoveCode> reported;
      for (const Finding& f : c.report.findings)
        if (f.ply == ply && f.kind != FINDING_EQUAL && f.kind != FINDING_LONGER) reported.push_back(f.move);
      std::sort(mating.begin(), mating.end());
      std::sort(reported.begin(), reported.end());
      // Every brute-force mate is reported; a reported one may be longer than the bound.
      for (const MoveCode m : mating) {
        EXPECT_NE(std::find(reported.begin(), reported.end(), m), reported.end()) << sfen << " ply " << ply;
      }
      for (const Finding& f : c.report.findings) {
        if (f.ply == ply && f.kind != FINDING_EQUAL && f.kind != FINDING_LONGER) {
          EXPECT_TRUE(mates_from(c.answer, ply - 1, f.line)) << sfen << " ply " << ply;
        }
      }
      if (ply + 1 < n) pos = ref::after(ref::after(pos, 0, c.answer[ply - 1]), 1, c.answer[ply]);
    }
  }
}

}  // namespace

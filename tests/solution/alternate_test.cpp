// The alternate-solution search end to end: the engine over pipes with
// Do_YoTsume_Search on. Every line the tests expect is played on the board
// with the rules reference, and the claims about a problem (which first moves
// mate, which do not) are checked there too, so that nothing expected is taken
// from the engine itself.
#include <gtest/gtest.h>

#include "support/cp932.h"
#include <iconv.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine_process.h"
#include "rules_reference.h"
#include "position/make_move.h"
#include "support/mate_check.h"
#include "support/position_helpers.h"
#include "support/problems.h"
#include "support/rotation.h"
#include "support/usi_moves.h"

namespace {

namespace ref = rules_reference;

// ------------------------------------------------------------ message texts


const std::string START_LINE =
    to_cp932("info string Now start to search another solution.  この手順を作意として余詰検索を開始します。");
const std::string NOT_FOUND_LINE =
    to_cp932("info string Another solution was not found.  余詰は見つかりませんでした。");
const std::string TIMED_OUT_LINE =
    to_cp932("info string Another solution search timed out.  余詰検索は時間切れになりました。");
// The main solve's own line before the rounds: these mates are short enough
// for the proof that nothing shorter exists to finish.
const std::string PROVEN_LINE = "info string The mate is proven shortest.";
const std::string REPORT_PREFIX = "info string Another solution was found at ";

// Japanese notation of a USI move in the coordinates of the given SFEN; the
// piece is read from the board, which stands before the move.
std::string japanese_move(const std::string& usi, MoveCode code) {
  static const char* const FILES[] = {"", "１", "２", "３", "４", "５", "６", "７", "８", "９"};
  static const char* const RANKS[] = {"", "一", "二", "三", "四", "五", "六", "七", "八", "九"};
  static const char* const NAMES[] = {"",   "歩",   "香",   "桂", "銀", "金", "角", "飛",
                                      "と", "成香", "成桂", "成銀", "馬", "龍", "玉"};
  static const std::string DROP_LETTERS = " PLNSGBR";
  std::string out = std::string(FILES[usi[2] - '0']) + RANKS[usi[3] - 'a' + 1];
  if (usi[1] == '*') return out + NAMES[DROP_LETTERS.find(usi[0])] + "打";
  out += NAMES[board.pieces[move_from(code)]];
  if (usi.size() == 5) out += "成";
  return out + "(" + usi[0] + std::to_string(usi[1] - 'a' + 1) + ")";
}

// ------------------------------------------------------------ problems on the board

struct Played {
  std::vector<MoveCode> codes;
  std::vector<std::pair<int16_t, int16_t>> captures;
};

// Plays USI moves from the board's position, the attacker first.
Played play(const std::vector<std::string>& moves) {
  Played p;
  for (size_t i = 0; i < moves.size(); ++i) {
    const int side = static_cast<int>(i & 1);
    const MoveCode m = usi_to_code(moves[i], side, board.flipped != 0);
    EXPECT_TRUE(ref::is_legal(side, m)) << moves[i];
    int16_t cp, co;
    make_move(static_cast<int16_t>(side), move_of(m), cp, co);
    p.codes.push_back(m);
    p.captures.push_back({cp, co});
  }
  return p;
}

void take_back(const Played& p) {
  for (int i = static_cast<int>(p.codes.size()) - 1; i >= 0; --i)
    unmake_move(static_cast<int16_t>(i & 1), move_of(p.codes[i]), p.captures[i].first, p.captures[i].second);
}

// USI text of a move in the coordinates of the SFEN on the board.
std::string usi_of(MoveCode m) {
  auto square = [](int sq) {
    const int file = board.flipped ? sq % 9 + 1 : 9 - sq % 9;
    const int rank = board.flipped ? sq / 9 + 1 : 9 - sq / 9;
    return std::to_string(file) + static_cast<char>('a' + rank - 1);
  };
  const int from = move_from(m), to = m & 0x7F;
  if (from > HAND_SQUARE_BASE) return std::string(1, " PLNSGBR"[(from - HAND_SQUARE_BASE) % 15]) + "*" + square(to);
  return square(from) + square(to) + ((m & PROMOTION_BIT) ? "+" : "");
}

bool is_pawn_drop(MoveCode m) { return move_from(m) == hand_square(0, PAWN); }

// The attacker mates within `plies` plies whatever the defender does.
bool forced_mate(const ref::Position& pos, int plies) {
  for (MoveCode check : ref::legal_checks(pos, 0)) {
    const ref::Position next = ref::after(pos, 0, check);
    const std::vector<MoveCode> replies = ref::legal_moves(next, 1);
    if (replies.empty()) {
      if (!is_pawn_drop(check)) return true;
      continue;
    }
    if (plies < 3) continue;
    bool all = true;
    for (MoveCode reply : replies) {
      if (!forced_mate(ref::after(next, 1, reply), plies - 2)) {
        all = false;
        break;
      }
    }
    if (all) return true;
  }
  return false;
}

// `check` mates at once or leads to a forced mate within `plies` plies in all.
bool check_forces_mate(const ref::Position& pos, MoveCode check, int plies) {
  const ref::Position next = ref::after(pos, 0, check);
  const std::vector<MoveCode> replies = ref::legal_moves(next, 1);
  if (replies.empty()) return !is_pawn_drop(check);
  if (plies < 3) return false;
  for (MoveCode reply : replies)
    if (!forced_mate(ref::after(next, 1, reply), plies - 2)) return false;
  return true;
}

// The defender can answer `check` so that the attacker has no check left:
// no mate of any length follows it.
bool refuted_for_good(const ref::Position& pos, MoveCode check) {
  const ref::Position next = ref::after(pos, 0, check);
  for (MoveCode reply : ref::legal_moves(next, 1))
    if (ref::legal_checks(ref::after(next, 1, reply), 0).empty()) return true;
  return false;
}

int attacker_hand_count() {
  int n = 0;
  for (int piece = PAWN; piece <= ROOK; ++piece) n += board.hands[0][piece];
  return n;
}

std::string rotated_usi(std::string usi) {
  auto turn = [&](size_t at) {
    usi[at] = static_cast<char>('0' + 10 - (usi[at] - '0'));
    usi[at + 1] = static_cast<char>('a' + ('i' - usi[at + 1]));
  };
  if (usi[1] != '*') turn(0);
  turn(2);
  return usi;
}

// ------------------------------------------------------------ engine replies

struct Report {
  int ply = 0;
  std::string intended;  // USI
  std::string found;     // USI
  std::string line;      // the whole line as written
};

struct Reply {
  std::vector<std::string> lines;  // everything before the answer
  std::string answer;              // "checkmate ..."

  std::vector<std::string> moves() const {
    std::vector<std::string> words = split_words(answer);
    if (!words.empty()) words.erase(words.begin());
    return words;
  }
  std::vector<std::string> info_strings() const {
    std::vector<std::string> out;
    for (const std::string& l : lines)
      if (l.rfind("info string", 0) == 0) out.push_back(l);
    return out;
  }
  bool has_line(const std::string& wanted) const {
    return std::find(lines.begin(), lines.end(), wanted) != lines.end();
  }
  std::vector<Report> reports() const {
    std::vector<Report> out;
    for (const std::string& l : lines) {
      if (l.rfind(REPORT_PREFIX, 0) != 0) continue;
      Report r;
      r.line = l;
      size_t at = REPORT_PREFIX.size();
      r.ply = std::stoi(l.substr(at));
      at = l.find(" ply.(", at) + 6;
      const size_t arrow = l.find(" -> ", at);
      const size_t close = l.find(')', arrow);
      r.intended = l.substr(at, arrow - at);
      r.found = l.substr(arrow + 4, close - arrow - 4);
      out.push_back(r);
    }
    return out;
  }
  // The principal variation of the main solve's final line (the line before
  // the alternate-solution search starts).
  // The last line shown before the rounds start (earlier ones show mates
  // found on the way to the shortest).
  std::vector<std::string> main_pv() const {
    std::vector<std::string> pv;
    for (const std::string& l : lines) {
      if (l == START_LINE) break;
      const size_t at = l.find(" pv ");
      if (l.rfind("info ", 0) == 0 && at != std::string::npos) pv = split_words(l.substr(at + 4));
    }
    return pv;
  }
};

// The whole report line for a deviation at `ply` of the answer `intended`
// (USI moves) to `found`, on the problem `sfen`.
std::string expected_report(const std::string& sfen, const std::vector<std::string>& intended, int ply,
                            const std::string& found) {
  setup_position(sfen);
  const Played prefix = play(std::vector<std::string>(intended.begin(), intended.begin() + ply - 1));
  const int side = (ply - 1) & 1;
  const std::string& mine = intended[ply - 1];
  const std::string text = "info string Another solution was found at " + std::to_string(ply) + " ply.(" + mine +
                           " -> " + found + ")  " + std::to_string(ply) + "手目に余詰が見つかりました。(" +
                           japanese_move(mine, usi_to_code(mine, side, board.flipped != 0)) + " -> " +
                           japanese_move(found, usi_to_code(found, side, board.flipped != 0)) + ")";
  take_back(prefix);
  return to_cp932(text);
}

// Checks "checkmate <moves>" as a mating line of `sfen`.
void expect_mating_answer(const std::string& sfen, const std::vector<std::string>& moves) {
  setup_position(sfen);
  ASSERT_FALSE(moves.empty()) << sfen;
  std::vector<MoveCode> line;
  for (size_t i = 0; i < moves.size(); ++i) {
    const MoveCode m = usi_to_code(moves[i], static_cast<int>(i & 1), board.flipped != 0);
    ASSERT_NE(m, 0) << moves[i];
    line.push_back(m);
  }
  expect_mating_line(line, sfen);
}

class AlternateSearch : public testing::Test {
 protected:
  void SetUp() override {
    build_zobrist();
    ASSERT_TRUE(engine.started());
    engine.send_line("usi");
    while (auto line = engine.read_line()) {
      if (*line == "usiok") break;
    }
    engine.send_line("setoption name USI_Hash value 16");
  }

  // Options apply between games; a new game follows.
  void options(bool alternate_search, int seconds = 30) {
    engine.send_line("gameover win");
    engine.send_line(std::string("setoption name Do_YoTsume_Search value ") + (alternate_search ? "true" : "false"));
    engine.send_line("setoption name YoTsume_Second value " + std::to_string(seconds));
    engine.send_line("usinewgame");
  }

  Reply solve(const std::string& sfen, const std::string& go = "go mate 30000") {
    Reply reply;
    engine.send_line("position sfen " + sfen);
    engine.send_line(go);
    while (auto line = engine.read_line(120000)) {
      if (line->rfind("checkmate", 0) == 0) {
        reply.answer = *line;
        return reply;
      }
      reply.lines.push_back(*line);
    }
    reply.answer = "(no answer)";
    return reply;
  }

  EngineProcess engine{engine_under_test(KESTRANE_BIN)};
};

// ------------------------------------------------------------ the problems

// 3 plies, sound: P*1b 1a2b 3c3b+. The only other checks, the silver's step
// to 1b with or without promotion, are answered so that the attacker has no
// check left.
const std::string UNIQUE = "5p1Sk/7P1/6Prl/9/9/9/9/9/9 b P 1";

// 3 plies, two ways to take the bishop on 2a with check: the gold (covered by
// the knight) or the knight, promoting (covered by the gold). Either way the
// king must go to 1b and B*2c mates.
const std::string TWO_CAPTURES = "6Gbk/9/8N/7+P1/9/9/9/9/9 b - 1";

// 5 plies: 3c2b is the only check and the king must take it; then the silver
// on 2c can be taken with check by the gold or by the pawn, promoting, and
// either way the king is mated two plies later.
const std::string THIRD_PLY = "8k/9/5P+Ps1/6+pPG/9/9/9/9/9 b - 1";

// The silver takes the pawn with check, 4a3b+ 2a1a, and 3b2b mates with three
// pieces in hand: value 3 - 2 * 3 = -3. G*2b mates at once but keeps only the
// pawn: value 1 - 2 * 1 = -1, so it is an alternate that ends with the move
// that leaves the main line.
const std::string MATE_AT_ONCE = "5S1k1/6p2/7G1/9/9/9/9/9/9 b GP 1";

// The king in the corner with its own pawn on 2b; 3b, 1c and 2c guarded, and
// the defender has nothing to interpose. A rook or lance check along file 1
// drives the king to 2a, a rook check along rank a to 1b, and the other line
// mates: the rook drops on file 1 and rank a, the lance drops on file 1 and
// the board rook's move to 5a, promoting or not, all lead to mate in three.
const std::string MANY = "8k/7p1/6P2/4R1S2/7N1/9/9/9/9 b RL 1";

// Two golds' mates: G*1b and G*2b both mate at once (covered by the pawn on
// 1c and by the gold on 3b).
const std::string TWO_ONE_MOVE_MATES = "8k/6G2/8P/9/9/9/9/9/9 b G 1";

// ------------------------------------------------------------ tests

TEST_F(AlternateSearch, SoundProblemIsSearchedAndFoundSound) {
  setup_position(UNIQUE);
  const ref::Position root = ref::Position::from_board();
  const MoveCode intended_first = usi_to_code("P*1b", 0, false);
  for (MoveCode check : ref::legal_checks(root, 0)) {
    if (check != intended_first) {
      EXPECT_TRUE(refuted_for_good(root, check)) << ref::move_name(check);
    }
  }

  options(true);
  const Reply reply = solve(UNIQUE);
  ASSERT_EQ(reply.moves().size(), 3u) << reply.answer;
  EXPECT_EQ(reply.moves()[0], "P*1b");
  expect_mating_answer(UNIQUE, reply.moves());
  // The start line, the search's progress, the verdict, then the answer.
  const auto start = std::find(reply.lines.begin(), reply.lines.end(), START_LINE);
  const auto verdict = std::find(reply.lines.begin(), reply.lines.end(), NOT_FOUND_LINE);
  ASSERT_NE(start, reply.lines.end());
  ASSERT_NE(verdict, reply.lines.end());
  ASSERT_LT(start, verdict);
  EXPECT_EQ(verdict + 1, reply.lines.end()) << "the verdict comes last before the answer";
  bool progress = false;
  for (auto l = start + 1; l != verdict; ++l) {
    EXPECT_EQ(l->rfind("info string", 0), std::string::npos) << *l;
    progress |= l->rfind("info ", 0) == 0;
  }
  EXPECT_TRUE(progress) << "the alternate search writes its progress";
  EXPECT_EQ(reply.info_strings(), (std::vector<std::string>{PROVEN_LINE, START_LINE, NOT_FOUND_LINE}));
}

TEST_F(AlternateSearch, SecondFirstMoveIsReportedAtPlyOne) {
  setup_position(TWO_CAPTURES);
  const std::vector<MoveCode> checks = ref::legal_checks(0);
  const std::vector<MoveCode> both = {usi_to_code("1c2a+", 0, false), usi_to_code("3a2a", 0, false)};
  ASSERT_EQ(std::set<MoveCode>(checks.begin(), checks.end()), std::set<MoveCode>(both.begin(), both.end()));
  for (const char* first : {"3a2a", "1c2a+"}) {
    expect_mating_answer(TWO_CAPTURES, {first, "1a1b", "B*2c"});
    setup_position(TWO_CAPTURES);
    EXPECT_TRUE(check_forces_mate(ref::Position::from_board(), usi_to_code(first, 0, false), 3)) << first;
  }

  options(true);
  const Reply reply = solve(TWO_CAPTURES);
  const std::vector<std::string> answer = reply.moves();
  expect_mating_answer(TWO_CAPTURES, answer);
  ASSERT_EQ(answer.size(), 3u) << reply.answer;
  EXPECT_EQ(answer, reply.main_pv()) << "the answer is the main solution";
  const std::vector<Report> reports = reply.reports();
  ASSERT_EQ(reports.size(), 1u) << reply.answer;
  EXPECT_EQ(reports[0].ply, 1);
  EXPECT_EQ(reports[0].intended, answer[0]);
  EXPECT_EQ(std::set<std::string>({reports[0].intended, reports[0].found}),
            std::set<std::string>({"3a2a", "1c2a+"}));
  EXPECT_EQ(reports[0].line, expected_report(TWO_CAPTURES, answer, 1, reports[0].found));
  EXPECT_TRUE(reply.has_line(START_LINE));
  EXPECT_FALSE(reply.has_line(NOT_FOUND_LINE));
  EXPECT_FALSE(reply.has_line(TIMED_OUT_LINE));

  // White to move: the same problem turned round, reported in the
  // coordinates it was given in.
  const std::string white = rotated_sfen(TWO_CAPTURES);
  const Reply turned = solve(white);
  std::vector<std::string> turned_answer;
  for (const std::string& m : answer) turned_answer.push_back(rotated_usi(m));
  EXPECT_EQ(turned.moves(), turned_answer);
  expect_mating_answer(white, turned.moves());
  const std::vector<Report> turned_reports = turned.reports();
  ASSERT_EQ(turned_reports.size(), 1u) << turned.answer;
  EXPECT_EQ(turned_reports[0].ply, 1);
  EXPECT_EQ(turned_reports[0].intended, rotated_usi(reports[0].intended));
  EXPECT_EQ(turned_reports[0].found, rotated_usi(reports[0].found));
  EXPECT_EQ(turned_reports[0].line, expected_report(white, turned_answer, 1, turned_reports[0].found));
}

TEST_F(AlternateSearch, AlternateLeavingAtPlyThreeIsReportedThere) {
  setup_position(THIRD_PLY);
  ASSERT_EQ(ref::legal_checks(0).size(), 1u) << "no other first move at all";

  options(true);
  const Reply reply = solve(THIRD_PLY);
  const std::vector<std::string> answer = reply.moves();
  expect_mating_answer(THIRD_PLY, answer);
  ASSERT_EQ(answer.size(), 5u) << reply.answer;
  EXPECT_EQ(answer, reply.main_pv());

  // The checks at ply 3 of the answer, and those that mate within 3 plies.
  setup_position(THIRD_PLY);
  const Played prefix = play({answer[0], answer[1]});
  const ref::Position third = ref::Position::from_board();
  std::set<std::string> checks, mating;
  for (MoveCode check : ref::legal_checks(third, 0)) {
    const std::string usi = usi_of(check);
    if (usi == answer[2]) continue;
    checks.insert(usi);
    if (check_forces_mate(third, check, 3)) mating.insert(usi);
  }
  take_back(prefix);
  ASSERT_FALSE(mating.empty());

  // Each round reports its alternate once, at ply 3; every mating one is
  // found before the rounds run dry.
  std::set<std::string> reported;
  for (const Report& r : reply.reports()) {
    EXPECT_EQ(r.ply, 3) << r.line;
    EXPECT_EQ(r.intended, answer[2]);
    EXPECT_TRUE(checks.count(r.found)) << r.line;
    EXPECT_TRUE(reported.insert(r.found).second) << r.line;
    EXPECT_EQ(r.line, expected_report(THIRD_PLY, answer, 3, r.found));
  }
  for (const std::string& m : mating) EXPECT_TRUE(reported.count(m)) << m;
  EXPECT_FALSE(reply.has_line(NOT_FOUND_LINE));
}

TEST_F(AlternateSearch, AlternateThatMatesWithTheDifferingMove) {
  setup_position(MATE_AT_ONCE);
  const MoveCode drop = usi_to_code("G*2b", 0, false);
  ASSERT_TRUE(ref::is_legal(0, drop));
  expect_mating_answer(MATE_AT_ONCE, {"G*2b"});

  options(true);
  const Reply reply = solve(MATE_AT_ONCE);
  const std::vector<std::string> answer = reply.moves();
  expect_mating_answer(MATE_AT_ONCE, answer);
  ASSERT_EQ(answer.size(), 3u) << reply.answer;
  EXPECT_EQ(answer[0], "4a3b+");
  setup_position(MATE_AT_ONCE);
  const Played line = play(answer);
  EXPECT_EQ(3 - 2 * attacker_hand_count(), -3) << "the main line keeps three pieces in hand";
  take_back(line);

  const std::vector<Report> reports = reply.reports();
  const auto it = std::find_if(reports.begin(), reports.end(), [](const Report& r) { return r.found == "G*2b"; });
  ASSERT_NE(it, reports.end()) << reply.answer;
  EXPECT_EQ(it->ply, 1);
  EXPECT_EQ(it->line, expected_report(MATE_AT_ONCE, answer, 1, "G*2b"));
  // Every round bars its alternate, so no branch is reported twice, and the
  // rounds go on after the one whose alternate mated at once.
  std::set<std::pair<int, std::string>> seen;
  setup_position(MATE_AT_ONCE);
  for (const Report& r : reports) {
    EXPECT_TRUE(seen.insert({r.ply, r.found}).second) << r.found;
    EXPECT_EQ(r.ply, 1) << "the final move's alternatives do not count";
    EXPECT_NE(r.found, answer[0]);
    EXPECT_TRUE(ref::is_legal(0, usi_to_code(r.found, 0, false))) << r.found;
    EXPECT_TRUE(ref::gives_check(0, usi_to_code(r.found, 0, false))) << r.found;
  }
  EXPECT_GT(reports.size(), 1u);
  EXPECT_EQ(reply.moves(), reply.main_pv());
}

TEST_F(AlternateSearch, ChoicesOfTheFinalMateAreNoAlternates) {
  setup_position(TWO_ONE_MOVE_MATES);
  int mates = 0;
  for (MoveCode check : ref::legal_checks(0)) {
    if (ref::legal_moves(ref::after(ref::Position::from_board(), 0, check), 1).empty()) ++mates;
  }
  ASSERT_GE(mates, 2);

  options(true);
  const Reply reply = solve(TWO_ONE_MOVE_MATES);
  ASSERT_EQ(reply.moves().size(), 1u) << reply.answer;
  expect_mating_answer(TWO_ONE_MOVE_MATES, reply.moves());
  EXPECT_TRUE(reply.reports().empty()) << reply.reports()[0].line;
  EXPECT_EQ(reply.info_strings(), (std::vector<std::string>{PROVEN_LINE, START_LINE, NOT_FOUND_LINE}));
}

TEST_F(AlternateSearch, EveryAlternateIsReportedAndTheMainSolutionStands) {
  options(true);
  const Reply reply = solve(MANY);
  const std::vector<std::string> answer = reply.moves();
  expect_mating_answer(MANY, answer);
  EXPECT_EQ(answer, reply.main_pv());

  // More than twenty first moves other than the answer's force mate in three.
  setup_position(MANY);
  const ref::Position root = ref::Position::from_board();
  const MoveCode first = usi_to_code(answer[0], 0, false);
  int alternates = 0;
  for (MoveCode check : ref::legal_checks(root, 0))
    if (check != first && check_forces_mate(root, check, 3)) ++alternates;
  ASSERT_GT(alternates, 20);

  // Each of them is reported, once (a longer mate is one too).
  const std::vector<Report> reports = reply.reports();
  int first_ply = 0;
  for (const Report& r : reports) first_ply += r.ply == 1;
  EXPECT_GE(first_ply, alternates);
  std::set<std::pair<int, std::string>> seen;
  for (const Report& r : reports) {
    EXPECT_TRUE(seen.insert({r.ply, r.found}).second) << r.line;
    ASSERT_GE(r.ply, 1);
    ASSERT_LT(r.ply, static_cast<int>(answer.size())) << "never the final move";
    EXPECT_EQ(r.ply % 2, 1) << "the attacker leaves the line";
    EXPECT_EQ(r.intended, answer[r.ply - 1]);
    setup_position(MANY);
    const Played prefix = play(std::vector<std::string>(answer.begin(), answer.begin() + r.ply - 1));
    const MoveCode m = usi_to_code(r.found, 0, false);
    EXPECT_TRUE(ref::is_legal(0, m) && ref::gives_check(0, m)) << r.line;
    take_back(prefix);
  }
  EXPECT_FALSE(reply.has_line(NOT_FOUND_LINE));
}

TEST_F(AlternateSearch, SameProblemTwiceGivesTheSameAnswerAndReport) {
  options(true);
  const Reply first = solve(TWO_CAPTURES);
  const Reply second = solve(TWO_CAPTURES);
  expect_mating_answer(TWO_CAPTURES, first.moves());
  EXPECT_EQ(second.answer, first.answer);
  // The second main solve is answered from the table: no final line of it.
  EXPECT_TRUE(second.main_pv().empty());
  // The alternate found the first time is still an alternate the second time.
  ASSERT_EQ(first.reports().size(), 1u);
  ASSERT_EQ(second.reports().size(), 1u);
  EXPECT_EQ(second.reports()[0].line, first.reports()[0].line);
  EXPECT_FALSE(second.has_line(NOT_FOUND_LINE));

  // A sound problem stays sound.
  const Reply unique_first = solve(UNIQUE);
  const Reply unique_second = solve(UNIQUE);
  EXPECT_EQ(unique_second.answer, unique_first.answer);
  EXPECT_TRUE(unique_second.has_line(NOT_FOUND_LINE));
}

TEST_F(AlternateSearch, TheRoundsLeaveTheAnswerAsItIs) {
  // After R*2b the table may keep 2a1a S*1b, a mate of the root's value that
  // is no main line (2a3a holds out longer); the answer's line is settled to
  // 2a3a, and the rounds must mark that line, not the table's.
  const std::string settled = "7k1/9/8G/9/9/9/9/9/9 b SRr2b3g3s4n4l18p 1";
  for (const std::string& sfen : {settled, TWO_CAPTURES, MANY}) {
    options(false);
    const Reply without = solve(sfen);
    options(true);
    const Reply with = solve(sfen);
    expect_mating_answer(sfen, without.moves());
    EXPECT_EQ(with.answer, without.answer) << sfen;
  }
}

TEST_F(AlternateSearch, RoundZeroTimeOutIsNoVerdictOfSoundness) {
  // A classic whose main solve is quick, while proving that no other mate
  // exists takes far longer than the one second given.
  const Problem classic = load_problems("zukou.sfen")[14];
  options(true, 1);
  const Reply reply = solve(classic.sfen);
  const std::vector<std::string> answer = reply.moves();
  expect_mating_answer(classic.sfen, answer);
  EXPECT_EQ(std::to_string(answer.size()), classic.known);
  EXPECT_EQ(answer, reply.main_pv());
  EXPECT_TRUE(reply.has_line(TIMED_OUT_LINE));
  EXPECT_FALSE(reply.has_line(NOT_FOUND_LINE));
  EXPECT_TRUE(reply.reports().empty());
}

TEST_F(AlternateSearch, OnlyAMateWithTheOptionOnStartsTheRounds) {
  options(false);
  for (const std::string& sfen : {TWO_CAPTURES, UNIQUE, MATE_AT_ONCE}) {
    const Reply reply = solve(sfen);
    expect_mating_answer(sfen, reply.moves());
    EXPECT_EQ(reply.info_strings(), std::vector<std::string>{PROVEN_LINE});
  }
  // With the option on, a main solve that runs out of time or finds no
  // mate is answered as before: the rounds follow a mate only.
  options(true);
  const Reply timeout = solve(load_problems("zukou.sfen")[7].sfen, "go mate 200");
  EXPECT_EQ(timeout.answer, "checkmate timeout");
  EXPECT_TRUE(timeout.info_strings().empty()) << timeout.info_strings()[0];
  // A lone gold: every drop next to the king is taken, and nothing is left.
  const std::string lone_gold = "4k4/9/9/9/9/9/9/9/9 b G 1";
  setup_position(lone_gold);
  for (MoveCode check : ref::legal_checks(0)) {
    EXPECT_TRUE(refuted_for_good(ref::Position::from_board(), check)) << ref::move_name(check);
  }
  const Reply nomate = solve(lone_gold);
  EXPECT_EQ(nomate.answer, "checkmate nomate");
  EXPECT_TRUE(nomate.info_strings().empty()) << nomate.info_strings()[0];
}

}  // namespace

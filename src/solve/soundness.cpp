#include "solve/soundness.h"

#include <algorithm>

#include "platform/platform.h"
#include "position/board.h"
#include "position/make_move.h"
#include "search/node_search.h"
#include "search/search_state.h"
#include "search/tt.h"
#include "solution/line.h"
#include "solution/line_check.h"
#include "solve/driver.h"
#include "solve/main_line.h"
#include "solve/stop_request.h"

namespace {

// Nodes of the first round for each open question; each further round gives
// every question still open four times as many.
constexpr uint32_t FIRST_ROUND_NODES = 4000;
constexpr uint32_t ROUND_GROWTH = 4;
// A mating line read out of the table is cut here (a table that loops).
constexpr int MAX_READ_PLIES = 1000;
// No mate value known.
constexpr int NO_VALUE = -30000;

struct LinePosition {
  HashKey key;
  PackedHand hand;
};

// The check's own state: one check runs at a time, on the main thread.
Board root_board;
std::vector<MoveCode> intended;
std::vector<LinePosition> line_positions;  // [k]: after k plies of the line
std::vector<int16_t> captured_piece, captured_owner;
uint32_t check_start_ms = 0;
uint32_t check_budget_ms = 0;
// The end of the current phase, from the check's start (0: the budget's).
uint32_t phase_end_ms = 0;
// The alternate questions take this share of the budget first, so that the
// defender's variations have time of their own; each phase leaves what it
// does not use to the next, and the questions still open come back last.
constexpr uint32_t ALTERNATE_SHARE_PERCENT = 60;

// A question's search ended by the request's own limits (its clock, a node
// budget, a stop): no further question can make progress, so the check ends
// as when its time is spent, instead of asking again and again.
bool halted = false;

bool out_of_time() {
  if (halted) return true;
  const uint32_t now = platform_time_ms();
  if (stop_due(now)) return true;
  const uint32_t spent = now - check_start_ms;
  if (phase_end_ms != 0 && spent >= phase_end_ms) return true;
  return check_budget_ms != 0 && spent >= check_budget_ms;
}

// The board at the line's position after `plies` plies, reached by making
// the line's moves from the root, so that they are the search's path.
void enter_line(int plies) {
  board = root_board;
  reset_search_thread(KEEP_REQUEST_COUNTS, LENGTH_LIMIT_NONE);
  clear_path_counts();
  for (int k = 0; k < plies; ++k)
    make_move(static_cast<int16_t>(k & 1), move_of(intended[k]), captured_piece[k], captured_owner[k]);
}

// Makes the positions below the board's ply no part of the search's path:
// the search then asks whether the position mates at all, however often a
// position of the line comes back. A mate without the path is one with it
// unless its line returns to the path, and a disproof without it holds with
// it (the path only adds repetitions, which are the attacker's failures).
void forget_path() {
  for (int k = 0; k < board.ply && k < MOVE_STACK_SIZE; ++k) path_positions[k] = PathPosition{HashKey{0, 0}, 0};
  clear_path_counts();
}

void leave_line(int plies) {
  for (int k = plies; k-- > 0;)
    unmake_move(static_cast<int16_t>(k & 1), move_of(intended[k]), captured_piece[k], captured_owner[k]);
  board = root_board;
}

int hand_pieces() {
  int n = 0;
  for (int piece = PAWN; piece <= ROOK; ++piece) n += board.hands[OWNER_ATTACKER][piece];
  return n;
}

enum Answer { ANSWER_OPEN, ANSWER_MATE, ANSWER_NO_MATE };

// Whether the side to move at the board's ply (the root of this search, its
// path below it) is mated (defender to move) or mates (attacker), within
// about `node_cap` nodes. Most questions are disproofs, so the search is the
// disproof-led kind of the driver's first pass: both thresholds, the hardest
// reply plus one for each other (measured on zukou-013: 6 of 65 alternate
// questions open after 11 s, against 8 after 18 s when the nodes were shared
// with a proof-led search, and 22 after 25 s proof-led alone). `value`
// gets a proof's value from the root when the attacker is to move; a
// question that looks for a mate rather than a disproof asks `proof_led`.
Answer settle_node(uint32_t node_cap, int* value = nullptr, bool proof_led = false) {
  const bool defender = (board.ply & 1) != 0;
  const uint32_t cap = std::max<uint32_t>(nodes + node_cap, 1);
  for (int32_t th = 1;;) {
    trial_drop_piece = 0;
    stop_reason = STOP_NONE;
    weak_and_numbers = proof_led ? 0 : 1;
    turn_node_cap = cap;
    int32_t pn = 1, dn = 1;
    uint32_t hand = 0;
    const int32_t th_dn = proof_led ? PN_INFINITE : MAX_ROOT_THRESHOLD;
    const int16_t result =
        defender ? search_defender(th, pn, dn, hand, th_dn) : search_attacker(th, pn, dn, hand, th_dn);
    turn_node_cap = 0;
    weak_and_numbers = 0;
    const int16_t stop = stop_reason;
    stop_reason = STOP_NONE;
    if (stop == STOP_TURN) break;
    if (stop != STOP_NONE) {
      halted = true;
      return ANSWER_OPEN;
    }
    if (pn == 0) {
      if (value != nullptr) *value = result == PATH_SMALLER_HAND_RESULT ? NO_VALUE : result - board.ply;
      return ANSWER_MATE;
    }
    if (pn >= PN_INFINITE || dn == 0) return ANSWER_NO_MATE;
    if (th >= MAX_ROOT_THRESHOLD || pn >= MAX_ROOT_THRESHOLD) break;
    th = next_root_threshold(std::max(pn, th));
  }
  return ANSWER_OPEN;
}

// The table's proven line from the board's position, `side` to move: the best
// moves while the positions are proven. The board is left as it was.
std::vector<MoveCode> proven_line(int side) {
  std::vector<MoveCode> line;
  std::vector<std::pair<int16_t, int16_t>> captures;
  while (static_cast<int>(line.size()) < MAX_READ_PLIES && board.ply < MAX_NODE_PLY) {
    uint32_t hand = 0;
    int16_t length = 0;
    int32_t pn = 1, dn = 1;
    if (!tt_probe(side, hand, length, pn, dn) || pn != 0) break;
    const MoveCode m = tt_hint_move;
    if (m == 0 || !table_move_valid(side, m)) break;
    int16_t cp = 0, co = 0;
    make_move(static_cast<int16_t>(side), move_of(m), cp, co);
    line.push_back(m);
    captures.push_back({cp, co});
    side ^= 1;
  }
  for (size_t k = line.size(); k-- > 0;) {
    side ^= 1;
    unmake_move(static_cast<int16_t>(side), move_of(line[k]), captures[k].first, captures[k].second);
  }
  return line;
}

// Whether `line` (from the board's position, attacker first) mates by the
// rules.
bool mates_by_rules(const std::vector<MoveCode>& line) {
  std::vector<MoveCode> ended(line);
  ended.push_back(0);
  return line_mates(ended.data());
}

// The first ply of the intended line, from `first`, whose position the
// other line (played from the board's position) reaches with the same side
// to move; 0 when it reaches none.
int rejoined_ply(const std::vector<MoveCode>& line, int first) {
  const int base = board.ply;
  int side = base & 1;
  std::vector<std::pair<int16_t, int16_t>> captures;
  int found = 0;
  for (size_t t = 0; t < line.size() && found == 0; ++t) {
    int16_t cp = 0, co = 0;
    make_move(static_cast<int16_t>(side), move_of(line[t]), cp, co);
    captures.push_back({cp, co});
    side ^= 1;
    const int at = base + static_cast<int>(t) + 1;
    for (int j = first; j < static_cast<int>(line_positions.size()) && found == 0; ++j) {
      if (((j - at) & 1) != 0) continue;
      const LinePosition& p = line_positions[j];
      if (p.key.lo == board.board_key.lo && p.key.hi == board.board_key.hi && p.hand == board.attacker_hand) found = j;
    }
  }
  for (size_t k = captures.size(); k-- > 0;) {
    side ^= 1;
    unmake_move(static_cast<int16_t>(side), move_of(line[k]), captures[k].first, captures[k].second);
  }
  return found;
}

bool is_twin(MoveCode a, MoveCode b) { return a != b && (a & ~PROMOTION_BIT) == (b & ~PROMOTION_BIT); }

struct Question {
  int ply;  // 1-based ply of the line where `move` is the other move
  MoveCode move;
  bool twin;
  bool settled = false;
  // A mate whose line read from the table does not mate by the rules: no
  // more nodes change that, so it is asked no more and stays open.
  bool unverified = false;
};

// The other check `q.move` at its ply, searched with the line as the path.
// Settles the question or leaves it open.
// The question is first asked without the path, whose repetitions would keep
// the disproofs from serving the other questions; only a mate whose line
// returns to the path is asked again with it.
void ask_alternate(Question& q, uint32_t node_cap, SoundnessReport& report) {
  Answer answer = ANSWER_OPEN;
  std::vector<MoveCode> tail;
  for (const bool with_path : {false, true}) {
    enter_line(q.ply - 1);
    int16_t cp = 0, co = 0;
    make_move(OWNER_ATTACKER, move_of(q.move), cp, co);
    if (!with_path) forget_path();
    answer = settle_node(node_cap);
    tail.clear();
    if (answer == ANSWER_MATE) tail = proven_line(OWNER_DEFENDER);
    unmake_move(OWNER_ATTACKER, move_of(q.move), cp, co);
    if (answer != ANSWER_MATE || with_path) break;
    std::vector<MoveCode> line{q.move};
    line.insert(line.end(), tail.begin(), tail.end());
    const int back = rejoined_ply(line, 0);
    if (back == 0 || back >= q.ply) break;
    leave_line(q.ply - 1);
  }
  if (answer == ANSWER_OPEN) {
    leave_line(q.ply - 1);
    return;
  }
  q.settled = true;
  if (answer == ANSWER_MATE) {
    std::vector<MoveCode> line{q.move};
    line.insert(line.end(), tail.begin(), tail.end());
    if (!mates_by_rules(line)) {
      // The table's line does not show the mate: no verdict on this move.
      q.unverified = true;
    } else {
      Finding f;
      f.ply = q.ply;
      f.move = q.move;
      f.line = line;
      f.rejoin_ply = rejoined_ply(line, 0);
      if (f.rejoin_ply != 0 && f.rejoin_ply < q.ply) {
        // Back to a position before the branch: a repetition, no alternate.
      } else {
        f.kind = q.twin ? FINDING_TWIN : f.rejoin_ply != 0 ? FINDING_DETOUR : FINDING_ALTERNATE;
        report.findings.push_back(f);
      }
    }
  }
  leave_line(q.ply - 1);
}

// The other mating moves at the last attacker move: notes, also in a
// one-move problem (where judges ask the move to be unique: the composer
// weighs the note).
void last_move_mates(SoundnessReport& report) {
  const int n = static_cast<int>(intended.size());
  enter_line(n - 1);
  std::vector<MoveCode> checks;
  legal_attacker_checks(checks);
  for (const MoveCode m : checks) {
    if (m == intended[n - 1] || !mates_by_rules({m})) continue;
    Finding f;
    f.ply = n;
    f.move = m;
    f.line = {m};
    f.kind = is_twin(m, intended[n - 1]) ? FINDING_TWIN : FINDING_LAST_MOVE;
    report.findings.push_back(f);
  }
  leave_line(n - 1);
  report.plies[n - 1].state = PLY_CLEAR;
}

std::vector<Question> questions;
uint32_t round_cap = FIRST_ROUND_NODES;

void collect_alternate_questions() {
  const int n = static_cast<int>(intended.size());
  questions.clear();
  round_cap = FIRST_ROUND_NODES;
  for (int ply = 1; ply < n; ply += 2) {
    enter_line(ply - 1);
    std::vector<MoveCode> checks;
    legal_attacker_checks(checks);
    leave_line(ply - 1);
    for (const MoveCode m : checks)
      if (m != intended[ply - 1]) questions.push_back({ply, m, is_twin(m, intended[ply - 1])});
  }
}

// Rounds over the open questions, each with more nodes, until all are
// settled or the phase ends. A round cut short is taken up where it stopped.
void alternate_rounds(SoundnessReport& report) {
  while (true) {
    bool open = false;
    for (Question& q : questions) {
      if (q.settled) continue;
      if (out_of_time()) return;
      ask_alternate(q, round_cap, report);
      open |= !q.settled;
    }
    if (!open) return;
    round_cap = round_cap >= UINT32_MAX / ROUND_GROWTH ? UINT32_MAX : round_cap * ROUND_GROWTH;
  }
}

void alternate_states(SoundnessReport& report) {
  const int n = static_cast<int>(intended.size());
  for (int ply = 1; ply < n; ply += 2) report.plies[ply - 1].state = PLY_CLEAR;
  for (const Question& q : questions) {
    if (q.settled && !q.unverified) continue;
    report.plies[q.ply - 1].state = PLY_UNDECIDED;
    report.plies[q.ply - 1].open.push_back(q.move);
  }
  for (const Finding& f : report.findings)
    if (f.kind == FINDING_ALTERNATE) report.plies[f.ply - 1].state = PLY_FOUND;
}

// Least value of the board's position, attacker to move: false when it is
// not proven in time. `mate` gets the mate. Values below zero are real: a
// mate of one ply that leaves a piece in hand has the value -1.
bool least_value(MoveCode* mate, int& value) {
  if (out_of_time()) return false;
  const RequestOutcome kept = keep_request_outcome();
  const Board saved = board;
  // The inner solve's limit counts from the check's start, as the check's
  // own does, and is the check's again once it returns.
  const uint32_t limit = time_limit_ms;
  const bool proven = least_mate(check_budget_ms, mate, value);
  time_limit_ms = limit;
  board = saved;
  restore_request_outcome(kept);
  return proven;
}

// Pieces left in hand at the end of `mate` played from the board.
int pieces_left_after(const MoveCode* mate) {
  const Board saved = board;
  for (int k = 0; k < MAX_LINE_PLIES && mate[k] > 0; ++k) line_make(k & 1, mate[k], k + 1);
  const int left = hand_pieces();
  board = saved;
  return left;
}

MoveCode scratch_mate[LINE_ARRAY_SIZE];
Board reply_board;

// The defender's other replies at each defender move of the line: one that
// holds out longer than the line (the line is then not best play), or as long
// with nothing left in hand four or more plies before the end (a blemish).
// Each reply's position is searched as a root of its own: the defender may
// well return to a position of the line, which is no escape.
void variation_questions(SoundnessReport& report) {
  const int n = static_cast<int>(intended.size());
  for (int ply = 2; ply < n; ply += 2) {
    PlyCheck& check = report.plies[ply - 1];
    check.state = PLY_CLEAR;
    // The value the line has after its own reply here.
    const int needed = report.line_value - ply;
    enter_line(ply - 1);
    std::vector<MoveCode> replies;
    legal_defender_moves(replies);
    std::vector<bool> interposition;
    for (const MoveCode reply : replies) interposition.push_back(blocks_the_check(reply));
    leave_line(ply - 1);
    for (size_t r = 0; r < replies.size(); ++r) {
      const MoveCode reply = replies[r];
      if (reply == intended[ply - 1]) continue;
      if (out_of_time()) {
        if (check.state != PLY_FOUND) check.state = PLY_UNDECIDED;
        check.open.push_back(reply);
        continue;
      }
      enter_line(ply - 1);
      int16_t cp = 0, co = 0;
      make_move(OWNER_DEFENDER, move_of(reply), cp, co);
      reply_board = board;
      unmake_move(OWNER_DEFENDER, move_of(reply), cp, co);
      leave_line(ply - 1);

      board = reply_board;
      reset_search_thread(KEEP_REQUEST_COUNTS, LENGTH_LIMIT_NONE);
      clear_path_counts();
      int bound = NO_VALUE;
      const Answer quick = settle_node(FIRST_ROUND_NODES, &bound, true);
      int least = NO_VALUE;
      bool known = false;
      if (quick == ANSWER_MATE && bound != NO_VALUE && bound < needed) {
        least = bound;  // quicker than the line: nothing more to know
        known = true;
        scratch_mate[0] = 0;
      } else if (quick != ANSWER_NO_MATE) {
        board = reply_board;
        known = least_value(scratch_mate, least);
      }
      board = root_board;
      Finding f;
      f.ply = ply;
      f.move = reply;
      f.value = least;
      if (quick == ANSWER_NO_MATE) {
        // The defender escapes: the line's mate does not hold.
        f.kind = FINDING_LONGER;
        f.value = -1;
      } else if (!known) {
        if (check.state != PLY_FOUND) check.state = PLY_UNDECIDED;
        check.open.push_back(reply);
        continue;
      } else if (least > needed && !interposition[r]) {
        f.kind = FINDING_LONGER;
      } else if (least == needed && ply <= n - 3) {
        board = reply_board;
        const int left = pieces_left_after(scratch_mate);
        board = root_board;
        if (left != 0) continue;
        f.kind = FINDING_EQUAL;
      } else {
        // Quicker, or an interposition that only adds the plies of its
        // capture (futile), or a split in the last two plies.
        continue;
      }
      f.line.push_back(reply);
      if (known)
        for (int k = 0; k < MAX_LINE_PLIES && scratch_mate[k] > 0; ++k) f.line.push_back(scratch_mate[k]);
      report.findings.push_back(f);
      check.state = PLY_FOUND;
    }
  }
}

void decide_verdict(SoundnessReport& report) {
  const int n = static_cast<int>(intended.size());
  report.verdict = VERDICT_SOUND;
  const Finding* first_alternate = nullptr;
  const Finding* longer = nullptr;
  for (const Finding& f : report.findings) {
    if (f.kind == FINDING_ALTERNATE && (first_alternate == nullptr || f.ply < first_alternate->ply))
      first_alternate = &f;
    if (f.kind == FINDING_LONGER && (longer == nullptr || f.ply < longer->ply)) longer = &f;
  }
  bool open = false;
  for (const PlyCheck& p : report.plies) open |= p.state == PLY_UNDECIDED;
  int left = 0;
  for (int piece = PAWN; piece <= ROOK; ++piece) left += report.left_in_hand[piece];

  if (report.least_known && report.least_value < report.line_value) {
    report.verdict = VERDICT_SHORTER;
  } else if (longer != nullptr) {
    // A longer defence: the stated length is wrong when the problem's own
    // least value is longer; otherwise the line's reply there is no best play.
    report.verdict = report.least_known && report.least_value > report.line_value ? VERDICT_LONGER : VERDICT_LINE_WRONG;
    if (report.verdict == VERDICT_LINE_WRONG) report.fault = "not the longest defence";
    report.verdict_ply = longer->ply;
    report.verdict_move = longer->move;
  } else if (report.least_known && report.least_value > report.line_value) {
    report.verdict = VERDICT_LONGER;
  } else if (first_alternate != nullptr) {
    report.verdict = VERDICT_ALTERNATE;
    report.verdict_ply = first_alternate->ply;
    report.verdict_move = first_alternate->move;
  } else if (left != 0) {
    report.verdict = VERDICT_PIECES_LEFT;
    report.verdict_ply = n;
  } else if (open) {
    report.verdict = VERDICT_UNDECIDED;
  }
}

// The rules check of a stated line: the first ply that fails, and how.
bool stated_line_holds(SoundnessReport& report) {
  const int n = static_cast<int>(intended.size());
  std::vector<MoveCode> played;
  board = root_board;
  for (int k = 0; k < n; ++k) {
    const int side = k & 1;
    const MoveCode m = intended[k];
    std::vector<MoveCode> legal;
    if (side == OWNER_ATTACKER)
      legal_attacker_checks(legal);
    else
      legal_defender_moves(legal);
    if (std::find(legal.begin(), legal.end(), m) == legal.end()) {
      report.verdict_ply = k + 1;
      report.fault = side == OWNER_ATTACKER ? "not a legal check" : "not a legal reply";
      board = root_board;
      return false;
    }
    line_make(side, m, k + 1);
  }
  board = root_board;
  if (n % 2 == 0 || !mates_by_rules(intended)) {
    report.verdict_ply = n;
    const bool pawn_drop = n % 2 == 1 && move_from(intended[n - 1]) == hand_square(OWNER_ATTACKER, PAWN);
    report.fault = n % 2 == 0  ? "ends with a defender's move"
                   : pawn_drop ? "mate by a pawn drop"
                               : "no mate at the end";
    return false;
  }
  return true;
}

}  // namespace

bool finding_is_flaw(const Finding& finding) {
  return finding.kind == FINDING_ALTERNATE || finding.kind == FINDING_LONGER;
}

SoundnessReport check_intended_line(const std::vector<MoveCode>& line, bool stated, uint32_t check_ms) {
  SoundnessReport report;
  report.stated = stated;
  report.line = line;
  const uint32_t nodes_before = nodes;
  check_start_ms = platform_time_ms();
  check_budget_ms = check_ms;
  halted = false;
  root_board = board;
  intended = line;
  const int n = static_cast<int>(line.size());
  captured_piece.assign(n + 1, 0);
  captured_owner.assign(n + 1, 0);
  report.plies.assign(n, PlyCheck{});
  const SearchModes modes = search_modes;
  search_modes = SearchModes{};
  search_modes.stage_expansion_budget = modes.stage_expansion_budget;
  const uint32_t time_limit = time_limit_ms, limit_start = limit_start_ms;
  time_limit_ms = check_ms;
  limit_start_ms = check_start_ms;

  if (n == 0 || n > MAX_LINE_PLIES - 2) {
    report.verdict = VERDICT_LINE_WRONG;
    report.fault = n == 0 ? "no moves" : "too long";
  } else if (stated && !stated_line_holds(report)) {
    report.verdict = VERDICT_LINE_WRONG;
  } else {
    line_positions.clear();
    enter_line(0);
    line_positions.push_back({board.board_key, board.attacker_hand});
    for (int k = 0; k < n; ++k) {
      make_move(static_cast<int16_t>(k & 1), move_of(intended[k]), captured_piece[k], captured_owner[k]);
      line_positions.push_back({board.board_key, board.attacker_hand});
    }
    for (int piece = PAWN; piece <= ROOK; ++piece) report.left_in_hand[piece] = board.hands[OWNER_ATTACKER][piece];
    report.line_value = n - 2 * hand_pieces();
    leave_line(n);
    // The engine's own line, proven shortest by the solve, has the least value.
    // The engine's own line, proven shortest, has the least value; when it
    // is not proven, a quicker mate leaves the line somewhere and shows as an
    // alternate. A stated line's length is compared with the least value,
    // found within a third of the budget.
    report.least_known = !stated && shortest_state == SHORTEST_PROVEN;
    report.least_value = report.line_value;
    if (stated) {
      const uint32_t budget = check_budget_ms;
      if (budget != 0) check_budget_ms = budget / 3;
      report.least_known = least_value(scratch_mate, report.least_value);
      check_budget_ms = budget;
    }
    last_move_mates(report);
    collect_alternate_questions();
    phase_end_ms = check_budget_ms / 100 * ALTERNATE_SHARE_PERCENT;
    if (check_budget_ms != 0 && phase_end_ms == 0) phase_end_ms = 1;
    alternate_rounds(report);
    phase_end_ms = 0;
    variation_questions(report);
    alternate_rounds(report);
    alternate_states(report);

    decide_verdict(report);
  }
  board = root_board;
  search_modes = modes;
  time_limit_ms = time_limit;
  limit_start_ms = limit_start;
  reset_search_thread(KEEP_REQUEST_COUNTS, LENGTH_LIMIT_NONE);
  report.nodes = nodes - nodes_before;
  return report;
}

const char* verdict_name(uint8_t verdict) {
  switch (verdict) {
    case VERDICT_SOUND: return "sound";
    case VERDICT_ALTERNATE: return "alternate";
    case VERDICT_NO_MATE: return "nomate";
    case VERDICT_INVALID: return "invalid";
    case VERDICT_SHORTER: return "shorter";
    case VERDICT_LONGER: return "longer";
    case VERDICT_PIECES_LEFT: return "pieces-left";
    case VERDICT_LINE_WRONG: return "line-wrong";
    case VERDICT_UNDECIDED: return "undecided";
    default: return "timeout";
  }
}

const char* finding_name(uint8_t kind) {
  switch (kind) {
    case FINDING_ALTERNATE: return "alternate";
    case FINDING_TWIN: return "twin";
    case FINDING_LAST_MOVE: return "last-move";
    case FINDING_DETOUR: return "detour";
    case FINDING_EQUAL: return "equal";
    default: return "longer";
  }
}

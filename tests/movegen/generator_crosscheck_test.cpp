// The check and evasion generators against the test-only rules reference, on
// hand-made problems, random problem-like positions, the bundled collections
// and positions reached from them by a few legal moves.
//
// With an empty table every candidate that a probe finds legal (and checking,
// for the attacker) is listed, so the list is the set of moves tried. That
// set must be the reference's legal checks (attacker) or legal evasions
// (defender) minus the generators' deliberate omissions:
//
//  Attacker (table empty, not in restricted mode, no root symmetry):
//   A1. The plain (non-promoting) move of a PAWN, BISHOP or ROOK whose
//       promoting twin (same origin and destination) was listed, while the
//       attacker has no king. Nothing else is left out: lance, knight and
//       silver plain moves are always tried where the piece may stand, and
//       with the attacker's king on the board every plain move is tried.
//  Defender:
//   D1. The plain move of any piece whose promoting twin was listed.
//   D2. A drop on a square where a drop of an earlier kind, in the order
//       pawn, lance, knight, silver, gold, bishop, rook, was listed.
//   D3. Candidates after the node saturated (pn_sum >= 32700) are counted in
//       `nodes` but not listed; they obey D1 and D2 as if listed.
//   A defence whose child the table knows as mated is tried (counted) but
//   not listed, and it does not count as listed for D1 and D2: its plain
//   twin, or the next drop kind on its square, is tried instead.
//  Root symmetry (search_modes.symmetric_root = 1, only at ply 0):
//   S1. Board moves to columns 0-3, board moves to column 4 from columns
//       0-3, and drops on columns 0-3.
//
// With a low threshold some checks are left out of the list into the
// accumulators; `nodes` then still counts every tried check, and the plain
// twin of a promotion that was left out is tried (A1 needs a listed twin).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "rules_reference.h"
#include "movegen/generate.h"
#include "movegen/step_tables.h"
#include "position/keys.h"
#include "position/make_move.h"
#include "search/tt.h"
#include "support/position_helpers.h"

namespace {

using rules_reference::Position;

// ------------------------------------------------------------ reporting

// Collects failures of one test; only the first few are printed in full.
struct Report {
  int failures = 0;
  int attacker_positions = 0;
  int defender_positions = 0;
  std::string text;

  void fail(const std::string& where, const std::string& what) {
    if (++failures <= 12) text += "\n--- " + what + "\n    " + where;
  }
  void finish() const {
    if (failures > 0) ADD_FAILURE() << failures << " mismatch(es):" << text;
  }
};

std::string moves_text(const std::vector<MoveCode>& moves) {
  std::string out;
  for (MoveCode m : moves) out.append(" ").append(rules_reference::move_name(m));
  return out.empty() ? " (none)" : out;
}

bool contains(const std::vector<MoveCode>& moves, MoveCode move) {
  return std::find(moves.begin(), moves.end(), move) != moves.end();
}

int origin(MoveCode m) { return (m >> 8) & 0xFF; }
int destination(MoveCode m) { return m & 0x7F; }
bool promotes(MoveCode m) { return (m & PROMOTION_BIT) != 0; }
bool is_drop(MoveCode m) { return origin(m) >= SQUARES; }
MoveCode promoting_twin(MoveCode m) { return static_cast<MoveCode>(m | PROMOTION_BIT); }
int drop_kind(MoveCode m, int side) { return origin(m) - HAND_SQUARE_BASE - 15 * side; }
Move move_struct(MoveCode m) { return Move{static_cast<uint8_t>(origin(m)), static_cast<uint8_t>(m & 0xFF)}; }

// Small, and fresh wherever the tests need it empty.
constexpr uint32_t TABLE_ENTRIES = 1024;
bool fresh_table() {
  tt_release();
  return tt_allocate_entries(TABLE_ENTRIES);
}

// ------------------------------------------------------------ generation

struct Generated {
  std::vector<MoveCode> listed;  // in list order
  std::vector<MoveEntry> entries;
  uint32_t tried = 0;            // rise of `nodes`
  uint8_t overflow = 0;
};

// The accumulators as the node searches set them before generating.
void set_accumulators(int side, int32_t threshold, int32_t start_pn_sum) {
  node_threshold = threshold;
  rest_min_pn = PN_INFINITE;
  rest_dn_sum = 0;
  node_len = side == OWNER_ATTACKER ? 0 : LENGTH_INFINITE;
  pn_sum = start_pn_sum;
  proof_hand = 0;
  proof_len = -LENGTH_INFINITE;
  drop_mate_seen = 0;
  promo_flagged = 0;
  no_legal_evasion = 1;
  no_legal_candidate = 1;
  trial_drop_piece = 0;
  search_modes.refine_pass = 0;
  search_modes.reopen_main_line = 0;
}

struct BoardImage {
  int8_t pieces[SQUARES];
  uint8_t owners[SQUARES];
  int8_t hands[2][15];
  HashKey key;
  uint32_t path_key;
  PackedHand hand;
  int16_t ply;
};

BoardImage image_of_board() {
  BoardImage image;
  std::memcpy(image.pieces, board.pieces, sizeof image.pieces);
  std::memcpy(image.owners, board.owners, sizeof image.owners);
  std::memcpy(image.hands, board.hands, sizeof image.hands);
  image.key = board.board_key;
  image.path_key = board.path_key;
  image.hand = board.attacker_hand;
  image.ply = board.ply;
  return image;
}

bool same_board(const BoardImage& a, const BoardImage& b) {
  return std::memcmp(a.pieces, b.pieces, sizeof a.pieces) == 0 &&
         std::memcmp(a.owners, b.owners, sizeof a.owners) == 0 &&
         std::memcmp(a.hands, b.hands, sizeof a.hands) == 0 && a.key.lo == b.key.lo && a.key.hi == b.key.hi &&
         a.path_key == b.path_key && a.hand == b.hand && a.ply == b.ply;
}

Generated run_generator(int side, int32_t threshold, int32_t start_pn_sum, const std::string& where, Report& report) {
  const int level = board.depth;
  list_start[level] = 0;
  set_accumulators(side, threshold, start_pn_sum);
  const BoardImage before = image_of_board();
  const uint32_t nodes_before = nodes;
  generate_moves(side, level);
  Generated g;
  g.tried = nodes - nodes_before;
  g.overflow = gen_overflow;
  for (int i = list_start[level]; i < list_start[level + 1]; ++i) {
    g.entries.push_back(move_entries[i]);
    g.listed.push_back(static_cast<MoveCode>(move_entries[i].from * 256 + move_entries[i].to));
  }
  if (g.overflow) report.fail(where, "generation overflowed the move storage");
  if (!same_board(before, image_of_board()) || !board_is_ok())
    report.fail(where, "the board differs after generation");
  return g;
}

// Compares the list with the expected moves: every move listed once, no
// legal move missing, nothing listed that is illegal or deliberately left
// out.
void expect_listed_exactly(const Generated& g, const std::vector<MoveCode>& legal,
                           const std::vector<MoveCode>& expected, const std::string& kind, const std::string& where,
                           Report& report) {
  std::set<MoveCode> seen;
  for (MoveCode m : g.listed) {
    if (!seen.insert(m).second)
      report.fail(where, "listed twice: " + rules_reference::move_name(m));
    else if (!contains(legal, m))
      report.fail(where, "listed but not a legal " + kind + ": " + rules_reference::move_name(m));
    else if (!contains(expected, m))
      report.fail(where, "listed although it is to be left out: " + rules_reference::move_name(m));
  }
  for (MoveCode m : expected)
    if (seen.count(m) == 0)
      report.fail(where, "legal " + kind + " not generated: " + rules_reference::move_name(m) +
                             "\n    listed:" + moves_text(g.listed));
}

// S1.
bool pruned_by_symmetry(MoveCode m) {
  const int to_col = destination(m) % 9;
  if (is_drop(m)) return to_col <= 3;
  return to_col <= 3 || (to_col == 4 && origin(m) % 9 < 4);
}

// A1, given the promotions that were listed.
bool attacker_omits(MoveCode m, const std::vector<MoveCode>& listed) {
  if (board.attacker_has_king || is_drop(m) || promotes(m)) return false;
  const int piece = board.pieces[origin(m)];
  if (piece != PAWN && piece != BISHOP && piece != ROOK) return false;
  return contains(listed, promoting_twin(m));
}

// The checks listed from an empty table at the top threshold: every legal
// promotion is listed then, so A1 follows from the legal checks alone.
std::vector<MoveCode> attacker_expected(const std::vector<MoveCode>& checks, bool symmetric) {
  std::vector<MoveCode> out;
  for (MoveCode m : checks)
    if (!attacker_omits(m, checks) && !(symmetric && pruned_by_symmetry(m))) out.push_back(m);
  return out;
}

// D1 and D2, given the evasions whose probe answers 1 (listed, or the node
// saturated): a proved child answers 0 and lets the next candidate in.
bool defender_omits(MoveCode m, const std::vector<MoveCode>& answered) {
  if (!is_drop(m)) return !promotes(m) && contains(answered, promoting_twin(m));
  for (MoveCode other : answered)
    if (is_drop(other) && destination(other) == destination(m) &&
        drop_kind(other, OWNER_DEFENDER) < drop_kind(m, OWNER_DEFENDER))
      return true;
  return false;
}

// The evasions tried when the children of `proved` are known mates.
std::vector<MoveCode> defender_tried(const std::vector<MoveCode>& evasions, const std::vector<MoveCode>& proved) {
  std::vector<MoveCode> answered;
  for (MoveCode m : evasions)
    if (!contains(proved, m)) answered.push_back(m);
  std::vector<MoveCode> tried;
  for (MoveCode m : evasions)
    if (!defender_omits(m, answered)) tried.push_back(m);
  return tried;
}

// ------------------------------------------------------------ the checks

void expect_tried(const Generated& g, size_t expected, const std::string& what, const std::string& where,
                  Report& report) {
  if (g.tried != expected)
    report.fail(where, "nodes rose " + std::to_string(g.tried) + " times, expected " + std::to_string(expected) +
                           " (" + what + ")");
}

// The attacker's generation at the current ply against the reference;
// returns the reference's legal checks.
std::vector<MoveCode> cross_check_attacker(const std::string& where_in, int32_t low_threshold, Report& report) {
  const Position pos = Position::from_board();
  const std::string where = where_in + "\n    position: " + rules_reference::to_sfen(pos, 0);
  const std::vector<MoveCode> checks = rules_reference::legal_checks(pos, 0);
  ++report.attacker_positions;

  // Everything below the threshold: the list is the tried set.
  const Generated all = run_generator(OWNER_ATTACKER, PN_INFINITE, 0, where, report);
  expect_listed_exactly(all, checks, attacker_expected(checks, false), "check", where, report);
  expect_tried(all, all.listed.size(), "one per listed check", where, report);
  for (const MoveEntry& e : all.entries)
    if (e.pn >= PN_INFINITE)
      report.fail(where, "listed with pn at infinity: " + rules_reference::move_name(e.from * 256 + e.to));

  // A low threshold leaves checks out of the list: every check is still
  // tried once, and the plain twins of promotions left out are tried too.
  const std::string at_threshold = "at threshold " + std::to_string(low_threshold);
  const Generated part = run_generator(OWNER_ATTACKER, low_threshold, 0, where, report);
  std::vector<MoveCode> tried;
  for (MoveCode m : checks)
    if (!attacker_omits(m, part.listed)) tried.push_back(m);
  for (MoveCode m : part.listed)
    if (!contains(tried, m)) report.fail(where, "listed " + at_threshold + ": " + rules_reference::move_name(m));
  expect_tried(part, tried.size(), at_threshold, where, report);
  const uint32_t left_out = part.tried - static_cast<uint32_t>(part.listed.size());
  if (static_cast<uint32_t>(rest_dn_sum) != left_out)
    report.fail(where, "rest_dn_sum " + std::to_string(rest_dn_sum) + " for " + std::to_string(left_out) +
                           " checks left out " + at_threshold);
  for (const MoveEntry& e : part.entries)
    if (e.pn >= low_threshold)
      report.fail(where, "listed with pn " + std::to_string(e.pn) + " " + at_threshold + ": " +
                             rules_reference::move_name(e.from * 256 + e.to));
  if (left_out > 0) {
    if (!contains(tried, node_best_move) || contains(part.listed, node_best_move))
      report.fail(where, "best left-out move is no left-out check: " + rules_reference::move_name(node_best_move));
    if (rest_min_pn < low_threshold) report.fail(where, "rest_min_pn below the threshold " + at_threshold);
  } else if (node_best_move != 0 || rest_min_pn != PN_INFINITE) {
    report.fail(where, "accumulators touched with nothing left out " + at_threshold);
  }
  return checks;
}

// Writes a proof for the position after each of `moves` of the defender.
bool store_proofs(const std::vector<MoveCode>& moves) {
  for (MoveCode m : moves) {
    const Move move = move_struct(m);
    int16_t cp, co;
    make_move(1, move, cp, co);
    const int written = tt_store(0, board.attacker_hand, 3, 0, PN_INFINITE, 0);
    unmake_move(1, move, cp, co);
    if (written != 1) return false;
  }
  return true;
}

// The defender's generation after a check, against the reference; returns
// the reference's legal evasions.
std::vector<MoveCode> cross_check_defender(const std::string& where_in, std::mt19937& rng, Report& report) {
  const Position pos = Position::from_board();
  const std::string where = where_in + "\n    position: " + rules_reference::to_sfen(pos, 1);
  if (!rules_reference::in_check(pos, 1)) {
    report.fail(where, "test set-up: the defender is not in check");
    return {};
  }
  const std::vector<MoveCode> evasions = rules_reference::legal_moves(pos, 1);
  ++report.defender_positions;
  const uint8_t none_legal = evasions.empty() ? 1 : 0;

  const std::vector<MoveCode> expected = defender_tried(evasions, {});
  const Generated all = run_generator(OWNER_DEFENDER, PN_INFINITE, 0, where, report);
  expect_listed_exactly(all, evasions, expected, "evasion", where, report);
  expect_tried(all, expected.size(), "one per listed evasion", where, report);
  if (no_legal_evasion != none_legal)
    report.fail(where, "no_legal_evasion is " + std::to_string(no_legal_evasion) + " with " +
                           std::to_string(evasions.size()) + " legal evasions");

  // Saturated from the start (D3): nothing is listed, the same candidates
  // are tried.
  const Generated full = run_generator(OWNER_DEFENDER, PN_INFINITE, PN_INFINITE, where, report);
  if (!full.listed.empty()) report.fail(where, "listed after saturation:" + moves_text(full.listed));
  expect_tried(full, expected.size(), "saturated node", where, report);
  if (no_legal_evasion != none_legal)
    report.fail(where, "saturated: no_legal_evasion is " + std::to_string(no_legal_evasion));

  // Some children known as mates: they are tried but not listed, and a
  // refused promotion or drop kind lets its plain twin or the next kind in.
  if (!evasions.empty()) {
    std::vector<MoveCode> proved;
    for (MoveCode m : evasions)
      if (std::uniform_int_distribution<int>(0, 1)(rng) == 1) proved.push_back(m);
    if (!store_proofs(proved)) report.fail(where, "test set-up: a proof could not be stored");
    const std::vector<MoveCode> tried = defender_tried(evasions, proved);
    std::vector<MoveCode> listed_expected;
    for (MoveCode m : tried)
      if (!contains(proved, m)) listed_expected.push_back(m);
    const Generated known = run_generator(OWNER_DEFENDER, PN_INFINITE, 0, where, report);
    const std::string with = where + "\n    children proved:" + moves_text(proved);
    expect_listed_exactly(known, evasions, listed_expected, "evasion", with, report);
    expect_tried(known, tried.size(), "with proved children", with, report);
    if (no_legal_evasion != none_legal)
      report.fail(with, "no_legal_evasion is " + std::to_string(no_legal_evasion) + " with proved children");
    if (!fresh_table()) report.fail(where, "test set-up: no table");
  }
  return evasions;
}

// ------------------------------------------------------------ positions

class GeneratorCrossCheck : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    build_step_tables();
    build_zobrist();
    // A fresh, empty table: no child is known, so every legal candidate is
    // listed (or, for the attacker, left out only by the threshold).
    ASSERT_TRUE(fresh_table());
  }
  static void TearDownTestSuite() {
    search_modes.symmetric_root = 0;
    tt_release();
  }
  void SetUp() override {
    search_modes.symmetric_root = 0;
    store_under_path_key = 0;
    search_modes.allow_proof_overwrite = 0;
  }
};

bool setup_attacker_position(const std::string& sfen) {
  setup_position(sfen);
  list_start[1] = 0;
  const Position pos = Position::from_board();
  return rules_reference::king_square(pos, 1) >= 0 && !rules_reference::in_check(pos, 1);
}

// Cross-checks the attacker position on the board, then the defender after
// some of its checks, and the attacker again after one evasion each.
void explore(const std::string& where, std::mt19937& rng, size_t max_checks, Report& report) {
  std::uniform_int_distribution<int> threshold(1, 4);
  std::vector<MoveCode> checks = cross_check_attacker(where, static_cast<int16_t>(threshold(rng)), report);
  std::shuffle(checks.begin(), checks.end(), rng);
  if (checks.size() > max_checks) checks.resize(max_checks);
  for (MoveCode check : checks) {
    int16_t cp, co;
    const Move m = move_struct(check);
    make_move(0, m, cp, co);
    const std::string after_check = where + "\n    after check " + rules_reference::move_name(check);
    const std::vector<MoveCode> evasions = cross_check_defender(after_check, rng, report);
    if (!evasions.empty()) {
      const MoveCode evasion = evasions[std::uniform_int_distribution<size_t>(0, evasions.size() - 1)(rng)];
      int16_t ep, eo;
      const Move e = move_struct(evasion);
      make_move(1, e, ep, eo);
      cross_check_attacker(after_check + " and evasion " + rules_reference::move_name(evasion),
                           static_cast<int16_t>(threshold(rng)), report);
      unmake_move(1, e, ep, eo);
    }
    unmake_move(0, m, cp, co);
  }
}

// Problem-like positions chosen by hand: pins, uncovered lines, promotions
// in and out of the zone, forced promotions, lances behind pieces, knights,
// drops against the two-pawns rule, an attacker king, White to move.
const char* const HAND_MADE[] = {
    "4k4/9/4P4/9/9/9/4r4/4G4/4K4 b GS 1",          // attacker king, gold pinned on its file
    "3gkg3/9/4P4/9/9/9/9/9/9 b 2S 1",              // silvers against a guarded king
    "4k4/9/9/9/4N4/9/4L4/9/9 b - 1",               // knight uncovers a lance
    "8k/9/9/9/4S4/9/9/9/B8 b - 1",                 // silver uncovers a bishop
    "3k5/9/9/9/9/9/9/9/4R4 b - 1",                 // rook checks with and without promotion
    "4k4/9/9/9/9/9/9/9/B8 b - 1",                  // bishop entering the zone
    "4k4/4p4/9/9/9/9/9/9/4L4 b - 1",               // lance captures on the king's file
    "4k4/9/9/4N4/9/9/9/9/9 b - 1",                 // knight must promote on rank 2
    "4k4/9/9/9/9/9/9/9/9 b N 1",                   // knight drops
    "3gkg3/9/9/9/9/9/9/9/9 b P 1",                 // pawn drop in front of the king
    "4k4/9/9/9/9/9/9/4P4/9 b P 1",                 // two pawns: no pawn drop on the file
    "4k4/9/9/9/4N4/9/9/9/4R4 b - 1",               // knight uncovering a rook: double checks
    "4k4/9/9/9/9/9/9/9/+B+R7 b - 1",               // horse and dragon
    "3+P1+S3/4k4/9/9/9/9/9/9/9 b - 1",             // promoted pieces behind the king
    "9/9/9/9/9/9/4p4/9/4K4 w 2R2BG4S4N4L3g17p 1",  // White to move
    "7nk/7pl/9/9/9/9/9/9/8R b GSr2b3g3s3n3l17p 1", // corner, defender hand full
    "4k4/9/3sgs3/9/9/9/9/9/4L4 b BGNrb2g2s3n3l18p 1",  // defenders around a lance's file
    "9/9/9/9/9/9/9/4k4/9 b RBGrb3g4s4n4l18p 1",        // king on the attacker's home side
    "9/9/9/9/9/9/2b6/4k4/9 b RGrb3g4s4n4l18p 1",       // a defender bishop in its zone
    "4k4/9/9/2B2R3/9/9/9/9/K8 b G 1",                  // attacker king far away
    "1k7/9/1P7/9/9/9/9/9/1L6K b G 1",                  // lance behind a pawn, attacker king
    "k8/1P7/9/9/9/9/9/9/8B b - 1",                     // pawn uncovers the long diagonal, must promote
    "4k4/9/K4G2r/9/9/9/9/9/9 b G 1",                   // the checking gold is pinned to its own king
    "4k4/9/6s2/9/4K4/9/9/9/4R4 b - 1",                 // the attacker king uncovers a rook, one step guarded
};

TEST_F(GeneratorCrossCheck, HandMadePositions) {
  Report report;
  std::mt19937 rng(1);
  for (const char* sfen : HAND_MADE) {
    if (!setup_attacker_position(sfen)) {
      ADD_FAILURE() << "hand-made position is not an attacker-to-move problem: " << sfen;
      continue;
    }
    explore(std::string("hand-made ") + sfen, rng, 1000, report);
  }
  report.finish();
  EXPECT_GE(report.attacker_positions, static_cast<int>(std::size(HAND_MADE)));
}

// ------------------------------------------------------------ random positions

// Builds problem-like positions from the full set of pieces: a defender
// king, attacker pieces near it and a slider or two further off, defender
// pieces around the king, small attacker hands, and sometimes an attacker
// king. Every piece keeps a move, no file holds two unpromoted pawns of one
// side, and the defender is not in check.
class RandomProblem {
 public:
  explicit RandomProblem(std::mt19937& rng) : rng_(rng) {}

  void build() {
    for (;;) {
      if (try_build()) return;
    }
  }

 private:
  std::mt19937& rng_;
  int pool_[8] = {};

  int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool chance(int percent) { return uniform(0, 99) < percent; }

  static int base_of(int piece) {
    switch (piece) {
      case TOKIN: return PAWN;
      case PRO_LANCE: return LANCE;
      case PRO_KNIGHT: return KNIGHT;
      case PRO_SILVER: return SILVER;
      case HORSE: return BISHOP;
      case DRAGON: return ROOK;
      default: return piece;
    }
  }

  static bool may_stand(int owner, int piece, int sq) {
    const int ahead = owner == 0 ? 8 - sq / 9 : sq / 9;
    if (piece == PAWN || piece == LANCE) return ahead >= 1;
    if (piece == KNIGHT) return ahead >= 2;
    return true;
  }

  bool place(int sq, int owner, int piece) {
    if (sq < 0 || sq >= SQUARES || board.owners[sq] != OWNER_NONE) return false;
    if (!may_stand(owner, piece, sq)) return false;
    if (piece == PAWN)
      for (int row = 0; row < 9; ++row)
        if (board.owners[9 * row + sq % 9] == owner && board.pieces[9 * row + sq % 9] == PAWN) return false;
    const int base = base_of(piece);
    if (base != KING) {
      if (pool_[base] == 0) return false;
      --pool_[base];
    }
    board.pieces[sq] = static_cast<int8_t>(piece);
    board.owners[sq] = static_cast<uint8_t>(owner);
    return true;
  }

  int random_piece() {
    static constexpr int KINDS[] = {PAWN,  PAWN,   PAWN,  LANCE,     KNIGHT,     SILVER,     GOLD,  GOLD,  BISHOP,
                                    ROOK,  TOKIN,  PRO_LANCE, PRO_KNIGHT, PRO_SILVER, HORSE, DRAGON};
    return KINDS[uniform(0, static_cast<int>(std::size(KINDS)) - 1)];
  }
  int random_slider() {
    static constexpr int KINDS[] = {LANCE, BISHOP, ROOK, HORSE, DRAGON};
    return KINDS[uniform(0, 4)];
  }
  int square_near(int king, int reach) {
    const int row = std::clamp(king / 9 + uniform(-reach, reach), 0, 8);
    const int col = std::clamp(king % 9 + uniform(-reach, reach), 0, 8);
    return 9 * row + col;
  }
  void give_hand(int owner, int count) {
    for (int i = 0; i < count; ++i) {
      const int piece = uniform(PAWN, ROOK);
      if (pool_[piece] == 0) continue;
      --pool_[piece];
      ++board.hands[owner][piece];
    }
  }

  bool try_build() {
    board_clear();
    const int full[8] = {0, 18, 4, 4, 4, 4, 2, 2};
    std::copy(full, full + 8, pool_);
    // Mostly on the far rows, as in composed problems; sometimes anywhere.
    const int king_row = chance(70) ? uniform(5, 8) : uniform(0, 8);
    const int king = 9 * king_row + uniform(0, 8);
    place(king, 1, KING);
    if (chance(30)) {
      for (int tries = 0; tries < 20; ++tries) {
        const int sq = uniform(0, 80);
        const int d = std::max(std::abs(sq / 9 - king / 9), std::abs(sq % 9 - king % 9));
        if (d >= 2 && place(sq, 0, KING)) break;
      }
    }
    for (int n = uniform(1, 4), tries = 0; n > 0 && tries < 40; ++tries)
      if (place(square_near(king, 3), 0, random_piece())) --n;
    for (int n = uniform(0, 2), tries = 0; n > 0 && tries < 40; ++tries)
      if (place(uniform(0, 80), 0, random_slider())) --n;
    for (int n = uniform(0, 5), tries = 0; n > 0 && tries < 40; ++tries)
      if (place(square_near(king, 2), 1, random_piece())) --n;
    give_hand(0, uniform(0, 3));
    if (chance(50)) {
      for (int piece = PAWN; piece <= ROOK; ++piece) board.hands[1][piece] = static_cast<int8_t>(pool_[piece]);
    } else {
      give_hand(1, uniform(0, 4));
    }
    rebuild_derived_state();
    board.ply = 0;
    board.depth = 1;
    list_start[1] = 0;
    return !rules_reference::in_check(1);
  }
};

TEST_F(GeneratorCrossCheck, RandomProblemLikePositions) {
  Report report;
  std::mt19937 rng(20240611);
  RandomProblem maker(rng);
  constexpr int POSITIONS = 800;
  for (int i = 0; i < POSITIONS; ++i) {
    maker.build();
    explore("random position " + std::to_string(i), rng, 2, report);
  }
  report.finish();
  EXPECT_GE(report.attacker_positions, POSITIONS);
  RecordProperty("attacker_positions", report.attacker_positions);
  RecordProperty("defender_positions", report.defender_positions);
}

// ------------------------------------------------------------ the collections

std::vector<std::string> collection_sfens() {
  std::vector<std::string> sfens;
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(KESTRANE_SOURCE_DIR) + "/problems"))
    if (entry.path().extension() == ".sfen") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  for (const auto& file : files) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
      if (line.empty() || line[0] == '#') continue;
      sfens.push_back(line.substr(0, line.find('\t')));
    }
  }
  return sfens;
}

TEST_F(GeneratorCrossCheck, CollectionsAndPositionsPlayedFromThem) {
  const std::vector<std::string> sfens = collection_sfens();
  ASSERT_GE(sfens.size(), 200u);
  Report report;
  std::mt19937 rng(7);
  int skipped = 0;
  for (const std::string& sfen : sfens) {
    if (!setup_attacker_position(sfen)) {
      ++skipped;
      continue;
    }
    explore("collection " + sfen, rng, 3, report);

    // A few plies of legal moves by both sides, ending with the attacker to
    // move and the defender not in check; the tree below is then explored
    // from that ply.
    for (int walk = 0; walk < 2; ++walk) {
      setup_attacker_position(sfen);
      struct Played {
        int side;
        Move move;
        int16_t captured, owner;
      };
      std::vector<Played> played;
      std::string line = "collection " + sfen + "\n    played:";
      const int plies = 2 * std::uniform_int_distribution<int>(1, 3)(rng);
      for (int ply = 0; ply < plies; ++ply) {
        const int side = ply % 2;
        const std::vector<MoveCode> moves = rules_reference::legal_moves(side);
        if (moves.empty()) break;
        const MoveCode pick = moves[std::uniform_int_distribution<size_t>(0, moves.size() - 1)(rng)];
        Played p{side, move_struct(pick), 0, 0};
        make_move(static_cast<int16_t>(side), p.move, p.captured, p.owner);
        played.push_back(p);
        line.append(" ").append(rules_reference::move_name(pick));
      }
      const Position pos = Position::from_board();
      if (played.size() % 2 == 0 && !played.empty() && rules_reference::king_square(pos, 1) >= 0 &&
          !rules_reference::in_check(pos, 1))
        explore(line, rng, 2, report);
      for (auto it = played.rbegin(); it != played.rend(); ++it)
        unmake_move(static_cast<int16_t>(it->side), it->move, it->captured, it->owner);
    }
  }
  report.finish();
  EXPECT_EQ(skipped, 0) << "collection problems with no defender king, or with the defender in check";
  RecordProperty("attacker_positions", report.attacker_positions);
  RecordProperty("defender_positions", report.defender_positions);
}

// ------------------------------------------------------------ root symmetry

// Builds a left-right symmetric position (king on the middle file) by
// mirroring random pieces, with a symmetric-enough hand.
void build_symmetric(std::mt19937& rng) {
  auto uniform = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (;;) {
    board_clear();
    const int king = 9 * uniform(5, 8) + 4;
    board.pieces[king] = KING;
    board.owners[king] = 1;
    static constexpr int KINDS[] = {SILVER, GOLD, BISHOP, ROOK, TOKIN, HORSE, DRAGON, KNIGHT, LANCE};
    for (int n = uniform(1, 3); n > 0; --n) {
      const int owner = uniform(0, 3) == 0 ? 1 : 0;
      const int piece = KINDS[uniform(0, static_cast<int>(std::size(KINDS)) - 1)];
      const int row = std::clamp(king / 9 + uniform(-3, 2), 0, 8);
      const int col = uniform(0, 3);
      const int ahead = owner == 0 ? 8 - row : row;
      if ((piece == LANCE && ahead < 1) || (piece == KNIGHT && ahead < 2)) continue;
      for (int sq : {9 * row + col, 9 * row + 8 - col}) {
        if (board.owners[sq] != OWNER_NONE) continue;
        board.pieces[sq] = static_cast<int8_t>(piece);
        board.owners[sq] = static_cast<uint8_t>(owner);
      }
    }
    // The middle file is its own mirror image.
    for (int n = uniform(0, 2); n > 0; --n) {
      const int owner = uniform(0, 2) == 0 ? 1 : 0;
      const int piece = KINDS[uniform(0, static_cast<int>(std::size(KINDS)) - 1)];
      const int row = std::clamp(king / 9 + uniform(-4, 2), 0, 8);
      const int ahead = owner == 0 ? 8 - row : row;
      const int sq = 9 * row + 4;
      if ((piece == LANCE && ahead < 1) || (piece == KNIGHT && ahead < 2) || board.owners[sq] != OWNER_NONE) continue;
      board.pieces[sq] = static_cast<int8_t>(piece);
      board.owners[sq] = static_cast<uint8_t>(owner);
    }
    board.hands[0][uniform(GOLD, ROOK)] = 1;
    board.hands[0][PAWN] = static_cast<int8_t>(uniform(0, 1));
    board.hands[1][PAWN] = 5;
    board.hands[1][SILVER] = 1;
    rebuild_derived_state();
    board.ply = 0;
    board.depth = 1;
    list_start[1] = 0;
    if (!rules_reference::in_check(1)) return;
  }
}

TEST_F(GeneratorCrossCheck, RootSymmetryPrunesOnlyTheMirroredHalfAtTheRoot) {
  Report report;
  std::mt19937 rng(99);
  int pruned_seen = 0;
  for (int i = 0; i < 150; ++i) {
    build_symmetric(rng);
    const Position pos = Position::from_board();
    const std::string where = "symmetric position " + rules_reference::to_sfen(pos, 0);
    const std::vector<MoveCode> checks = rules_reference::legal_checks(pos, 0);

    search_modes.symmetric_root = 1;
    const Generated root = run_generator(OWNER_ATTACKER, PN_INFINITE, 0, where, report);
    expect_listed_exactly(root, checks, attacker_expected(checks, true), "check", where + " (symmetric root)",
                          report);
    expect_tried(root, root.listed.size(), "symmetric root", where, report);
    for (MoveCode m : checks)
      if (pruned_by_symmetry(m)) ++pruned_seen;

    // Below the root the flag prunes nothing.
    std::vector<MoveCode> shuffled = checks;
    std::shuffle(shuffled.begin(), shuffled.end(), rng);
    if (!shuffled.empty()) {
      int16_t cp, co;
      const Move m = move_struct(shuffled[0]);
      make_move(0, m, cp, co);
      const std::vector<MoveCode> evasions = rules_reference::legal_moves(1);
      if (!evasions.empty()) {
        int16_t ep, eo;
        const Move e = move_struct(evasions[0]);
        make_move(1, e, ep, eo);
        cross_check_attacker(where + "\n    at ply 2 after " + rules_reference::move_name(shuffled[0]) + " " +
                                 rules_reference::move_name(evasions[0]),
                             PN_INFINITE, report);
        unmake_move(1, e, ep, eo);
      }
      unmake_move(0, m, cp, co);
    }
    search_modes.symmetric_root = 0;
  }
  report.finish();
  EXPECT_GT(pruned_seen, 0);
}

}  // namespace

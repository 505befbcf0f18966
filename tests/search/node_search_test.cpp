#include <gtest/gtest.h>

#include "bounded_mate.h"
#include "exhaustive_check.h"
#include "rules_reference.h"
#include "search/search_util.h"
#include "support/mate_check.h"
#include "support/solve_loop.h"
#include "support/usi_moves.h"

namespace {

class NodeSearch : public testing::Test {
 protected:
  void SetUp() override { fresh_search_tables(1u << 18); }
};

std::vector<std::string> line_text(const std::vector<MoveCode>& line) {
  std::vector<std::string> texts;
  for (MoveCode m : line) texts.push_back(usi_text(m));
  return texts;
}

TEST_F(NodeSearch, OneMoveMates) {
  setup_position("4k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1");
  LoopResult r = solve_first_pass();
  ASSERT_EQ(r.pn, 0);
  EXPECT_EQ(r.result, 1);
  EXPECT_EQ(line_text(table_line()), (std::vector<std::string>{"G*5b"}));
  expect_mating_line(table_line());

  // The same problem with White to move prints the given coordinates.
  setup_position("9/9/9/9/9/9/4p4/9/4K4 w 2R2BG4S4N4L3g17p 1");
  r = solve_first_pass();
  ASSERT_EQ(r.pn, 0);
  EXPECT_EQ(line_text(table_line()), (std::vector<std::string>{"G*5h"}));
}

TEST_F(NodeSearch, RotatedProblemSearchesAlike) {
  setup_position("7gk/9/6P1+P/9/9/9/9/9/9 b GSP2r2b2g3s4n4l15p 1");
  LoopResult black = solve_first_pass();
  ASSERT_EQ(black.pn, 0);
  fresh_search_tables(1u << 18);
  setup_position("9/9/9/9/9/9/+p1p6/9/KG7 w gsp2R2B2G3S4N4L15P 1");
  LoopResult white = solve_first_pass();
  ASSERT_EQ(white.pn, 0);
  EXPECT_EQ(black.nodes, white.nodes);
  EXPECT_EQ(black.result, white.result);
  EXPECT_EQ(black.iterations, white.iterations);
}

TEST_F(NodeSearch, ProvenLinesAreMates) {
  const char* problems[] = {
      "9/8k/9/8P/9/9/9/9/9 b 2G2r2b2g4s4n4l17p 1",
      "7gk/9/6P1+P/9/9/9/9/9/9 b GSP2r2b2g3s4n4l15p 1",
      "8k/9/7G1/9/9/9/9/9/9 b G2r2b2g4s4n4l18p 1",
  };
  for (const char* sfen : problems) {
    fresh_search_tables(1u << 18);
    setup_position(sfen);
    LoopResult r = solve_first_pass();
    ASSERT_EQ(r.pn, 0) << sfen;
    std::vector<MoveCode> line = table_line();
    expect_mating_line(line);
    // A proven root's result is the line's length less two per leftover piece.
    EXPECT_LE(r.result, static_cast<int>(line.size())) << sfen;
  }
}

TEST_F(NodeSearch, NoCheckAndNoMateAreDisproven) {
  // The initial position: no check at all.
  setup_position("lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1");
  LoopResult r = solve_first_pass();
  EXPECT_EQ(r.dn, 0);
  EXPECT_GE(r.pn, PN_INFINITE);
  EXPECT_EQ(r.result, 1);
  uint32_t hand;
  int16_t len;
  int32_t pn, dn;
  EXPECT_FALSE(tt_probe(0, hand, len, pn, dn)) << "a node without checks is not stored";

  // Only repeated checks: no mate.
  setup_position("6R+P1/8k/7sp/9/9/9/9/9/9 b r2b4g3s4n4l16p 1");
  r = solve_first_pass();
  EXPECT_NE(r.pn, 0);
  EXPECT_EQ(r.dn, 0);
}

// A lone horse checks on and on while the king walks round: every line runs
// into a repetition, yet the root is disproven outright (it was answered
// "timeout" while the numbers saturated at 16 bits).
TEST_F(NodeSearch, CyclingChecksEndInADisproofOfTheRoot) {
  setup_position("9/9/5k3/9/4+B4/9/9/9/9 b 2rb4g4s4n4l18p 1");
  LoopResult r = solve_first_pass();
  EXPECT_EQ(r.pn, PN_INFINITE);
  EXPECT_EQ(disproof_dependency, NO_DEPENDENCY);
  uint32_t hand;
  int16_t len;
  int32_t pn, dn;
  ASSERT_TRUE(tt_probe(0, hand, len, pn, dn));
  EXPECT_EQ(pn, PN_INFINITE);
}

// Back at the root's position after four plies: the attacker fails on this
// path, the answer names ply 0, and the table keeps no disproof for the
// position reached (another path to it would inherit a false no-mate).
TEST_F(NodeSearch, RepetitionDisprovesForThePathOnly) {
  setup_position("8k/9/7G1/9/9/9/9/9/9 b G2r2b2g4s4n4l18p 1");
  reset_search_counters();
  tt_store(0, board.attacker_hand | TT_ON_PATH, 0, 5, 0, 0);
  const char* walk[] = {"2c3c", "1a2a", "3c2c", "2a1a"};
  int16_t cp[4], co[4];
  for (int i = 0; i < 4; ++i) make_move(static_cast<int16_t>(i % 2), move_of(usi_to_code(walk[i], i % 2, false)), cp[i], co[i]);
  ASSERT_EQ(repeated_ply(), 0);
  int32_t pn, dn;
  uint32_t hand;
  search_attacker(7, pn, dn, hand);
  EXPECT_EQ(pn, PN_INFINITE);
  EXPECT_EQ(disproof_dependency, 0);
  // One ply on, the same position with the defender to move repeats nothing.
  make_move(0, move_of(usi_to_code("2c2b", 0, false)), cp[0], co[0]);
  EXPECT_EQ(repeated_ply(), -1);
  unmake_move(0, move_of(usi_to_code("2c2b", 0, false)), cp[0], co[0]);
  for (int i = 3; i >= 0; --i) unmake_move(static_cast<int16_t>(i % 2), move_of(usi_to_code(walk[i], i % 2, false)), cp[i], co[i]);
  // A node whose disproof rests on ply 0 stores unknown, never infinity.
  EXPECT_EQ(storable_pn(PN_INFINITE, 0), PN_INFINITE);  // at ply 0 it is the root's own
  board.ply = 3;
  EXPECT_EQ(storable_pn(PN_INFINITE, 0), 1);
  EXPECT_EQ(storable_pn(PN_INFINITE, 3), PN_INFINITE);
  board.ply = 0;
}

// The same moves in another order reach the same position through other
// positions: a disproof that rests on the first path must not be found on
// the second. The path key, not the board key, tells the two apart.
TEST_F(NodeSearch, PathDisproofStaysWithItsOrderOfMoves) {
  setup_position("8k/9/7G1/9/9/9/9/9/G8 b 2r2b2g4s4n4l18p 1");
  reset_search_counters();
  const uint32_t root_path = board.path_key;
  const uint32_t root_route = board.route_key;
  const char* first[] = {"2c3c", "1a2a", "9i9h", "2a1a"};
  const char* second[] = {"9i9h", "1a2a", "2c3c", "2a1a"};
  int16_t cp[4], co[4];
  auto walk = [&](const char* const* moves, bool forward) {
    for (int k = 0; k < 4; ++k) {
      const int i = forward ? k : 3 - k;
      const Move m = move_of(usi_to_code(moves[i], i % 2, false));
      if (forward)
        make_move(static_cast<int16_t>(i % 2), m, cp[i], co[i]);
      else
        unmake_move(static_cast<int16_t>(i % 2), m, cp[i], co[i]);
    }
  };
  uint32_t hand = 0;
  int16_t length = 0;
  int32_t pn = 0, dn = 0;

  walk(first, true);
  const HashKey reached = board.board_key;
  const uint32_t first_path = board.path_key;
  const uint32_t first_route = board.route_key;
  tt_store_path_disproof(0, board.attacker_hand, 1, 0);
  ASSERT_TRUE(tt_probe(0, hand, length, pn, dn));
  EXPECT_EQ(pn, PN_INFINITE);
  walk(first, false);

  walk(second, true);
  EXPECT_EQ(board.board_key.lo, reached.lo);
  EXPECT_EQ(board.board_key.hi, reached.hi);
  EXPECT_EQ(board.path_key, first_path);  // the path key alone cannot tell them apart
  EXPECT_NE(board.route_key, first_route);
  EXPECT_FALSE(tt_probe(0, hand, length, pn, dn) && pn >= PN_INFINITE) << "found on another path";
  walk(second, false);
  EXPECT_EQ(board.path_key, root_path);
  EXPECT_EQ(board.route_key, root_route);
}

// Moves played on the board, sides alternating from the attacker's, checked
// with the rules reference; undone in reverse.
struct PlayedMoves {
  std::vector<MoveCode> moves;
  std::vector<std::pair<int16_t, int16_t>> captures;
  void play(const char* usi) {
    const int16_t side = static_cast<int16_t>(moves.size() % 2);
    const MoveCode m = usi_to_code(usi, side, false);
    EXPECT_TRUE(rules_reference::is_legal(side, m)) << usi;
    int16_t cp, co;
    make_move(side, move_of(m), cp, co);
    moves.push_back(m);
    captures.push_back({cp, co});
  }
  void undo() {
    const int16_t side = static_cast<int16_t>((moves.size() - 1) % 2);
    unmake_move(side, move_of(moves.back()), captures.back().first, captures.back().second);
    moves.pop_back();
    captures.pop_back();
  }
};

// X mates by 6a7b: 9b9c 7b8c, and 9b9a gives back R, where 9e8c mates. On
// the path from R by 7b6a 9a9b, 9b9a repeats R and X has no mate there. That
// disproof holds for the path only: X solved afterwards with the same table
// is still a mate, through R.
TEST_F(NodeSearch, MateThroughAPositionThatARepetitionDisprovesElsewhere) {
  setup_position("k8/2+R6/9/9/N8/9/9/9/9 b r2b4g4s3n4l18p 1");  // R
  reset_search_counters();
  PlayedMoves path;
  // R and the defender's node marked on the path as the search marks them.
  tt_store(0, board.attacker_hand | TT_ON_PATH, 0, PN_SUM_CAP, 0, 0);
  path.play("7b6a");
  tt_store(1, board.attacker_hand | TT_ON_PATH, 0, PN_SUM_CAP, 0, 0);
  path.play("9a9b");
  path.play("6a7b");
  path.play("9b9a");
  ASSERT_EQ(repeated_ply(), 0);
  path.undo();
  path.undo();

  list_start[board.depth] = 0;
  int32_t pn = 1, dn = 1, th = 1;
  uint32_t hand;
  for (int i = 0; i < 1000 && pn != 0 && pn < PN_INFINITE; ++i) {
    search_attacker(th, pn, dn, hand);
    th = next_root_threshold(pn);
  }
  ASSERT_EQ(pn, PN_INFINITE);
  EXPECT_EQ(disproof_dependency, 0);
  int16_t len;
  // On this path the table answers the disproof, with the ply it rests on;
  // reached by another path, X is not disproven.
  ASSERT_TRUE(tt_probe(0, hand, len, pn, dn));
  EXPECT_EQ(dn, 0);
  EXPECT_EQ(tt_dependency, 0);
  const uint32_t this_path = board.path_key, this_route = board.route_key;
  board.path_key ^= 0x13579BDFu;
  board.route_key ^= 0x13579BDFu;
  ASSERT_TRUE(tt_probe(0, hand, len, pn, dn));
  EXPECT_NE(dn, 0) << "the path's disproof was stored as X's own";
  board.path_key = this_path;
  board.route_key = this_route;
  // Leaving the nodes releases their markers, as a node's result does.
  path.undo();
  tt_store(1, board.attacker_hand, 0, 1, 1, 0);
  path.undo();
  tt_store(0, board.attacker_hand, 0, 1, 1, 0);

  setup_position("3+R5/k8/9/9/N8/9/9/9/9 b r2b4g4s3n4l18p 1");  // X
  LoopResult r = solve_first_pass();
  ASSERT_EQ(r.pn, 0);
  const std::vector<MoveCode> line = table_line();
  EXPECT_EQ(line_text(line), (std::vector<std::string>{"6a7b", "9b9c", "7b8c"}));
  expect_mating_line(line);
  PlayedMoves through;
  through.play("6a7b");
  through.play("9b9a");
  ASSERT_TRUE(tt_probe(0, hand, len, pn, dn));
  EXPECT_EQ(pn, 0) << "R is proven within X's mate";
  through.undo();
  through.undo();
  // The rules reference finds the mate as well, two plies longer: it counts
  // the drop at 8b against 6a7b, which the search passes over as futile.
  exhaustive_check::Result check =
      exhaustive_check::check(rules_reference::Position::from_board(), {static_cast<int>(line.size()) + 2, 100000});
  EXPECT_EQ(check.verdict, exhaustive_check::Verdict::MATE);
}

TEST_F(NodeSearch, MateByPawnDropIsNotAProof) {
  // P*1b would mate at once; nothing else checks.
  setup_position("7nk/9/6GN1/9/9/9/9/9/9 b P2r2b3g4s2n4l17p 1");
  LoopResult r = solve_first_pass();
  EXPECT_NE(r.pn, 0);
}

TEST_F(NodeSearch, RepetitionOnThePathFailsTheAttacker) {
  setup_position("8k/9/7G1/9/9/9/9/9/9 b G2r2b2g4s4n4l18p 1");
  reset_search_counters();
  tt_store(0, board.attacker_hand | TT_ON_PATH, 0, 5, 0, 0);
  int32_t pn, dn;
  uint32_t hand;
  int16_t result = search_attacker(7, pn, dn, hand);
  EXPECT_EQ(pn, 7);
  EXPECT_EQ(dn, 0);
  EXPECT_EQ(result, 1);
}

TEST_F(NodeSearch, ThresholdSplitBetweenBestAndSecond) {
  int second_plus_one = 0;
  list_start[1] = 0;
  MoveEntry entries[3] = {};
  entries[0].pn = 4;
  entries[1].pn = 2;
  entries[1].tag = 1;
  entries[2].pn = 2;
  entries[2].tag = 0;
  for (int i = 0; i < 3; ++i) move_entries[i] = entries[i];
  // Smallest pn, then the smaller tag; the second is the smallest pn of
  // the others (an equal pn counts).
  EXPECT_EQ(select_attacker_child(0, 2, second_plus_one), 2);
  EXPECT_EQ(second_plus_one, 3);
  EXPECT_EQ(select_attacker_child(0, 0, second_plus_one), 0);
  EXPECT_EQ(second_plus_one, PN_INFINITE);  // no rival: infinite, never wrapped
}

TEST_F(NodeSearch, UnwindingTheProofHand) {
  setup_position("9/9/9/9/9/9/9/9/9 b 2GP 1");
  const uint32_t child = board.attacker_hand;
  // A capture of a gold: one gold less before the move.
  EXPECT_EQ(hand_count(unwind_proof_hand(child, 40, GOLD), GOLD), 1);
  EXPECT_EQ(unwind_proof_hand(child, 40, EMPTY), child);
  // A pawn drop: one pawn more before it.
  EXPECT_EQ(hand_count(unwind_proof_hand(child, hand_square(0, PAWN), 0), PAWN), 2);
  // Flags of the child hand are not part of the proof hand.
  EXPECT_EQ(unwind_proof_hand(child | TT_FUTILE, 40, EMPTY), child);
}

TEST_F(NodeSearch, NodeCountsAreDeterministic) {
  setup_position("7gk/9/6P1+P/9/9/9/9/9/9 b GSP2r2b2g3s4n4l15p 1");
  LoopResult first = solve_first_pass();
  fresh_search_tables(1u << 18);
  setup_position("7gk/9/6P1+P/9/9/9/9/9/9 b GSP2r2b2g3s4n4l15p 1");
  LoopResult second = solve_first_pass();
  ASSERT_EQ(first.pn, 0);
  EXPECT_EQ(first.nodes, second.nodes);
  EXPECT_EQ(first.result, second.result);
}

// The first pass's node counts pin down the search's behaviour: a change in
// move order, estimates or table use shows here first.
TEST_F(NodeSearch, FirstPassNodeSignatures) {
  struct Case {
    const char* sfen;
    uint32_t nodes;
    int result;
  };
  const Case cases[] = {
      {"9/8k/9/8P/9/9/9/9/9 b 2G2r2b2g4s4n4l17p 1", 26, 3},
      {"7gk/9/6P1+P/9/9/9/9/9/9 b GSP2r2b2g3s4n4l15p 1", 148, 15},
      {"9/9/6n2/8n/6+pl1/7Sn/4+pp1k1/7N1/7s+R b R2B4g2s3l15p 1", 280087, 17},
  };
  for (const Case& c : cases) {
    fresh_search_tables(1u << 18);
    setup_position(c.sfen);
    LoopResult r = solve_first_pass();
    EXPECT_EQ(r.pn, 0) << c.sfen;
    EXPECT_EQ(r.nodes, c.nodes) << c.sfen;
    EXPECT_EQ(r.result, c.result) << c.sfen;
  }
}

// A disproof-led root search ends at its node cap like a stop: promptly,
// with nothing decided, and the proof-led search proves the mate afterwards
// as it does without the cut.
TEST_F(NodeSearch, RootSearchEndsAtItsNodeCap) {
  const char* sfen = "9/9/6n2/8n/6+pl1/7Sn/4+pp1k1/7N1/7s+R b R2B4g2s3l15p 1";
  setup_position(sfen);
  prepare_root_search();
  weak_and_numbers = 1;
  turn_node_cap = nodes + 500;
  int32_t pn = 1, dn = 1;
  uint32_t hand = 0;
  search_attacker(1000, pn, dn, hand, MAX_ROOT_THRESHOLD);
  const uint32_t used = nodes;
  const int16_t reason = stop_reason;
  turn_node_cap = 0;
  weak_and_numbers = 0;
  stop_reason = STOP_NONE;
  EXPECT_EQ(reason, STOP_TURN);
  EXPECT_GT(used, 500u);
  EXPECT_LT(used, 1500u);
  EXPECT_NE(pn, 0);
  EXPECT_LT(pn, PN_INFINITE);

  LoopResult r = solve_first_pass();
  EXPECT_EQ(r.pn, 0);
  EXPECT_EQ(r.result, 17);
  expect_mating_line(table_line());
}

TEST_F(NodeSearch, DeepLinesEndAtTheLevelStorage) {
  // A node at the deepest searchable ply fails for its threshold without
  // touching the level lists beyond their end.
  setup_position("8k/9/7G1/9/9/9/9/9/9 b G2r2b2g4s4n4l18p 1");
  reset_search_counters();
  board.ply = MAX_NODE_PLY + 1;
  board.depth = MAX_NODE_PLY + 2;
  int32_t pn, dn;
  uint32_t hand;
  search_attacker(5, pn, dn, hand);
  EXPECT_EQ(pn, 5);
  EXPECT_EQ(dn, 1);
  search_defender(5, pn, dn, hand);
  EXPECT_EQ(pn, 5);
  // Full move records: the node fails and stores nothing.
  board.ply = 0;
  board.depth = 1;
  list_start[1] = MOVE_ENTRIES_SIZE - 1;
  int16_t result = search_attacker(5, pn, dn, hand);
  EXPECT_EQ(pn, 5);
  EXPECT_EQ(result, 0);
  int16_t len;
  EXPECT_FALSE(tt_probe(0, hand, len, pn, dn));
  list_start[1] = 0;
}

// A child's threshold over its sibling: an eighth more, never past the cap of
// the sums, and an infinite sibling leaves the parent's threshold alone (a
// threshold that wrapped or reached infinity would end the child at once, or
// read as a disproof).
TEST_F(NodeSearch, SiblingThresholdsGrowByAnEighthAndSaturate) {
  EXPECT_EQ(past_sibling(1), 1);
  EXPECT_EQ(past_sibling(9), 10);
  EXPECT_EQ(past_sibling(801), 901);
  EXPECT_EQ(past_sibling(PN_SUM_CAP - 10), PN_SUM_CAP);
  EXPECT_EQ(past_sibling(PN_SUM_CAP), PN_SUM_CAP);
  EXPECT_EQ(past_sibling(PN_INFINITE), PN_INFINITE);
}

// The disproof-led kind (both thresholds, weak sums at the defender, each
// reply given an eighth over the next easiest one's disproof number) reaches
// the verdicts of the rules: generated positions that take it tens of
// thousands of nodes, mates checked move by move and no-mates against a
// brute force over the rules reference.
TEST_F(NodeSearch, SearchUnderBothThresholdsReachesTheRulesVerdicts) {
  struct Case {
    const char* sfen;
    bool mate;
  };
  const Case cases[] = {
      {"9/8k/9/5+L2G/8N/9/9/9/9 b RBPrb3g4s3n3l17p 1", true},
      {"7gk/9/6P1+P/9/9/9/9/9/9 b GSP2r2b2g3s4n4l15p 1", true},
      {"9/4G2G1/6k2/9/5L3/9/9/9/9 b SL2r2b2g3s4n2l18p 1", false},
      {"9/9/6Pk1/9/9/9/9/9/9 b RGr2b3g4s4n4l17p 1", false},
      {"6R+P1/8k/7sp/9/9/9/9/9/9 b r2b4g3s4n4l16p 1", false},
  };
  for (const Case& c : cases) {
    fresh_search_tables(1u << 18);
    setup_position(c.sfen);
    prepare_root_search();
    weak_and_numbers = 1;
    root_threshold = 1;
    int32_t pn = 1, dn = 1;
    uint32_t hand = 0;
    for (int i = 0; i < 100000 && pn != 0 && pn < PN_INFINITE && root_threshold < MAX_ROOT_THRESHOLD; ++i) {
      search_attacker(root_threshold, pn, dn, hand, MAX_ROOT_THRESHOLD);
      if (pn != 0 && pn < PN_INFINITE) root_threshold = next_root_threshold(std::max(pn, root_threshold));
    }
    weak_and_numbers = 0;
    if (c.mate) {
      ASSERT_EQ(pn, 0) << c.sfen;
      expect_mating_line(table_line());
    } else {
      EXPECT_GE(pn, PN_INFINITE) << c.sfen;
      bounded_mate::Table table(1u << 16);
      EXPECT_EQ(bounded_mate::shortest_within(rules_reference::Position::from_board(), 7, table).plies, 0)
          << c.sfen;
    }
  }
}

}  // namespace

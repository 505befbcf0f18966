// What the evasion probe makes of each defence: the estimates of new
// children, the table's answers (proved, on the path, reopened), futile drop
// interpositions and the saturation of the proof-number sum. Expected
// numbers were derived by hand from the estimate's rules.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "movegen/generate.h"
#include "movegen/step_tables.h"
#include "platform/platform.h"
#include "position/make_move.h"
#include "search/tt.h"
#include "support/position_helpers.h"

namespace {

constexpr int LEVEL = 1;

std::string square_text(int sq) {
  return std::string(1, static_cast<char>('0' + 9 - sq % 9)) + static_cast<char>('a' + 8 - sq / 9);
}

std::string usi(int from, int to) {
  if (from > HAND_SQUARE_BASE) {
    const int piece = (from - HAND_SQUARE_BASE) % 15;
    return std::string(1, "PLNSGBR"[piece - 1]) + "*" + square_text(to & 0x7F);
  }
  return square_text(from) + square_text(to & 0x7F) + ((to & PROMOTION_BIT) ? "+" : "");
}

struct Listed {
  std::string move;
  int pn;
  int dn;
  int tag;
  int length;
  bool operator==(const Listed&) const = default;
};

void PrintTo(const Listed& e, std::ostream* os) {
  *os << "{" << e.move << " pn " << e.pn << " dn " << e.dn << " tag " << e.tag << " len " << e.length << "}";
}

int sq(int file, int rank) { return black_square(file, rank); }
MoveCode code(int from, int to) { return static_cast<MoveCode>(from * 256 + to); }

const int PAWN_DROP = hand_square(OWNER_DEFENDER, PAWN);

// The lance on 5e checks the king on 5b; the attacker holds a gold, the
// defender a pawn. Legal defences in generation order: 5b6a 5b4a 5b6b 5b4b
// 5b6c 5b4c (5b5a is refused: it stays on the lance's line), then P*5c and
// P*5d.
const char* const LANCE_CHECK = "9/4k4/9/9/4L4/9/9/9/9 b Gp 1";

class EvasionProbe : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    build_step_tables();
    build_zobrist();
  }

  void SetUp() override {
    tt_release();
    platform_set_alloc_limit(0);
    ASSERT_TRUE(tt_allocate_entries(4096));
    search_modes.refine_pass = 0;
    length_limit = 0;
    search_modes.reopen_main_line = 0;
    trial_drop_piece = 0;
    search_modes.symmetric_root = 0;
    store_under_path_key = 0;
    search_modes.allow_proof_overwrite = 0;
    for (uint32_t& key : main_line_keys) key = 0;
  }
  void TearDown() override {
    tt_release();
    search_modes.refine_pass = 0;
    search_modes.reopen_main_line = 0;
    for (uint32_t& key : main_line_keys) key = 0;
  }

  static std::vector<Listed> generate(int32_t threshold = 100) {
    node_threshold = threshold;
    pn_sum = 0;
    node_len = LENGTH_INFINITE;
    proof_hand = 0;
    proof_len = 0;
    drop_mate_seen = 0;
    no_legal_evasion = 1;
    no_legal_candidate = 1;
    nodes = 0;
    list_start[LEVEL] = 0;
    generate_moves(OWNER_DEFENDER, LEVEL);
    std::vector<Listed> listed;
    for (int i = list_start[LEVEL]; i < list_start[LEVEL + 1]; ++i) {
      const MoveEntry& e = move_entries[i];
      listed.push_back({usi(e.from, e.to), e.pn, e.dn, e.tag, e.length});
    }
    return listed;
  }

  static std::vector<std::string> moves_of(const std::vector<Listed>& listed) {
    std::vector<std::string> moves;
    for (const Listed& e : listed) moves.push_back(e.move);
    return moves;
  }

  // Stores an entry for the position after the defender's move from/to and
  // returns that position's path key.
  static uint32_t store_child(int from, int to, uint32_t flags, int16_t length, int32_t pn, int32_t dn,
                              MoveCode best = 0) {
    const Move move{static_cast<uint8_t>(from), static_cast<uint8_t>(to)};
    int16_t captured = 0;
    int16_t captured_owner = 0;
    make_move(OWNER_DEFENDER, move, captured, captured_owner);
    const uint32_t key = board.path_key;
    EXPECT_EQ(tt_store(OWNER_ATTACKER, flags, length, pn, dn, best), 1);
    unmake_move(OWNER_DEFENDER, move, captured, captured_owner);
    return key;
  }
};

using Moves = std::vector<std::string>;

// ------------------------------------------------------------ new children

// With an empty table every defence is new. King steps get pn 1, a drop on a
// square the defender guards pn 2 (5c: the king alone, while only the lance
// hits it), a drop on an unguarded square pn 0 with its distance to the king
// as tag (5d). Disproof estimates, floor(chances / 2) - free + 9, counted on
// the board after each move with the lance then reaching through 5b to 5a:
//   5b6a: free 7a 7b 6b = 3; chances 7a 1 (gold drop), 5a 2 (lance promotes
//         there, gold drop), 7b 1, 6b 1, 5b 2 (lance promotes, drop) = 7 -> 9
//   5b6b: free 5; chances 6a 1, 5a 0 (diagonal behind: no gold), 7b 1,
//         5b 2, 7c 1, 6c 1, 5c 2 = 8 -> 8
//   5b6c: free 5; chances 6b 1, 7c 1, 5c 2, 7d 1, 6d 1, 5d 1 (lance, but
//         no promotion outside the zone) = 7 -> 7
//   P*5c: free 7; chances 5a 1, 6b 1, 4b 1, 6c 1, 4c 1, the pawn's square 1
//         (lance in front of the king) = 6 -> 5
//   P*5d: free 8; chances 6 drops -> 4
TEST_F(EvasionProbe, NewChildrenEstimates) {
  setup_position(LANCE_CHECK);
  const std::vector<Listed> expected = {
      {"5b6a", 1, 9, 0, 0}, {"5b4a", 1, 9, 0, 0}, {"5b6b", 1, 8, 0, 0}, {"5b4b", 1, 8, 0, 0},
      {"5b6c", 1, 7, 0, 0}, {"5b4c", 1, 7, 0, 0}, {"P*5c", 2, 5, 0, 0}, {"P*5d", 0, 4, 2, 0},
  };
  EXPECT_EQ(generate(), expected);
  EXPECT_EQ(pn_sum, 8);
  EXPECT_EQ(nodes, 8u);
  EXPECT_EQ(no_legal_evasion, 0);
  EXPECT_EQ(no_legal_candidate, 0);
  EXPECT_EQ(node_best_move, 0);
}

// Once the sum of listed pn reaches the threshold, later children take dn 1
// instead of an estimate (the third king step brings it to 3).
TEST_F(EvasionProbe, EstimateOnlyBelowTheThreshold) {
  setup_position(LANCE_CHECK);
  const std::vector<Listed> listed = generate(3);
  std::vector<int> dns;
  for (const Listed& e : listed) dns.push_back(e.dn);
  EXPECT_EQ(dns, (std::vector<int>{9, 9, 1, 1, 1, 1, 1, 1}));
}

// Rook 5e checks 5a, bishop 8f covers 4b and 3a, an attacker pawn stands on
// 3b, the attacker holds a silver.
//   5a4a: free only 3b (an attacker piece, unattacked); chances 5a 1 (rook
//         checks sideways), 3a 1 (pawn or bishop promoting), 5b 2 (rook
//         promoting diagonally, silver drop), 4b 2 (bishop promoting in
//         front, silver drop), 3b none (attacker piece) = 6 -> 11
//   5a6a: free 7a 7b 6b = 3; chances 5a 1, 7b 1, 6b 1, 5b 2 = 5 -> 8
//   5a6b: free 5; chances 7a 1, 5a 2, 5b 1, 7c 1, 6c 1, 5c 2 = 8 -> 8
TEST_F(EvasionProbe, EstimateCountsCheckingAndPromotingChances) {
  setup_position("4k4/6P2/9/9/4R4/1B7/9/9/9 b S 1");
  const std::vector<Listed> expected = {
      {"5a6a", 1, 8, 0, 0},
      {"5a4a", 1, 11, 0, 0},
      {"5a6b", 1, 8, 0, 0},
  };
  EXPECT_EQ(generate(), expected);
}

// A silver on 6d adds a second attacker on 5c: guarded by the king alone and
// hit twice, the drop there is futile too (tag 1). 6c is the silver's.
TEST_F(EvasionProbe, DropGuardedOnlyByKingAndHitTwiceIsFutile) {
  setup_position("9/4k4/9/3S5/4L4/9/9/9/9 b p 1");
  const std::vector<Listed> listed = generate();
  EXPECT_EQ(moves_of(listed), (Moves{"5b6a", "5b4a", "5b6b", "5b4b", "5b4c", "P*5c", "P*5d"}));
  ASSERT_EQ(listed.size(), 7u);
  EXPECT_EQ(listed[5].pn, 0);
  EXPECT_EQ(listed[5].tag, 1);
  EXPECT_EQ(listed[6].pn, 0);
  EXPECT_EQ(listed[6].tag, 2);
  EXPECT_EQ(pn_sum, 5);
}

// ------------------------------------------------------------ table answers

// Three defences lead to proved positions: 5b6a proved for two pawns (stored
// length 9), 5b4a for a pawn and a gold (length 7, resting on a futile
// interposition), 5b6b for a pawn (length 9). None is listed. The attacker
// holds two pawns and a gold, so each proof carries over with two plies off
// per surplus piece: 7, 5 and 5. The proof hand takes the larger pawn count
// and the gold, and no flag; the longest defence, the first, stays the best.
TEST_F(EvasionProbe, ProvedChildrenFoldIntoProofData) {
  setup_position("9/4k4/9/9/4L4/9/9/9/9 b G2Pp 1");
  store_child(sq(5, 2), sq(6, 1), 2u << 20, 9, 0, PN_INFINITE);
  store_child(sq(5, 2), sq(4, 1), (1u << 20) | 0x1000 | TT_FUTILE, 7, 0, PN_INFINITE);
  store_child(sq(5, 2), sq(6, 2), 1u << 20, 9, 0, PN_INFINITE);
  const std::vector<Listed> listed = generate();
  EXPECT_EQ(moves_of(listed), (Moves{"5b4b", "5b6c", "5b4c", "P*5c", "P*5d"}));
  EXPECT_EQ(proof_hand, (2u << 20) | 0x1000);
  EXPECT_EQ(proof_len, 7);
  EXPECT_EQ(node_best_move, code(sq(5, 2), sq(6, 1)));
  EXPECT_EQ(nodes, 8u);
  EXPECT_EQ(pn_sum, 3 + 2 + 0);
}

// A defence back onto a position being searched refutes for now: dn 0, its
// stored pn and length, and pn_sum keeps counting.
TEST_F(EvasionProbe, DefenceOntoThePath) {
  setup_position(LANCE_CHECK);
  store_child(sq(5, 2), sq(6, 1), board.attacker_hand | TT_ON_PATH, 9, 3, 4);
  const std::vector<Listed> listed = generate();
  ASSERT_EQ(listed.size(), 8u);
  EXPECT_EQ(listed[0], (Listed{"5b6a", 3, 0, 0, 9}));
  EXPECT_EQ(pn_sum, 3 + 5 + 2 + 0);
  EXPECT_EQ(node_len, 9);
}

// Known unproved children: a board move takes the stored numbers, a drop one
// more pn; a drop on an unguarded square stays futile (pn 0, tag 2) with its
// stored dn. The smallest stored length and a pawn-drop-mate flag are
// noted, the stored best move is kept as the entry's hint.
TEST_F(EvasionProbe, KnownChildrenTakeStoredNumbers) {
  setup_position(LANCE_CHECK);
  const uint32_t hand = board.attacker_hand;
  const MoveCode hint = code(sq(5, 5), sq(5, 4));
  store_child(sq(5, 2), sq(4, 1), hand, 15, 6, 2, hint);
  store_child(PAWN_DROP, sq(5, 3), hand, 11, 5, 7);
  store_child(PAWN_DROP, sq(5, 4), hand | TT_PAWN_DROP_MATE, 13, 4, 3);
  const std::vector<Listed> listed = generate();
  ASSERT_EQ(listed.size(), 8u);
  EXPECT_EQ(listed[1], (Listed{"5b4a", 6, 2, 0, 15}));
  EXPECT_EQ(move_entries[list_start[LEVEL] + 1].tt_move, hint);
  EXPECT_EQ(listed[6], (Listed{"P*5c", 6, 7, 0, 11}));
  EXPECT_EQ(listed[7], (Listed{"P*5d", 0, 3, 2, 13}));
  EXPECT_EQ(pn_sum, 5 + 6 + 6 + 0);
  EXPECT_EQ(node_len, 11);
  EXPECT_EQ(drop_mate_seen, 1);
}

// In a refinement pass that reopens the recorded line, a proved defence
// whose child is the line's position at the child's depth (2: the root is at
// depth 1) is listed again with pn = dn = 1 and length 0.
TEST_F(EvasionProbe, RefinementReopensTheMainLine) {
  setup_position(LANCE_CHECK);
  const uint32_t child_key = store_child(sq(5, 2), sq(6, 1), board.attacker_hand, 5, 0, PN_INFINITE);
  search_modes.refine_pass = 1;
  length_limit = 1000;
  search_modes.reopen_main_line = 1;
  main_line_keys[2] = child_key;
  const std::vector<Listed> listed = generate();
  ASSERT_EQ(listed.size(), 8u);
  EXPECT_EQ(listed[0], (Listed{"5b6a", 1, 1, 0, 0}));
  EXPECT_EQ(pn_sum, 1 + 5 + 2);
  EXPECT_EQ(node_best_move, 0);
}

// A reopened defence, the last one listed, after one onto the path: each
// keeps its own numbers and the sum counts both.
TEST_F(EvasionProbe, ReopenAfterADefenceOntoThePath) {
  setup_position(LANCE_CHECK);
  store_child(sq(5, 2), sq(6, 1), board.attacker_hand | TT_ON_PATH, 9, 3, 4);
  const uint32_t child_key = store_child(PAWN_DROP, sq(5, 4), board.attacker_hand, 5, 0, PN_INFINITE);
  search_modes.refine_pass = 1;
  length_limit = 1000;
  search_modes.reopen_main_line = 1;
  main_line_keys[2] = child_key;
  const std::vector<Listed> listed = generate();
  ASSERT_EQ(listed.size(), 8u);
  EXPECT_EQ(listed[0], (Listed{"5b6a", 3, 0, 0, 9}));
  EXPECT_EQ(listed[7], (Listed{"P*5d", 1, 1, 0, 0}));
  EXPECT_EQ(pn_sum, 3 + 5 + 2 + 1);
}

// The same proof is folded when the key sits at another depth, or when the
// line is not being reopened.
TEST_F(EvasionProbe, ReopenNeedsTheKeyAtTheChildDepth) {
  setup_position(LANCE_CHECK);
  const uint32_t child_key = store_child(sq(5, 2), sq(6, 1), board.attacker_hand, 5, 0, PN_INFINITE);
  search_modes.refine_pass = 1;
  length_limit = 1000;
  search_modes.reopen_main_line = 1;
  main_line_keys[1] = child_key;
  main_line_keys[3] = child_key;
  EXPECT_EQ(generate().size(), 7u);
  EXPECT_EQ(node_best_move, code(sq(5, 2), sq(6, 1)));

  main_line_keys[1] = main_line_keys[3] = 0;
  main_line_keys[2] = child_key;
  search_modes.reopen_main_line = 0;
  EXPECT_EQ(generate().size(), 7u);
  EXPECT_EQ(node_best_move, code(sq(5, 2), sq(6, 1)));
}

// At the deepest ply the child's depth is past the recorded keys: the probe
// must not read beyond them, and the proof is simply folded.
TEST_F(EvasionProbe, ReopenAtTheLastPlyStaysInBounds) {
  setup_position(LANCE_CHECK);
  store_child(sq(5, 2), sq(6, 1), board.attacker_hand, 5, 0, PN_INFINITE);
  search_modes.refine_pass = 1;
  length_limit = 32000;
  search_modes.reopen_main_line = 1;
  board.ply = MOVE_STACK_SIZE - 1;
  board.depth = MOVE_STACK_SIZE;
  const std::vector<Listed> listed = generate();
  board.ply = 0;
  board.depth = 1;
  EXPECT_EQ(listed.size(), 7u);
  EXPECT_EQ(node_best_move, code(sq(5, 2), sq(6, 1)));
}

// ------------------------------------------------------------ saturation

// A disproven child saturates the node: nothing after it is listed, but
// every legal defence still counts, and each drop square tries one kind only
// (the defender also holds a silver).
TEST_F(EvasionProbe, SaturatedNodeListsNothingMore) {
  setup_position("9/4k4/9/9/4L4/9/9/9/9 b Gsp 1");
  store_child(sq(5, 2), sq(6, 1), board.attacker_hand, 0, PN_INFINITE, 1);
  const std::vector<Listed> listed = generate();
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].move, "5b6a");
  EXPECT_EQ(listed[0].pn, PN_INFINITE);
  EXPECT_EQ(pn_sum, PN_INFINITE);
  EXPECT_EQ(nodes, 8u);
  EXPECT_EQ(no_legal_evasion, 0);
}

// A known disproven drop child stays infinite: one more for the drop must
// neither wrap nor turn it finite.
TEST_F(EvasionProbe, KnownDisprovenDropStaysInfinite) {
  setup_position(LANCE_CHECK);
  store_child(PAWN_DROP, sq(5, 3), board.attacker_hand, 0, PN_INFINITE, 1);
  const std::vector<Listed> listed = generate();
  ASSERT_EQ(listed.size(), 7u);
  EXPECT_EQ(listed[6].move, "P*5c");
  EXPECT_EQ(listed[6].pn, PN_INFINITE);
  EXPECT_EQ(pn_sum, PN_INFINITE);
  EXPECT_EQ(nodes, 8u);
}

}  // namespace

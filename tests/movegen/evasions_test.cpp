// Which evasions the defender's generation tries and in which order. The
// expected lists were worked out by hand from the rules of the generator:
// board pieces last slot first (slots follow ascending squares after set-up),
// each piece's destinations in step-table order, then king steps in the king's
// direction order, then drops from the highest square down.
#include <gtest/gtest.h>

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

// USI text of a move as the unflipped board prints it.
std::string usi(int from, int to) {
  if (from > HAND_SQUARE_BASE) {
    const int piece = (from - HAND_SQUARE_BASE) % 15;
    return std::string(1, "PLNSGBR"[piece - 1]) + "*" + square_text(to & 0x7F);
  }
  return square_text(from) + square_text(to & 0x7F) + ((to & PROMOTION_BIT) ? "+" : "");
}

class Evasions : public ::testing::Test {
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
  }
  void TearDown() override { tt_release(); }

  // Runs the defender's generation with fresh accumulators and returns the
  // listed moves as text.
  static std::vector<std::string> generate() {
    node_threshold = 100;
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
    std::vector<std::string> moves;
    for (int i = list_start[LEVEL]; i < list_start[LEVEL + 1]; ++i)
      moves.push_back(usi(move_entries[i].from, move_entries[i].to));
    return moves;
  }

  // Stores a proof for the position after the defender's move from/to.
  static void prove_child(int from, int to, int16_t length) {
    const Move move{static_cast<uint8_t>(from), static_cast<uint8_t>(to)};
    int16_t captured = 0;
    int16_t captured_owner = 0;
    make_move(OWNER_DEFENDER, move, captured, captured_owner);
    ASSERT_EQ(tt_store(OWNER_ATTACKER, board.attacker_hand, length, 0, PN_INFINITE, 0), 1);
    unmake_move(OWNER_DEFENDER, move, captured, captured_owner);
  }
};

using Moves = std::vector<std::string>;

int sq(int file, int rank) { return black_square(file, rank); }
MoveCode code(int from, int to) { return static_cast<MoveCode>(from * 256 + to); }

// ------------------------------------------------------------ check classes

// Knight 4c and bishop 1e both check the king on 5a. The silver on 3b could
// take the knight or block the bishop on 3c, and a pawn could be dropped on
// the diagonal, but against two checkers only the king moves. 4b is on the
// bishop's diagonal.
TEST_F(Evasions, DoubleCheckOnlyKingSteps) {
  setup_position("4k4/6s2/5N3/9/8B/9/9/9/9 b p 1");
  EXPECT_EQ(generate(), (Moves{"5a6a", "5a4a", "5a6b", "5a5b"}));
  EXPECT_EQ(check_class, CHECK_DOUBLE);
  EXPECT_EQ(no_legal_evasion, 0);
}

// Gold 5b checks 5a. The silver 4a (slot 2) and the gold 6a (slot 1) can take
// it; the king can too, as nothing guards the gold. 6b and 4b are the gold's.
// Nothing is dropped against a stepping checker.
TEST_F(Evasions, SteppingCheckerCapturesThenKing) {
  setup_position("3gks3/4G4/9/9/9/9/9/9/9 b p 1");
  EXPECT_EQ(generate(), (Moves{"4a5b", "6a5b", "5a5b"}));
  EXPECT_EQ(check_class, CHECK_STEP);
}

// As above with a rook on 1a pinning the silver: its capture is tried and
// refused, the rest is unchanged.
TEST_F(Evasions, PinnedCapturerIsRefused) {
  setup_position("3gks2R/4G4/9/9/9/9/9/9/9 b p 1");
  EXPECT_EQ(generate(), (Moves{"6a5b", "5a5b"}));
  EXPECT_EQ(nodes, 2u);
}

// Rook 5b next to the king: the only marked square is the rook's own, so
// the gold 6a (slot 2) and the bishop 8e (slot 1) take it, the king steps to
// 4a or takes it, and no drop is possible.
TEST_F(Evasions, AdjacentRookCapturedNoDrops) {
  setup_position("3gk4/4R4/9/9/1b7/9/9/9/9 b p 1");
  EXPECT_EQ(generate(), (Moves{"6a5b", "8e5b", "5a4a", "5a5b"}));
  EXPECT_EQ(check_class, CHECK_LINE);
}

// Gold 5b guarded by the pawn 5c: no capture, every king square is covered.
TEST_F(Evasions, MateLeavesTheListEmpty) {
  setup_position("4k4/4G4/4P4/9/9/9/9/9/9 b p 1");
  EXPECT_TRUE(generate().empty());
  EXPECT_EQ(no_legal_evasion, 1);
  EXPECT_EQ(no_legal_candidate, 1);
  EXPECT_EQ(nodes, 0u);
}

// ------------------------------------------------------------ line checks

// Rook 5d, king 5a, 5b and 5c empty between. The gold 6b (slot 2) moves to
// 5c then 5b (its direction order), the silver 4e (slot 1) takes the rook;
// king steps 6a, 4a, 4b (6b is the gold's, 5b the rook's line); then one drop
// per square, 5b before 5c, the lance being the first kind held.
TEST_F(Evasions, DistantRookFullOrder) {
  setup_position("4k4/3g5/9/4R4/5s3/9/9/9/9 b gsl 1");
  EXPECT_EQ(generate(), (Moves{"6b5c", "6b5b", "4e5d", "5a6a", "5a4a", "5a4b", "L*5b", "L*5c"}));
  EXPECT_EQ(check_class, CHECK_LINE);
}

// A lance drop on 5b already known to lose passes the square on to the
// silver; 5c still gets its lance.
TEST_F(Evasions, ProvedDropGivesTheSquareToTheNextKind) {
  setup_position("4k4/3g5/9/4R4/5s3/9/9/9/9 b gsl 1");
  const int lance = hand_square(OWNER_DEFENDER, LANCE);
  prove_child(lance, sq(5, 2), 7);
  EXPECT_EQ(generate(), (Moves{"6b5c", "6b5b", "4e5d", "5a6a", "5a4a", "5a4b", "S*5b", "L*5c"}));
  EXPECT_EQ(node_best_move, code(lance, sq(5, 2)));
  EXPECT_EQ(proof_len, 7);
}

// Rook 5i, king 9i: the squares between are on the defender's last row, where
// neither pawn, lance nor knight may be dropped; the gold is.
TEST_F(Evasions, NoPawnLanceOrKnightDropOnTheLastRow) {
  setup_position("9/9/9/9/9/9/9/9/k3R4 b gnlp 1");
  EXPECT_EQ(generate(), (Moves{"9i9h", "9i8h", "G*6i", "G*7i", "G*8i"}));
}

// Rook 5h, king 9h, a defender pawn on 7g. The pawn steps onto 7h and
// promotes, and its plain twin is not tried once that is listed. Drops: the
// pawn on 6h and 8h, but not into the 7th file where the pawn stands; the
// knight never on the second-to-last row, so 7h takes the silver.
TEST_F(Evasions, PawnFileAndKnightRowsDecideTheDropKind) {
  setup_position("9/9/9/9/9/9/2p6/k3R4/9 b snp 1");
  EXPECT_EQ(generate(), (Moves{"7g7h+", "9h9g", "9h8g", "9h9i", "9h8i", "P*6h", "S*7h", "P*8h"}));
}

// Lance 5e checks the king on 5b. 5a lies on the lance's line behind the
// king: free before the move, attacked after it, so it is refused.
TEST_F(Evasions, KingStepAlongTheLanceLineIsRefused) {
  setup_position("9/4k4/9/9/4L4/9/9/9/9 b p 1");
  EXPECT_EQ(generate(), (Moves{"5b6a", "5b4a", "5b6b", "5b4b", "5b6c", "5b4c", "P*5c", "P*5d"}));
  EXPECT_EQ(nodes, 8u);
}

// ------------------------------------------------------------ promotion twins

// Gold 5g checks the king on 5h; the bishop 7e takes it inside the
// defender's zone. With nothing known, only the promoting capture is listed.
TEST_F(Evasions, BishopCaptureInZonePromotes) {
  setup_position("9/9/9/9/2b6/9/4G4/4k4/9 b p 1");
  EXPECT_EQ(generate(), (Moves{"7e5g+", "5h5g", "5h6h", "5h4h", "5h6i", "5h5i", "5h4i"}));
}

// The same with the promoting capture known to lose: the plain capture is
// tried instead, and the proved one becomes the node's best defence.
TEST_F(Evasions, BishopPlainCaptureWhenPromotionProved) {
  setup_position("9/9/9/9/2b6/9/4G4/4k4/9 b p 1");
  const int from = sq(7, 5);
  const int to = sq(5, 7) | PROMOTION_BIT;
  prove_child(from, to, 9);
  EXPECT_EQ(generate(), (Moves{"7e5g", "5h5g", "5h6h", "5h4h", "5h6i", "5h5i", "5h4i"}));
  EXPECT_EQ(node_best_move, code(from, to));
  EXPECT_EQ(proof_len, 9);
}

// A knight taking the checker on the second-to-last row must promote: when
// the promotion is known to lose, no plain capture follows.
TEST_F(Evasions, KnightCaptureOnSecondRowOnlyPromoted) {
  setup_position("9/9/9/9/9/5n3/9/4G4/4k4 b p 1");
  EXPECT_EQ(generate(), (Moves{"4f5h+", "5i5h", "5i6i", "5i4i"}));
  prove_child(sq(4, 6), sq(5, 8) | PROMOTION_BIT, 5);
  EXPECT_EQ(generate(), (Moves{"5i5h", "5i6i", "5i4i"}));
}

}  // namespace

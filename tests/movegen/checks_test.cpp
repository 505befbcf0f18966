#include <gtest/gtest.h>

#include "position/make_move.h"
#include "search/defence.h"
#include "support/gen_helpers.h"

namespace {

using Texts = std::vector<std::string>;

class CheckGeneration : public testing::Test {
 protected:
  void SetUp() override {
    fresh_search_tables();
    nodes = 0;
  }
  void TearDown() override {
    trial_drop_piece = 0;
    search_modes.symmetric_root = 0;
  }
};

// King 1a; gold 2c; a gold in hand.
constexpr const char* GOLD_POSITION = "8k/9/7G1/9/9/9/9/9/9 b G 1";

TEST_F(CheckGeneration, EmissionOrderAndEstimates) {
  setup_root(GOLD_POSITION);
  auto moves = attacker_checks(PN_INFINITE);
  // Board pieces in direction order, then gold drops walking out from the
  // king in the defender gold's direction order.
  ASSERT_EQ(listed_usi(1), (Texts{"2c2b", "2c1b", "G*1b", "G*2b", "G*2a"}));
  EXPECT_EQ(nodes, 5u);
  // Free squares + defenders of the checker, less one for a protected
  // contact check: 2b (king may take the gold on 2b) = 1 + 1.
  const int expected_pn[5] = {2, 2, 0, 0, 2};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(moves[i].pn, expected_pn[i]) << moves[i].usi;
    EXPECT_EQ(moves[i].dn, 1) << moves[i].usi;
    EXPECT_EQ(moves[i].tag, 0) << moves[i].usi;
    EXPECT_EQ(moves[i].length, -LENGTH_INFINITE) << moves[i].usi;
  }
}

TEST_F(CheckGeneration, ThresholdFoldsChecksIntoAccumulators) {
  setup_root(GOLD_POSITION);
  attacker_checks(1);
  EXPECT_EQ(listed_usi(1), (Texts{"G*1b", "G*2b"}));
  EXPECT_EQ(rest_min_pn, 2);
  EXPECT_EQ(rest_dn_sum, 3);
  EXPECT_EQ(usi_text(node_best_move), "2c2b");  // first of the smallest left out
}

TEST_F(CheckGeneration, TableKnownChildren) {
  setup_root(GOLD_POSITION);
  // A proof of the position after G*1b, and an open entry after 2c2b whose
  // pn equals the threshold.
  int16_t cp, co;
  Move drop{static_cast<uint8_t>(hand_square(0, GOLD)), static_cast<uint8_t>(black_square(1, 2))};
  make_move(0, drop, cp, co);
  tt_store(1, board.attacker_hand, 5, 0, PN_INFINITE, 0);
  unmake_move(0, drop, cp, co);
  Move step{static_cast<uint8_t>(black_square(2, 3)), static_cast<uint8_t>(black_square(2, 2))};
  make_move(0, step, cp, co);
  tt_store(1, board.attacker_hand, 7, 4, 9, 0);
  unmake_move(0, step, cp, co);

  auto moves = attacker_checks(4);
  EXPECT_EQ(listed_usi(1), (Texts{"2c1b", "G*1b", "G*2b", "G*2a"}));
  const ListedMove* proved = find_move(moves, "G*1b");
  ASSERT_NE(proved, nullptr);
  EXPECT_EQ(proved->pn, 5 - 3000);
  EXPECT_EQ(proved->length, 5);
  EXPECT_EQ(rest_min_pn, 4);
  EXPECT_EQ(rest_dn_sum, 9);
  EXPECT_EQ(node_len, 7);
  EXPECT_EQ(usi_text(node_best_move), "2c2b");
}

TEST_F(CheckGeneration, PromotionPairs) {
  // A bishop entering the zone: only the promoting check, its plain twin
  // is not even tried.
  setup_root("4k4/9/9/9/6B2/9/9/9/9 b - 1");
  auto moves = attacker_checks(PN_INFINITE);
  EXPECT_EQ(listed_usi(1), (Texts{"3e6b+", "3e2d"}));
  EXPECT_EQ(nodes, 2u);
  // Distant slider checks: free squares + defenders, plus one.
  EXPECT_EQ(moves[0].pn, 5);
  EXPECT_EQ(moves[1].pn, 5);

  // A silver entering the zone gives both.
  setup_root("4k4/9/5S3/9/9/9/9/9/9 b - 1");
  attacker_checks(PN_INFINITE);
  EXPECT_EQ(listed_usi(1), (Texts{"4c5b+", "4c5b", "4c4b+", "4c4b"}));

  // A pawn reaching the last row only promotes.
  setup_root("4k4/5P3/9/9/9/9/9/9/9 b - 1");
  attacker_checks(PN_INFINITE);
  EXPECT_EQ(listed_usi(1), (Texts{"4b4a+"}));
}

TEST_F(CheckGeneration, UncoveredDoubleCheckEstimatesFreeSquaresOnly) {
  setup_root("4k4/9/9/9/4N4/9/9/9/4L4 b - 1");
  auto moves = attacker_checks(PN_INFINITE);
  ASSERT_EQ(listed_usi(1), (Texts{"5e6c+", "5e6c", "5e4c+", "5e4c"}));
  EXPECT_EQ(moves[0].pn, 3);  // lance check alone: 3 free squares
  EXPECT_EQ(moves[1].pn, 4);  // double check: the 4 free squares
  EXPECT_EQ(moves[2].pn, 3);
  EXPECT_EQ(moves[3].pn, 4);
}

TEST_F(CheckGeneration, SymmetricRootSkipsTheMirrorHalf) {
  setup_root("4k4/9/9/9/9/9/9/9/2R3R2 b - 1");
  attacker_checks(PN_INFINITE);
  EXPECT_EQ(listed_usi(1), (Texts{"3i3a+", "3i5i", "7i7a+", "7i5i"}));
  search_modes.symmetric_root = 1;
  attacker_checks(PN_INFINITE);
  // The rook on column 2 may not reach the middle column; the one on
  // column 6 may.
  EXPECT_EQ(listed_usi(1), (Texts{"3i3a+", "3i5i"}));
}

TEST_F(CheckGeneration, PawnDropsKeepTheTwoPawnRule) {
  setup_root("4k4/9/9/9/4P4/9/9/9/9 b P 1");
  attacker_checks(PN_INFINITE);
  EXPECT_TRUE(listed_usi(1).empty());
  setup_root("4k4/9/9/9/4+P4/9/9/9/9 b P 1");
  attacker_checks(PN_INFINITE);
  EXPECT_EQ(listed_usi(1), (Texts{"P*5b"}));
}

TEST_F(CheckGeneration, TagsOfCapturesAndLongDrops) {
  setup_root("4k4/4p4/5S3/9/9/9/9/9/9 b R 1");
  auto moves = attacker_checks(PN_INFINITE);
  const ListedMove* capture = find_move(moves, "4c5b+");
  ASSERT_NE(capture, nullptr);
  EXPECT_EQ(capture->tag, -1);
  const ListedMove* far_drop = find_move(moves, "R*8a");
  ASSERT_NE(far_drop, nullptr);
  EXPECT_EQ(far_drop->tag, 3);
  const ListedMove* near_drop = find_move(moves, "R*6a");
  ASSERT_NE(near_drop, nullptr);
  EXPECT_EQ(near_drop->tag, 1);
}

TEST_F(CheckGeneration, ChecksThatExposeTheOwnKingAreNeverListed) {
  // The silver on 8h is pinned against its king by the bishop on 6f; its
  // only checks leave the diagonal.
  setup_root("9/9/9/9/9/k2b5/9/1S7/K8 b - 1");
  attacker_checks(PN_INFINITE);
  EXPECT_TRUE(listed_usi(1).empty());
  EXPECT_EQ(nodes, 0u);
}

// The attacker's rook takes a pawn the defender dropped in its line.
TEST_F(CheckGeneration, FutileInterpositionRecaptureTags) {
  setup_root("4k4/9/4p4/9/4R4/9/9/9/9 b - 1");
  // As if the defender had just dropped the pawn on 5c.
  board.ply = 1;
  board.depth = 2;
  board.move_stack[1] = {static_cast<int16_t>(hand_square(1, PAWN) * 256 + black_square(5, 3)), EMPTY, OWNER_NONE};
  list_start[2] = 0;
  auto moves = attacker_checks(PN_INFINITE);
  const ListedMove* recapture = find_move(moves, "5e5c+");
  ASSERT_NE(recapture, nullptr);
  EXPECT_EQ(recapture->pn, 0);
  EXPECT_EQ(recapture->tag, -2);
  EXPECT_EQ(recapture->length, 0);

  // The same when the rook had come to 5e just before: tag -3.
  board.ply = 2;
  board.depth = 3;
  board.move_stack[1] = {static_cast<int16_t>(black_square(5, 7) * 256 + black_square(5, 5)), EMPTY, OWNER_NONE};
  board.move_stack[2] = {static_cast<int16_t>(hand_square(1, PAWN) * 256 + black_square(5, 3)), EMPTY, OWNER_NONE};
  list_start[3] = 0;
  moves = attacker_checks(PN_INFINITE);
  recapture = find_move(moves, "5e5c+");
  ASSERT_NE(recapture, nullptr);
  EXPECT_EQ(recapture->tag, -3);

  // A pawn the defender can retake with a piece other than its king is no
  // futile interposition.
  setup_root("4k4/3g5/4p4/9/4R4/9/9/9/9 b - 1");
  board.ply = 1;
  board.depth = 2;
  board.move_stack[1] = {static_cast<int16_t>(hand_square(1, PAWN) * 256 + black_square(5, 3)), EMPTY, OWNER_NONE};
  list_start[2] = 0;
  moves = attacker_checks(PN_INFINITE);
  recapture = find_move(moves, "5e5c+");
  ASSERT_NE(recapture, nullptr);
  EXPECT_NE(recapture->tag, -2);
  EXPECT_GT(recapture->pn, 0);
}

TEST_F(CheckGeneration, RestrictedModeAdmitsOnlyHintsAndTheCapturer) {
  setup_root(GOLD_POSITION);
  trial_drop_piece = PAWN;
  ref_move = static_cast<MoveCode>(black_square(2, 4) * 256 + black_square(2, 3));  // 2d2c
  ref_piece = GOLD;
  ref_move2 = 0;
  attacker_checks(PN_INFINITE);
  // Empty table: no hints, only moves of the piece on 2c.
  EXPECT_EQ(listed_usi(1), (Texts{"2c2b", "2c1b"}));
  EXPECT_EQ(nodes, 5u);  // every legal check is still counted
}

TEST_F(CheckGeneration, HintMovesComeFromTheTable) {
  setup_root(GOLD_POSITION);
  // The current position proven with G*2b as its move.
  const MoveCode g2b = static_cast<MoveCode>(hand_square(0, GOLD) * 256 + black_square(2, 2));
  tt_store(0, board.attacker_hand, 3, 0, PN_INFINITE, g2b);
  trial_drop_piece = PAWN;
  ref_move = static_cast<MoveCode>(black_square(2, 4) * 256 + black_square(2, 3));
  ref_piece = GOLD;
  ref_move2 = 0;
  attacker_checks(PN_INFINITE);
  EXPECT_EQ(hint_moves[0], g2b);
  EXPECT_EQ(listed_usi(1), (Texts{"2c2b", "2c1b", "G*2b"}));
}

TEST_F(CheckGeneration, FullStorageIsFlaggedAndNeverOverrun) {
  setup_root(GOLD_POSITION);
  list_start[1] = MOVE_ENTRIES_SIZE - 2;
  attacker_checks(PN_INFINITE);
  EXPECT_EQ(gen_overflow, 1);
  EXPECT_EQ(list_start[2], MOVE_ENTRIES_SIZE);
  // A generation that fits clears the flag.
  list_start[1] = 0;
  attacker_checks(PN_INFINITE);
  EXPECT_EQ(gen_overflow, 0);
  // Levels beyond the list starts are refused outright.
  generate_moves(0, LIST_LEVELS);
  EXPECT_EQ(gen_overflow, 1);
  list_start[LIST_LEVELS - 1] = 0;
  generate_moves(0, LIST_LEVELS - 1);
  EXPECT_EQ(gen_overflow, 0);
  EXPECT_EQ(list_start[LIST_LEVELS], 5);
}

}  // namespace

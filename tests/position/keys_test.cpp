#include <gtest/gtest.h>

#include "support/position_helpers.h"

namespace {

TEST(Zobrist, GeneratorValues) {
  build_zobrist();
  EXPECT_EQ(zobrist[0][PAWN][0].lo, 0x967E41C6u);
  EXPECT_EQ(zobrist[0][PAWN][0].hi, 0xC46B2781u);
  EXPECT_EQ(zobrist[0][PAWN][1].lo, 0x95FBF94Bu);
  EXPECT_EQ(zobrist[0][PAWN][1].hi, 0x9CFBD9E2u);
  EXPECT_EQ(zobrist[1][KING][80].lo, 0x4550A978u);
  EXPECT_EQ(zobrist[1][KING][80].hi, 0x610BF312u);
  for (int owner = 0; owner < 2; ++owner)
    for (int sq = 0; sq < SQUARES; ++sq) {
      EXPECT_EQ(zobrist[owner][EMPTY][sq].lo, 0u);
      EXPECT_EQ(zobrist[owner][EMPTY][sq].hi, 0u);
    }
  // A second call must not redraw.
  build_zobrist();
  EXPECT_EQ(zobrist[1][KING][80].hi, 0x610BF312u);
}

TEST(BoardKeys, EmptyBoardAndSinglePawn) {
  setup_position("9/9/9/9/9/9/9/9/9 b - 1");
  EXPECT_EQ(board.board_key.lo, 0u);
  EXPECT_EQ(board.board_key.hi, 0u);
  EXPECT_EQ(board.path_key, 0u);

  setup_position("9/9/9/9/9/9/9/9/P8 b - 1");  // attacker pawn on 9i = square 0
  EXPECT_EQ(board.board_key.lo, 0x967E41C6u);
  EXPECT_EQ(board.board_key.hi, 0xC46B2781u);
  EXPECT_EQ(board.path_key, 0xC46B2781u);
}

TEST(BoardKeys, KeyIsXorOfPieces) {
  setup_position("lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1");
  HashKey key{0, 0};
  for (int sq = 0; sq < SQUARES; ++sq) {
    if (!board.pieces[sq]) continue;
    key.lo ^= zobrist[board.owners[sq]][board.pieces[sq]][sq].lo;
    key.hi ^= zobrist[board.owners[sq]][board.pieces[sq]][sq].hi;
  }
  EXPECT_EQ(board.board_key.lo, key.lo);
  EXPECT_EQ(board.board_key.hi, key.hi);
  EXPECT_EQ(board.path_key, key.hi);
  EXPECT_TRUE(board_is_ok());
}

TEST(PackedHand, Layout) {
  setup_position("9/9/9/9/9/9/9/9/9 b 2GR 1");
  EXPECT_EQ(board.attacker_hand, 0x43000u);
  setup_position("9/9/9/9/9/9/9/9/9 b 3P2L1N4S2B 1");
  EXPECT_EQ(board.attacker_hand, (3u << 20) | 0x3u | 0x10u | 0xF00u | 0x30000u);
  EXPECT_EQ(hand_count(board.attacker_hand, PAWN), 3);
  EXPECT_EQ(hand_count(board.attacker_hand, LANCE), 2);
  EXPECT_EQ(hand_count(board.attacker_hand, SILVER), 4);
  EXPECT_EQ(hand_count(board.attacker_hand, BISHOP), 2);
  EXPECT_EQ(hand_count(board.attacker_hand, ROOK), 0);
  // The defender's hand never enters the packed hand.
  setup_position("9/9/9/9/9/9/9/9/9 b 2r18p 1");
  EXPECT_EQ(board.attacker_hand, 0u);
}

TEST(PackedHand, Containment) {
  setup_position("9/9/9/9/9/9/9/9/9 b 2P2GR 1");
  PackedHand big = board.attacker_hand;
  setup_position("9/9/9/9/9/9/9/9/9 b P2G 1");
  PackedHand small = board.attacker_hand;
  setup_position("9/9/9/9/9/9/9/9/9 b 3PG 1");
  PackedHand more_pawns = board.attacker_hand;
  EXPECT_TRUE(hand_contains(big, small));
  EXPECT_FALSE(hand_contains(small, big));
  EXPECT_FALSE(hand_contains(big, more_pawns));
  EXPECT_TRUE(hand_contains(more_pawns, more_pawns));
}

TEST(KeyUpdate, HandSquaresMoveUnaryBits) {
  setup_position("9/9/9/9/9/9/9/9/9 b 2G 1");
  update_key_and_hand(hand_square(0, GOLD), GOLD, NO_SQUARE, 0);
  EXPECT_EQ(board.attacker_hand, 0x1000u);
  update_key_and_hand(NO_SQUARE, BISHOP, hand_square(0, BISHOP), 0);
  EXPECT_EQ(board.attacker_hand, 0x11000u);
  update_key_and_hand(NO_SQUARE, BISHOP, hand_square(0, BISHOP), 0);
  update_key_and_hand(NO_SQUARE, BISHOP, hand_square(0, BISHOP), 0);  // field full: no change
  EXPECT_EQ(board.attacker_hand, 0x31000u);
  update_key_and_hand(hand_square(0, BISHOP), BISHOP, NO_SQUARE, 0);
  EXPECT_EQ(board.attacker_hand, 0x11000u);
  update_key_and_hand(hand_square(0, ROOK), ROOK, NO_SQUARE, 0);  // empty field: no change
  EXPECT_EQ(board.attacker_hand, 0x11000u);
  // The defender's hand squares leave the packed hand alone.
  update_key_and_hand(NO_SQUARE, GOLD, hand_square(1, GOLD), 1);
  EXPECT_EQ(board.attacker_hand, 0x11000u);
  update_key_and_hand(NO_SQUARE, PAWN, hand_square(0, PAWN), 0);
  EXPECT_EQ(board.attacker_hand, 0x111000u);

  // A board move XORs the piece out of one square and into another.
  update_key_and_hand(NO_SQUARE, PAWN, 0, 0);
  EXPECT_EQ(board.board_key.lo, 0x967E41C6u);
  update_key_and_hand(0, PAWN, 1, 0);
  EXPECT_EQ(board.board_key.lo, 0x95FBF94Bu);
  EXPECT_EQ(board.board_key.hi, 0x9CFBD9E2u);
}

}  // namespace

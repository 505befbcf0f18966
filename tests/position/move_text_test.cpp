#include <gtest/gtest.h>

#include <string>

#include "position/move_text.h"
#include "support/position_helpers.h"

namespace {

MoveCode code(int from, int to, bool promote = false) {
  return static_cast<MoveCode>(from * 256 + to + (promote ? PROMOTION_BIT : 0));
}

std::string usi(MoveCode c) {
  testing::internal::CaptureStdout();
  print_move_usi(c);
  return testing::internal::GetCapturedStdout();
}

std::string japanese(MoveCode c) {
  testing::internal::CaptureStdout();
  print_move_japanese(c);
  return testing::internal::GetCapturedStdout();
}

TEST(MoveTextUsi, BlackToMove) {
  setup_position("4k4/9/9/9/9/9/9/9/4K4 b - 1");
  EXPECT_EQ(usi(code(black_square(7, 7), black_square(7, 6))), "7g7f");
  EXPECT_EQ(usi(code(black_square(2, 2), black_square(3, 3), true)), "2b3c+");
  EXPECT_EQ(usi(code(hand_square(0, GOLD), black_square(5, 2))), "G*5b");
  // A defender drop prints the same upper-case letter.
  EXPECT_EQ(usi(code(hand_square(1, GOLD), black_square(5, 2))), "G*5b");
  EXPECT_EQ(usi(code(hand_square(1, PAWN), black_square(1, 9))), "P*1i");
  EXPECT_EQ(usi(code(hand_square(0, ROOK), black_square(9, 1))), "R*9a");
}

TEST(MoveTextUsi, WhiteToMovePrintsTheGivenCoordinates) {
  setup_position("4k4/9/9/9/9/9/9/9/4K4 w - 1");
  ASSERT_EQ(board.flipped, 1u);
  EXPECT_EQ(usi(code(0, 9)), "1a1b");
  EXPECT_EQ(usi(code(80, 71, true)), "9i9h+");
  EXPECT_EQ(usi(code(hand_square(0, PAWN), 40)), "P*5e");
}

TEST(MoveTextUsi, PlyTextEndsWithASpace) {
  setup_position("4k4/9/9/9/9/9/9/9/4K4 b - 1");
  board.move_stack[3].move = code(black_square(7, 7), black_square(7, 6));
  testing::internal::CaptureStdout();
  print_ply_usi(3);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "7g7f ");
}

TEST(MoveTextJapanese, BoardMovesAndDrops) {
  setup_position("4k4/9/9/6S2/9/9/9/9/9 b G 1");
  // Silver from 3d promoting on 2c: "２三銀成(34)".
  EXPECT_EQ(japanese(code(black_square(3, 4), black_square(2, 3), true)),
            "\x82\x51\x8e\x4f\x8b\xe2\x90\xac(34)");
  // Without the flag there is no promotion text.
  EXPECT_EQ(japanese(code(black_square(3, 4), black_square(2, 3))), "\x82\x51\x8e\x4f\x8b\xe2(34)");
  // Gold dropped on 5b: "５二金打".
  EXPECT_EQ(japanese(code(hand_square(0, GOLD), black_square(5, 2))), "\x82\x54\x93\xf1\x8b\xe0\x91\xc5");
}

TEST(MoveTextJapanese, PromotedPiecesUseTheirOwnNames) {
  setup_position("4k4/9/9/6+S2/9/9/9/9/+R8 b - 1");
  // A promoted silver prints "成銀", then "成" only with the flag.
  EXPECT_EQ(japanese(code(black_square(3, 4), black_square(3, 3))), "\x82\x52\x8e\x4f\x90\xac\x8b\xe2(34)");
  // A dragon: "龍".
  EXPECT_EQ(japanese(code(black_square(9, 9), black_square(9, 1))), "\x82\x58\x88\xea\x97\xb4(99)");
}

TEST(MoveTextJapanese, WhiteToMove) {
  setup_position("4k4/9/9/9/9/9/9/9/4K4 w - 1");
  // Stored square 76 is 5i with White to move: the attacker's king there.
  board.pieces[4] = KING;
  board.owners[4] = OWNER_ATTACKER;
  EXPECT_EQ(japanese(code(4, 13)), "\x82\x54\x93\xf1\x8b\xca(51)");
}

}  // namespace

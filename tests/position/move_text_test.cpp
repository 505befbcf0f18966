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

namespace {

std::string published(MoveCode c, int previous_to = NO_SQUARE) {
  return japanese_move_text(c, previous_to, JAPANESE_PUBLISHED);
}
std::string kif(MoveCode c, int previous_to = NO_SQUARE) { return japanese_move_text(c, previous_to, JAPANESE_KIF); }

TEST(MoveTextJapaneseUtf8, DropsTakeTheDropMarkOnlyWhereABoardPieceCouldGoToo) {
  setup_position("4k4/9/9/9/9/9/9/9/9 b G 1");
  const MoveCode drop = code(hand_square(0, GOLD), black_square(5, 2));
  EXPECT_EQ(published(drop), "５二金");
  EXPECT_EQ(kif(drop), "５二金打");
  // A gold on 4c reaches 5b as well.
  setup_position("4k4/9/5G3/9/9/9/9/9/9 b G 1");
  EXPECT_EQ(published(drop), "５二金打");
  // A defender's gold there is not the attacker's.
  setup_position("4k4/9/5g3/9/9/9/9/9/9 b G 1");
  EXPECT_EQ(published(drop), "５二金");
}

TEST(MoveTextJapaneseUtf8, PromotionsAndDeclinedPromotions) {
  setup_position("4k4/9/9/6S2/9/6S2/9/9/9 b - 1");
  const int from = black_square(3, 4), to = black_square(2, 3);
  EXPECT_EQ(published(code(from, to, true)), "２三銀成");
  EXPECT_EQ(kif(code(from, to, true)), "２三銀成(34)");
  EXPECT_EQ(published(code(from, to)), "２三銀不成");
  EXPECT_EQ(kif(code(from, to)), "２三銀不成(34)");
  // Out of the zone nothing can promote: no 不成.
  EXPECT_EQ(kif(code(black_square(3, 6), black_square(3, 5))), "３五銀(36)");
  // Leaving the zone can promote too.
  setup_position("4k4/9/6S2/9/9/9/9/9/9 b - 1");
  EXPECT_EQ(published(code(black_square(3, 3), black_square(3, 4))), "３四銀不成");
  // A gold or a promoted piece never promotes.
  setup_position("4k4/9/6G+S1/9/9/9/9/9/9 b - 1");
  EXPECT_EQ(published(code(black_square(3, 3), black_square(3, 2))), "３二金");
  EXPECT_EQ(published(code(black_square(2, 3), black_square(2, 2))), "２二成銀");
  // The defender's zone is the attacker's first three ranks.
  setup_position("4k4/9/9/9/9/6s2/9/9/9 b - 1");
  EXPECT_EQ(published(code(black_square(3, 6), black_square(3, 7))), "３七銀不成");
  EXPECT_EQ(published(code(black_square(3, 6), black_square(3, 7), true)), "３七銀成");
}

TEST(MoveTextJapaneseUtf8, RecaptureOnTheSameSquare) {
  setup_position("8k/7+S1/9/9/9/9/9/9/9 b - 1");
  const int king = black_square(1, 1), to = black_square(2, 2);
  EXPECT_EQ(published(code(king, to), to), "同玉");
  EXPECT_EQ(kif(code(king, to), to), "同　玉(11)");
  // Another destination is written out.
  EXPECT_EQ(kif(code(king, black_square(1, 2)), to), "１二玉(11)");
  // A two-character name takes no space in KIF.
  EXPECT_EQ(kif(code(to, black_square(1, 1)), black_square(1, 1)), "同成銀(22)");
  EXPECT_EQ(published(code(to, black_square(1, 1)), black_square(1, 1)), "同成銀");
}

TEST(MoveTextJapaneseUtf8, TwoPiecesOfAKindAreToldApart) {
  // Golds on 6i and 4i both step up to 5h.
  setup_position("4k4/9/9/9/9/9/9/9/3G1G3 b - 1");
  const int to = black_square(5, 8);
  EXPECT_EQ(published(code(black_square(4, 9), to)), "５八金右");
  EXPECT_EQ(published(code(black_square(6, 9), to)), "５八金左");
  // The KIF origin says it already.
  EXPECT_EQ(kif(code(black_square(4, 9), to)), "５八金(49)");
  // Straight up is 直 when a neighbour could also step up.
  setup_position("4k4/9/9/9/9/9/9/9/4GG3 b - 1");
  EXPECT_EQ(published(code(black_square(5, 9), to)), "５八金直");
  EXPECT_EQ(published(code(black_square(4, 9), to)), "５八金右");
  // A direction of its own is enough: sideways 寄 against up 上.
  setup_position("4k4/9/9/9/9/9/9/5G3/4G4 b - 1");
  EXPECT_EQ(published(code(black_square(4, 8), to)), "５八金寄");
  EXPECT_EQ(published(code(black_square(5, 9), to)), "５八金上");
  // Backwards: 引.
  setup_position("4k4/9/9/9/9/9/4G4/9/4G4 b - 1");
  EXPECT_EQ(published(code(black_square(5, 7), to)), "５八金引");
  // The defender's right is the attacker's left.
  setup_position("3g1g3/9/9/9/9/9/9/9/4K4 b - 1");
  EXPECT_EQ(published(code(black_square(6, 1), black_square(5, 2))), "５二金右");
  EXPECT_EQ(published(code(black_square(4, 1), black_square(5, 2))), "５二金左");
  // A piece that is blocked does not count.
  setup_position("4k4/9/9/9/9/9/9/9/R3P3R b - 1");
  EXPECT_EQ(published(code(black_square(1, 9), black_square(2, 9))), "２九飛");
}

TEST(MoveTextJapaneseUtf8, WhiteToMoveKeepsTheGivenCoordinatesAndMarks) {
  setup_position("4K4/9/9/9/9/9/9/9/4k4 w G 1");
  ASSERT_EQ(board.flipped, 1u);
  // Stored square 76 is 5h as given; the drop is White's.
  EXPECT_EQ(kif(code(hand_square(0, GOLD), 13)), "５二金打");
  EXPECT_EQ(japanese_side_mark(OWNER_ATTACKER), "△");
  EXPECT_EQ(japanese_side_mark(OWNER_DEFENDER), "▲");
  setup_position("4k4/9/9/9/9/9/9/9/4K4 b G 1");
  EXPECT_EQ(japanese_side_mark(OWNER_ATTACKER), "▲");
}

}  // namespace

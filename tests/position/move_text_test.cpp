#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "position/move_text.h"
#include "support/move_picker.h"
#include "support/position_helpers.h"
#include "support/problems.h"

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

// Every move either side could make in the bundled Zukou problems, with the
// side to move as given and changed to White (a rotated board), printed and
// read back.
TEST(MoveTextUsiParse, ReadsBackEveryPrintedMove) {
  const std::vector<Problem> problems = load_problems("zukou.sfen");
  ASSERT_GE(problems.size(), 100u);
  int moves = 0, drops[2] = {}, promotions = 0, rotated = 0;
  for (const Problem& p : problems) {
    for (const bool white : {false, true}) {
      std::string sfen = p.sfen;
      const size_t turn = sfen.find(" b ");
      ASSERT_NE(turn, std::string::npos) << sfen;
      if (white) sfen[turn + 1] = 'w';
      setup_position(sfen);
      ASSERT_EQ(board.flipped, white ? 1u : 0u);
      for (int side = 0; side < 2; ++side) {
        std::vector<Move> listed;
        move_picker::collect_moves(side, listed);
        // One capture for the whole list: the texts are separated by spaces.
        std::vector<MoveCode> codes;
        testing::internal::CaptureStdout();
        for (const Move& m : listed) {
          codes.push_back(static_cast<MoveCode>(m.from * 256 + m.to));
          print_move_usi(codes.back());
          std::fputs(" ", stdout);
        }
        std::istringstream texts(testing::internal::GetCapturedStdout());
        for (const MoveCode c : codes) {
          std::string text;
          ASSERT_TRUE(texts >> text) << sfen;
          MoveCode read = 0;
          ASSERT_TRUE(parse_move_usi(text, side, board.flipped != 0, read)) << text << " in " << sfen;
          EXPECT_EQ(read, c) << text << " of side " << side << " in " << sfen;
          ++moves;
          if (is_drop_from(move_from(c))) ++drops[side];
          if (move_promotes(c)) ++promotions;
          if (white) ++rotated;
        }
      }
    }
  }
  // The set reaches every kind of move text.
  EXPECT_GT(moves, 10000);
  EXPECT_GT(drops[0], 100);
  EXPECT_GT(drops[1], 1000);
  EXPECT_GT(promotions, 100);
  EXPECT_EQ(rotated * 2, moves);
}

TEST(MoveTextUsiParse, TextOfAnyOtherFormIsNoMove) {
  const std::string bad[] = {"", "7", "7g", "7g7", "7g7f++", "7g7f=", "7g7f ", " 7g7f", "7g7f\n", "7g7f+x",
                             "0g7f", "7j7f", "7g0f", "7g7z", "7G7F", "a7g7", "7g*7", "77gf", "+7g7f",
                             // Drops: the seven hand pieces in upper case only, to a square.
                             "g*5b", "K*5b", " *5b", "+*5b", "*P5b", "P*5j", "P*0b", "P*5", "P*5b+", "P5b",
                             "P**5", "P*5b5", std::string("P*\0b", 4), std::string("7g\0f", 4),
                             std::string("\0*5b", 4), "\xff\xff\xff\xff",
                             std::string(4096, '7')};
  for (const std::string& text : bad) {
    for (const bool flipped : {false, true}) {
      MoveCode out = 12345;
      EXPECT_FALSE(parse_move_usi(text, 0, flipped, out)) << '"' << text << '"';
      EXPECT_FALSE(parse_move_usi(text, 1, flipped, out)) << '"' << text << '"';
      EXPECT_EQ(out, 12345) << '"' << text << '"';
    }
  }
  // A view that ends before the text: only its own characters are read.
  const std::string longer = "7g7f+";
  MoveCode out = 0;
  ASSERT_TRUE(parse_move_usi(std::string_view(longer).substr(0, 4), 0, false, out));
  EXPECT_EQ(out, code(black_square(7, 7), black_square(7, 6)));
  EXPECT_FALSE(parse_move_usi(std::string_view(longer).substr(0, 3), 0, false, out));
}

TEST(MoveTextUsiParse, SquaresFollowTheGivenOrientationAndDropsTheSide) {
  MoveCode out = 0;
  // Unrotated: the squares of the Black reader.
  ASSERT_TRUE(parse_move_usi("7g7f", 0, false, out));
  EXPECT_EQ(out, code(black_square(7, 7), black_square(7, 6)));
  ASSERT_TRUE(parse_move_usi("2b3c+", 1, false, out));
  EXPECT_EQ(out, code(black_square(2, 2), black_square(3, 3), true));
  ASSERT_TRUE(parse_move_usi("9i1a", 0, false, out));
  EXPECT_EQ(out, code(0, 80));
  // Rotated, as a position with White to move is stored: 1a is 0, 9i is 80.
  ASSERT_TRUE(parse_move_usi("1a1b", 0, true, out));
  EXPECT_EQ(out, code(0, 9));
  ASSERT_TRUE(parse_move_usi("9i9h+", 1, true, out));
  EXPECT_EQ(out, code(80, 71, true));
  // A drop comes from the hand of the side that plays it.
  ASSERT_TRUE(parse_move_usi("P*5e", 0, true, out));
  EXPECT_EQ(out, code(hand_square(0, PAWN), 40));
  ASSERT_TRUE(parse_move_usi("G*5b", 1, false, out));
  EXPECT_EQ(out, code(hand_square(1, GOLD), black_square(5, 2)));
  ASSERT_TRUE(parse_move_usi("R*9a", 1, true, out));
  EXPECT_EQ(out, code(hand_square(1, ROOK), 8));
  // The board's own orientation is not consulted: only the flag counts.
  setup_position("4k4/9/9/9/9/9/9/9/4K4 w - 1");
  ASSERT_TRUE(parse_move_usi("7g7f", 0, false, out));
  EXPECT_EQ(out, code(black_square(7, 7), black_square(7, 6)));
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

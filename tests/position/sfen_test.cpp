#include <gtest/gtest.h>

#include <string>

#include "support/position_helpers.h"

namespace {

void read_black(const std::string& line) { setup_from_sfen_black(line); }

int count_pieces(int owner) {
  int n = 0;
  for (int sq = 0; sq < SQUARES; ++sq) n += board.owners[sq] == owner;
  return n;
}

TEST(SfenBoard, BlackReaderStoresSquaresAsGiven) {
  board_clear();
  read_black("position sfen 8k/9/9/9/9/9/9/9/9 b G 1");
  EXPECT_EQ(board.pieces[80], KING);
  EXPECT_EQ(board.owners[80], OWNER_DEFENDER);
  EXPECT_EQ(board.hands[0][GOLD], 1);
  EXPECT_EQ(count_pieces(OWNER_DEFENDER), 1);
  EXPECT_EQ(count_pieces(OWNER_ATTACKER), 0);

  // First square of the text is 9a (72), the last is 1i (8).
  board_clear();
  read_black("position sfen p8/9/9/9/9/9/9/9/8P b - 1");
  EXPECT_EQ(board.pieces[72], PAWN);
  EXPECT_EQ(board.owners[72], OWNER_DEFENDER);
  EXPECT_EQ(board.pieces[8], PAWN);
  EXPECT_EQ(board.owners[8], OWNER_ATTACKER);
}

TEST(SfenBoard, WhiteReaderRotatesAndSwapsColours) {
  board_clear();
  setup_from_sfen_white("position sfen p8/9/9/9/9/9/9/9/8P w - 1");
  // 9a becomes square 8 and 1i square 72; lower case is now the attacker.
  EXPECT_EQ(board.pieces[8], PAWN);
  EXPECT_EQ(board.owners[8], OWNER_ATTACKER);
  EXPECT_EQ(board.pieces[72], PAWN);
  EXPECT_EQ(board.owners[72], OWNER_DEFENDER);
}

TEST(SfenBoard, PromotionsAndOddPlusSigns) {
  board_clear();
  read_black("position sfen +P+l+N+s+B+r+G+K+x/9/9/9/9/9/9/9/9 b - 1");
  const int expected[9] = {TOKIN, PRO_LANCE, PRO_KNIGHT, PRO_SILVER, HORSE, DRAGON, GOLD, KING, EMPTY};
  const int owners[9] = {0, 1, 0, 1, 0, 1, 0, 0, OWNER_NONE};
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(board.pieces[72 + i], expected[i]) << i;
    EXPECT_EQ(board.owners[72 + i], owners[i]) << i;
  }
}

TEST(SfenBoard, SlashesAreOptionalAndGarbageCountsOneSquare) {
  board_clear();
  read_black("position sfen 8k/9/9/9/9/9/9/9/4K4 b - 1");
  Board with_slashes = board;
  board_clear();
  read_black("position sfen 8k99999994K4 b - 1");
  EXPECT_EQ(0, memcmp(with_slashes.pieces, board.pieces, sizeof board.pieces));
  EXPECT_EQ(0, memcmp(with_slashes.owners, board.owners, sizeof board.owners));

  // A garbage character takes one square without writing it: the square
  // keeps what the previous position left there.
  board_clear();
  board.pieces[73] = GOLD;
  board.owners[73] = OWNER_ATTACKER;
  read_black("position sfen 1?7/9/9/9/9/9/9/9/9 b - 1");
  EXPECT_EQ(board.pieces[73], GOLD);
  EXPECT_EQ(board.pieces[72], EMPTY);
  EXPECT_EQ(board.owners[74], OWNER_NONE);
}

TEST(SfenBoard, TrailingMovesAreIgnored) {
  board_clear();
  read_black("position sfen 8k/9/9/9/9/9/9/9/9 b G 1 moves G*1b");
  EXPECT_EQ(board.pieces[71], EMPTY);
  EXPECT_EQ(board.hands[0][GOLD], 1);
}

TEST(SfenHands, CountsAndOwners) {
  board_clear();
  read_black("position sfen 9/9/9/9/9/9/9/9/9 b 10p 1");
  EXPECT_EQ(board.hands[1][PAWN], 10);
  board_clear();
  read_black("position sfen 9/9/9/9/9/9/9/9/9 b 18p 1");
  EXPECT_EQ(board.hands[1][PAWN], 18);
  board_clear();
  read_black("position sfen 9/9/9/9/9/9/9/9/9 b p 1");
  EXPECT_EQ(board.hands[1][PAWN], 1);
  board_clear();
  read_black("position sfen 9/9/9/9/9/9/9/9/9 b 99P 1");
  EXPECT_EQ(board.hands[0][PAWN], 99);
  // More digits than two: held at the largest count a hand stores, never
  // read as the first two digits (100000 pawns are not 10 pawns).
  board_clear();
  read_black("position sfen 9/9/9/9/9/9/9/9/9 b G100000P 1");
  EXPECT_EQ(board.hands[0][PAWN], 127);
  EXPECT_EQ(board.hands[0][GOLD], 1);
  board_clear();
  read_black("position sfen 9/9/9/9/9/9/9/9/9 b 123b 1");
  EXPECT_EQ(board.hands[1][BISHOP], 123);

  // White to move: lower case is the attacker's hand.
  board_clear();
  setup_from_sfen_white("position sfen 9/9/9/9/9/9/9/9/9 w 2P3p 1");
  EXPECT_EQ(board.hands[0][PAWN], 3);
  EXPECT_EQ(board.hands[1][PAWN], 2);

  // A later count replaces an earlier one; the king is no hand piece.
  board_clear();
  read_black("position sfen 9/9/9/9/9/9/9/9/9 b 2G3GK2R 1");
  EXPECT_EQ(board.hands[0][GOLD], 3);
  EXPECT_EQ(board.hands[0][ROOK], 2);
}

TEST(SfenHands, PackedHandNeverReachesFlagBits) {
  setup_position("9/9/9/9/9/9/9/9/9 b 99P4L4N4S4G2B2R 1");
  EXPECT_EQ(board.attacker_hand & 0xFE000000u, 0u);
  EXPECT_EQ(board.attacker_hand & HAND_PIECE_MASK, HAND_PIECE_MASK);
}

// Every prefix and many mangled forms must stay inside the board arrays;
// the sanitizer build turns any stray access into a failure.
TEST(SfenRobustness, TruncatedAndMangledLinesStayInBounds) {
  const std::string full =
      "position sfen lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b 18P2r2b 1";
  for (size_t n = 0; n <= full.size(); ++n) {
    board_clear();
    read_black(full.substr(0, n));
    setup_from_sfen_white(full.substr(0, n));
  }
  const char* mangled[] = {
      "position sfen 99999999999999999999999999999999 b 99P99p 1",
      "position sfen kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkk",
      "position sfen +++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++",
      "position sfen 9/9/9/9/9/9/9/9/9 b 9",
      "position sfen 9/9/9/9/9/9/9/9/9 b 99",
      "",
      "position",
      "position sfen ",
  };
  for (const char* line : mangled) {
    board_clear();
    read_black(line);
    setup_from_sfen_white(line);
    for (int sq = 0; sq < SQUARES; ++sq) {
      EXPECT_GE(board.pieces[sq], EMPTY);
      EXPECT_LT(board.pieces[sq], PIECE_CODES);
      EXPECT_LE(board.owners[sq], OWNER_NONE);
    }
  }
  // A 9,999-byte line of digits and letters.
  std::string longline = "position sfen ";
  while (longline.size() < 9999) longline += "1P/+k";
  board_clear();
  read_black(longline);
  // A line with embedded NUL and control bytes.
  std::string control = "position sfen ";
  control += std::string("\0\x01\x7f\xff/", 5);
  control += "8k/9/9/9/9/9/9/9/9 b G 1";
  board_clear();
  read_black(control);
  // Even a board full of one owner's pieces rebuilds inside the lists.
  setup_position("PPPPPPPPP/PPPPPPPPP/PPPPPPPPP/PPPPPPPPP/PPPPPPPPP/PPPPPPPPP/PPPPPPPPP/PPPPPPPPP/PPPPPPPPP b - 1");
  EXPECT_EQ(board.last_slot[0], 81);
}

}  // namespace

#include <gtest/gtest.h>

#include "support/position_helpers.h"

namespace {

TEST(BoardDerivedState, ListsSlotsAndPawnColumns) {
  // Attacker without king: two pawns in one column, a tokin in another.
  setup_position("4k4/9/9/9/9/9/4P4/4P3+P/9 b - 1");
  EXPECT_EQ(board.attacker_has_king, 0);
  EXPECT_EQ(board.last_slot[0], 3);
  EXPECT_EQ(board.last_slot[1], 0);
  EXPECT_EQ(board.piece_lists[1][0], black_square(5, 1));
  EXPECT_EQ(board.pawn_columns[0][black_square(5, 7) % 9], 2);
  EXPECT_EQ(board.pawn_columns[0][black_square(1, 8) % 9], 0);  // a tokin counts nothing
  // Slots follow ascending squares.
  for (int slot = 1; slot < board.last_slot[0]; ++slot)
    EXPECT_LT(board.piece_lists[0][slot], board.piece_lists[0][slot + 1]);
  EXPECT_TRUE(board_is_ok());

  setup_position("4k4/9/9/9/9/9/9/9/4K4 b - 1");
  EXPECT_EQ(board.attacker_has_king, 1);
  EXPECT_EQ(board.piece_lists[0][0], black_square(5, 9));
  EXPECT_EQ(board.last_slot[0], 0);
  EXPECT_TRUE(board_is_ok());
}

TEST(BoardDerivedState, IsOkDetectsBrokenInvariants) {
  setup_position("lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1");
  ASSERT_TRUE(board_is_ok());
  Board saved = board;
  board.pawn_columns[0][3] = 0;
  EXPECT_FALSE(board_is_ok());
  board = saved;
  board.owners[40] = OWNER_ATTACKER;  // owner on an empty square
  EXPECT_FALSE(board_is_ok());
  board = saved;
  board.board_key.lo ^= 1;
  EXPECT_FALSE(board_is_ok());
  board = saved;
  board.hands[0][GOLD] = 1;  // packed hand out of step
  EXPECT_FALSE(board_is_ok());
  board = saved;
  board.slot_of[board.piece_lists[0][3]] = 4;
  EXPECT_FALSE(board_is_ok());
}

}  // namespace

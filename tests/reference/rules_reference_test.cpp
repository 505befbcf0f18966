// The test-only rules reference against positions whose moves are known by
// hand, so that the generator cross-checks stand on a verified base.
#include "rules_reference.h"
#include "support/reference_positions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "support/position_helpers.h"

namespace {

using rules_reference::Position;


std::vector<MoveCode> moves_from(const Position& pos, int side, int from) {
  std::vector<MoveCode> out;
  for (MoveCode m : rules_reference::legal_moves(pos, side))
    if (((m >> 8) & 0xFF) == from) out.push_back(m);
  return out;
}

std::vector<MoveCode> sorted(std::vector<MoveCode> moves) {
  std::sort(moves.begin(), moves.end());
  return moves;
}

long perft(const Position& pos, int side, int depth) {
  const std::vector<MoveCode> moves = rules_reference::legal_moves(pos, side);
  if (depth == 1) return static_cast<long>(moves.size());
  long total = 0;
  for (MoveCode m : moves) total += perft(rules_reference::after(pos, side, m), side ^ 1, depth - 1);
  return total;
}

TEST(RulesReference, KingStepsCountTheSquaresOnTheBoardAndSafe) {
  Position pos = empty_reference_position();
  put(pos, 0, 0, KING);
  EXPECT_EQ(sorted(rules_reference::legal_moves(pos, 0)),
            sorted({board_move(0, 1), board_move(0, 9), board_move(0, 10)}));

  Position far_corner = empty_reference_position();
  put(far_corner, 80, 1, KING);
  EXPECT_EQ(rules_reference::legal_moves(far_corner, 1).size(), 3u);

  Position centre = empty_reference_position();
  put(centre, 40, 0, KING);
  EXPECT_EQ(rules_reference::legal_moves(centre, 0).size(), 8u);

  // A defender rook along row 1 takes away squares 9 and 10.
  put(pos, 17, 1, ROOK);
  EXPECT_EQ(rules_reference::legal_moves(pos, 0), std::vector<MoveCode>{board_move(0, 1)});
  // Stepping along the checking line away from the rook stays in check.
  Position line = empty_reference_position();
  put(line, 40, 1, KING);
  put(line, 36, 0, ROOK);
  const std::vector<MoveCode> king_moves = rules_reference::legal_moves(line, 1);
  EXPECT_EQ(king_moves.size(), 6u);
  EXPECT_EQ(std::count(king_moves.begin(), king_moves.end(), board_move(40, 41)), 0);
  EXPECT_EQ(std::count(king_moves.begin(), king_moves.end(), board_move(40, 39)), 0);
}

TEST(RulesReference, PawnDropsKeepTheTwoPawnsRuleAndTheLastRow) {
  Position pos = empty_reference_position();
  put(pos, 4, 0, PAWN);    // unpromoted pawn in column 4
  put(pos, 2, 0, TOKIN);   // a tokin does not close column 2
  put(pos, 60, 1, PAWN);   // the other side's pawn does not close column 6
  pos.hands[0][PAWN] = 1;
  int drops = 0;
  for (MoveCode m : rules_reference::legal_moves(pos, 0)) {
    if (((m >> 8) & 0xFF) != hand_square(0, PAWN)) continue;
    ++drops;
    const int to = m & 0x7F;
    EXPECT_NE(to % 9, 4) << rules_reference::move_name(m);
    EXPECT_NE(to / 9, 8) << rules_reference::move_name(m);
  }
  // Rows 0..7 of eight columns, less the tokin's and the defender pawn's squares.
  EXPECT_EQ(drops, 8 * 8 - 2);
  EXPECT_FALSE(rules_reference::is_legal(pos, 0, drop_move(0, PAWN, 13)));
  EXPECT_FALSE(rules_reference::is_legal(pos, 0, drop_move(0, PAWN, 72)));
  EXPECT_TRUE(rules_reference::is_legal(pos, 0, drop_move(0, PAWN, 69)));

  // Owner 1 may not drop a pawn on row 0.
  Position other = empty_reference_position();
  other.hands[1][PAWN] = 1;
  EXPECT_EQ(rules_reference::legal_moves(other, 1).size(), 72u);
  EXPECT_FALSE(rules_reference::is_legal(other, 1, drop_move(1, PAWN, 3)));
  EXPECT_TRUE(rules_reference::is_legal(other, 1, drop_move(1, PAWN, 12)));
}

TEST(RulesReference, LanceAndKnightDropsNeedRowsAhead) {
  Position pos = empty_reference_position();
  pos.hands[0][LANCE] = 1;
  EXPECT_EQ(rules_reference::legal_moves(pos, 0).size(), 72u);
  pos.hands[0][LANCE] = 0;
  pos.hands[0][KNIGHT] = 2;
  EXPECT_EQ(rules_reference::legal_moves(pos, 0).size(), 63u);
  EXPECT_FALSE(rules_reference::is_legal(pos, 0, drop_move(0, KNIGHT, 63)));
  EXPECT_TRUE(rules_reference::is_legal(pos, 0, drop_move(0, KNIGHT, 62)));

  Position other = empty_reference_position();
  other.hands[1][KNIGHT] = 1;
  EXPECT_EQ(rules_reference::legal_moves(other, 1).size(), 63u);
  EXPECT_FALSE(rules_reference::is_legal(other, 1, drop_move(1, KNIGHT, 17)));
  EXPECT_TRUE(rules_reference::is_legal(other, 1, drop_move(1, KNIGHT, 18)));
  // A hand square of the other owner is no drop of this side.
  EXPECT_FALSE(rules_reference::is_legal(other, 0, drop_move(1, KNIGHT, 40)));
  // Nothing is dropped on an occupied square.
  put(other, 40, 0, PAWN);
  EXPECT_FALSE(rules_reference::is_legal(other, 1, drop_move(1, KNIGHT, 40)));
}

TEST(RulesReference, PromotionWhereAllowedAndForcedWhereThePieceWouldBeDead) {
  struct Case {
    int owner, piece, from;
    std::vector<MoveCode> expected;
  };
  const std::vector<Case> cases = {
      // Owner 0 pawn on row 7 reaches row 8: promotion only.
      {0, PAWN, 67, {board_move(67, 76, true)}},
      // Inside the zone and entering it: both.
      {0, PAWN, 58, {board_move(58, 67), board_move(58, 67, true)}},
      {0, PAWN, 49, {board_move(49, 58), board_move(49, 58, true)}},
      // Outside: never.
      {0, PAWN, 40, {board_move(40, 49)}},
      // Owner 1 pawn on row 1 reaches row 0: promotion only.
      {1, PAWN, 13, {board_move(13, 4, true)}},
      {1, PAWN, 31, {board_move(31, 22), board_move(31, 22, true)}},
      // Knights reaching rows 7-8 must promote; row 6 gives both.
      {0, KNIGHT, 58, {board_move(58, 75, true), board_move(58, 77, true)}},
      {0, KNIGHT, 49, {board_move(49, 66, true), board_move(49, 68, true)}},
      {0, KNIGHT, 40, {board_move(40, 57), board_move(40, 57, true), board_move(40, 59), board_move(40, 59, true)}},
      {1, KNIGHT, 31, {board_move(31, 12, true), board_move(31, 14, true)}},
      // Lance: rows 6 and 7 both ways, row 8 promoted only.
      {0, LANCE, 45,
       {board_move(45, 54), board_move(45, 54, true), board_move(45, 63), board_move(45, 63, true),
        board_move(45, 72, true)}},
      // Silver leaving the zone backwards may promote.
      {0, SILVER, 58,
       {board_move(58, 48), board_move(58, 48, true), board_move(58, 50), board_move(58, 50, true),
        board_move(58, 66), board_move(58, 66, true), board_move(58, 67), board_move(58, 67, true),
        board_move(58, 68), board_move(58, 68, true)}},
      // Gold, promoted pieces and the king never promote.
      {0, GOLD, 58,
       {board_move(58, 49), board_move(58, 57), board_move(58, 59), board_move(58, 66), board_move(58, 67),
        board_move(58, 68)}},
      {0, TOKIN, 67,
       {board_move(67, 58), board_move(67, 66), board_move(67, 68), board_move(67, 75), board_move(67, 76),
        board_move(67, 77)}},
      {1, KING, 13,
       {board_move(13, 3), board_move(13, 4), board_move(13, 5), board_move(13, 12), board_move(13, 14),
        board_move(13, 21), board_move(13, 22), board_move(13, 23)}},
  };
  for (const Case& c : cases) {
    Position pos = empty_reference_position();
    put(pos, c.from, c.owner, c.piece);
    EXPECT_EQ(moves_from(pos, c.owner, c.from), sorted(c.expected))
        << "owner " << c.owner << " piece " << c.piece << " from " << c.from;
  }

  // A bishop leaving the zone may promote, one staying outside may not.
  Position pos = empty_reference_position();
  put(pos, 56, 0, BISHOP);
  EXPECT_TRUE(rules_reference::is_legal(pos, 0, board_move(56, 40, true)));
  EXPECT_TRUE(rules_reference::is_legal(pos, 0, board_move(56, 40)));
  // From square 36: eight squares, three of them (56, 66, 76) in the zone.
  Position low = empty_reference_position();
  put(low, 36, 0, BISHOP);
  EXPECT_FALSE(rules_reference::is_legal(low, 0, board_move(36, 28, true)));
  EXPECT_TRUE(rules_reference::is_legal(low, 0, board_move(36, 56, true)));
  EXPECT_EQ(moves_from(low, 0, 36).size(), 8u + 3u);
}

TEST(RulesReference, PinnedPieceMovesOnlyAlongThePin) {
  Position pos = empty_reference_position();
  put(pos, 76, 1, KING);
  put(pos, 67, 1, GOLD);
  put(pos, 40, 0, ROOK);
  EXPECT_FALSE(rules_reference::in_check(pos, 1));
  EXPECT_EQ(moves_from(pos, 1, 67), std::vector<MoveCode>{board_move(67, 58)});
  EXPECT_EQ(moves_from(pos, 1, 76).size(), 4u);

  // Without a king there is nothing to pin against.
  Position kingless = pos;
  put(kingless, 76, OWNER_NONE, EMPTY);
  EXPECT_EQ(moves_from(kingless, 1, 67).size(), 6u);
}

TEST(RulesReference, EvasionsOfASlidingCheck) {
  Position pos = empty_reference_position();
  put(pos, 76, 1, KING);
  put(pos, 40, 0, ROOK);
  pos.hands[1][GOLD] = 1;
  EXPECT_TRUE(rules_reference::in_check(pos, 1));
  EXPECT_FALSE(rules_reference::in_check(pos, 0));  // no king, never in check
  // Four king steps off the column and a gold dropped on 49, 58 or 67.
  EXPECT_EQ(rules_reference::legal_moves(pos, 1),
            sorted({board_move(76, 66), board_move(76, 68), board_move(76, 75), board_move(76, 77), drop_move(1, GOLD, 49),
                    drop_move(1, GOLD, 58), drop_move(1, GOLD, 67)}));
  // A capture of the rook by a defender piece is an evasion too, one that
  // leaves the king in another line's check is not.
  put(pos, 36, 1, ROOK);
  EXPECT_TRUE(rules_reference::is_legal(pos, 1, board_move(36, 40)));
  // A second rook along row 8: the step to 75 stays on its line behind the
  // king's old square, the step to 66 is safe.
  put(pos, 72, 0, ROOK);
  EXPECT_FALSE(rules_reference::is_legal(pos, 1, board_move(76, 75)));
  EXPECT_TRUE(rules_reference::is_legal(pos, 1, board_move(76, 66)));
}

TEST(RulesReference, ChecksDirectDiscoveredAndByDrops) {
  Position pos = empty_reference_position();
  put(pos, 76, 1, KING);
  put(pos, 4, 0, ROOK);
  put(pos, 31, 0, SILVER);
  // The silver uncovers the rook by leaving the column; straight ahead it
  // still blocks, and no rook move reaches the king past it.
  EXPECT_EQ(rules_reference::legal_checks(pos, 0),
            sorted({board_move(31, 21), board_move(31, 23), board_move(31, 39), board_move(31, 41)}));
  EXPECT_FALSE(rules_reference::gives_check(pos, 0, board_move(31, 40)));

  Position drops = empty_reference_position();
  put(drops, 76, 1, KING);
  drops.hands[0][KNIGHT] = 1;
  drops.hands[0][PAWN] = 1;
  EXPECT_EQ(rules_reference::legal_checks(drops, 0),
            sorted({drop_move(0, PAWN, 67), drop_move(0, KNIGHT, 57), drop_move(0, KNIGHT, 59)}));

  // A check that leaves the checker's own king attacked is not legal.
  Position own_king = empty_reference_position();
  put(own_king, 76, 1, KING);
  put(own_king, 0, 0, KING);
  put(own_king, 9, 0, GOLD);
  put(own_king, 72, 1, LANCE);
  put(own_king, 29, 0, ROOK);
  // The rook checks along row 8 freely; the gold is pinned by the lance.
  EXPECT_TRUE(rules_reference::gives_check(own_king, 0, board_move(29, 74)));
  EXPECT_TRUE(rules_reference::is_legal(own_king, 0, board_move(29, 74)));
  EXPECT_FALSE(rules_reference::is_legal(own_king, 0, board_move(9, 10)));
  EXPECT_TRUE(rules_reference::is_legal(own_king, 0, board_move(9, 18)));
}

TEST(RulesReference, CapturesFillTheHandWithTheUnpromotedKindAndKingsAreNeverTaken) {
  Position pos = empty_reference_position();
  put(pos, 40, 0, ROOK);
  put(pos, 44, 1, DRAGON);
  put(pos, 76, 1, KING);
  const Position next = rules_reference::after(pos, 0, board_move(40, 44));
  EXPECT_EQ(next.hands[0][ROOK], 1);
  EXPECT_EQ(next.pieces[44], ROOK);
  EXPECT_EQ(next.owners[40], OWNER_NONE);
  // The king stands in the rook's column: an already illegal position, and
  // the capture of the king is still not offered.
  EXPECT_FALSE(rules_reference::is_legal(pos, 0, board_move(40, 76)));
}

TEST(RulesReference, InitialPositionCountsMatchTheKnownFigures) {
  setup_position("lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1");
  const Position start = Position::from_board();
  EXPECT_EQ(rules_reference::legal_moves(start, 0).size(), 30u);
  EXPECT_EQ(rules_reference::legal_moves(start, 1).size(), 30u);
  EXPECT_EQ(perft(start, 0, 2), 900);
  EXPECT_EQ(perft(start, 0, 3), 25470);
}

TEST(RulesReference, SfenTextReadsBackIntoTheSamePosition) {
  const char* const sfens[] = {
      "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1",
      "3g1n1l1/2p1g1r2/5k2S/4p1N+R1/3+p5/7N1/B8/9/9 b 2GSNb2s3l15p 1",
  };
  for (const char* sfen : sfens) {
    setup_position(sfen);
    const Position pos = Position::from_board();
    setup_position(rules_reference::to_sfen(pos, 0));
    EXPECT_EQ(std::memcmp(pos.pieces, board.pieces, sizeof pos.pieces), 0) << sfen;
    EXPECT_EQ(std::memcmp(pos.owners, board.owners, sizeof pos.owners), 0) << sfen;
    for (int side = 0; side < 2; ++side)
      for (int piece = PAWN; piece <= ROOK; ++piece) EXPECT_EQ(pos.hands[side][piece], board.hands[side][piece]);
  }
}

}  // namespace

// The promotion and drop rules of position/rules.h against the test-only
// rules reference, over every side, piece, square pair and pawn-column state.
#include "position/rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "position/keys.h"
#include "rules_reference.h"
#include "support/reference_positions.h"

namespace {

using rules_reference::Position;

// Copies a reference position onto the global board, derived state and all.
void load_board(const Position& pos) {
  board_clear();
  std::memcpy(board.pieces, pos.pieces, sizeof pos.pieces);
  std::memcpy(board.owners, pos.owners, sizeof pos.owners);
  for (int side = 0; side < 2; ++side)
    for (int piece = PAWN; piece <= ROOK; ++piece) board.hands[side][piece] = pos.hands[side][piece];
  rebuild_derived_state();
}

std::string where(int side, int piece, int from, int to) {
  return "side " + std::to_string(side) + " piece " + std::to_string(piece) + " from " + std::to_string(from) +
         " to " + std::to_string(to);
}

TEST(Rules, PromotableKindsAreThoseWithAPromotedForm) {
  for (int side = 0; side < 2; ++side) {
    // Within the zone only the kind decides.
    const int from = side == OWNER_ATTACKER ? 63 : 17, to = side == OWNER_ATTACKER ? 72 : 8;
    for (int piece = 0; piece < PIECE_CODES; ++piece) {
      EXPECT_EQ(promotable_kind(piece), rules_reference::promotion_allowed(side, piece, from, to))
          << "side " << side << " piece " << piece;
      EXPECT_EQ(promotable_kind(piece), piece >= PAWN && piece <= ROOK && promote_of[piece] != piece)
          << "piece " << piece;
    }
  }
}

TEST(Rules, PromotionZoneIsTheFarThreeRowsOfEachSide) {
  for (int side = 0; side < 2; ++side) {
    // A rook leaving `sq` for a square outside every zone may promote
    // exactly when `sq` lies in the zone.
    const int outside = 40;
    int zone_squares = 0;
    for (int sq = 0; sq < SQUARES; ++sq) {
      EXPECT_EQ(in_promotion_zone(side, sq), rules_reference::promotion_allowed(side, ROOK, sq, outside))
          << "side " << side << " sq " << sq;
      zone_squares += in_promotion_zone(side, sq);
    }
    EXPECT_EQ(zone_squares, 27) << "side " << side;
  }
}

TEST(Rules, PromotionAndStrandingOverEverySquarePair) {
  // The rules alone, for every pair of squares whether the piece reaches it
  // or not (the line checks ask about moves read from the table).
  int mismatches = 0;
  for (int side = 0; side < 2; ++side)
    for (int piece = PAWN; piece < PIECE_CODES; ++piece) {
      for (int from = 0; from < SQUARES; ++from)
        for (int to = 0; to < SQUARES; ++to)
          if (may_promote(side, piece, from, to) != rules_reference::promotion_allowed(side, piece, from, to) &&
              ++mismatches <= 10)
            ADD_FAILURE() << "may_promote " << where(side, piece, from, to);
      for (int to = 0; to < SQUARES; ++to) {
        const bool keeps = rules_reference::keeps_a_move(side, piece, to);
        if (may_stand_unpromoted(side, piece, to) != keeps && ++mismatches <= 10)
          ADD_FAILURE() << "may_stand_unpromoted " << where(side, piece, -1, to);
        if (must_promote(side, piece, to) == keeps && ++mismatches <= 10)
          ADD_FAILURE() << "must_promote " << where(side, piece, -1, to);
      }
    }
  EXPECT_EQ(mismatches, 0);
}

TEST(Rules, PromotionAndStrandingAgreeWithTheLegalMoves) {
  // Every move that a lone piece on an empty board can make, promoting and
  // plain: the reference's is_legal decides, the rules must say the same.
  int moves = 0, mismatches = 0;
  for (int side = 0; side < 2; ++side)
    for (int piece = PAWN; piece < PIECE_CODES; ++piece)
      for (int from = 0; from < SQUARES; ++from) {
        Position pos = empty_reference_position();
        put(pos, from, side, piece);
        for (int to = 0; to < SQUARES; ++to) {
          if (!rules_reference::piece_reaches(pos, from, to)) continue;
          ++moves;
          const bool promoting = rules_reference::is_legal(pos, side, board_move(from, to, true));
          const bool plain = rules_reference::is_legal(pos, side, board_move(from, to, false));
          if (may_promote(side, piece, from, to) != promoting && ++mismatches <= 10)
            ADD_FAILURE() << "promoting " << where(side, piece, from, to) << ": reference says " << promoting;
          if (may_stand_unpromoted(side, piece, to) != plain && ++mismatches <= 10)
            ADD_FAILURE() << "plain " << where(side, piece, from, to) << ": reference says " << plain;
          // Every move has a legal form: a move that may not stay plain may promote.
          if (must_promote(side, piece, to) && !may_promote(side, piece, from, to) && ++mismatches <= 10)
            ADD_FAILURE() << "no legal form " << where(side, piece, from, to);
        }
      }
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(moves, 2 * 81 * 8);  // every kind reached somewhere from every square
}

TEST(Rules, PromotionKeepsEveryMoveOfPawnBishopAndRookOnly) {
  for (int piece = PAWN; piece <= ROOK; ++piece) {
    if (!promotable_kind(piece)) continue;
    bool keeps = true;
    for (int side = 0; side < 2; ++side)
      for (int from = 0; from < SQUARES; ++from) {
        Position plain = empty_reference_position(), promoted = empty_reference_position();
        put(plain, from, side, piece);
        put(promoted, from, side, promote_of[piece]);
        for (int to = 0; to < SQUARES; ++to)
          if (rules_reference::piece_reaches(plain, from, to) && !rules_reference::piece_reaches(promoted, from, to))
            keeps = false;
      }
    EXPECT_EQ(promotion_keeps_every_move(piece), keeps) << "piece " << piece;
  }
}

// What else stands in the column of the drop square.
enum ColumnState { COLUMN_EMPTY, OWN_PAWN, OWN_TOKIN, OPPONENT_PAWN, OWN_PAWN_NEXT_COLUMN, COLUMN_STATES };

TEST(Rules, DropsOverEverySideKindSquareAndColumn) {
  build_zobrist();
  int drops = 0, mismatches = 0;
  for (int side = 0; side < 2; ++side)
    for (int piece = PAWN; piece <= ROOK; ++piece)
      for (int sq = 0; sq < SQUARES; ++sq)
        for (int state = COLUMN_EMPTY; state < COLUMN_STATES; ++state)
          // The other piece above and below the drop square, each once.
          for (const int shift : {-1, 1}) {
            const int row = sq / 9, col = sq % 9;
            const int other_row = (row + shift + 9) % 9;
            Position pos = empty_reference_position();
            pos.hands[side][piece] = 1;
            switch (state) {
              case OWN_PAWN: put(pos, 9 * other_row + col, side, PAWN); break;
              case OWN_TOKIN: put(pos, 9 * other_row + col, side, TOKIN); break;
              case OPPONENT_PAWN: put(pos, 9 * other_row + col, side ^ 1, PAWN); break;
              case OWN_PAWN_NEXT_COLUMN: put(pos, 9 * other_row + (col + 1) % 9, side, PAWN); break;
              default: break;
            }
            const bool legal = rules_reference::is_legal(pos, side, drop_move(side, piece, sq));
            const bool pawn_in_column = state == OWN_PAWN;
            ++drops;
            if (drop_allowed(side, piece, sq, pawn_in_column) != legal && ++mismatches <= 10)
              ADD_FAILURE() << "drop_allowed " << where(side, piece, -1, sq) << " column state " << state
                            << ": reference says " << legal;
            load_board(pos);
            if (board_drop_allowed(side, piece, sq) != legal && ++mismatches <= 10)
              ADD_FAILURE() << "board_drop_allowed " << where(side, piece, -1, sq) << " column state " << state
                            << ": reference says " << legal;
          }
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(drops, 2 * 7 * 81 * COLUMN_STATES * 2);
}

TEST(Rules, NoDropOntoAnOccupiedSquare) {
  build_zobrist();
  int mismatches = 0;
  for (int side = 0; side < 2; ++side)
    for (int piece = PAWN; piece <= ROOK; ++piece)
      for (int sq = 0; sq < SQUARES; ++sq)
        for (const int owner : {side, side ^ 1}) {
          Position pos = empty_reference_position();
          pos.hands[side][piece] = 1;
          put(pos, sq, owner, GOLD);
          ASSERT_FALSE(rules_reference::is_legal(pos, side, drop_move(side, piece, sq)));
          load_board(pos);
          if (board_drop_allowed(side, piece, sq) && ++mismatches <= 10)
            ADD_FAILURE() << "board_drop_allowed " << where(side, piece, -1, sq) << " on a piece of owner " << owner;
        }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace

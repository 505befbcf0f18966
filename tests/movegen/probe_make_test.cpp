#include "movegen/probe_make.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "movegen/attack_reference.h"
#include "movegen/step_tables.h"
#include "position/keys.h"

namespace {

class ProbeMake : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    build_step_tables();
    build_zobrist();
  }
};

void set_generation(int side) {
  mover = static_cast<int16_t>(side);
  opponent = static_cast<int16_t>(side ^ 1);
  opponent_king_sq = board.piece_lists[side ^ 1][0];
  own_king_sq = board.piece_lists[side][0];
  cur_entry = &move_entries[0];
}

std::vector<int> list_of(const Board& b, int owner) {
  return std::vector<int>(b.piece_lists[owner] + 1, b.piece_lists[owner] + 1 + b.last_slot[owner]);
}

// The lists name exactly the occupied squares (kings in slot 0) and slot_of
// agrees with them.
void expect_lists_consistent() {
  for (int owner = 0; owner < 2; ++owner) {
    std::vector<int> listed;
    for (int slot = 1; slot <= board.last_slot[owner]; ++slot) {
      const int sq = board.piece_lists[owner][slot];
      listed.push_back(sq);
      EXPECT_EQ(board.slot_of[sq], slot);
      EXPECT_EQ(board.owners[sq], owner);
      EXPECT_NE(board.pieces[sq], KING);
    }
    int occupied = 0;
    for (int sq = 0; sq < SQUARES; ++sq) {
      if (board.owners[sq] != owner) continue;
      if (board.pieces[sq] == KING) {
        EXPECT_EQ(board.piece_lists[owner][0], sq);
        EXPECT_EQ(board.slot_of[sq], 0);
      } else {
        ++occupied;
      }
    }
    EXPECT_EQ(occupied, static_cast<int>(listed.size()));
  }
}

HashKey key_of_board() {
  HashKey key{0, 0};
  for (int sq = 0; sq < SQUARES; ++sq) {
    if (board.owners[sq] == OWNER_NONE) continue;
    key.lo ^= zobrist[board.owners[sq]][board.pieces[sq]][sq].lo;
    key.hi ^= zobrist[board.owners[sq]][board.pieces[sq]][sq].hi;
  }
  return key;
}

PackedHand packed(const int8_t (&hand)[15]) {
  int8_t saved[15];
  std::memcpy(saved, board.hands[0], sizeof saved);
  std::memcpy(board.hands[0], hand, sizeof saved);
  const PackedHand result = pack_attacker_hand();
  std::memcpy(board.hands[0], saved, sizeof saved);
  return result;
}

// Every field of the position equal; the piece lists of `permuted_owner`
// (if any) are checked by the caller. slot_of and list slots past the end
// carry no meaning on empty squares and are not compared.
void expect_same_position(const Board& a, const Board& b, int permuted_owner = -1) {
  EXPECT_EQ(0, std::memcmp(a.pieces, b.pieces, sizeof a.pieces));
  EXPECT_EQ(0, std::memcmp(a.owners, b.owners, sizeof a.owners));
  EXPECT_EQ(0, std::memcmp(a.hands, b.hands, sizeof a.hands));
  EXPECT_EQ(0, std::memcmp(a.pawn_columns, b.pawn_columns, sizeof a.pawn_columns));
  EXPECT_EQ(0, std::memcmp(a.move_stack, b.move_stack, sizeof a.move_stack));
  for (int owner = 0; owner < 2; ++owner) {
    EXPECT_EQ(a.last_slot[owner], b.last_slot[owner]);
    EXPECT_EQ(a.piece_lists[owner][0], b.piece_lists[owner][0]);
    if (owner != permuted_owner) {
      EXPECT_EQ(list_of(a, owner), list_of(b, owner)) << "owner " << owner;
    }
  }
  if (permuted_owner < 0) {
    for (int sq = 0; sq < SQUARES; ++sq) {
      if (a.owners[sq] != OWNER_NONE) {
        EXPECT_EQ(a.slot_of[sq], b.slot_of[sq]) << sq;
      }
    }
  }
  EXPECT_EQ(a.attacker_has_king, b.attacker_has_king);
  EXPECT_EQ(a.board_key.lo, b.board_key.lo);
  EXPECT_EQ(a.board_key.hi, b.board_key.hi);
  EXPECT_EQ(a.path_key, b.path_key);
  EXPECT_EQ(a.attacker_hand, b.attacker_hand);
  EXPECT_EQ(a.ply, b.ply);
  EXPECT_EQ(a.depth, b.depth);
  EXPECT_EQ(a.flipped, b.flipped);
}

// Random moves of both sides at random plies: the position after the make
// against the rules, and the unmake restoring it.
TEST_F(ProbeMake, MakeAndUnmakeRandomMoves) {
  std::mt19937 rng(99);
  std::uniform_int_distribution<int> piece_count(4, 38);
  std::uniform_int_distribution<int> any_ply(0, MOVE_STACK_SIZE - 1);
  int captures = 0, drops = 0, promotions = 0;
  for (int round = 0; round < 1500; ++round) {
    const int side = round % 2;
    ref::random_position(rng, piece_count(rng), round % 4 < 2);
    board.ply = static_cast<int16_t>(round % 7 == 0 ? MOVE_STACK_SIZE - 1 : any_ply(rng));
    board.depth = static_cast<int16_t>(board.ply + 1);
    set_generation(side);
    std::vector<ref::TrialMove> moves = ref::moves_of(side);
    std::shuffle(moves.begin(), moves.end(), rng);
    if (moves.size() > 8) moves.resize(8);

    for (const ref::TrialMove& m : moves) {
      const Board before = board;
      const bool drop = m.from > HAND_SQUARE_BASE;
      cur_entry->from = static_cast<uint8_t>(m.from);
      cur_entry->to = static_cast<uint8_t>(m.to | (m.promote ? PROMOTION_BIT : 0));
      const int to_arg = m.promote && (round & 2) ? m.to | PROMOTION_BIT : m.to;
      const ProbeCapture cap = probe_make(m.from, to_arg);

      const int moved = drop ? m.from - HAND_SQUARE_BASE - 15 * side : before.pieces[m.from];
      const int placed = m.promote ? promote_of[moved] : moved;
      int8_t expected_hand[15];
      std::memcpy(expected_hand, before.hands[0], sizeof expected_hand);
      if (drop) {
        EXPECT_EQ(cap.piece, EMPTY);
        EXPECT_EQ(cap.owner, OWNER_NONE);
        if (side == 0) --expected_hand[moved];
        ++drops;
      } else {
        EXPECT_EQ(cap.piece, before.pieces[m.to]);
        EXPECT_EQ(cap.owner, before.owners[m.to]);
        EXPECT_EQ(board.pieces[m.from], EMPTY);
        EXPECT_EQ(board.owners[m.from], OWNER_NONE);
        if (cap.owner != OWNER_NONE && side == 0) ++expected_hand[demote_of[cap.piece]];
      }
      promotions += m.promote;
      EXPECT_EQ(board.pieces[m.to], placed);
      EXPECT_EQ(board.owners[m.to], side);
      expect_lists_consistent();
      if (cap.owner != OWNER_NONE) {
        // The captured entry leaves its list; the others keep their order.
        std::vector<int> rest = list_of(before, side ^ 1);
        rest.erase(std::find(rest.begin(), rest.end(), m.to));
        EXPECT_EQ(list_of(board, side ^ 1), rest);
        ++captures;
      }
      const HashKey key = key_of_board();
      EXPECT_EQ(board.board_key.lo, key.lo);
      EXPECT_EQ(board.board_key.hi, key.hi);
      EXPECT_EQ(board.attacker_hand, packed(expected_hand));
      const uint32_t origin_term =
          drop ? static_cast<uint32_t>(before.ply + 1) + 1u : zobrist[side][placed][m.from].hi;
      const uint32_t term = origin_term + zobrist[side][placed][m.to].hi;
      EXPECT_EQ(board.path_key, before.path_key ^ term);
      EXPECT_EQ(board.route_key, before.route_key ^ (term * (2u * static_cast<uint32_t>(before.ply + 1) + 1u)));
      EXPECT_EQ(board.ply, before.ply + 1);
      EXPECT_EQ(board.depth, before.depth);
      EXPECT_EQ(0, std::memcmp(board.hands, before.hands, sizeof board.hands));
      EXPECT_EQ(0, std::memcmp(board.pawn_columns, before.pawn_columns, sizeof board.pawn_columns));
      EXPECT_EQ(0, std::memcmp(board.move_stack, before.move_stack, sizeof board.move_stack));

      probe_unmake(m.from, to_arg, cap.piece, cap.owner);
      if (cap.owner == OWNER_NONE) {
        expect_same_position(board, before);
      } else {
        expect_same_position(board, before, side ^ 1);
        std::vector<int> expected = list_of(before, side ^ 1);
        expected.erase(std::find(expected.begin(), expected.end(), m.to));
        expected.push_back(m.to);
        EXPECT_EQ(list_of(board, side ^ 1), expected);
        expect_lists_consistent();
      }
      if (HasFailure()) FAIL() << "round " << round << " from " << m.from << " to " << m.to;
    }
  }
  EXPECT_GT(captures, 500);
  EXPECT_GT(drops, 3000);
  EXPECT_GT(promotions, 300);
}

TEST_F(ProbeMake, CaptureOfTheSecondOfFivePiecesReturnsAtTheEnd) {
  board_clear();
  auto put = [](int sq, int piece, int owner) {
    board.pieces[sq] = static_cast<int8_t>(piece);
    board.owners[sq] = static_cast<uint8_t>(owner);
  };
  put(76, KING, OWNER_DEFENDER);
  for (int sq : {54, 56, 58, 60, 62}) put(sq, PAWN, OWNER_DEFENDER);
  put(2, ROOK, OWNER_ATTACKER);  // its file runs up to the pawn on 56
  rebuild_derived_state();
  ASSERT_EQ(list_of(board, 1), (std::vector<int>{54, 56, 58, 60, 62}));
  const Board before = board;

  set_generation(0);
  cur_entry->from = 2;
  cur_entry->to = 56;
  const ProbeCapture cap = probe_make(2, 56);
  EXPECT_EQ(cap.piece, PAWN);
  EXPECT_EQ(cap.owner, OWNER_DEFENDER);
  EXPECT_EQ(list_of(board, 1), (std::vector<int>{54, 58, 60, 62}));
  EXPECT_EQ(board.attacker_hand, HAND_PAWN_UNIT);
  EXPECT_EQ(board.hands[0][PAWN], 0);  // the counts stay as they were
  expect_lists_consistent();

  probe_unmake(2, 56, cap.piece, cap.owner);
  EXPECT_EQ(list_of(board, 1), (std::vector<int>{54, 58, 60, 62, 56}));
  expect_lists_consistent();
  expect_same_position(board, before, 1);
}

TEST_F(ProbeMake, KingStepMovesSlotZero) {
  board_clear();
  board.pieces[76] = KING;
  board.owners[76] = OWNER_DEFENDER;
  board.pieces[40] = GOLD;
  board.owners[40] = OWNER_DEFENDER;
  board.pieces[4] = KING;
  board.owners[4] = OWNER_ATTACKER;
  rebuild_derived_state();
  const Board before = board;
  set_generation(1);
  cur_entry->from = 76;
  cur_entry->to = 67;
  const ProbeCapture cap = probe_make(76, 67);
  EXPECT_EQ(board.piece_lists[1][0], 67);
  EXPECT_EQ(board.slot_of[67], 0);
  EXPECT_EQ(board.last_slot[1], 1);
  probe_unmake(76, 67, cap.piece, cap.owner);
  expect_same_position(board, before);
}

}  // namespace

#include "search/defence.h"

#include <gtest/gtest.h>

#include <string>

#include "search/thread_state.h"
#include "platform/platform.h"
#include "search/tt.h"
#include "support/position_helpers.h"

namespace {

constexpr MoveCode code(int from, int to) { return static_cast<MoveCode>(from * 256 + to); }
constexpr int PROMOTE = PROMOTION_BIT;

// Defender drops from the defender's hand squares.
constexpr int DROP_PAWN = 97;
constexpr int DROP_LANCE = 98;
constexpr int DROP_KNIGHT = 99;

MoveEntry entry(int from, int to, int length = 0) {
  MoveEntry e{};
  e.from = static_cast<uint8_t>(from);
  e.to = static_cast<uint8_t>(to);
  e.length = static_cast<int16_t>(length);
  return e;
}

void record(int ply, MoveCode move, int captured = EMPTY) {
  board.move_stack[ply] = PlyRecord{move, static_cast<int16_t>(captured),
                                    static_cast<int16_t>(captured ? OWNER_DEFENDER : OWNER_NONE)};
}

void at_ply(int ply) {
  board.ply = static_cast<int16_t>(ply);
  board.depth = static_cast<int16_t>(ply + 1);
}

// ------------------------------------------------------------- main defence

// Defender king 5a, gold 3a, bishop 8b; attacker pawn 3b and the rook that
// has just checked from 5f to 5e.
class DefenceChoice : public ::testing::Test {
 protected:
  void SetUp() override {
    setup_position("4k1g2/1b4P2/9/9/4R4/9/9/9/9 b - 1");
    record(1, code(ROOK_FROM, ROOK_TO));
    at_ply(1);
  }
  static constexpr int KING_SQ = 76, GOLD_SQ = 78, BISHOP_SQ = 64, PAWN_SQ = 69;
  static constexpr int ROOK_FROM = 31, ROOK_TO = 40;
};

TEST_F(DefenceChoice, LongerResultFirstThenTakingTheChecker) {
  MoveEntry take_checker = entry(BISHOP_SQ, ROOK_TO, 9);
  MoveEntry take_pawn = entry(GOLD_SQ, PAWN_SQ, 9);
  MoveEntry step_aside = entry(GOLD_SQ, 79, 9);

  EXPECT_TRUE(better_defence(step_aside, 0, 0, 0));  // nothing chosen yet

  EXPECT_TRUE(better_defence(take_checker, 9, code(GOLD_SQ, PAWN_SQ), 0));
  EXPECT_FALSE(better_defence(take_pawn, 9, code(BISHOP_SQ, ROOK_TO), 0));
  EXPECT_FALSE(better_defence(step_aside, 9, code(BISHOP_SQ, ROOK_TO), 0));
  // A capture elsewhere still beats a reply that captures nothing.
  EXPECT_FALSE(better_defence(step_aside, 9, code(GOLD_SQ, PAWN_SQ), 0));

  step_aside.length = 11;
  EXPECT_TRUE(better_defence(step_aside, 9, code(BISHOP_SQ, ROOK_TO), 0));
  take_checker.length = 7;
  EXPECT_FALSE(better_defence(take_checker, 9, code(GOLD_SQ, 79), 0));
}

TEST_F(DefenceChoice, BoardMovesBeforeDropsThenSmallerDestination) {
  EXPECT_TRUE(defence_tie_break(entry(KING_SQ, 77), code(DROP_PAWN, 67)));
  EXPECT_FALSE(defence_tie_break(entry(DROP_PAWN, 67), code(KING_SQ, 77)));

  EXPECT_TRUE(defence_tie_break(entry(KING_SQ, 75), code(KING_SQ, 77)));
  EXPECT_FALSE(defence_tie_break(entry(KING_SQ, 77), code(KING_SQ, 75)));

  // Same destination: the promotion is preferred.
  EXPECT_TRUE(defence_tie_break(entry(10, 2 | PROMOTE), code(11, 2)));
  EXPECT_FALSE(defence_tie_break(entry(11, 2), code(10, 2 | PROMOTE)));
}

TEST_F(DefenceChoice, InterposingDropsNearerTheKingThenSmallerPiece) {
  // 5b is next to the king, 5c two squares away.
  EXPECT_FALSE(better_defence(entry(DROP_PAWN, 58, 9), 9, code(DROP_LANCE, 67), 0));
  EXPECT_TRUE(better_defence(entry(DROP_LANCE, 67, 9), 9, code(DROP_PAWN, 58), 0));

  EXPECT_TRUE(better_defence(entry(DROP_PAWN, 67, 9), 9, code(DROP_LANCE, 67), 0));
  EXPECT_FALSE(better_defence(entry(DROP_LANCE, 67, 9), 9, code(DROP_PAWN, 67), 0));
  EXPECT_FALSE(better_defence(entry(DROP_KNIGHT, 67, 9), 9, code(DROP_LANCE, 67), 0));
  EXPECT_TRUE(better_defence(entry(DROP_LANCE, 67, 9), 9, code(DROP_KNIGHT, 67), 0));
}

TEST_F(DefenceChoice, FutileLineIsNeverTheMainDefence) {
  EXPECT_FALSE(better_defence(entry(GOLD_SQ, 79, 99), 9, code(KING_SQ, 77), TT_FUTILE));
  EXPECT_FALSE(better_defence(entry(DROP_PAWN, 67, 99), 0, 0, TT_FUTILE | TT_PAWN_DROP_MATE));
  // King moves and captures are real defences whatever the child says.
  EXPECT_TRUE(better_defence(entry(KING_SQ, 77, 9), 0, 0, TT_FUTILE));
  EXPECT_TRUE(better_defence(entry(GOLD_SQ, PAWN_SQ, 9), 0, 0, TT_FUTILE));
}

// ------------------------------------------------------------- futile trial

// The line: a check (ply 1), the defender interposes a pawn on 5c (ply 2),
// the rook takes it from 5e (ply 3), the king steps to 4a (ply 4).
class FutileTrial : public ::testing::Test {
 protected:
  void SetUp() override {
    trial_drop_piece = 0;
    setup_position("5k3/9/4R4/9/9/9/9/9/9 b P 1");
    record(1, code(88, 40));
    record(2, code(DROP_PAWN, 58));
    record(3, code(40, 58), PAWN);
    record(4, code(76, 77));
    at_ply(4);
    ref_move = ref_move2 = 0;
    ref_piece = 0;
  }
  void TearDown() override { trial_drop_piece = 0; }
};

TEST_F(FutileTrial, ReplyAfterCapturedInterpositionStartsTheTrial) {
  EXPECT_TRUE(futile_trial_applies(entry(76, 77)));
  EXPECT_EQ(ref_move, code(40, 58));
  EXPECT_EQ(ref_move2, 0);
  EXPECT_EQ(ref_piece, ROOK);

  // An interposition by a board move from square 0 is handed over too; one
  // from any other square is not.
  record(2, code(0, 58));
  EXPECT_TRUE(futile_trial_applies(entry(76, 77)));
  EXPECT_EQ(ref_move2, code(0, 58));
  record(2, code(68, 58));
  EXPECT_TRUE(futile_trial_applies(entry(76, 77)));
  EXPECT_EQ(ref_move2, 0);
}

TEST_F(FutileTrial, RealDefencesAndOtherLinesDoNotTry) {
  EXPECT_FALSE(futile_trial_applies(entry(67, 58)));            // recapture
  EXPECT_FALSE(futile_trial_applies(entry(67, 58 | PROMOTE)));  // recapture, promoting
  record(2, code(68, 58));
  EXPECT_FALSE(futile_trial_applies(entry(76, 68)));  // back to the interposer's origin
  record(2, code(68, 58), GOLD);
  EXPECT_FALSE(futile_trial_applies(entry(76, 77)));  // the interposition captured
  record(2, code(DROP_PAWN, 49));
  EXPECT_FALSE(futile_trial_applies(entry(76, 77)));  // the check took something else
  record(2, code(DROP_PAWN, 58));
  trial_drop_piece = PAWN;
  EXPECT_FALSE(futile_trial_applies(entry(76, 77)));  // no nested trial
  trial_drop_piece = 0;
  at_ply(2);
  EXPECT_FALSE(futile_trial_applies(entry(76, 77)));
}

// ------------------------------------------------------------- futile reply

class FutileReply : public ::testing::Test {
 protected:
  void SetUp() override {
    tt_release();
    platform_set_alloc_limit(0);
    search_modes.refine_pass = 0;
    trial_drop_piece = 0;
    store_under_path_key = 0;
    search_modes.allow_proof_overwrite = 0;
    ASSERT_TRUE(tt_allocate_entries(4096));
  }
  void TearDown() override { tt_release(); }

  // Stores a proof with best move `answer` for the position `sfen`, the
  // attacker to move.
  static void store_answer(const std::string& sfen, MoveCode answer) {
    setup_position(sfen);
    ASSERT_EQ(tt_store(0, board.attacker_hand, 3, 0, 32700, answer), 1);
  }

  // Defender to move after: a check, a pawn interposed on 5c by a drop,
  // the rook taking it from 5e with promotion. Defender king 5a.
  static void dropped_pawn_taken(const std::string& sfen = "4k4/9/4+R4/9/9/9/9/9/9 b P 1") {
    setup_position(sfen);
    record(1, code(88, 40));
    record(2, code(DROP_PAWN, 58));
    record(3, code(40, 58 | PROMOTE), PAWN);
    at_ply(3);
  }
  static constexpr MoveCode KING_STEP = code(76, 77);  // 5a-4a
  static constexpr const char* AFTER_STEP = "5k3/9/4+R4/9/9/9/9/9/9 b P 1";
  static constexpr const char* AFTER_STEP_WITHOUT_PAIR = "5k3/9/9/9/4R4/9/9/9/9 b - 1";
};

TEST_F(FutileReply, PatternConditions) {
  dropped_pawn_taken();
  EXPECT_TRUE(futile_reply(0));                    // the capture mates
  EXPECT_TRUE(futile_reply(code(DROP_PAWN, 67)));  // only a king move can differ
  EXPECT_FALSE(futile_reply(code(67, 58)));        // recapture

  record(2, code(68, 58));
  EXPECT_FALSE(futile_reply(code(76, 68)));  // back to the interposer's origin
  record(2, code(68, 58), GOLD);
  EXPECT_FALSE(futile_reply(0));  // the interposition captured
  record(2, code(DROP_PAWN, 49));
  EXPECT_FALSE(futile_reply(0));  // the check took something else
  record(2, code(DROP_PAWN, 58));
  at_ply(1);
  EXPECT_FALSE(futile_reply(0));
}

TEST_F(FutileReply, KingMoveWithTheSameAnswerWithoutThePair) {
  store_answer(AFTER_STEP, code(58, 67));                          // dragon to 5b
  store_answer(AFTER_STEP_WITHOUT_PAIR, code(40, 67 | PROMOTE));  // rook to 5b, promoting
  dropped_pawn_taken();
  HashKey key = board.board_key;
  PackedHand hand = board.attacker_hand;
  tt_hint_move = code(1, 2);

  EXPECT_TRUE(futile_same_answer(KING_STEP));
  EXPECT_TRUE(futile_reply(KING_STEP));
  EXPECT_EQ(board.board_key.lo, key.lo);
  EXPECT_EQ(board.board_key.hi, key.hi);
  EXPECT_EQ(board.attacker_hand, hand);
  EXPECT_EQ(tt_hint_move, code(1, 2));

  // The king taking an attacker gold on 4a reaches the same positions.
  dropped_pawn_taken("4kG3/9/4+R4/9/9/9/9/9/9 b P 1");
  EXPECT_TRUE(futile_reply(KING_STEP));
}

TEST_F(FutileReply, DifferentAnswerIsNotFutile) {
  store_answer(AFTER_STEP, code(58, 67));
  store_answer(AFTER_STEP_WITHOUT_PAIR, code(40, 76 | PROMOTE));  // rook to 5a
  dropped_pawn_taken();
  EXPECT_FALSE(futile_reply(KING_STEP));
}

TEST_F(FutileReply, MissingEntryIsNotTheSameAnswer) {
  // Only the position without the pair is known; a hint left over from an
  // earlier probe must not stand in for the missing one.
  store_answer(AFTER_STEP_WITHOUT_PAIR, code(40, 67 | PROMOTE));
  dropped_pawn_taken();
  tt_hint_move = code(58, 67);
  EXPECT_FALSE(futile_same_answer(KING_STEP));

  tt_release();
  ASSERT_TRUE(tt_allocate_entries(4096));
  store_answer(AFTER_STEP, code(58, 67));
  dropped_pawn_taken();
  EXPECT_FALSE(futile_same_answer(KING_STEP));
}

TEST_F(FutileReply, PromotedInterposerGoesBackUnpromoted) {
  // Defender king 5i. A silver interposes from 4f to 5g, promoting (or
  // not); the rook takes it from 5e; the king steps to 4i.
  store_answer("9/9/9/9/9/9/4R4/9/5k3 b S 1", code(22, 13));       // rook 5g-5h
  store_answer("9/9/9/9/4R4/5s3/9/9/5k3 b - 1", code(40, 13));     // rook 5e-5h
  const MoveCode step = code(4, 5);
  for (bool promoted : {true, false}) {
    SCOPED_TRACE(promoted ? "promoting interposition" : "plain interposition");
    setup_position("9/9/9/9/9/9/4R4/9/4k4 b S 1");
    record(1, code(31, 40));
    record(2, code(32, promoted ? (22 | PROMOTE) : 22));
    record(3, code(40, 22), promoted ? PRO_SILVER : SILVER);
    at_ply(3);
    EXPECT_TRUE(futile_reply(step));
  }
}

}  // namespace

#include "search/tt.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "search/thread_state.h"
#include "platform/platform.h"
#include "search/search_state.h"
#include "support/position_helpers.h"
#include "solve/engine_options.h"

namespace {

// Packed hands used below (lance..rook unary, pawns from bit 20).
constexpr uint32_t ONE_PAWN = 1u << 20;
constexpr uint32_t ONE_GOLD = 0x1000;
constexpr uint32_t TWO_GOLDS = 0x3000;
constexpr uint32_t ONE_SILVER = 0x100;

constexpr MoveCode code(int from, int to) { return static_cast<MoveCode>(from * 256 + to); }

// Clears every piece of search state the table reads, so that tests do not
// depend on each other.
void reset_search_state() {
  search_modes = SearchModes{};
  reset_search_thread(NEW_REQUEST, 0);
  hashfull_max = 0;
}

struct ProbeResult {
  bool found;
  uint32_t hand;
  int16_t length;
  int32_t pn;
  int32_t dn;
};

ProbeResult probe(int side) {
  ProbeResult r{};
  r.found = tt_probe(side, r.hand, r.length, r.pn, r.dn);
  return r;
}

class TtTest : public ::testing::Test {
 protected:
  static constexpr uint32_t SLOTS = 1024;

  void SetUp() override {
    tt_release();
    platform_set_alloc_limit(0);
    reset_search_state();
    ASSERT_TRUE(tt_allocate_entries(SLOTS));
    position("");
  }
  void TearDown() override {
    tt_release();
    reset_search_state();
  }

  // A lone defender king; only the hands change between positions, so the
  // board key stays the same.
  static void position(const std::string& hand) {
    setup_position("4k4/9/9/9/9/9/9/9/9 b " + (hand.empty() ? std::string("-") : hand) + " 1");
  }

  static uint32_t home() { return board.board_key.lo % tt_slots; }
  static TtEntry& slot(int side, int i) { return tt_tables[side][home() + i]; }
  // Writes an entry straight into the run, for layouts the store would
  // never produce by itself.
  static void put(int side, int i, uint32_t check_word, uint32_t flags, MoveCode move, int pn, int dn,
                  int length) {
    slot(side, i) = TtEntry{check_word, flags | TT_USED, pn, dn, move, static_cast<int16_t>(length)};
  }
  // Another position's entry in this run.
  static void put_other(int side, int i, int pn, uint32_t flags = 0, int length = 0) {
    put(side, i, board.board_key.hi ^ (0x9E370000u + static_cast<uint32_t>(i)), flags, 0, pn, 0, length);
  }
};

// ------------------------------------------------------------- allocation

class TtAllocation : public ::testing::Test {
 protected:
  void SetUp() override {
    tt_release();
    platform_set_alloc_limit(0);
    engine_options.table_entries = 0;
    reset_search_state();
  }
  void TearDown() override {
    tt_release();
    platform_set_alloc_limit(0);
    engine_options = ENGINE_OPTIONS_START;
  }
  static std::size_t block(uint32_t entries) { return (entries + PROBE_LIMIT) * sizeof(TtEntry); }
};

TEST_F(TtAllocation, HalvesUntilBothTablesFit) {
  platform_set_alloc_limit(block(1000));
  EXPECT_TRUE(tt_allocate_entries(4000));
  EXPECT_EQ(tt_slots, 1000u);
  EXPECT_TRUE(tt_ready());
}

TEST_F(TtAllocation, HugeSizeIsComputedWideAndHalved) {
  // In 32 bits (2^32 - 1 + 50) * 16 wraps to a tiny block that would be
  // accepted for four billion slots.
  platform_set_alloc_limit(block(1024));
  EXPECT_TRUE(tt_allocate_entries(0xFFFFFFFFu));
  EXPECT_EQ(tt_slots, 1023u);
  // An odd slot count still serves as the home-slot modulus.
  setup_position("4k4/9/9/9/9/9/9/9/9 b - 1");
  EXPECT_EQ(tt_store(0, board.attacker_hand, 3, 4, 5, 0), 1);
  EXPECT_EQ(tt_tables[0][board.board_key.lo % 1023u].pn, 4);
  ProbeResult r = probe(0);
  EXPECT_TRUE(r.found);
  EXPECT_EQ(r.pn, 4);
}

TEST_F(TtAllocation, OptionSizeIsReadOnceAndDefaultApplies) {
  engine_options.table_entries = 3000;
  ASSERT_TRUE(tt_allocate(engine_options.table_entries));
  EXPECT_EQ(tt_slots, 3000u);
  setup_position("4k4/9/9/9/9/9/9/9/9 b - 1");
  ASSERT_EQ(tt_store(1, board.attacker_hand, 2, 6, 7, 0), 1);
  // A later USI_Hash changes neither the size nor where entries are found.
  engine_options.table_entries = 5000;
  EXPECT_TRUE(tt_allocate(engine_options.table_entries));
  EXPECT_EQ(tt_slots, 3000u);
  EXPECT_EQ(probe(1).pn, 6);

  tt_release();
  engine_options.table_entries = 0;  // no USI_Hash, or 0
  ASSERT_TRUE(tt_allocate(engine_options.table_entries));
  EXPECT_EQ(tt_slots, 256u * 26214u);
}

TEST_F(TtAllocation, NoTableIsReportedAndRetriedLater) {
  platform_set_alloc_limit(1);  // nothing fits, not even one home slot
  engine_options.table_entries = 64;
  EXPECT_FALSE(tt_allocate(engine_options.table_entries));
  EXPECT_FALSE(tt_ready());
  EXPECT_EQ(tt_slots, 0u);

  // Without a table nothing is found or written, and nothing divides by 0.
  setup_position("4k4/9/9/9/9/9/9/9/9 b - 1");
  EXPECT_FALSE(probe(0).found);
  EXPECT_EQ(tt_store(0, board.attacker_hand, 1, 2, 3, 0), 0);
  EXPECT_EQ(tt_store_result(1, board.attacker_hand, 0, 3, 0), 0);
  EXPECT_EQ(find_on_path(0, board.attacker_hand, board.board_key.hi), nullptr);
  EXPECT_EQ(tt_hashfull(), 0);

  platform_set_alloc_limit(0);
  EXPECT_TRUE(tt_allocate(engine_options.table_entries));
  EXPECT_TRUE(tt_ready());
  EXPECT_EQ(tt_slots, 64u);
}

// ------------------------------------------------------------- lookup

TEST_F(TtTest, EmptyHomeSlotIsNotFound) {
  position("2G");
  on_path_here = 1;
  on_path_smaller = 1;
  ProbeResult r = probe(0);
  EXPECT_FALSE(r.found);
  EXPECT_EQ(r.hand, board.attacker_hand);
  EXPECT_EQ(r.hand, TWO_GOLDS);
  EXPECT_EQ(on_path_here, 0);
  EXPECT_EQ(on_path_smaller, 0);
}

TEST_F(TtTest, StoredResultComesBackForItsSideOnly) {
  position("G");
  EXPECT_EQ(tt_store(0, board.attacker_hand, 4, 5, 7, code(86, 67)), 1);
  ProbeResult r = probe(0);
  ASSERT_TRUE(r.found);
  EXPECT_EQ(r.pn, 5);
  EXPECT_EQ(r.dn, 7);
  EXPECT_EQ(r.length, 4);
  EXPECT_EQ(tt_hint_move, code(86, 67));
  EXPECT_FALSE(probe(1).found);
}

TEST_F(TtTest, OnPathEntryBeforeAProofHidesIt) {
  position("G");
  uint32_t hi = board.board_key.hi;
  put(0, 0, hi, ONE_GOLD | TT_ON_PATH, code(86, 66), 30, 0, 0);
  put(0, 1, hi, ONE_GOLD, code(86, 68), 0, 32700, 5);
  ProbeResult r = probe(0);
  ASSERT_TRUE(r.found);
  EXPECT_NE(r.pn, 0);  // unknown, not a proof
  EXPECT_EQ(on_path_here, 1);

  // The same proof ahead of the marker is a proof.
  put(0, 0, hi, ONE_GOLD, code(86, 68), 0, 32700, 5);
  put(0, 1, hi, ONE_GOLD | TT_ON_PATH, code(86, 66), 30, 0, 0);
  r = probe(0);
  ASSERT_TRUE(r.found);
  EXPECT_EQ(r.pn, 0);
  EXPECT_EQ(r.length, 5);
  EXPECT_EQ(tt_hint_move, code(86, 68));
}

TEST_F(TtTest, MarkOfALargerHandIsARepetitionWhenItsDropIsNoLongerHeld) {
  // The same board earlier on the path, the attacker then holding a gold,
  // its mark's move the gold's drop; now the gold is gone.
  uint32_t hi = board.board_key.hi;
  put(0, 0, hi, ONE_GOLD | TT_ON_PATH, code(86, 66), 30, 0, 0);
  node_threshold = 7;
  ProbeResult r = probe(0);
  ASSERT_TRUE(r.found);
  EXPECT_EQ(on_path_here, 1);
  EXPECT_EQ(r.dn, 0);
  EXPECT_EQ(r.pn, 7);

  // Without the mark the entry of the larger hand gives its numbers only:
  // no repetition, no disproof.
  put(0, 0, hi, ONE_GOLD, code(86, 66), 30, 5, 0);
  r = probe(0);
  ASSERT_TRUE(r.found);
  EXPECT_EQ(on_path_here, 0);
  EXPECT_EQ(r.pn, 30);
  EXPECT_NE(r.dn, 0);
}

TEST_F(TtTest, ProofFromSmallerHandIsShortenedAndPrefersSmallerHandOnTies) {
  position("2GP");
  uint32_t hi = board.board_key.hi;
  // One gold: the current hand has a gold and a pawn more, 2 plies each.
  put(0, 0, hi, ONE_GOLD | TT_FUTILE, code(86, 67), 0, 32700, 9);
  ProbeResult r = probe(0);
  ASSERT_TRUE(r.found);
  EXPECT_EQ(r.pn, 0);
  EXPECT_EQ(r.length, 5);
  EXPECT_EQ(r.hand, ONE_GOLD | TT_FUTILE);

  // Two golds, length 7: also 5 after the pawn's 2. The tie goes to the
  // numerically smaller hand whichever comes first.
  put(0, 1, hi, TWO_GOLDS, code(86, 77), 0, 32700, 7);
  r = probe(0);
  EXPECT_EQ(r.length, 5);
  EXPECT_EQ(r.hand & TT_HAND_MASK, ONE_GOLD);
  put(0, 0, hi, TWO_GOLDS, code(86, 77), 0, 32700, 7);
  put(0, 1, hi, ONE_GOLD, code(86, 67), 0, 32700, 9);
  r = probe(0);
  EXPECT_EQ(r.hand & TT_HAND_MASK, ONE_GOLD);
  EXPECT_EQ(tt_hint_move, code(86, 67));

  // A strictly shorter proof wins over the smaller hand.
  put(0, 2, hi, ONE_PAWN, code(82, 67), 0, 32700, 4);  // 4 - 2 * 2 = 0
  r = probe(0);
  EXPECT_EQ(r.length, 0);
  EXPECT_EQ(r.hand & TT_HAND_MASK, ONE_PAWN);
}

TEST_F(TtTest, DisproofComesFromLargerHandProofNever) {
  position("G");
  uint32_t hi = board.board_key.hi;
  put(0, 0, hi, TWO_GOLDS, code(86, 67), 0, 32700, 3);  // proof for more pieces
  ProbeResult r = probe(0);
  ASSERT_TRUE(r.found);
  EXPECT_NE(r.pn, 0);

  put(0, 1, hi, TWO_GOLDS | ONE_PAWN, code(86, 75), 40, 0, 12);  // disproof for more pieces
  r = probe(0);
  ASSERT_TRUE(r.found);
  EXPECT_EQ(r.dn, 0);
  EXPECT_EQ(r.pn, 40);
  // Lengths of larger hands count two plies per surplus piece.
  EXPECT_EQ(r.length, 12 + 2 * 2);
  EXPECT_EQ(tt_hint_move, code(86, 75));

  // A disproof for fewer pieces says nothing about this hand.
  position("2G");
  put(0, 0, hi, ONE_GOLD, code(86, 75), 40, 0, 12);
  slot(0, 1) = TtEntry{};
  EXPECT_FALSE(probe(0).found);
}

TEST_F(TtTest, DropsOfPiecesNoLongerHeldAreNotUsed) {
  // Defender table, exact hand: the defender holds no pawn any more.
  position("G");
  uint32_t hi = board.board_key.hi;
  put(1, 0, hi, ONE_GOLD, code(97, 67), 3, 4, 1);
  ProbeResult r = probe(1);
  ASSERT_TRUE(r.found);
  EXPECT_EQ(tt_hint_move, 0);
  position("Gp");
  EXPECT_TRUE(probe(1).found);
  EXPECT_EQ(tt_hint_move, code(97, 67));

  // A proof from a smaller hand whose defence drops a silver the defender
  // lacks is not taken.
  position("GP");
  put(1, 0, hi, ONE_GOLD, code(100, 67), 0, 32700, 5);
  EXPECT_FALSE(probe(1).found);
  position("GPs");
  r = probe(1);
  ASSERT_TRUE(r.found);
  EXPECT_EQ(r.pn, 0);

  // A disproof from a larger hand whose move drops a gold the attacker
  // lacks is not taken; with a pawn drop it is.
  position("P");
  put(0, 0, hi, ONE_GOLD | ONE_PAWN, code(86, 67), 50, 0, 0);
  EXPECT_FALSE(probe(0).found);
  slot(0, 0).best_move = code(82, 67);
  r = probe(0);
  ASSERT_TRUE(r.found);
  EXPECT_EQ(r.dn, 0);
  EXPECT_EQ(tt_hint_move, code(82, 67));
}

// The check word has 32 bits: in a full table another position's entry
// matches it now and then. Its move names pieces and squares of that other
// board, so an entry whose move does not fit this board is not taken.
TEST_F(TtTest, EntryWhoseMoveDoesNotFitTheBoardIsNotTaken) {
  position("Gp");
  const int king = 76;  // 5a, the only piece on the board
  put(0, 0, board.board_key.hi, ONE_GOLD, 0, 0, PN_INFINITE, 3);
  put(1, 0, board.board_key.hi, ONE_GOLD, 0, PN_INFINITE, 0, 5);
  const struct {
    int side;
    MoveCode move;
    bool taken;
  } cases[] = {
      {0, code(40, 41), false},    // no piece on 40
      {0, code(86, king), false},  // a drop onto the king
      {0, code(86, 40), false},    // a drop that gives no check
      {0, code(86, 67), true},     // a gold drop that checks
      {1, code(king, 40), false},  // the king does not fly
      {1, code(king, 67), true},   // but steps
      {1, code(86, 67), false},    // the attacker's drop in the defender's table
      {1, code(97, 50), false},    // a defender's drop out of line with the king
      {1, code(97, 58), true},     // an interposition
  };
  for (const auto& c : cases) {
    slot(c.side, 0).best_move = c.move;
    EXPECT_EQ(probe(c.side).found, c.taken) << c.side << " " << c.move;
  }
  // A caller that has the position in the key only gets every match.
  slot(0, 0).best_move = code(40, 41);
  probe_off_board = 1;
  EXPECT_TRUE(probe(0).found);
  probe_off_board = 0;
}

TEST_F(TtTest, NoMateAndPathEntriesAnswerAtOnce) {
  position("G");
  uint32_t hi = board.board_key.hi;
  put(0, 0, hi, ONE_GOLD | TT_NOMATE, code(86, 66), 5, 5, 5);
  put(0, 1, hi, ONE_GOLD, code(86, 68), 0, 32700, 3);
  ProbeResult r = probe(0);
  ASSERT_TRUE(r.found);
  EXPECT_EQ(r.pn, PN_INFINITE);
  EXPECT_EQ(r.dn, 0);
  EXPECT_EQ(r.length, 32700);
  EXPECT_EQ(tt_hint_move, code(86, 66));

  board.path_key = hi ^ 0x55u;
  put(0, 0, board.path_key, ONE_GOLD | TT_PATH, code(86, 75), 9, 8, 7);
  r = probe(0);
  EXPECT_EQ(r.pn, 9);
  EXPECT_EQ(r.dn, 8);
  EXPECT_EQ(r.length, 7);
  EXPECT_EQ(tt_hint_move, code(86, 75));
}

TEST_F(TtTest, RefinementEntriesAndLengthLimit) {
  position("G");
  uint32_t hi = board.board_key.hi;
  put(0, 0, hi, ONE_GOLD | TT_REFINE, 0, 7, 7, 0);
  EXPECT_FALSE(probe(0).found);  // provisional numbers of a refinement pass
  search_modes.refine_pass = 1;
  EXPECT_EQ(probe(0).pn, 7);

  put(0, 0, hi, ONE_GOLD, code(86, 68), 0, 32700, 9);
  board.ply = 2;
  length_limit = 10;
  EXPECT_FALSE(probe(0).found);  // 2 + 9 is beyond the limit
  length_limit = 11;
  EXPECT_EQ(probe(0).pn, 0);
}

TEST_F(TtTest, StageEntriesByPliesLeft) {
  position("G");
  search_modes.refine_pass = 1;
  search_modes.minimality_stage = 1;
  length_limit = 11;
  board.ply = 4;  // 7 plies left
  board.path_key = board.board_key.hi ^ 0x1234u;
  proof_len = 3;
  ASSERT_EQ(tt_store_result(0, ONE_GOLD, 12, 5, code(86, 68)), 1);
  // Another move order to the same position shares the numbers...
  board.path_key ^= 0x99u;
  ProbeResult r = probe(0);
  ASSERT_TRUE(r.found);
  EXPECT_EQ(r.pn, 12);
  EXPECT_EQ(r.dn, 5);
  // ...and so does the stage below a shorter mate, with as many plies left;
  length_limit = 9;
  board.ply = 2;
  EXPECT_EQ(probe(0).pn, 12);
  // with fewer plies left it is another problem.
  board.ply = 4;
  EXPECT_FALSE(probe(0).found);
  // Outside the stage, and with numbers per path, the entry is not seen.
  board.ply = 2;
  search_modes.minimality_stage = 0;
  EXPECT_FALSE(probe(0).found);
  search_modes.minimality_stage = 1;
  search_modes.stage_shared_numbers = 0;
  EXPECT_FALSE(probe(0).found);
  ASSERT_EQ(tt_store_result(0, ONE_GOLD, 8, 2, code(86, 68)), 1);
  EXPECT_EQ(slot(0, 1).check_word, board.path_key);

  // A disproof answers on any path with at most its plies left.
  search_modes.stage_shared_numbers = 1;
  position("2G");
  search_modes.refine_pass = 1;
  length_limit = 11;
  board.ply = 4;
  ASSERT_EQ(tt_store_result(0, TWO_GOLDS, PN_INFINITE, 0, 0), 1);
  board.path_key ^= 0x77u;
  for (int ply : {4, 6, 2}) {
    board.ply = ply;
    r = probe(0);
    EXPECT_EQ(r.found && r.dn == 0, ply >= 4) << ply;
  }
}

TEST_F(TtTest, RetiredRefinementEntriesAreNumbersButProofsStay) {
  // A stage's bounded disproof and a proof of the same request.
  position("2G");
  search_modes.refine_pass = 1;
  search_modes.minimality_stage = 1;
  length_limit = 11;
  board.ply = 4;
  ASSERT_EQ(tt_store_result(0, TWO_GOLDS, PN_INFINITE, 0, 0), 1);
  position("S");
  proof_len = 3;
  ASSERT_EQ(tt_store_result(0, ONE_SILVER, 0, PN_INFINITE, code(86, 68)), 1);
  position("2G");
  board.ply = 4;
  ASSERT_EQ(probe(0).dn, 0);
  // Few such stores: the sweep is skipped and the disproof still answers.
  tt_retire_refinement();
  ASSERT_EQ(probe(0).dn, 0);
  for (uint32_t i = 0; i <= SLOTS / 8; ++i) ASSERT_EQ(tt_store_result(0, TWO_GOLDS, PN_INFINITE, 0, 0), 1);
  tt_retire_refinement();
  const ProbeResult r = probe(0);
  EXPECT_TRUE(r.found && r.pn == 1 && r.dn == 1);
  position("S");
  EXPECT_EQ(probe(0).pn, 0);
}

TEST_F(TtTest, ProbeRunCoversFiftyOneSlots) {
  position("G");
  for (int i = 0; i < PROBE_LIMIT; ++i) put_other(0, i, 100);
  put(0, PROBE_LIMIT, board.board_key.hi, ONE_GOLD, 0, 12, 13, 0);
  ProbeResult r = probe(0);
  ASSERT_TRUE(r.found);
  EXPECT_EQ(r.pn, 12);

  put_other(0, PROBE_LIMIT, 100);
  ASSERT_LT(home() + PROBE_LIMIT + 1, tt_slots + PROBE_LIMIT);
  put(0, PROBE_LIMIT + 1, board.board_key.hi, ONE_GOLD, 0, 12, 13, 0);
  EXPECT_FALSE(probe(0).found);
}

// Numbers beyond 16 bits on both sides of the end of a probe run: the run's
// last slot answers with its exact numbers, the slot after it never does.
TEST_F(TtTest, WideNumbersAtTheEndOfTheProbeRun) {
  position("G");
  for (int i = 0; i < PROBE_LIMIT; ++i) put_other(0, i, 100);
  ASSERT_EQ(tt_store(0, ONE_GOLD, 1234, 40000, 70000, code(86, 67)), 1);
  ASSERT_EQ(slot(0, PROBE_LIMIT).check_word, board.board_key.hi);
  ProbeResult r = probe(0);
  ASSERT_TRUE(r.found);
  EXPECT_EQ(r.pn, 40000);
  EXPECT_EQ(r.dn, 70000);
  EXPECT_EQ(r.length, 1234);
  EXPECT_EQ(tt_hint_move, code(86, 67));

  put_other(0, PROBE_LIMIT, 100);
  ASSERT_LT(home() + PROBE_LIMIT + 1, tt_slots + PROBE_LIMIT);
  put(0, PROBE_LIMIT + 1, board.board_key.hi, ONE_GOLD, code(86, 67), PN_SUM_CAP, 70000, 1234);
  EXPECT_FALSE(probe(0).found);
  put(0, PROBE_LIMIT + 1, board.board_key.hi, ONE_GOLD, code(86, 67), PN_INFINITE, 0, 1234);
  EXPECT_FALSE(probe(0).found);
}

// ------------------------------------------------------------- store

TEST_F(TtTest, ProofIsKeptAgainstNonProofStores) {
  position("G");
  ASSERT_EQ(tt_store(0, ONE_GOLD, 7, 0, 32700, code(86, 67)), 1);
  EXPECT_EQ(tt_store(0, ONE_GOLD | TT_ON_PATH, 0, 30, 0, code(86, 66)), 0);
  EXPECT_EQ(slot(0, 0).pn, 0);
  EXPECT_EQ(slot(0, 0).length, 7);
  EXPECT_TRUE(slot(0, 0).flags & TT_ON_PATH);

  EXPECT_EQ(tt_store(0, ONE_GOLD | TT_PAWN_DROP_MATE, 3, 4, 5, code(86, 66)), 0);
  EXPECT_FALSE(slot(0, 0).flags & TT_ON_PATH);
  EXPECT_TRUE(slot(0, 0).flags & TT_PAWN_DROP_MATE);
  ProbeResult r = probe(0);
  EXPECT_EQ(r.pn, 0);
  EXPECT_EQ(r.length, 7);
  EXPECT_EQ(tt_hint_move, code(86, 67));

  search_modes.allow_proof_overwrite = 1;
  EXPECT_EQ(tt_store(0, ONE_GOLD, 3, 4, 5, code(86, 66)), 1);
  EXPECT_EQ(probe(0).pn, 4);
}

TEST_F(TtTest, ReleaseResetsMarkerButNeverAProof) {
  position("G");
  node_threshold = 9;
  board.path_key = board.board_key.hi ^ 0x1234u;  // the line reached here differs from the board
  // A plain marker: released with the threshold and dn 1, and the
  // disproof goes under the path key.
  ASSERT_EQ(tt_store(0, ONE_GOLD | TT_ON_PATH, 0, 30, 0, code(86, 66)), 1);
  ASSERT_EQ(tt_store(0, ONE_GOLD, 4, 32700, 0, code(86, 68)), 1);
  EXPECT_FALSE(slot(0, 0).flags & TT_ON_PATH);
  EXPECT_EQ(slot(0, 0).pn, 9);
  EXPECT_EQ(slot(0, 0).dn, 1);
  EXPECT_EQ(slot(0, 1).check_word, board.path_key);
  EXPECT_EQ(slot(0, 1).dn, 0);

  // A proof that was marked on the path only loses the marker.
  position("2G");
  board.path_key = board.board_key.hi ^ 0x1234u;
  ASSERT_EQ(tt_store(0, TWO_GOLDS, 5, 0, 32700, code(86, 67)), 1);
  TtEntry* proof = nullptr;
  ASSERT_EQ(find_slot(0, 0, TWO_GOLDS, board.board_key.hi, proof), 1);
  EXPECT_EQ(tt_store(0, TWO_GOLDS | TT_ON_PATH, 0, 30, 0, code(86, 66)), 0);
  ASSERT_TRUE(proof->flags & TT_ON_PATH);
  tt_store(0, TWO_GOLDS, 4, 32700, 0, code(86, 68));
  EXPECT_FALSE(proof->flags & TT_ON_PATH);
  EXPECT_EQ(proof->pn, 0);
  EXPECT_EQ(proof->dn, 32700);
  EXPECT_EQ(proof->length, 5);
  ProbeResult r = probe(0);
  EXPECT_EQ(r.pn, 0);
  EXPECT_EQ(r.length, 5);

  // In a refinement pass the stored result releases the marker with pn 1.
  position("3G");
  board.path_key = board.board_key.hi ^ 0x1234u;
  search_modes.refine_pass = 1;
  proof_len = 6;
  ASSERT_EQ(tt_store(0, 0x7000 | TT_ON_PATH, 0, 30, 0, code(86, 66)), 1);
  TtEntry* marker = find_on_path(0, 0x7000, board.board_key.hi);
  ASSERT_NE(marker, nullptr);
  EXPECT_EQ(tt_store_result(0, 0x7000, 12, 3, code(86, 68)), 1);
  EXPECT_FALSE(marker->flags & TT_ON_PATH);
  EXPECT_EQ(marker->pn, 1);
  EXPECT_EQ(marker->dn, 1);
  TtEntry* result = nullptr;
  ASSERT_EQ(find_slot(0, 12, 0x7000, board.path_key, result), 1);
  EXPECT_EQ(result->length, 6);
  EXPECT_TRUE(result->flags & TT_REFINE);

  // A proof of a refinement pass lands in a slot of its own and releases the
  // marker. Once the proof is beyond a later limit, what is left must not
  // read as a disproof (the marker's dn 0): the position is searched again.
  position("2S");  // no hand of the cases above is within this one
  board.path_key = board.board_key.hi ^ 0x1234u;
  search_modes.refine_pass = 2;
  ASSERT_EQ(tt_store(0, 0x300 | TT_ON_PATH, 0, 30, 0, code(86, 66)), 1);
  marker = find_on_path(0, 0x300, board.board_key.hi);
  ASSERT_NE(marker, nullptr);
  ASSERT_EQ(tt_store(0, 0x300, 9, 0, 32700, code(86, 68)), 1);
  EXPECT_FALSE(marker->flags & TT_ON_PATH);
  length_limit = 20;
  EXPECT_EQ(probe(0).pn, 0);
  board.ply = 2;
  length_limit = 10;  // 2 + 9 is beyond it
  r = probe(0);
  EXPECT_NE(r.dn, 0);
  EXPECT_LT(r.pn, 30);
}

TEST_F(TtTest, WrittenFlags) {
  position("G");
  // Inside a trial a non-proof is written as 1/1, a proof as it is.
  trial_drop_piece = SILVER;
  ASSERT_EQ(tt_store(1, ONE_GOLD, 2, 20, 30, 0), 1);
  EXPECT_EQ(slot(1, 0).pn, 1);
  EXPECT_EQ(slot(1, 0).dn, 1);
  ASSERT_EQ(tt_store(1, ONE_GOLD | TT_ON_PATH, 2, 20, 0, 0), 1);
  EXPECT_EQ(slot(1, 0).pn, 20);
  trial_drop_piece = 0;

  // The same position's futile and pawn-drop-mate marks carry over;
  // combining with | keeps a repeated TT_FUTILE from spilling into
  // TT_REFINE.
  ASSERT_EQ(tt_store(1, ONE_GOLD | TT_FUTILE | TT_PAWN_DROP_MATE, 2, 20, 30, 0), 1);
  ASSERT_EQ(tt_store(1, ONE_GOLD | TT_FUTILE, 2, 21, 30, 0), 1);
  EXPECT_EQ(slot(1, 0).flags, ONE_GOLD | TT_FUTILE | TT_PAWN_DROP_MATE | TT_USED);
  ProbeResult r = probe(1);
  EXPECT_EQ(r.pn, 21);  // a TT_REFINE bit would hide it outside refinement
  EXPECT_TRUE(r.hand & TT_PAWN_DROP_MATE);
}

TEST_F(TtTest, EvictedEntryFlagsDoNotCarryOver) {
  position("G");
  for (int i = 0; i <= PROBE_LIMIT; ++i) put_other(0, i, 600);
  // Cheapest at 5 + 500, but another position's flags.
  put_other(0, 20, 5, TT_FUTILE | TT_PAWN_DROP_MATE);
  ASSERT_EQ(tt_store(0, ONE_GOLD, 2, 7, 8, 0), 1);
  EXPECT_EQ(slot(0, 20).check_word, board.board_key.hi);
  EXPECT_EQ(slot(0, 20).flags, ONE_GOLD | TT_USED);
}

// Fills the whole run with expensive entries of other positions, puts two
// contenders at `a` and `b`, stores and answers which index was evicted.
struct EvictionCase {
  const char* name;
  int a_pn;
  uint32_t a_flags;
  int a_length;
  int b_pn;
  uint32_t b_flags;
  int b_length;
  bool a_evicted;
};

void PrintTo(const EvictionCase& c, std::ostream* os) { *os << c.name; }

class TtEviction : public TtTest, public ::testing::WithParamInterface<EvictionCase> {};

TEST_P(TtEviction, CheapestEntryOfTheRunGoes) {
  const EvictionCase& c = GetParam();
  position("G");
  for (int i = 0; i <= PROBE_LIMIT; ++i) put_other(0, i, 32700, TT_ON_PATH | TT_PAWN_DROP_MATE | TT_NOMATE);
  const int a = 7, b = PROBE_LIMIT;  // the last slot of the run counts too
  put_other(0, a, c.a_pn, c.a_flags, c.a_length);
  put_other(0, b, c.b_pn, c.b_flags, c.b_length);
  TtEntry* none = nullptr;
  ASSERT_EQ(find_slot(0, 3, ONE_GOLD, board.board_key.hi, none), 2);
  ASSERT_EQ(tt_store(0, ONE_GOLD, 1, 3, 4, code(86, 75)), 1);
  EXPECT_EQ(replacements, 1u);
  int evicted = c.a_evicted ? a : b;
  int kept = c.a_evicted ? b : a;
  EXPECT_EQ(slot(0, evicted).check_word, board.board_key.hi);
  EXPECT_EQ(slot(0, evicted).pn, 3);
  EXPECT_NE(slot(0, kept).check_word, board.board_key.hi);
  EXPECT_EQ(probe(0).pn, 3);
}

INSTANTIATE_TEST_SUITE_P(
    Costs, TtEviction,
    ::testing::Values(
        EvictionCase{"LowerPn", 40, 0, 0, 30, 0, 0, false},
        EvictionCase{"TieGoesToTheFirst", 30, 0, 0, 30, 0, 0, true},
        EvictionCase{"OnPathWeighs3000", 1, TT_ON_PATH, 0, 3000, 0, 0, false},
        EvictionCase{"OnPathTie", 1, TT_ON_PATH, 0, 3001, 0, 0, true},
        EvictionCase{"NoMateWeighs2000", 1, TT_NOMATE, 0, 2000, 0, 0, false},
        EvictionCase{"NoMateTie", 1, TT_NOMATE, 0, 2001, 0, 0, true},
        EvictionCase{"PawnDropMateWeighs500", 1, TT_PAWN_DROP_MATE, 0, 500, 0, 0, false},
        EvictionCase{"ProofCostsLengthPlus1000", 0, 0, 5, 1004, 0, 0, false},
        EvictionCase{"ProofTie", 0, 0, 5, 1005, 0, 0, true},
        // Before any refinement pass, a pass's entry is invisible: it goes first.
        EvictionCase{"RefinementLeftoverBeforeAPass", PN_INFINITE, TT_REFINE, 5, 1, 0, 0, true},
        // 32700 + 5500 is beyond 16 bits and must still count as dear.
        EvictionCase{"CostAbove16Bits", 32700, TT_ON_PATH | TT_PAWN_DROP_MATE | TT_NOMATE, 0, 30000, 0, 0,
                     false}),
    [](const ::testing::TestParamInfo<EvictionCase>& info) { return std::string(info.param.name); });

TEST_F(TtTest, FindSlotAnswers) {
  position("G");
  uint32_t hi = board.board_key.hi;
  TtEntry* s = nullptr;
  EXPECT_EQ(find_slot(0, 5, ONE_GOLD, hi, s), 0);
  EXPECT_EQ(s, &slot(0, 0));

  put_other(0, 0, 9);
  put(0, 1, hi, TWO_GOLDS, 0, 9, 9, 0);             // other hand
  put(0, 2, hi, ONE_GOLD | TT_REFINE, 0, 9, 9, 0);  // refinement kind
  put(0, 3, hi, ONE_GOLD, 0, 9, 9, 0);
  EXPECT_EQ(find_slot(0, 5, ONE_GOLD | TT_ON_PATH, hi, s), 1);
  EXPECT_EQ(s, &slot(0, 3));
  EXPECT_EQ(find_slot(0, 0, ONE_GOLD, hi, s), 1);  // proofs skip refinement entries too
  EXPECT_EQ(s, &slot(0, 3));
  search_modes.refine_pass = 1;
  EXPECT_EQ(find_slot(0, 5, ONE_GOLD, hi, s), 1);
  EXPECT_EQ(s, &slot(0, 2));
  EXPECT_EQ(find_slot(0, 5, ONE_GOLD, hi ^ 1u, s), 0);
  EXPECT_EQ(s, &slot(0, 4));
}

// A table size that puts this position's home on the last home slot, so
// that its run covers the whole overflow area; 0 when none was found.
uint32_t size_with_last_home() {
  for (uint32_t k = 200; k < 50000; ++k)
    if (board.board_key.lo % k == k - 1) return k;
  return 0;
}

TEST_F(TtTest, FullRunAtTheEndOfTheTableStaysInside) {
  position("G");
  const uint32_t n = size_with_last_home();
  ASSERT_NE(n, 0u);
  tt_release();
  ASSERT_TRUE(tt_allocate_entries(n));
  ASSERT_EQ(home(), n - 1);
  for (int i = 0; i <= PROBE_LIMIT; ++i) put_other(1, i, 100 + i);
  put_other(1, PROBE_LIMIT, 50);
  ASSERT_EQ(tt_store(1, ONE_GOLD, 1, 2, 3, 0), 1);
  EXPECT_EQ(&slot(1, PROBE_LIMIT), &tt_tables[1][n - 1 + PROBE_LIMIT]);
  EXPECT_EQ(slot(1, PROBE_LIMIT).check_word, board.board_key.hi);
  EXPECT_EQ(probe(1).pn, 2);
}

// The very last entry of the allocation holds 32-bit numbers exactly, and a
// disproof stored there reads back as exactly PN_INFINITE.
TEST_F(TtTest, WideNumbersInTheLastEntryOfTheTable) {
  position("G");
  const uint32_t n = size_with_last_home();
  ASSERT_NE(n, 0u);
  tt_release();
  ASSERT_TRUE(tt_allocate_entries(n));
  for (int i = 0; i < PROBE_LIMIT; ++i) put_other(1, i, 100);
  ASSERT_EQ(tt_store(1, ONE_GOLD, -2999, PN_SUM_CAP, 65536, code(76, 67)), 1);
  ASSERT_EQ(tt_tables[1][n - 1 + PROBE_LIMIT].check_word, board.board_key.hi);
  ProbeResult r = probe(1);
  ASSERT_TRUE(r.found);
  EXPECT_EQ(r.pn, PN_SUM_CAP);
  EXPECT_EQ(r.dn, 65536);
  EXPECT_EQ(r.length, -2999);
  EXPECT_EQ(tt_hint_move, code(76, 67));

  proof_len = 40;
  ASSERT_EQ(tt_store_result(1, ONE_GOLD, PN_INFINITE, 0, code(76, 68)), 1);
  EXPECT_EQ(tt_tables[1][n - 1 + PROBE_LIMIT].pn, PN_INFINITE);
  r = probe(1);
  ASSERT_TRUE(r.found);
  EXPECT_EQ(r.pn, PN_INFINITE);
  EXPECT_EQ(r.dn, 0);
  EXPECT_EQ(r.length, 40);
  EXPECT_EQ(tt_hint_move, code(76, 68));
}

// ------------------------------------------------------------- hands and fill

TEST(TtHandExcess, CountsSurplusPiecesTwice) {
  EXPECT_EQ(hand_excess(TWO_GOLDS | 3 * ONE_PAWN, ONE_GOLD | ONE_PAWN), 6);
  EXPECT_EQ(hand_excess(ONE_GOLD, ONE_GOLD), 0);
  EXPECT_EQ(hand_excess(ONE_GOLD, TWO_GOLDS), 0);
  EXPECT_EQ(hand_excess(ONE_GOLD | ONE_SILVER, ONE_SILVER | ONE_PAWN), 0);
  // More golds but fewer pawns: no domination, whatever the bit patterns.
  EXPECT_EQ(hand_excess(TWO_GOLDS | ONE_PAWN, ONE_GOLD | 3 * ONE_PAWN), 0);
  // Flag bits in either word change nothing.
  EXPECT_EQ(hand_excess(TWO_GOLDS | 3 * ONE_PAWN | TT_ON_PATH | TT_FUTILE | TT_USED,
                        ONE_GOLD | ONE_PAWN | TT_PAWN_DROP_MATE | TT_NOMATE),
            6);
  EXPECT_EQ(hand_excess(31 * ONE_PAWN | 0xFFFFF, 0), 2 * (31 + 20));

  setup_position("4k4/9/9/9/9/9/9/9/9 b 2G2P 1");
  EXPECT_EQ(hand_excess_over_current(ONE_GOLD), 6);
  EXPECT_EQ(hand_excess_over_current(ONE_SILVER), 0);
}

TEST_F(TtTest, FillFigureIsARunningMaximum) {
  expansions = 600;
  reexpansions = 88;
  EXPECT_EQ(tt_hashfull(), 500);  // 512 of 1024 home slots
  // A smaller problem later in the process still shows the larger figure.
  expansions = 300;
  EXPECT_EQ(tt_hashfull(), 500);
  expansions = 5;
  reexpansions = 9;
  EXPECT_EQ(tt_hashfull(), 500);
  expansions = 5000;
  EXPECT_EQ(tt_hashfull(), 990);
}

TEST_F(TtTest, FillFigureOfASmallTable) {
  tt_release();
  ASSERT_TRUE(tt_allocate_entries(3));
  expansions = 2;
  EXPECT_EQ(tt_hashfull(), 666);  // truncated
}

}  // namespace

namespace {

// A disproof kept for one path answers on that path only, with the ply it
// rests on; a marker showing the position on the path and a proof of the
// position both come before it.
TEST_F(TtTest, PathDisproofAnswersOnItsOwnPathOnly) {
  position("G");
  const uint32_t path = board.board_key.hi ^ 0x0F0F0F0Fu;
  board.path_key = board.route_key = path;
  tt_store_path_disproof(0, board.attacker_hand, 3, code(86, 66));
  ProbeResult r = probe(0);
  ASSERT_TRUE(r.found);
  EXPECT_EQ(r.pn, PN_INFINITE);
  EXPECT_EQ(r.dn, 0);
  EXPECT_EQ(tt_dependency, 3);
  EXPECT_EQ(tt_hint_move, code(86, 66));

  // Another path to the same position, or the same path with another hand.
  board.path_key = board.route_key = path ^ 1u;
  r = probe(0);
  EXPECT_FALSE(r.found && r.pn >= PN_INFINITE);
  EXPECT_EQ(tt_dependency, NO_DEPENDENCY);
  board.path_key = board.route_key = path;
  position("2G");
  board.path_key = board.route_key = path;
  r = probe(0);
  EXPECT_FALSE(r.found && r.pn >= PN_INFINITE);

  // The position on the path again: the repetition decides, not the entry.
  position("G");
  board.path_key = board.route_key = path;
  put(0, 1, board.board_key.hi, ONE_GOLD | TT_ON_PATH, 0, 7, 0, 0);
  r = probe(0);
  EXPECT_EQ(on_path_here, 1);
  EXPECT_EQ(tt_dependency, NO_DEPENDENCY);
  slot(0, 1).flags &= ~TT_ON_PATH;
  slot(0, 1).pn = 0;
  slot(0, 1).dn = PN_INFINITE;
  r = probe(0);
  EXPECT_EQ(r.pn, 0) << "a proof of the position outranks a disproof of one path";
}

// After the proof-led search's numbers reach their cap, entries that hold
// numbers only start afresh; decisions and markers stay.
TEST_F(TtTest, ResetNumbersKeepsDecisions) {
  position("G");
  const uint32_t hi = board.board_key.hi;
  put(0, 0, hi, ONE_GOLD, code(86, 66), PN_SUM_CAP, 17, 4);
  put(0, 1, hi, ONE_GOLD | TT_NOMATE, 0, PN_INFINITE, 0, 0);
  put(0, 2, hi, ONE_GOLD, code(86, 68), 0, PN_INFINITE, 3);
  put(0, 3, hi, ONE_GOLD | TT_ON_PATH, 0, 40, 0, 0);
  put(1, 0, hi, ONE_GOLD, 0, 900, 900, 0);
  tt_reset_numbers();
  EXPECT_EQ(slot(0, 0).pn, 1);
  EXPECT_EQ(slot(0, 0).dn, 1);
  EXPECT_EQ(slot(0, 0).best_move, code(86, 66));
  EXPECT_EQ(slot(0, 1).pn, PN_INFINITE);
  EXPECT_EQ(slot(0, 2).pn, 0);
  EXPECT_EQ(slot(0, 3).pn, 40);
  EXPECT_EQ(slot(1, 0).pn, 1);
}

// The first pass's two kinds of root search count on different scales; each
// reads only its own numbers, and both read every decision.
TEST_F(TtTest, EachKindOfFirstPassSearchKeepsItsOwnNumbers) {
  position("G");
  ASSERT_EQ(tt_store_result(0, ONE_GOLD, 900, 3, code(86, 67)), 1);  // summed, proof-led
  weak_and_numbers = 1;
  EXPECT_FALSE(probe(0).found);
  ASSERT_EQ(tt_store_result(0, ONE_GOLD, 7, 2, code(86, 67)), 1);
  EXPECT_EQ(probe(0).pn, 7);
  weak_and_numbers = 0;
  EXPECT_EQ(probe(0).pn, 900);

  // A proof found by the disproof-led kind answers for both.
  weak_and_numbers = 1;
  proof_len = 3;
  ASSERT_EQ(tt_store_result(0, ONE_GOLD, 0, PN_INFINITE, code(86, 67)), 1);
  EXPECT_EQ(probe(0).pn, 0);
  weak_and_numbers = 0;
  ProbeResult r = probe(0);
  EXPECT_EQ(r.pn, 0);
  EXPECT_EQ(r.length, 3);

  // Its path mark stays with its numbers, and its disproof ends the mark.
  tt_renew();
  position("2G");
  weak_and_numbers = 1;
  node_threshold = 5;
  ASSERT_EQ(tt_store(0, TWO_GOLDS | TT_ON_PATH, 0, 5, 0, code(86, 67)), 1);
  probe(0);
  EXPECT_EQ(on_path_here, 1);
  weak_and_numbers = 0;
  EXPECT_FALSE(probe(0).found);
  EXPECT_EQ(on_path_here, 0);
  weak_and_numbers = 1;
  ASSERT_EQ(tt_store_result(0, TWO_GOLDS, PN_INFINITE, 0, code(86, 67)), 1);
  r = probe(0);
  EXPECT_EQ(on_path_here, 0);
  EXPECT_EQ(r.pn, PN_INFINITE);
  weak_and_numbers = 0;
  EXPECT_EQ(probe(0).pn, PN_INFINITE);

  // Later passes keep one scale: the flag means nothing there.
  tt_renew();
  position("G");
  search_modes.refine_pass = 1;
  weak_and_numbers = 1;
  ASSERT_EQ(tt_store_result(0, ONE_GOLD, 11, 4, code(86, 67)), 1);
  weak_and_numbers = 0;
  EXPECT_EQ(probe(0).pn, 11);
}

}  // namespace

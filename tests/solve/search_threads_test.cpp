// Several threads over shared tables: the same decisions as one thread, an
// entry caught half written never read as a result, and every helper idle
// once a solve has ended, by its limit or otherwise.
#include "solve/search_threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "position/make_move.h"
#include "solution/line.h"
#include "solve/driver.h"
#include "support/gen_helpers.h"
#include "support/mate_check.h"
#include "support/problems.h"
#include "support/solve_loop.h"
#include "support/usi_moves.h"

namespace {

struct Outcome {
  int result;
  std::vector<MoveCode> line;
  uint8_t shortest;
  uint64_t nodes;
};

class SearchThreads : public testing::Test {
 protected:
  void TearDown() override {
    search_threads_configure(1);
    node_budget = 0;
    time_limit_ms = 0;
  }

  // `shared`: one thread over a table as it is shared (no helper runs).
  static Outcome solve(const std::string& sfen, int threads, uint32_t limit_ms = 0, bool shared = false) {
    search_threads_configure(threads);
    fresh_search_tables(1u << 18);
    reset_search_counters();
    previous_mode = MODE_NONE;
    helper_nodes_reset();
    setup_position(sfen);
    // Far more than any of these needs: a search that runs away fails the
    // test instead of hanging it.
    node_budget = 20000000;
    testing::internal::CaptureStdout();
    tables_shared = shared ? 1 : 0;
    const MoveCode* answer = run_solver(SOLVE, limit_ms);
    tables_shared = 0;
    testing::internal::GetCapturedStdout();
    Outcome out{solve_result, {}, shortest_state, nodes};
    for (int i = 0; out.result == RESULT_MATE && answer[i] > 0; ++i) out.line.push_back(answer[i]);
    return out;
  }
};

// Mates (with their shortest length proven) and positions without a mate,
// the loop positions among them: two threads give the same verdict and the
// same length as one, and every line they answer mates by the rules.
TEST_F(SearchThreads, TwoThreadsDecideAsOneDoes) {
  std::vector<std::string> positions = {
      "6S2/8k/6+nr1/7pr/9/9/9/9/9 b SL2b4g2s3n3l17p 1",
      "k1+s6/s3R4/1r7/9/9/9/9/9/9 b BLb4g2s4n3l18p 1",
      "9/9/7k1/5NN2/9/4B4/9/9/9 b GS2rb3g3s2n4l18p 1",
      "9/8k/9/8P/9/9/9/9/9 b 2G2r2b2g4s4n4l17p 1",
      "7gk/9/6P1+P/9/9/9/9/9/9 b GSP2r2b2g3s4n4l15p 1",
  };
  const std::vector<Problem> regression = load_problems("regression.sfen");
  for (size_t i = 0; i < regression.size() && i < 6; ++i) positions.push_back(regression[i].sfen);
  for (const std::string& sfen : positions) {
    const Outcome one = solve(sfen, 1);
    ASSERT_NE(one.result, RESULT_TIMEOUT) << sfen;
    for (int round = 0; round < 2; ++round) {
      const Outcome two = solve(sfen, 2);
      EXPECT_EQ(two.result, one.result) << sfen;
      EXPECT_EQ(two.line.size(), one.line.size()) << sfen;
      EXPECT_EQ(two.shortest, one.shortest) << sfen;
      EXPECT_NE(two.shortest == SHORTEST_UNKNOWN, two.result == RESULT_MATE) << sfen;
      EXPECT_FALSE(helpers_running());
      if (two.result == RESULT_MATE) {
        setup_position(sfen);
        expect_mating_line(two.line, sfen);
      }
    }
  }
}

// The main thread's search over a shared table is the one it makes alone,
// node for node, repetitions and all: helpers add to it, they do not change
// it (without its path marks in the table it once lost a long mate).
TEST_F(SearchThreads, SharedTableLeavesTheMainSearchAsAlone) {
  std::vector<std::string> positions = {
      "k1+s6/s3R4/1r7/9/9/9/9/9/9 b BLb4g2s4n3l18p 1",
      "9/9/7k1/5NN2/9/4B4/9/9/9 b GS2rb3g3s2n4l18p 1",
  };
  const std::vector<Problem> regression = load_problems("regression.sfen");
  for (size_t i = 0; i < regression.size() && i < 6; ++i) positions.push_back(regression[i].sfen);
  for (const std::string& sfen : positions) {
    const Outcome alone = solve(sfen, 1);
    const Outcome shared = solve(sfen, 1, 0, true);
    EXPECT_EQ(shared.result, alone.result) << sfen;
    EXPECT_EQ(shared.line, alone.line) << sfen;
    EXPECT_EQ(shared.nodes, alone.nodes) << sfen;
  }
}

// Marks left on the table's proofs (a thread's walk through them cut short)
// must not stall the next solve. The root read as a repetition, or as a
// proof that then failed its check, at every turn with no node searched, so
// that no node budget ended it (a mate in 1 went round for ever). The marks
// are cleared and the solve answers its mate.
TEST_F(SearchThreads, LeftoverMarksOnProofsDoNotStallTheNextSolve) {
  const std::vector<Problem> regression = load_problems("regression.sfen");
  int solved = 0;
  for (size_t i = 0; i < regression.size() && solved < 6; ++i) {
    if (regression[i].known == "nomate" || regression[i].known == "?") continue;
    ++solved;
    const std::string& sfen = regression[i].sfen;
    const Outcome first = solve(sfen, 1);
    ASSERT_EQ(first.result, RESULT_MATE) << sfen;
    int flagged = 0;
    for (TtEntry* table : tt_tables)
      for (uint32_t k = 0; k < tt_slots + PROBE_LIMIT; ++k)
        if ((table[k].flags & TT_USED) && table[k].pn == 0) {
          table[k].flags |= TT_ON_PATH;
          ++flagged;
        }
    ASSERT_GT(flagged, 0);
    reset_search_counters();
    setup_position(sfen);
    node_budget = 2000000;
    testing::internal::CaptureStdout();
    // The limit only ends a solve that would go round for ever.
    const MoveCode* answer = run_solver(SOLVE, 20000);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(solve_result, RESULT_MATE) << sfen;
    std::vector<MoveCode> line;
    for (int k = 0; solve_result == RESULT_MATE && answer[k] > 0; ++k) line.push_back(answer[k]);
    EXPECT_EQ(line.size(), first.line.size()) << sfen;
    setup_position(sfen);
    expect_mating_line(line, sfen);
  }
}

// In a refinement pass for a mate shorter than the only one, every line is
// cut and the root's numbers grow with the threshold at no cost. A helper
// stops at the pass's last threshold: numbers of a helper run on to their cap
// once stopped the final stage's root search undecided, leaving the mate's
// length unproven.
TEST_F(SearchThreads, HelperStopsAtThePassThresholdLimit) {
  search_threads_configure(2);
  fresh_search_tables(1u << 16);
  reset_search_counters();
  setup_position("4k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1");
  search_modes.refine_pass = 1;
  search_modes.limit_active = 1;
  HelperJob job;
  job.root = board;
  job.modes = search_modes;
  job.length_limit = -1;
  job.threshold[0] = job.threshold[1] = 1;
  job.first_kind = 0;
  job.taking_turns = false;
  job.both_thresholds = false;
  job.threshold_limit = 50;
  helpers_start(job);
  // The helper ends its job by itself; wait until its node count stands.
  uint64_t seen = ~uint64_t{0};
  for (int i = 0; i < 100 && helper_nodes() != seen; ++i) {
    seen = helper_nodes();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  helpers_stop();
  EXPECT_GT(helper_nodes(), 0u) << "the helper searched";
  uint32_t hand = 0;
  int16_t length = 0;
  int32_t pn = 0, dn = 0;
  ASSERT_TRUE(tt_probe(0, hand, length, pn, dn));
  EXPECT_GT(pn, 0);
  EXPECT_LE(pn, 60) << "a helper ran past the pass's last threshold";
  search_modes.refine_pass = 0;
  search_modes.limit_active = 0;
}

// The time limit ends the helpers with the main thread: once the answer is
// there no helper searches on.
TEST_F(SearchThreads, TimeLimitEndsEveryThread) {
  const std::string no_quick_mate = load_problems("zukou.sfen")[7].sfen;
  const auto start = std::chrono::steady_clock::now();
  const Outcome out = solve(no_quick_mate, 3, 300);
  const auto spent = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(out.result, RESULT_TIMEOUT);
  EXPECT_LT(spent, std::chrono::seconds(20));
  EXPECT_FALSE(helpers_running());
  const uint64_t helped = helper_nodes();
  EXPECT_GT(helped, 0u) << "the helpers searched";
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(helper_nodes(), helped) << "a helper searched on after the answer";
}

// Threads outside 1..256 take the nearer end.
TEST_F(SearchThreads, PoolSizeStaysInRange) {
  search_threads_configure(0);
  EXPECT_EQ(search_threads_count(), 1);
  search_threads_configure(4);
  EXPECT_EQ(search_threads_count(), 4);
  search_threads_configure(1);
  EXPECT_EQ(search_threads_count(), 1);
}

// ---- Torn entries

constexpr uint32_t ONE_GOLD = 0x1000;

class TornEntry : public testing::Test {
 protected:
  void SetUp() override {
    fresh_search_tables(1u << 10);
    reset_search_counters();
    setup_position("4k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1");
    rebuild_derived_state();
    key = board.board_key;
    slot = &tt_tables[0][board.board_key.lo % tt_slots];
    tables_shared = 1;
  }
  void TearDown() override {
    tables_shared = 0;
    path_mark_owner = 1;
  }

  // Writes one field as the table's stores do.
  template <class T, class V>
  static void put(T& field, V value) {
    __atomic_store_n(&field, static_cast<T>(value), __ATOMIC_RELAXED);
  }

  HashKey key{};
  TtEntry* slot = nullptr;
};

// A store half done (its run held, the proof number written, the hand not
// yet): the probe finds nothing rather than a proof; once done, the proof.
TEST_F(TornEntry, HalfWrittenEntryIsNoResult) {
  board.attacker_hand = ONE_GOLD;
  ASSERT_EQ(tt_store(0, 0, 0, 7, 7, 0), 1);  // numbers for the empty hand
  uint32_t hand;
  int16_t len;
  int32_t pn, dn;
  tt_lock_run(0);
  put(slot->pn, 0);  // the first half of a proof for one gold
  EXPECT_FALSE(tt_probe(0, hand, len, pn, dn) && pn == 0) << "a proof nobody made";
  put(slot->flags, ONE_GOLD | TT_USED);
  put(slot->length, 9);
  tt_unlock_run(0);
  ASSERT_TRUE(tt_probe(0, hand, len, pn, dn));
  EXPECT_EQ(pn, 0);
  EXPECT_EQ(hand & TT_HAND_MASK, ONE_GOLD);
}

// One thread rewrites a slot over and over, a proof for one gold and numbers
// for the empty hand in turn, field by field; another probes it meanwhile.
// A proof read there is always the one-gold proof: never the empty hand's
// flags with the proof's numbers.
TEST_F(TornEntry, ConcurrentRewritesNeverReadAsAProof) {
  std::atomic<bool> done{false};
  std::atomic<int> rounds{0};
  std::thread writer([&] {
    board.board_key = key;
    for (int round = 0; !done.load(); ++round) {
      const bool proof = (round & 1) != 0;
      tt_lock_run(0);
      put(slot->check_word, key.hi);
      put(slot->pn, proof ? 0 : 7);
      std::this_thread::yield();
      put(slot->dn, proof ? PN_INFINITE : 7);
      put(slot->flags, (proof ? ONE_GOLD : 0u) | TT_USED);
      put(slot->length, 9);
      put(slot->best_move, 0);
      tt_unlock_run(0);
      rounds.store(round + 1);
      std::this_thread::yield();
    }
  });
  board.attacker_hand = ONE_GOLD;
  int proofs = 0;
  // Until the writer has rewritten the slot many times over and the reader
  // has caught many whole proofs between the rewrites.
  while ((rounds.load() < 2000 || proofs < 50) && rounds.load() < 5000000) {
    uint32_t hand;
    int16_t len;
    int32_t pn, dn;
    if (tt_probe(0, hand, len, pn, dn) && pn == 0) {
      ++proofs;
      if ((hand & TT_HAND_MASK) != ONE_GOLD || len != 9) {
        ADD_FAILURE() << "a torn entry read as a proof";
        break;
      }
    }
  }
  done = true;
  writer.join();
  EXPECT_GT(proofs, 0);
}

// ---- The rules a shared table adds

class SharedTable : public TornEntry {
 protected:
  static int16_t probed_length() {
    uint32_t hand;
    int16_t len = 0;
    int32_t pn, dn;
    EXPECT_TRUE(tt_probe(0, hand, len, pn, dn));
    EXPECT_EQ(pn, 0);
    return len;
  }
};

// A proof as short or shorter stays: two threads proving one position at
// once must not leave best moves that lead round in a circle. One thread
// alone writes the later proof as before.
TEST_F(SharedTable, ProofKeepsTheShorterOne) {
  ASSERT_EQ(tt_store(0, board.attacker_hand, 9, 0, PN_INFINITE, 0), 1);
  EXPECT_EQ(tt_store(0, board.attacker_hand, 11, 0, PN_INFINITE, 0), 0);
  EXPECT_EQ(probed_length(), 9);
  EXPECT_EQ(tt_store(0, board.attacker_hand, 7, 0, PN_INFINITE, 0), 1);
  EXPECT_EQ(probed_length(), 7);
  tables_shared = 0;
  EXPECT_EQ(tt_store(0, board.attacker_hand, 11, 0, PN_INFINITE, 0), 1);
  EXPECT_EQ(probed_length(), 11);
}

// A proof kept over this thread's as-long proof still ends the thread's mark
// on it: read by one thread alone afterwards, the position is not on a path
// (else the root's proof never checks out and the driver goes round).
TEST_F(SharedTable, KeptProofEndsTheMarkOnIt) {
  ASSERT_EQ(tt_store(0, board.attacker_hand, 9, 0, PN_INFINITE, 0), 1);
  ASSERT_EQ(tt_store(0, board.attacker_hand | TT_ON_PATH, 0, 30, 0, 0), 0);  // the mark on the proof
  EXPECT_EQ(tt_store(0, board.attacker_hand, 9, 0, PN_INFINITE, 0), 0);     // the thread's own proof
  tables_shared = 0;
  uint32_t hand;
  int16_t len;
  int32_t pn, dn;
  ASSERT_TRUE(tt_probe(0, hand, len, pn, dn));
  EXPECT_EQ(pn, 0);
  EXPECT_EQ(len, 9);
  EXPECT_EQ(on_path_here, 0) << "a mark left behind on the proof";
}

// Another thread's disproof outlives this thread's numbers for the position.
TEST_F(SharedTable, DisproofOutlivesNumbers) {
  ASSERT_EQ(tt_store(0, board.attacker_hand, 0, PN_INFINITE, 0, 0), 1);
  EXPECT_EQ(tt_store(0, board.attacker_hand, 0, 5, 5, 0), 0);
  uint32_t hand;
  int16_t len;
  int32_t pn, dn;
  ASSERT_TRUE(tt_probe(0, hand, len, pn, dn));
  EXPECT_EQ(pn, PN_INFINITE);
  EXPECT_EQ(dn, 0);
}

// With shared tables a path mark is its thread's: written to the table with
// its owner, it reads as the thread's own path to that thread only; another
// thread's mark is no result. A thread whose mark another thread's store
// replaced still sees its own repetition on its path.
TEST_F(SharedTable, PathMarksAreReadByTheirThreadOnly) {
  setup_position("4k4/9/9/9/9/9/9/9/8R b - 1");
  rebuild_derived_state();
  board.ply = 0;
  board.depth = 1;
  clear_path_counts();
  uint32_t hand;
  int16_t len;
  int32_t pn, dn;
  path_mark_owner = 2;
  ASSERT_EQ(tt_store(0, board.attacker_hand | TT_ON_PATH, 0, 30, 0, 0), 1);  // a helper's mark
  path_mark_owner = 1;
  EXPECT_FALSE(tt_probe(0, hand, len, pn, dn)) << "another thread's mark is no result";
  EXPECT_EQ(on_path_here, 0);
  ASSERT_EQ(tt_store(0, board.attacker_hand | TT_ON_PATH, 0, 30, 0, 0), 1);  // the main thread's
  ASSERT_TRUE(tt_probe(0, hand, len, pn, dn));
  EXPECT_EQ(on_path_here, 1) << "its own mark";
  EXPECT_EQ(len, 0) << "read as when alone";
  path_mark_owner = 2;
  EXPECT_FALSE(tt_probe(0, hand, len, pn, dn) && on_path_here) << "the helper's mark was replaced";
  path_mark_owner = 1;

  // The helper's numbers for the position replace the main thread's mark.
  path_mark_owner = 2;
  ASSERT_EQ(tt_store(0, board.attacker_hand, 3, 5, 5, 0), 1);
  path_mark_owner = 1;
  ASSERT_TRUE(tt_probe(0, hand, len, pn, dn));
  EXPECT_EQ(on_path_here, 0);
  const char* moves[] = {"1i1h", "5a4a", "1h1i", "4a5a"};
  int16_t captured[4][2];
  for (int i = 0; i < 4; ++i)
    make_move(static_cast<int16_t>(i & 1), move_of(usi_to_code(moves[i], i & 1, false)), captured[i][0], captured[i][1]);
  tt_probe(0, hand, len, pn, dn);
  EXPECT_EQ(on_path_here, 1) << "the position of ply 0 again";
  EXPECT_EQ(repeated_ply(), 0);
  for (int i = 3; i >= 0; --i)
    unmake_move(static_cast<int16_t>(i & 1), move_of(usi_to_code(moves[i], i & 1, false)), captured[i][0], captured[i][1]);
  tt_probe(0, hand, len, pn, dn);
  EXPECT_EQ(on_path_here, 0);
}

}  // namespace

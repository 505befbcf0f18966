#include "movegen/attack.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

#include "movegen/attack_reference.h"
#include "movegen/probe_make.h"
#include "support/position_helpers.h"

namespace {

class AttackMaps : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    build_step_tables();
    build_zobrist();
  }
};

// The word of each square: how many counted pieces of `side` reach it, and
// the OR of their kind bits.
std::vector<uint32_t> expected_map(int side) {
  std::vector<uint32_t> words(SQUARES, 0);
  std::vector<int> counts(SQUARES, 0);
  for (int s : ref::counted_pieces(side)) {
    for (int h : ref::reach(s)) {
      ++counts[h];
      words[h] |= ATTACK_BIT[board.pieces[s]];
    }
  }
  for (int sq = 0; sq < SQUARES; ++sq) words[sq] |= static_cast<uint32_t>(counts[sq]);
  return words;
}

void expect_map(const AttackMap map, const std::vector<uint32_t>& expected, const char* what) {
  for (int sq = 0; sq < SQUARES; ++sq) ASSERT_EQ(map[sq], expected[sq]) << what << " square " << sq;
}

// Squares strictly between a and b on a shared line.
std::vector<int> between(int a, int b) {
  std::vector<int> out;
  const int dr = (b / 9 > a / 9) - (b / 9 < a / 9), dc = (b % 9 > a % 9) - (b % 9 < a % 9);
  for (int r = a / 9 + dr, c = a % 9 + dc; 9 * r + c != b; r += dr, c += dc) out.push_back(9 * r + c);
  return out;
}

struct CheckInfo {
  std::vector<uint8_t> block;
  int checker = -1;
};

// Check marking by the rule: sliders reaching the defender king mark their
// square and the squares between; stepping pieces name the checker, the
// last one in slot order (last slot down to the king) winning.
CheckInfo expected_check_info() {
  CheckInfo info;
  info.block.assign(SQUARES, 0);
  const int king = ref::defender_king();
  std::vector<int> order;
  for (int slot = board.last_slot[0]; slot >= 1; --slot) order.push_back(board.piece_lists[0][slot]);
  if (board.attacker_has_king) order.push_back(board.piece_lists[0][0]);
  for (int s : order) {
    if (!ref::reaches(s, king)) continue;
    if (ref::is_slider(board.pieces[s])) {
      info.block[s] = 1;
      for (int q : between(s, king)) info.block[q] = 1;
    } else {
      info.checker = s;
    }
  }
  return info;
}

void set_generation(int side) {
  mover = static_cast<int16_t>(side);
  opponent = static_cast<int16_t>(side ^ 1);
  opponent_king_sq = board.piece_lists[side ^ 1][0];
  own_king_sq = board.piece_lists[side][0];
  cur_entry = &move_entries[0];
}

// Maps, square_attacked and the x-ray/pin builders against the reference on
// random positions with and without an attacker king.
TEST_F(AttackMaps, MapsAndAttackTestsMatchReferenceOnRandomPositions) {
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> piece_count(2, 38);
  int pins_seen = 0, xrays_seen = 0;
  for (int round = 0; round < 2500; ++round) {
    const bool attacker_king = round % 2 == 0;
    ref::random_position(rng, piece_count(rng), attacker_king);
    if (!attacker_king && board.last_slot[0] > 0) {
      // A stale slot 0 pointing at a real attacker piece must not be counted twice.
      board.piece_lists[0][0] = board.piece_lists[0][1];
    }

    AttackMap map;
    for (int side = 0; side < 2; ++side) {
      const std::vector<uint32_t> expected = expected_map(side);
      build_attack_map(side, map);
      expect_map(map, expected, side == 0 ? "attacker" : "defender");
      for (int sq = 0; sq < SQUARES; ++sq)
        ASSERT_EQ(square_attacked(sq, side), expected[sq] != 0 ? 1 : 0)
            << "side " << side << " square " << sq;
    }

    // X-ray map and pins.
    const int king = ref::defender_king();
    std::vector<uint32_t> xray = expected_map(0);
    std::vector<uint8_t> pins(SQUARES, 0);
    for (int s : ref::counted_pieces(0)) {
      for (const ref::Direction& d : ref::directions(0, board.pieces[s])) {
        if (!d.slide) continue;
        int r = s / 9 + d.dr, c = s % 9 + d.dc;
        while (ref::on_board(r, c) && board.owners[9 * r + c] == OWNER_NONE) r += d.dr, c += d.dc;
        if (!ref::on_board(r, c) || !ref::on_board(r + d.dr, c + d.dc)) continue;
        const int h = 9 * r + c, behind = 9 * (r + d.dr) + (c + d.dc);
        if (board.owners[h] != OWNER_DEFENDER) continue;
        if (h == king) {
          xray[behind] = (xray[behind] + 1) | ATTACK_BIT[board.pieces[s]];
          ++xrays_seen;
        } else if (behind == king) {
          pins[h] = 1;
          ++pins_seen;
        }
      }
    }
    std::fill(std::begin(pinned), std::end(pinned), 1);  // stale flags must go
    build_attacker_map_xray(map);
    expect_map(map, xray, "x-ray");
    for (int sq = 0; sq < SQUARES; ++sq) ASSERT_EQ(pinned[sq], pins[sq]) << "pinned " << sq;

    std::vector<uint32_t> unpinned(SQUARES, 0);
    std::vector<int> counts(SQUARES, 0);
    for (int s : ref::counted_pieces(1)) {
      if (pins[s]) continue;
      for (int h : ref::reach(s)) {
        ++counts[h];
        unpinned[h] |= ATTACK_BIT[board.pieces[s]];
      }
    }
    for (int sq = 0; sq < SQUARES; ++sq) unpinned[sq] |= static_cast<uint32_t>(counts[sq]);
    build_defender_map_unpinned(map);
    expect_map(map, unpinned, "unpinned defender");
  }
  // The random positions did exercise both rules.
  EXPECT_GT(pins_seen, 20);
  EXPECT_GT(xrays_seen, 100);
}

// Check marking and capturer marking against the reference, and the plain map
// they come with.
TEST_F(AttackMaps, CheckAndCapturerMarkingMatchReference) {
  std::mt19937 rng(777);
  std::uniform_int_distribution<int> piece_count(4, 38);
  int slider_checks = 0, step_checks = 0;
  for (int round = 0; round < 1500; ++round) {
    ref::random_position(rng, piece_count(rng), round % 3 != 0);
    std::fill(std::begin(block_squares), std::end(block_squares), 1);  // stale marks must go
    checker_square = 40;
    AttackMap attacker, defender;
    build_attack_map(0, attacker, MARK_CHECK);
    expect_map(attacker, expected_map(0), "attacker with check marking");
    const CheckInfo info = expected_check_info();
    for (int sq = 0; sq < SQUARES; ++sq) ASSERT_EQ(block_squares[sq], info.block[sq]) << "block " << sq;
    ASSERT_EQ(checker_square, info.checker);
    for (uint8_t b : info.block) slider_checks += b;
    step_checks += info.checker >= 0;

    std::fill(std::begin(checker_capturers), std::end(checker_capturers), 1);
    build_attack_map(1, defender, MARK_CAPTURERS);
    expect_map(defender, expected_map(1), "defender with capturer marking");
    for (int sq = 0; sq < SQUARES; ++sq) {
      const bool capturer =
          info.checker >= 0 && board.owners[sq] == OWNER_DEFENDER && ref::reaches(sq, info.checker);
      ASSERT_EQ(checker_capturers[sq], capturer ? 1 : 0) << "capturer " << sq;
    }
  }
  EXPECT_GT(slider_checks, 200);
  EXPECT_GT(step_checks, 250);
}

std::vector<int> marked_squares() {
  std::vector<int> out;
  for (int sq = 0; sq < SQUARES; ++sq)
    if (block_squares[sq]) out.push_back(sq);
  return out;
}

// A rook checks along its last ray after three rays that run out at the
// board's edge: only the rook and the squares up to the king are marked, not
// the squares of the earlier rays.
TEST_F(AttackMaps, SliderCheckMarksOnlyItsOwnRay) {
  setup_position("9/9/9/9/4R4/9/9/4k4/9 b - 1");  // rook 5e (40), king 5h (13)
  AttackMap map;
  build_attack_map(0, map, MARK_CHECK);
  EXPECT_EQ(marked_squares(), (std::vector<int>{22, 31, 40}));
  EXPECT_EQ(checker_square, -1);

  // The same with a bishop whose checking ray comes after two edge-bound rays.
  setup_position("9/4B4/9/9/9/k8/9/9/9 b - 1");  // bishop 5b (67), king 9f (27)
  build_attack_map(0, map, MARK_CHECK);
  EXPECT_EQ(marked_squares(), (std::vector<int>{37, 47, 57, 67}));

  // A dragon's single diagonal step that checks marks only the dragon.
  setup_position("9/9/9/9/4+R4/5k3/9/9/9 b - 1");  // dragon 5e (40), king 4f (32)
  build_attack_map(0, map, MARK_CHECK);
  EXPECT_EQ(marked_squares(), (std::vector<int>{40}));
  EXPECT_EQ(checker_square, -1);
}

TEST_F(AttackMaps, StepCheckNamesTheCheckerAndItsCapturers) {
  // Gold 5b checks the king 5a; the silver 4a, the king and the rook 9b reach
  // the gold, the knight 1a does not.
  setup_position("4ks2n/r3G4/9/9/9/9/9/9/9 b - 1");
  AttackMap attacker, defender;
  build_attack_map(0, attacker, MARK_CHECK);
  const int gold = black_square(5, 2);
  EXPECT_EQ(checker_square, gold);
  EXPECT_TRUE(marked_squares().empty());
  build_attack_map(1, defender, MARK_CAPTURERS);
  std::set<int> capturers;
  for (int sq = 0; sq < SQUARES; ++sq)
    if (checker_capturers[sq]) capturers.insert(sq);
  EXPECT_EQ(capturers, (std::set<int>{black_square(5, 1), black_square(4, 1), black_square(9, 2)}));
  EXPECT_EQ(defender[gold] & ATTACK_COUNT_MASK, 3u);
}

TEST_F(AttackMaps, XRayAndPins) {
  // Rook 5e, defender gold 5g, king 5h: the gold is pinned.
  setup_position("9/9/9/9/4R4/9/4g4/4k4/9 b - 1");
  AttackMap map;
  build_attacker_map_xray(map);
  EXPECT_EQ(pinned[black_square(5, 7)], 1);
  // The same gold with an empty square before the king is not recognised.
  setup_position("9/9/9/9/4R4/9/4g4/9/4k4 b - 1");
  build_attacker_map_xray(map);
  EXPECT_EQ(pinned[black_square(5, 7)], 0);

  // Rook 5e checks the king 5g: the square behind the king counts as reached,
  // only that one, even when a defender piece stands there.
  setup_position("9/9/9/9/4R4/9/4k4/4p4/9 b - 1");
  build_attacker_map_xray(map);
  EXPECT_EQ(map[black_square(5, 8)], 1u | ATTACK_BIT[ROOK]);
  EXPECT_EQ(map[black_square(5, 9)], 0u);
  build_attack_map(0, map);
  EXPECT_EQ(map[black_square(5, 8)], 0u);

  // A lance checking through to the square behind; a king on the edge has none.
  setup_position("9/9/9/9/9/4k4/9/9/4L4 b - 1");
  build_attacker_map_xray(map);
  EXPECT_EQ(map[black_square(5, 5)], 1u | ATTACK_BIT[LANCE]);
  setup_position("4k4/9/9/9/9/9/9/9/4L4 b - 1");
  build_attacker_map_xray(map);
  uint32_t total = 0;
  for (int sq = 0; sq < SQUARES; ++sq) total += map[sq] & ATTACK_COUNT_MASK;
  EXPECT_EQ(total, 8u);  // the lance's own eight squares

  // The unpinned defender map leaves the pinned gold out.
  setup_position("9/9/9/9/4R4/9/4g4/4k4/9 b - 1");
  build_attacker_map_xray(map);
  build_defender_map_unpinned(map);
  EXPECT_EQ(map[black_square(5, 6)], 0u);                     // only the gold reached it
  EXPECT_EQ(map[black_square(4, 7)], 1u | ATTACK_BIT[KING]);  // the king, not the gold
}

// Without a defender king, slot 0 is stale: it must neither add a piece twice
// nor turn the piece it names into a checked king.
TEST_F(AttackMaps, DefenderWithoutKingIgnoresStaleSlotZero) {
  setup_position("9/9/9/9/4R4/9/4g4/9/9 b - 1");  // rook 5e, defender gold 5g
  const int gold = black_square(5, 7);
  board.piece_lists[1][0] = static_cast<uint8_t>(gold);
  AttackMap map;
  build_attack_map(1, map);
  expect_map(map, expected_map(1), "kingless defender");
  EXPECT_EQ(map[black_square(5, 8)], 1u | ATTACK_BIT[GOLD]);
  build_attack_map(0, map, MARK_CHECK);
  EXPECT_TRUE(marked_squares().empty());
  EXPECT_EQ(checker_square, -1);
}

TEST_F(AttackMaps, SquareAttackedFindsDragonStepsAndLines) {
  // A defender dragon's diagonal single step.
  setup_position("9/9/9/9/4+r4/9/9/9/9 b - 1");
  EXPECT_EQ(square_attacked(black_square(4, 6), 1), 1);
  EXPECT_EQ(square_attacked(black_square(3, 7), 1), 0);
  // A dragon four squares away on a file, and the same file blocked.
  EXPECT_EQ(square_attacked(black_square(5, 9), 1), 1);
  setup_position("9/9/9/9/4+r4/9/4P4/9/9 b - 1");
  EXPECT_EQ(square_attacked(black_square(5, 9), 1), 0);
  EXPECT_EQ(square_attacked(black_square(5, 7), 1), 1);
  // A promoted lance moves like a gold, not along the file.
  setup_position("9/9/9/9/4+L4/9/9/9/9 b - 1");
  EXPECT_EQ(square_attacked(black_square(5, 4), 0), 1);
  EXPECT_EQ(square_attacked(black_square(5, 3), 0), 0);
  EXPECT_EQ(square_attacked(black_square(6, 6), 0), 0);
}

// gives_check after random moves against "does a piece of the mover reach
// the other king", in positions where that king was not in check before.
TEST_F(AttackMaps, GivesCheckMatchesReferenceAfterRandomMoves) {
  std::mt19937 rng(4242);
  std::uniform_int_distribution<int> piece_count(4, 38);
  int direct = 0, uncovered = 0, quiet = 0, promotions = 0, drops = 0;
  for (int round = 0; round < 4000; ++round) {
    const int side = round % 2;
    ref::random_position(rng, piece_count(rng), true);
    const int king = side == 0 ? ref::defender_king() : ref::attacker_king();
    if (ref::attacked_by(king, side)) continue;
    set_generation(side);
    build_attack_map(side, gen_attacks[side]);

    // Every move of a piece that stands on a line of its own slider (it may
    // uncover a check), and a sample of the others.
    std::vector<ref::TrialMove> moves, others;
    for (const ref::TrialMove& m : ref::moves_of(side)) {
      const bool on_line = m.from < SQUARES && ref::is_line_blocker(m.from);
      (on_line ? moves : others).push_back(m);
    }
    std::shuffle(others.begin(), others.end(), rng);
    if (others.size() > 12) others.resize(12);
    moves.insert(moves.end(), others.begin(), others.end());
    for (const ref::TrialMove& m : moves) {
      cur_entry->from = static_cast<uint8_t>(m.from);
      cur_entry->to = static_cast<uint8_t>(m.to | (m.promote ? PROMOTION_BIT : 0));
      // The probes may pass `to` with its promotion bit.
      const int to_arg = m.promote && (round & 4) ? m.to | PROMOTION_BIT : m.to;
      const ProbeCapture cap = probe_make(m.from, to_arg);

      bool expected = false, by_mover = false;
      for (int s = 0; s < SQUARES; ++s) {
        if (board.owners[s] == side && ref::reaches(s, king)) {
          expected = true;
          by_mover = by_mover || s == m.to;
        }
      }
      ASSERT_EQ(gives_check(m.from, to_arg, gen_attacks[side]), expected ? 1 : 0)
          << "round " << round << " from " << m.from << " to " << m.to << " promote " << m.promote;
      ASSERT_EQ(square_attacked(king, side), expected ? 1 : 0);
      if (expected && !by_mover) ++uncovered;
      if (expected && by_mover) ++direct;
      if (!expected) ++quiet;
      promotions += expected && m.promote;
      drops += expected && m.from > HAND_SQUARE_BASE;
      probe_unmake(m.from, to_arg, cap.piece, cap.owner);
    }
  }
  EXPECT_GT(direct, 800);
  EXPECT_GT(uncovered, 45);
  EXPECT_GT(quiet, 10000);
  EXPECT_GT(promotions, 70);
  EXPECT_GT(drops, 350);
}

TEST_F(AttackMaps, GivesCheckThroughAnUncoveredLine) {
  // Lance 5i, silver 5e, defender king 5a: the silver steps off the file.
  setup_position("4k4/9/9/9/4S4/9/9/9/4L4 b - 1");
  set_generation(0);
  build_attack_map(0, gen_attacks[0]);
  const int from = black_square(5, 5), to = black_square(4, 4);
  cur_entry->from = static_cast<uint8_t>(from);
  cur_entry->to = static_cast<uint8_t>(to);
  ProbeCapture cap = probe_make(from, to);
  EXPECT_EQ(gives_check(from, to, gen_attacks[0]), 1);
  // Without the pre-move map's lance bit on the origin nothing is uncovered.
  AttackMap blind = {};
  EXPECT_EQ(gives_check(from, to, blind), 0);
  probe_unmake(from, to, cap.piece, cap.owner);

  // A silver that steps along the file keeps the line closed.
  const int along = black_square(5, 4);
  cur_entry->to = static_cast<uint8_t>(along);
  cap = probe_make(from, along);
  EXPECT_EQ(gives_check(from, along, gen_attacks[0]), 0);
  probe_unmake(from, along, cap.piece, cap.owner);

  // A pawn promoting next to the king checks diagonally as a tokin.
  setup_position("4k4/9/3P5/9/9/9/9/9/9 b - 1");
  set_generation(0);
  build_attack_map(0, gen_attacks[0]);
  const int pawn = black_square(6, 3), promo = black_square(6, 2);
  cur_entry->from = static_cast<uint8_t>(pawn);
  cur_entry->to = static_cast<uint8_t>(promo | PROMOTION_BIT);
  cap = probe_make(pawn, promo);
  EXPECT_EQ(board.pieces[promo], TOKIN);
  EXPECT_EQ(gives_check(pawn, promo | PROMOTION_BIT, gen_attacks[0]), 1);
  probe_unmake(pawn, promo, cap.piece, cap.owner);
  cur_entry->to = static_cast<uint8_t>(promo);
  cap = probe_make(pawn, promo);
  EXPECT_EQ(gives_check(pawn, promo, gen_attacks[0]), 0);
  probe_unmake(pawn, promo, cap.piece, cap.owner);
}

}  // namespace

#include "movegen/step_tables.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "movegen/attack_reference.h"

namespace {

// Directions of the fifteen movement kinds as (row change, column change,
// step limit), in walking order.
struct KindStep {
  int dr;
  int dc;
  int limit;
};

std::vector<KindStep> kind_steps(int kind) {
  auto eight = [](int diagonal_limit, int orthogonal_limit) {
    return std::vector<KindStep>{{1, -1, diagonal_limit},   {1, 0, orthogonal_limit},
                                 {1, 1, diagonal_limit},    {0, -1, orthogonal_limit},
                                 {0, 1, orthogonal_limit},  {-1, -1, diagonal_limit},
                                 {-1, 0, orthogonal_limit}, {-1, 1, diagonal_limit}};
  };
  switch (kind) {
    case 0: return {{1, 0, 1}};
    case 1: return {{1, 0, 8}};
    case 2: return {{2, -1, 1}, {2, 1, 1}};
    case 3: return {{1, -1, 1}, {1, 0, 1}, {1, 1, 1}, {-1, -1, 1}, {-1, 1, 1}};
    case 4: return {{1, -1, 1}, {1, 0, 1}, {1, 1, 1}, {0, -1, 1}, {0, 1, 1}, {-1, 0, 1}};
    case 5: return {{1, -1, 8}, {1, 1, 8}, {-1, -1, 8}, {-1, 1, 8}};
    case 6: return {{1, 0, 8}, {0, -1, 8}, {0, 1, 8}, {-1, 0, 8}};
    case 7: return eight(8, 1);
    case 8: return eight(1, 8);
    case 9: return eight(1, 1);
    case 10: return {{-1, 0, 1}};
    case 11: return {{-1, 0, 8}};
    case 12: return {{-2, 1, 1}, {-2, -1, 1}};
    case 13: return {{-1, 1, 1}, {-1, 0, 1}, {-1, -1, 1}, {1, 1, 1}, {1, -1, 1}};
    case 14: return {{-1, 1, 1}, {-1, 0, 1}, {-1, -1, 1}, {0, 1, 1}, {0, -1, 1}, {1, 0, 1}};
  }
  return {};
}

// The non-empty rays of a kind from an origin, each from near to far.
std::vector<std::vector<int>> rays_of(int kind, int from) {
  std::vector<std::vector<int>> rays;
  for (const KindStep& step : kind_steps(kind)) {
    std::vector<int> ray;
    int r = from / 9 + step.dr, c = from % 9 + step.dc;
    for (int n = 0; n < step.limit && ref::on_board(r, c); ++n, r += step.dr, c += step.dc)
      ray.push_back(9 * r + c);
    if (!ray.empty()) rays.push_back(ray);
  }
  return rays;
}

// The squares visited by a walker through the successor tables, with
// `occupied` deciding between next_along and next_ray.
std::vector<int> walk(int kind, int from, const bool* occupied, bool slides) {
  std::vector<int> seen;
  for (int sq = next_along[kind][from][from]; sq != from;) {
    seen.push_back(sq);
    if (seen.size() > SQUARES) break;  // a cycle that misses the origin
    sq = slides && !occupied[sq] ? next_along[kind][from][sq] : next_ray[kind][from][sq];
  }
  return seen;
}

class StepTables : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { build_step_tables(); }
};

TEST_F(StepTables, MailboxFramesTheBoard) {
  int off_board = 0;
  for (int m = 0; m < MAILBOX_SIZE; ++m) {
    const int frame_row = m / 11, frame_col = m % 11;
    const bool inside = frame_row >= 2 && frame_row <= 10 && frame_col >= 1 && frame_col <= 9;
    if (inside)
      EXPECT_EQ(MAILBOX[m], 9 * (frame_row - 2) + (frame_col - 1)) << m;
    else
      EXPECT_EQ(MAILBOX[m], -1) << m;
    off_board += inside ? 0 : 1;
  }
  EXPECT_EQ(off_board, MAILBOX_SIZE - SQUARES);
}

// Every successor of every (kind, origin), against rays computed by rows and
// columns: the order of rays and of squares within a ray, and `from` for
// squares on no ray.
TEST_F(StepTables, SuccessorsFollowRaysInDirectionOrder) {
  for (int kind = 0; kind < MOVEMENT_KINDS; ++kind) {
    for (int from = 0; from < SQUARES; ++from) {
      const auto rays = rays_of(kind, from);
      int expect_along[SQUARES], expect_ray[SQUARES];
      for (int sq = 0; sq < SQUARES; ++sq) expect_along[sq] = expect_ray[sq] = from;
      expect_along[from] = expect_ray[from] = rays.empty() ? from : rays[0][0];
      for (size_t r = 0; r < rays.size(); ++r) {
        const int next_first = r + 1 < rays.size() ? rays[r + 1][0] : from;
        for (size_t i = 0; i < rays[r].size(); ++i) {
          expect_along[rays[r][i]] = i + 1 < rays[r].size() ? rays[r][i + 1] : next_first;
          expect_ray[rays[r][i]] = next_first;
        }
      }
      for (int sq = 0; sq < SQUARES; ++sq) {
        ASSERT_EQ(next_along[kind][from][sq], expect_along[sq])
            << "kind " << kind << " from " << from << " sq " << sq;
        ASSERT_EQ(next_ray[kind][from][sq], expect_ray[sq])
            << "kind " << kind << " from " << from << " sq " << sq;
      }
    }
  }
}

TEST_F(StepTables, EdgeWalksOnAnEmptyBoard) {
  const bool empty[SQUARES] = {};
  // King in a corner: three destinations in direction order, then back home.
  EXPECT_EQ(walk(KIND_KING, 0, empty, false), (std::vector<int>{9, 10, 1}));
  EXPECT_EQ(walk(KIND_KING, 80, empty, false), (std::vector<int>{79, 70, 71}));
  EXPECT_EQ(walk(KIND_KING, 8, empty, false), (std::vector<int>{16, 17, 7}));
  // Rook from the centre: (+1,0) outward, then (0,-1), (0,+1), (-1,0).
  EXPECT_EQ(walk(KIND_ROOK, 40, empty, true),
            (std::vector<int>{49, 58, 67, 76, 39, 38, 37, 36, 41, 42, 43, 44, 31, 22, 13, 4}));
  // Horse in a corner: one orthogonal step, the whole diagonal, the other step.
  EXPECT_EQ(walk(KIND_HORSE, 0, empty, true), (std::vector<int>{9, 10, 20, 30, 40, 50, 60, 70, 80, 1}));
  // A knight on the last two rows and a pawn on the last row go nowhere.
  EXPECT_EQ(next_along[KIND_KNIGHT][67][67], 67);
  EXPECT_EQ(next_along[KIND_PAWN][76][76], 76);
  EXPECT_EQ(walk(KIND_DEF_KNIGHT, 22, empty, false), (std::vector<int>{5, 3}));
}

// With pieces in the way the walker stops each ray at its first occupied
// square, rays still in direction order.
TEST_F(StepTables, WalkStopsEachRayAtTheFirstOccupiedSquare) {
  std::mt19937 rng(20240611);
  std::bernoulli_distribution filled(0.25);
  for (int round = 0; round < 40; ++round) {
    bool occupied[SQUARES];
    for (bool& o : occupied) o = filled(rng);
    for (int kind = 0; kind < MOVEMENT_KINDS; ++kind) {
      for (int from = 0; from < SQUARES; ++from) {
        std::vector<int> expected;
        for (const auto& ray : rays_of(kind, from)) {
          for (int sq : ray) {
            expected.push_back(sq);
            if (occupied[sq]) break;
          }
        }
        ASSERT_EQ(walk(kind, from, occupied, true), expected) << "kind " << kind << " from " << from;
      }
    }
  }
}

// movement_kind gives each side's pieces the moves of the rules.
TEST_F(StepTables, MovementKindMatchesEachPiece) {
  for (int side = 0; side < 2; ++side) {
    for (int piece = PAWN; piece <= KING; ++piece) {
      std::set<std::tuple<int, int, bool>> expected, actual;
      for (const ref::Direction& d : ref::directions(side, piece)) expected.insert({d.dr, d.dc, d.slide});
      for (const KindStep& s : kind_steps(movement_kind[side][piece]))
        actual.insert({s.dr, s.dc, s.limit > 1});
      EXPECT_EQ(actual, expected) << "side " << side << " piece " << piece;
    }
  }
}

TEST_F(StepTables, NeighboursAndAdjacentReach) {
  const int eight[8][2] = {{1, -1}, {1, 0}, {1, 1}, {0, -1}, {0, 1}, {-1, -1}, {-1, 0}, {-1, 1}};
  const bool empty[SQUARES] = {};
  for (int sq = 0; sq < SQUARES; ++sq) {
    const Neighbours& near = neighbours[sq];
    const std::vector<int> order = walk(KIND_KING, sq, empty, false);
    ASSERT_EQ(near.count, order.size());
    for (int i = 0; i < near.count; ++i) {
      EXPECT_EQ(near.square[i], order[i]);
      // The back bit names the step from the neighbour to sq.
      int matches = 0;
      for (int b = 0; b < 8; ++b) {
        if (near.back_bit[i] != (1u << b)) continue;
        ++matches;
        EXPECT_EQ(near.square[i] / 9 + eight[b][0], sq / 9);
        EXPECT_EQ(near.square[i] % 9 + eight[b][1], sq % 9);
      }
      EXPECT_EQ(matches, 1);
    }
  }
  for (int side = 0; side < 2; ++side) {
    EXPECT_EQ(adjacent_reach[side][EMPTY], 0);
    for (int piece = PAWN; piece <= KING; ++piece) {
      uint8_t expected = 0;
      for (const ref::Direction& d : ref::directions(side, piece))
        for (int b = 0; b < 8; ++b)
          if (d.dr == eight[b][0] && d.dc == eight[b][1]) expected |= static_cast<uint8_t>(1u << b);
      EXPECT_EQ(adjacent_reach[side][piece], expected) << "side " << side << " piece " << piece;
    }
  }
}

TEST_F(StepTables, AttackBitsAreDistinctKindBits) {
  EXPECT_EQ(ATTACK_BIT[EMPTY], 0u);
  uint32_t seen = 0;
  for (int piece = PAWN; piece <= KING; ++piece) {
    const uint32_t bit = ATTACK_BIT[piece];
    EXPECT_EQ(bit & (bit - 1), 0u) << piece;  // a single bit
    EXPECT_GE(bit, 0x100u) << piece;          // above the count byte
    EXPECT_LE(bit, 0x200000u) << piece;
    EXPECT_EQ(seen & bit, 0u) << piece;
    seen |= bit;
  }
}

}  // namespace

// Whether a strict mate within N plies exists, by a brute force over the
// test-only rules reference that remembers each position's result: "no
// mate within d" and "mate in d" hold on every path to a position (a
// shortest mate never needs a repeated position), and a defender node first
// tries the reply that refuted it before.
//
// A mate by pawn drop is no mate, and every interposition counts. A mate of
// N plies or fewer has a value of N or less by the engine's measure (plies
// less two per piece left, futile pairs not counted), so where the engine
// proves that no mate has a value below V, no strict mate may exist within
// V - 2 plies; a mate found is a real one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "rules_reference.h"

namespace bounded_mate {

struct Slot {
  uint64_t key;
  uint8_t no_mate_within;  // largest d known to fail (0 = none known)
  uint8_t mate_in;         // smallest d known to mate (0 = none known)
  MoveCode move;           // the mating check, or the refuting reply
};

// The memory of one search; at least one slot, rounded down to a power of two.
struct Table {
  explicit Table(size_t slots);
  std::vector<Slot> slots;
  uint64_t nodes = 0;
};

struct Result {
  int plies = 0;        // the shortest strict mate's plies, 0 when none within the bound
  MoveCode first = 0;   // its first move
};

// The shortest strict mate of at most `max_plies` plies, the attacker to move
// in `pos`, found by deepening 1, 3, 5, ...; `progress` (if given) is told of
// each depth done.
Result shortest_within(const rules_reference::Position& pos, int max_plies, Table& table,
                       void (*progress)(int plies, bool mate, uint64_t nodes) = nullptr);

}  // namespace bounded_mate

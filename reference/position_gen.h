// Seeded generator of tsume-like positions for measuring the search on
// positions without a mate: Black (the attacker, owner 0) to move and
// without a king, the White king mostly near White's side of the board,
// a few Black pieces around it, up to a few pieces in Black's hand, and
// every other piece of the set in White's hand.
//
// The same (seed, index) gives the same position on every machine: the
// generator draws from its own splitmix64 stream, not from the standard
// distributions, whose output differs between library versions.
#pragma once

#include <cstdint>
#include <string>

#include "rules_reference.h"

namespace position_gen {

struct Params {
  int min_attackers = 1;  // Black pieces on the board
  int max_attackers = 6;
  int max_hand = 3;       // pieces in Black's hand
  // Positions without any check are trivially without a mate; they say
  // nothing about the search, so by default the generator draws again.
  bool require_check = true;
};

// splitmix64: small, fast and the same everywhere.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  uint64_t next();
  // A value in [0, bound); bound > 0. The slight bias of the modulo does not
  // matter here, only that it is the same everywhere.
  int below(int bound) { return static_cast<int>(next() % static_cast<uint64_t>(bound)); }

 private:
  uint64_t state_;
};

// Pieces of each kind (codes PAWN..ROOK, KING) in a set; index 0 unused.
inline constexpr int SET_COUNT[15] = {0, 18, 4, 4, 4, 4, 2, 2, 0, 0, 0, 0, 0, 0, 2};

// Position number `index` of the series `seed`. Each position has its own
// stream, so a longer series starts with the positions of a shorter one.
rules_reference::Position generate(uint64_t seed, uint64_t index, const Params& params = {});

// The same as an SFEN line, Black to move.
std::string generate_sfen(uint64_t seed, uint64_t index, const Params& params = {});

}  // namespace position_gen

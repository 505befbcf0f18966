// Is there a strict mate within N plies? An independent check of the
// engine's "proven shortest" claims (see bounded_mate.h).
//
//   mate_bound [--table-mb M] N SFEN [MOVE...]
//
// Plays the moves, then prints, for each depth 1, 3, ... up to N, whether a
// strict mate exists, and at the end the shortest one with its first move,
// or that none exists within N.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bounded_mate.h"
#include "rules_reference.h"
#include "support/position_helpers.h"
#include "support/usi_moves.h"

using rules_reference::Position;

namespace {

void print_depth(int plies, bool mate, uint64_t nodes) {
  std::printf("within %3d: %s (%llu nodes)\n", plies, mate ? "mate" : "no mate", static_cast<unsigned long long>(nodes));
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  size_t table_mb = 1024;
  int i = 1;
  if (argc > 2 && std::string(argv[1]) == "--table-mb") {
    table_mb = std::min<size_t>(std::strtoul(argv[2], nullptr, 10), size_t{1} << 16);
    i = 3;
  }
  if (argc - i < 2) {
    std::fputs("usage: mate_bound [--table-mb M] N SFEN [MOVE...]\n", stderr);
    return 2;
  }
  const int bound = std::atoi(argv[i]);
  if (bound < 1 || bound > 250) {
    std::fputs("mate_bound: N must be 1..250\n", stderr);
    return 2;
  }
  bounded_mate::Table table((table_mb << 20) / sizeof(bounded_mate::Slot));
  setup_position(argv[i + 1]);
  const bool flipped = board.flipped != 0;
  Position pos = Position::from_board();
  for (int k = i + 2; k < argc; ++k) {
    const int side = (k - i - 2) & 1;
    const MoveCode m = usi_to_code(argv[k], side, flipped);
    if (m == 0 || !rules_reference::is_legal(pos, side, m)) {
      std::printf("move %d %s: illegal\n", k - i - 1, argv[k]);
      return 1;
    }
    pos = rules_reference::after(pos, side, m);
  }
  if ((argc - i - 2) % 2 != 0) {
    std::fputs("mate_bound: the moves must leave the attacker to move\n", stderr);
    return 2;
  }
  const bounded_mate::Result found = bounded_mate::shortest_within(pos, bound, table, print_depth);
  if (found.plies > 0) {
    std::printf("shortest strict mate: %d plies, first %s\n", found.plies, rules_reference::move_name(found.first).c_str());
    return 0;
  }
  std::printf("no strict mate within %d plies\n", bound);
  return 0;
}

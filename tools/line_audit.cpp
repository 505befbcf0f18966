// Where does a mating line stop being shortest? For an answer longer than a
// known shortest mate, this plays the line with the test-only rules
// reference and, at each attacker move from the end backwards, searches by
// brute force for a mate shorter than what the line still takes.
//
//   line_audit [--depth N] SFEN MOVE...
//
// Prints one row per attacker ply: plies the line still takes, the shortest
// mate found from there (searched up to N plies, default 7, and below the
// line's own rest), and whether a mate exists that the engine's own rule
// prefers: its measure is the plies minus two per piece left in the
// attacker's hand at the mate, and the line's measure is taken the same way
// (the brute force of support/short_mates.h).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "rules_reference.h"
#include "support/position_helpers.h"
#include "support/short_mates.h"
#include "support/usi_moves.h"

using rules_reference::Position;
using short_mates::ANY_MEASURE;
using short_mates::attacker_hand_count;
using short_mates::attacker_mates;

int main(int argc, char** argv) {
  int depth = 7;
  int i = 1;
  if (argc > 2 && std::string(argv[1]) == "--depth") {
    depth = std::atoi(argv[2]);
    i = 3;
  }
  if (argc - i < 2) {
    std::fputs("usage: line_audit [--depth N] SFEN MOVE...\n", stderr);
    return 2;
  }
  build_zobrist();
  setup_position(argv[i]);
  const bool flipped = board.flipped != 0;
  std::vector<Position> before;  // position before each ply
  std::vector<std::string> words;
  Position pos = Position::from_board();
  for (int k = i + 1; k < argc; ++k) {
    const int side = (k - i - 1) & 1;
    const MoveCode m = usi_to_code(argv[k], side, flipped);
    if (m == 0 || !rules_reference::is_legal(pos, side, m)) {
      std::printf("ply %d %s: illegal\n", k - i, argv[k]);
      return 1;
    }
    before.push_back(pos);
    words.push_back(argv[k]);
    pos = rules_reference::after(pos, side, m);
  }
  const int length = static_cast<int>(words.size());
  const int left = attacker_hand_count(pos);
  int last_shorter = 0, last_better = 0;
  for (int ply = length - (length % 2 == 0 ? 1 : 0); ply >= 1; ply -= 2) {
    const int rest = length - ply + 1;
    const int measure = rest - 2 * left;
    std::printf("ply %3d %-6s rest %3d (measure %3d):", ply, words[ply - 1].c_str(), rest, measure);
    // The shortest mate by plies alone, below the line's rest.
    const int bound = std::min(rest - 2, depth);
    int shortest = 0;
    MoveCode first = 0;
    for (int n = 1; n <= bound; n += 2) {
      if (attacker_mates(before[ply - 1], n, ANY_MEASURE, &first)) {
        shortest = n;
        break;
      }
    }
    if (shortest > 0) {
      std::printf(" shorter mate in %d, first %s;", shortest, rules_reference::move_name(first).c_str());
      if (last_shorter == 0) last_shorter = ply;
    } else if (bound == rest - 2) {
      std::printf(" no shorter mate;");
    } else {
      std::printf(" no shorter mate within %d;", bound);
    }
    // A mate the engine's own rule prefers: fewer plies minus two per piece
    // left in hand, within as many plies as the line still takes.
    MoveCode better = 0;
    if (attacker_mates(before[ply - 1], std::min(rest, depth), measure - 1, &better)) {
      std::printf(" better by the measure, first %s\n", rules_reference::move_name(better).c_str());
      if (last_better == 0) last_better = ply;
    } else {
      std::printf(" none better by the measure within %d\n", std::min(rest, depth));
    }
    std::fflush(stdout);
  }
  if (last_shorter > 0) std::printf("last ply passing over a shorter mate: %d\n", last_shorter);
  if (last_better > 0) std::printf("last ply passing over a mate better by the measure: %d\n", last_better);
  return 0;
}

// Is there a strict mate within N plies? An independent check of the
// engine's "no mate of smaller value" claims, over nothing but the test-only
// rules reference.
//
//   mate_bound [--table-mb M] N SFEN [MOVE...]
//
// Plays the moves, then deepens a plain AND/OR search over the attacker's
// legal checks and all of the defender's legal replies, 1, 3, ... up to N
// plies, and prints the shortest strict mate found with its first move, or
// that none exists within N. A mate by pawn drop is no mate, and every
// interposition counts. A mate of N plies or fewer has a value of N or less
// by the engine's measure (plies less two per piece left, futile pairs not
// counted), so where the engine proves that no mate has a value below V, no
// strict mate may exist within V - 2 plies; a mate found is a real one.
//
// Unlike the brute force of line_audit it remembers results per position:
// "no mate within d" and "mate in d" hold on every path to a position (a
// repeated position is never needed by a shortest mate), and a defender
// node first tries the reply that refuted it before.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/position_helpers.h"
#include "support/rules_reference.h"
#include "support/usi_moves.h"

using rules_reference::Position;

namespace {

struct Slot {
  uint64_t key;
  uint8_t no_mate_within;  // largest d known to fail (0 = none known)
  uint8_t mate_in;         // smallest d known to mate (0 = none known)
  MoveCode move;           // the mating check, or the refuting reply
};

std::vector<Slot> table;
uint64_t nodes = 0;

uint64_t position_key(const Position& pos, int side) {
  uint64_t h = 1469598103934665603ull ^ static_cast<uint64_t>(side);
  const auto* bytes = reinterpret_cast<const unsigned char*>(&pos);
  for (size_t i = 0; i < sizeof(Position); ++i) h = (h ^ bytes[i]) * 1099511628211ull;
  return h | 1;  // 0 marks an empty slot
}

// The slot of `key`, or an empty one to claim; a full run overwrites.
Slot& slot_of(uint64_t key) {
  const size_t mask = table.size() - 1;
  size_t i = key & mask;
  for (int probe = 0; probe < 8; ++probe, i = (i + 1) & mask)
    if (table[i].key == key || table[i].key == 0) return table[i];
  Slot& victim = table[key & mask];
  victim = Slot{};
  return victim;
}

// The legal moves of `side` as the reference lists them, asking is_legal
// only about moves whose piece is there and reaches the square.
std::vector<MoveCode> replies_of(const Position& pos, int side) {
  std::vector<MoveCode> moves;
  for (int from = 0; from < SQUARES; ++from) {
    if (pos.owners[from] != side) continue;
    for (int to = 0; to < SQUARES; ++to) {
      if (!rules_reference::piece_reaches(pos, from, to)) continue;
      for (int promotion : {0, static_cast<int>(PROMOTION_BIT)}) {
        const MoveCode move = static_cast<MoveCode>(from * 256 + (to | promotion));
        if (rules_reference::is_legal(pos, side, move)) moves.push_back(move);
      }
    }
  }
  for (int piece = PAWN; piece <= ROOK; ++piece) {
    if (pos.hands[side][piece] == 0) continue;
    const int from = hand_square(side, piece);
    for (int to = 0; to < SQUARES; ++to) {
      const MoveCode move = static_cast<MoveCode>(from * 256 + to);
      if (pos.owners[to] == OWNER_NONE && rules_reference::is_legal(pos, side, move)) moves.push_back(move);
    }
  }
  return moves;
}

std::vector<MoveCode> checks_of(const Position& pos) {
  std::vector<MoveCode> checks;
  for (MoveCode move : replies_of(pos, 0))
    if (rules_reference::gives_check(pos, 0, move)) checks.push_back(move);
  return checks;
}

bool attacker_mates(const Position& pos, int plies);

// After the attacker's check `last`: mated now, or mated within `plies`.
bool defender_loses(const Position& pos, int plies, MoveCode last) {
  ++nodes;
  const uint64_t key = position_key(pos, 1);
  Slot* s = &slot_of(key);
  if (s->key == key) {
    if (s->mate_in != 0 && s->mate_in <= plies) return true;
    if (s->no_mate_within >= plies) return false;
  }
  const std::vector<MoveCode> replies = replies_of(pos, 1);
  bool lost = true;
  MoveCode refutation = 0;
  if (replies.empty()) {
    lost = move_from(last) != hand_square(0, PAWN);
  } else if (plies < 2) {
    lost = false;
  } else {
    const MoveCode hint = s->key == key ? s->move : 0;
    std::vector<MoveCode> order;
    if (hint != 0) order.push_back(hint);
    for (MoveCode r : replies)
      if (r != hint) order.push_back(r);
    for (MoveCode reply : order) {
      if (!attacker_mates(rules_reference::after(pos, 1, reply), plies - 1)) {
        lost = false;
        refutation = reply;
        break;
      }
    }
  }
  s = &slot_of(key);  // the table may have moved the slot's content on
  if (s->key != key) *s = Slot{key, 0, 0, 0};
  if (lost) {
    if (s->mate_in == 0 || s->mate_in > plies) s->mate_in = static_cast<uint8_t>(plies);
  } else {
    if (s->no_mate_within < plies) s->no_mate_within = static_cast<uint8_t>(plies);
    s->move = refutation;
  }
  return lost;
}

// Whether the attacker, to move, mates within `plies` plies.
bool attacker_mates(const Position& pos, int plies) {
  ++nodes;
  if (plies < 1) return false;
  const uint64_t key = position_key(pos, 0);
  Slot* s = &slot_of(key);
  if (s->key == key) {
    if (s->mate_in != 0 && s->mate_in <= plies) return true;
    if (s->no_mate_within >= plies) return false;
  }
  MoveCode mating = 0;
  for (MoveCode check : checks_of(pos)) {
    if (defender_loses(rules_reference::after(pos, 0, check), plies - 1, check)) {
      mating = check;
      break;
    }
  }
  s = &slot_of(key);
  if (s->key != key) *s = Slot{key, 0, 0, 0};
  if (mating != 0) {
    if (s->mate_in == 0 || s->mate_in > plies) s->mate_in = static_cast<uint8_t>(plies);
    s->move = mating;
  } else if (s->no_mate_within < plies) {
    s->no_mate_within = static_cast<uint8_t>(plies);
  }
  return mating != 0;
}

}  // namespace

int main(int argc, char** argv) {
  size_t table_mb = 1024;
  int i = 1;
  if (argc > 2 && std::string(argv[1]) == "--table-mb") {
    table_mb = std::strtoul(argv[2], nullptr, 10);
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
  size_t slots = 1;
  while (slots * 2 * sizeof(Slot) <= (table_mb << 20)) slots *= 2;
  table.assign(slots, Slot{});
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
  for (int n = 1; n <= bound; n += 2) {
    const bool mate = attacker_mates(pos, n);
    std::printf("within %3d: %s (%llu nodes)\n", n, mate ? "mate" : "no mate",
                static_cast<unsigned long long>(nodes));
    std::fflush(stdout);
    if (mate) {
      const Slot& s = slot_of(position_key(pos, 0));
      std::printf("shortest strict mate: %d plies, first %s\n", n, rules_reference::move_name(s.move).c_str());
      return 0;
    }
  }
  std::printf("no strict mate within %d plies\n", bound);
  return 0;
}

#include "bounded_mate.h"

namespace bounded_mate {

using rules_reference::Position;

namespace {

Table* table = nullptr;

uint64_t position_key(const Position& pos, int side) {
  uint64_t h = 1469598103934665603ull ^ static_cast<uint64_t>(side);
  const auto* bytes = reinterpret_cast<const unsigned char*>(&pos);
  for (size_t i = 0; i < sizeof(Position); ++i) h = (h ^ bytes[i]) * 1099511628211ull;
  return h | 1;  // 0 marks an empty slot
}

// The slot of `key`, or an empty one to claim; a full run overwrites.
Slot& slot_of(uint64_t key) {
  const size_t mask = table->slots.size() - 1;
  size_t i = key & mask;
  for (int probe = 0; probe < 8; ++probe, i = (i + 1) & mask)
    if (table->slots[i].key == key || table->slots[i].key == 0) return table->slots[i];
  Slot& victim = table->slots[key & mask];
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

// What the table knows of `key` within `plies`: 1 a mate, 0 none, -1 nothing;
// `move` gets the slot's move.
int recall(uint64_t key, int plies, MoveCode& move) {
  const Slot& s = slot_of(key);
  move = s.key == key ? s.move : 0;
  if (s.key != key) return -1;
  if (s.mate_in != 0 && s.mate_in <= plies) return 1;
  return s.no_mate_within >= plies ? 0 : -1;
}

// Records the answer within `plies`, with the mating check or the refuting
// reply when there is one.
void remember(uint64_t key, int plies, bool mate, MoveCode move) {
  Slot& s = slot_of(key);
  if (s.key != key) s = Slot{key, 0, 0, 0};
  const auto d = static_cast<uint8_t>(plies);
  if (mate && (s.mate_in == 0 || s.mate_in > d)) s.mate_in = d;
  if (!mate && s.no_mate_within < d) s.no_mate_within = d;
  if (move != 0) s.move = move;
}

bool attacker_mates(const Position& pos, int plies);

// After the attacker's check `last`: mated now, or mated within `plies`.
bool defender_loses(const Position& pos, int plies, MoveCode last) {
  ++table->nodes;
  const uint64_t key = position_key(pos, 1);
  MoveCode hint = 0;
  const int known = recall(key, plies, hint);
  if (known >= 0) return known == 1;
  const std::vector<MoveCode> replies = replies_of(pos, 1);
  bool lost = true;
  MoveCode refutation = 0;
  if (replies.empty()) {
    lost = move_from(last) != hand_square(0, PAWN);
  } else if (plies < 2) {
    lost = false;
  } else {
    // The reply that refuted a shallower search first; only a listed reply,
    // in case of a key shared with another position.
    std::vector<MoveCode> order;
    for (MoveCode r : replies)
      if (r == hint) order.push_back(r);
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
  remember(key, plies, lost, refutation);
  return lost;
}

// Whether the attacker, to move, mates within `plies` plies.
bool attacker_mates(const Position& pos, int plies) {
  ++table->nodes;
  if (plies < 1) return false;
  const uint64_t key = position_key(pos, 0);
  MoveCode move = 0;
  const int known = recall(key, plies, move);
  if (known >= 0) return known == 1;
  MoveCode mating = 0;
  for (MoveCode check : checks_of(pos)) {
    if (defender_loses(rules_reference::after(pos, 0, check), plies - 1, check)) {
      mating = check;
      break;
    }
  }
  remember(key, plies, mating != 0, mating);
  return mating != 0;
}

}  // namespace

Table::Table(size_t count) {
  size_t n = 1;
  while (n * 2 <= count) n *= 2;
  slots.assign(n, Slot{});
}

Result shortest_within(const Position& pos, int max_plies, Table& t, void (*progress)(int, bool, uint64_t)) {
  table = &t;
  for (int n = 1; n <= max_plies && n <= 255; n += 2) {
    const bool mate = attacker_mates(pos, n);
    if (progress) progress(n, mate, t.nodes);
    if (mate) return {n, slot_of(position_key(pos, 0)).move};
  }
  return {};
}

}  // namespace bounded_mate

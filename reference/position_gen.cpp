#include "position_gen.h"

#include <cstring>

namespace position_gen {

uint64_t Rng::next() {
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

namespace {

using rules_reference::Position;

// Kinds of the attacking pieces with their weights: mostly the pieces that
// mate in real problems, promoted ones less often.
struct Weighted {
  int piece;
  int weight;
};
constexpr Weighted BOARD_KINDS[] = {
    {PAWN, 3},  {LANCE, 2},     {KNIGHT, 2},     {SILVER, 3},     {GOLD, 3}, {BISHOP, 2}, {ROOK, 2},
    {TOKIN, 1}, {PRO_LANCE, 1}, {PRO_KNIGHT, 1}, {PRO_SILVER, 1}, {HORSE, 2}, {DRAGON, 2},
};
constexpr Weighted HAND_KINDS[] = {
    {PAWN, 3}, {LANCE, 2}, {KNIGHT, 2}, {SILVER, 3}, {GOLD, 4}, {BISHOP, 2}, {ROOK, 2},
};

template <size_t N>
int draw_kind(Rng& rng, const Weighted (&kinds)[N]) {
  int total = 0;
  for (const Weighted& k : kinds) total += k.weight;
  int r = rng.below(total);
  for (const Weighted& k : kinds) {
    if (r < k.weight) return k.piece;
    r -= k.weight;
  }
  return kinds[0].piece;
}

int base_kind(int piece) { return demote_of[piece]; }

// Black moves towards row 8: a pawn or lance needs a row ahead, a knight two.
bool may_stand_black(int piece, int row) {
  if (piece == PAWN || piece == LANCE) return row <= 7;
  if (piece == KNIGHT) return row <= 6;
  return true;
}

bool black_pawn_in_column(const Position& pos, int col) {
  for (int row = 0; row < 9; ++row) {
    const int sq = 9 * row + col;
    if (pos.owners[sq] == OWNER_ATTACKER && pos.pieces[sq] == PAWN) return true;
  }
  return false;
}

// King rows: rank 1 (row 8) most often, down to rank 4.
int draw_king_row(Rng& rng) {
  const int r = rng.below(10);
  if (r < 4) return 8;
  if (r < 7) return 7;
  if (r < 9) return 6;
  return 5;
}

void clear(Position& pos) {
  for (int sq = 0; sq < SQUARES; ++sq) {
    pos.pieces[sq] = EMPTY;
    pos.owners[sq] = OWNER_NONE;
  }
  std::memset(pos.hands, 0, sizeof pos.hands);
}

// One attempt; false when the draw does not give a usable position.
bool attempt(Rng& rng, const Params& params, Position& pos) {
  clear(pos);
  int used[8] = {0, 0, 0, 0, 0, 0, 0, 0};  // by base kind, board and Black's hand
  const int king_row = draw_king_row(rng);
  const int king_col = rng.below(9);
  const int king = 9 * king_row + king_col;
  pos.pieces[king] = KING;
  pos.owners[king] = OWNER_DEFENDER;

  const int span = params.max_attackers - params.min_attackers + 1;
  const int wanted = params.min_attackers + (span > 0 ? rng.below(span) : 0);
  int placed = 0;
  for (int n = 0; n < wanted; ++n) {
    const int piece = draw_kind(rng, BOARD_KINDS);
    if (used[base_kind(piece)] >= SET_COUNT[base_kind(piece)]) continue;
    const int radius = rng.below(4) == 0 ? 3 : 2;
    // A few tries for a free square that the piece may stand on.
    for (int tries = 0; tries < 8; ++tries) {
      const int row = king_row + rng.below(2 * radius + 1) - radius;
      const int col = king_col + rng.below(2 * radius + 1) - radius;
      if (row < 0 || row > 8 || col < 0 || col > 8) continue;
      const int sq = 9 * row + col;
      if (pos.owners[sq] != OWNER_NONE || !may_stand_black(piece, row)) continue;
      if (piece == PAWN && black_pawn_in_column(pos, col)) continue;
      pos.pieces[sq] = static_cast<int8_t>(piece);
      pos.owners[sq] = OWNER_ATTACKER;
      ++used[base_kind(piece)];
      ++placed;
      break;
    }
  }
  if (placed < params.min_attackers) return false;

  const int in_hand = rng.below(params.max_hand + 1);
  for (int n = 0; n < in_hand; ++n) {
    const int piece = draw_kind(rng, HAND_KINDS);
    if (used[piece] >= SET_COUNT[piece]) continue;
    ++pos.hands[OWNER_ATTACKER][piece];
    ++used[piece];
  }
  for (int piece = PAWN; piece <= ROOK; ++piece) {
    pos.hands[OWNER_DEFENDER][piece] = static_cast<int8_t>(SET_COUNT[piece] - used[piece]);
  }
  // The attacker is to move, so the defender must not be in check already.
  if (rules_reference::in_check(pos, OWNER_DEFENDER)) return false;
  if (params.require_check && rules_reference::legal_checks(pos, OWNER_ATTACKER).empty()) return false;
  return true;
}

}  // namespace

Position generate(uint64_t seed, uint64_t index, const Params& given) {
  // At least one attacker, or a draw that needs a check could never succeed.
  Params params = given;
  if (params.max_attackers > 6) params.max_attackers = 6;
  if (params.max_attackers < 1) params.max_attackers = 1;
  if (params.min_attackers < 1) params.min_attackers = 1;
  if (params.min_attackers > params.max_attackers) params.min_attackers = params.max_attackers;
  if (params.max_hand < 0) params.max_hand = 0;
  // Seed and index mixed through the generator once more, so that nearby
  // seeds and indices do not give related streams.
  Rng mix(seed);
  Rng rng(mix.next() ^ (index + 1) * 0xD1B54A32D192ED03ull);
  Position pos;
  while (!attempt(rng, params, pos)) {
  }
  return pos;
}

std::string generate_sfen(uint64_t seed, uint64_t index, const Params& params) {
  return rules_reference::to_sfen(generate(seed, index, params), OWNER_ATTACKER);
}

}  // namespace position_gen

#include "position/keys.h"

HashKey zobrist[2][PIECE_CODES][SQUARES];

namespace {

bool zobrist_built = false;

// Unary field of each hand piece code (lance..rook): lowest bit and width.
constexpr int FIELD_SHIFT[8] = {0, 0, 0, 4, 8, 12, 16, 18};
constexpr int FIELD_WIDTH[8] = {0, 0, 4, 4, 4, 4, 2, 2};

bool is_board_square(int sq) { return sq >= 0 && sq < SQUARES; }
bool is_attacker_hand_square(int sq) {
  return sq > HAND_SQUARE_BASE && sq < HAND_SQUARE_BASE + 15;
}

}  // namespace

void build_zobrist() {
  if (zobrist_built) return;
  uint32_t state = 1;
  auto draw = [&state]() {
    state = state * 1103515245u + 12345u;
    return state;
  };
  for (int owner = 0; owner < 2; ++owner) {
    for (int piece = 1; piece < PIECE_CODES; ++piece) {
      for (int sq = 0; sq < SQUARES; ++sq) {
        uint32_t s1 = draw(), s2 = draw(), s3 = draw(), s4 = draw();
        zobrist[owner][piece][sq].lo = (s1 >> 16) + (s2 & 0xFFFF0000u);
        zobrist[owner][piece][sq].hi = (s3 >> 16) + (s4 & 0xFFFF0000u);
      }
    }
  }
  zobrist_built = true;
}

PackedHand pack_attacker_hand() {
  int pawns = board.hands[0][PAWN];
  if (pawns < 0) pawns = 0;
  if (pawns > static_cast<int>(HAND_PAWN_MAX)) pawns = HAND_PAWN_MAX;
  PackedHand hand = static_cast<uint32_t>(pawns) * HAND_PAWN_UNIT;
  for (int piece = LANCE; piece <= ROOK; ++piece) {
    int count = board.hands[0][piece];
    if (count > FIELD_WIDTH[piece]) count = FIELD_WIDTH[piece];
    for (int i = 0; i < count; ++i) hand |= 1u << (FIELD_SHIFT[piece] + i);
  }
  return hand;
}

void update_key_and_hand(int from, int piece, int to, int owner) {
  if (is_board_square(from)) {
    board.board_key.lo ^= zobrist[owner][piece][from].lo;
    board.board_key.hi ^= zobrist[owner][piece][from].hi;
  } else if (owner == OWNER_ATTACKER && is_attacker_hand_square(from)) {
    board.attacker_hand = hand_remove_piece(board.attacker_hand, piece);
  }
  if (is_board_square(to)) {
    board.board_key.lo ^= zobrist[owner][piece][to].lo;
    board.board_key.hi ^= zobrist[owner][piece][to].hi;
  } else if (owner == OWNER_ATTACKER && is_attacker_hand_square(to)) {
    board.attacker_hand = hand_add_piece(board.attacker_hand, piece);
  }
}

int hand_count(PackedHand hand, int piece) {
  if (piece == PAWN) return static_cast<int>((hand & HAND_PAWN_MASK) >> 20);
  if (piece < LANCE || piece > ROOK) return 0;
  uint32_t field = (hand >> FIELD_SHIFT[piece]) & ((1u << FIELD_WIDTH[piece]) - 1);
  return __builtin_popcount(field);
}

PackedHand hand_remove_piece(PackedHand hand, int piece) {
  if (piece == PAWN) return (hand & HAND_PAWN_MASK) ? hand - HAND_PAWN_UNIT : hand;
  if (piece < LANCE || piece > ROOK) return hand;
  // Highest set bit first keeps the field unary.
  for (int bit = FIELD_SHIFT[piece] + FIELD_WIDTH[piece] - 1; bit >= FIELD_SHIFT[piece]; --bit)
    if (hand & (1u << bit)) return hand & ~(1u << bit);
  return hand;
}

PackedHand hand_add_piece(PackedHand hand, int piece) {
  if (piece == PAWN) {
    // Saturate so that no count reaches the flag bits above bit 24.
    return (hand & HAND_PAWN_MASK) != HAND_PAWN_MASK ? hand + HAND_PAWN_UNIT : hand;
  }
  if (piece < LANCE || piece > ROOK) return hand;
  for (int bit = FIELD_SHIFT[piece]; bit < FIELD_SHIFT[piece] + FIELD_WIDTH[piece]; ++bit)
    if (!(hand & (1u << bit))) return hand | (1u << bit);
  return hand;
}

uint32_t hand_field_mask(int piece) {
  if (piece == PAWN) return HAND_PAWN_MASK;
  if (piece < LANCE || piece > ROOK) return 0;
  return ((1u << FIELD_WIDTH[piece]) - 1) << FIELD_SHIFT[piece];
}

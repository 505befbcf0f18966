#include "solution/line_check.h"

#include <array>
#include <cstddef>
#include <map>
#include <vector>

#include "movegen/attack.h"
#include "movegen/generate.h"
#include "movegen/step_tables.h"
#include "position/board.h"
#include "position/make_move.h"
#include "position/move_text.h"
#include "position/rules.h"
#include "solution/line.h"

namespace {

// Whether `side`'s king stands unattacked (an attacker without a king has
// none to lose).
bool king_safe(int side) {
  if (side == OWNER_ATTACKER && !board.attacker_has_king) return true;
  return square_attacked(board.piece_lists[side][0], side ^ 1) == 0;
}

// A move that can be played here: valid, in the piece's reach, and promoting
// where the piece unpromoted could never move again.
bool move_playable(int side, MoveCode m) {
  if (!table_move_valid(side, m)) return false;
  const int from = move_from(m);
  if (from >= SQUARES) return true;  // table_move_valid checked the drop
  return piece_reaches(from, move_to(m)) && (move_promotes(m) || !must_promote(side, board.pieces[from], move_to(m)));
}

// Whether the move leaves the mover's king safe.
bool leaves_king_safe(int side, Move m) {
  int16_t captured_piece = 0, captured_owner = 0;
  make_move(static_cast<int16_t>(side), m, captured_piece, captured_owner);
  const bool safe = king_safe(side);
  unmake_move(static_cast<int16_t>(side), m, captured_piece, captured_owner);
  return safe;
}

// The legal moves of `side`. A promotion changes nothing about the king's
// safety, so each destination is listed once, unpromoted.
void side_moves(int side, std::vector<Move>& moves) {
  moves.clear();
  const int first_slot = side == OWNER_ATTACKER && !board.attacker_has_king ? 1 : 0;
  for (int slot = first_slot; slot <= board.last_slot[side]; ++slot) {
    const int from = board.piece_lists[side][slot];
    const KindDirections& kind = KIND_DIRECTIONS[movement_kind[side][board.pieces[from]]];
    for (int d = 0; d < kind.count; ++d) {
      int index = mailbox_index(from);
      for (int step = 0; step < kind.limit[d]; ++step) {
        index += kind.offset[d];
        const int to = MAILBOX[index];
        if (to < 0 || board.owners[to] == side) break;
        const Move m{static_cast<uint8_t>(from), static_cast<uint8_t>(to)};
        if (leaves_king_safe(side, m)) moves.push_back(m);
        if (board.pieces[to] != EMPTY) break;
      }
    }
  }
  for (int piece = PAWN; piece <= ROOK; ++piece) {
    if (board.hands[side][piece] <= 0) continue;
    for (int to = 0; to < SQUARES; ++to) {
      if (!board_drop_allowed(side, piece, to)) continue;
      const Move m{static_cast<uint8_t>(hand_square(side, piece)), static_cast<uint8_t>(to)};
      if (leaves_king_safe(side, m)) moves.push_back(m);
    }
  }
}

void defender_moves(std::vector<Move>& moves) { side_moves(OWNER_DEFENDER, moves); }

// Each legal move of `side` as codes, every promotion a move of its own.
void legal_codes(int side, std::vector<MoveCode>& moves) {
  std::vector<Move> plain;
  side_moves(side, plain);
  moves.clear();
  for (const Move m : plain) {
    const MoveCode code = move_code(m);
    if (move_playable(side, code)) moves.push_back(code);
    const MoveCode promoted = static_cast<MoveCode>(code + PROMOTION_BIT);
    if (m.from < SQUARES && move_playable(side, promoted)) moves.push_back(promoted);
  }
}

// Whether `sq` lies strictly between the two squares on one line.
bool between(int a, int b, int sq) {
  const int dr = b / 9 - a / 9, dc = b % 9 - a % 9;
  if (dr != 0 && dc != 0 && dr != dc && dr != -dc) return false;
  const int step = 9 * ((dr > 0) - (dr < 0)) + ((dc > 0) - (dc < 0));
  for (int at = a + step; at != b; at += step) {
    if (at == sq) return true;
  }
  return false;
}

// Positions decided by mated_but_for_interpositions: board key, both hands.
using EndingKey = std::array<uint32_t, 4>;
struct EndingSearch {
  std::map<EndingKey, bool> known;
  long budget = 200000;  // positions that may still be examined; past it, no mate
};

EndingKey ending_key() {
  uint32_t defender_hand = 0;
  for (int piece = PAWN; piece <= ROOK; ++piece)
    defender_hand = defender_hand * 19 + static_cast<uint32_t>(board.hands[OWNER_DEFENDER][piece]);
  return {board.board_key.lo, board.board_key.hi, board.attacker_hand, defender_hand};
}

// Whether the defender, to move and in check, is mated but for futile
// interpositions: every legal reply puts a piece between the one checker and
// the king, and the attacker takes it with a check that leaves the same
// situation again. Such pairs of moves do not count in a mate's length, so
// the engine's lines end before them.
bool mated_but_for_interpositions(EndingSearch& search) {
  const EndingKey key = ending_key();
  const auto found = search.known.find(key);
  if (found != search.known.end()) return found->second;
  if (--search.budget < 0) return false;
  std::vector<Move> replies;
  defender_moves(replies);
  const int king = board.piece_lists[OWNER_DEFENDER][0];
  int checker = -1, checkers = 0;
  for (int slot = 0; slot <= board.last_slot[OWNER_ATTACKER]; ++slot) {
    if (slot == 0 && !board.attacker_has_king) continue;
    const int sq = board.piece_lists[OWNER_ATTACKER][slot];
    if (piece_reaches(sq, king)) {
      checker = sq;
      ++checkers;
    }
  }
  bool result = checkers == 1 || replies.empty();
  for (std::size_t r = 0; r < replies.size() && result; ++r) {
    const Move reply = replies[r];
    if (reply.from == king || !between(checker, king, reply.to)) {
      result = false;
      break;
    }
    int16_t captured_piece = 0, captured_owner = 0;
    make_move(OWNER_DEFENDER, reply, captured_piece, captured_owner);
    // The takings of the interposed piece, unpromoted and promoted. The
    // squares are taken first: trials below put captured pieces back at the
    // end of the piece lists, which reorders them.
    std::vector<int> takers;
    for (int slot = board.attacker_has_king ? 0 : 1; slot <= board.last_slot[OWNER_ATTACKER]; ++slot)
      takers.push_back(board.piece_lists[OWNER_ATTACKER][slot]);
    bool answered = false;
    for (std::size_t t = 0; t < takers.size() && !answered; ++t) {
      const int from = takers[t];
      for (const int promote : {0, int{PROMOTION_BIT}}) {
        const MoveCode take = static_cast<MoveCode>(from * 256 + reply.to + promote);
        if (!move_playable(OWNER_ATTACKER, take)) continue;
        int16_t taken_piece = 0, taken_owner = 0;
        make_move(OWNER_ATTACKER, move_of(take), taken_piece, taken_owner);
        answered = king_safe(OWNER_ATTACKER) && !king_safe(OWNER_DEFENDER) && mated_but_for_interpositions(search);
        unmake_move(OWNER_ATTACKER, move_of(take), taken_piece, taken_owner);
        if (answered) break;
      }
    }
    unmake_move(OWNER_DEFENDER, reply, captured_piece, captured_owner);
    result = answered;
  }
  search.known[key] = result;
  return result;
}

bool walk_mates(const MoveCode* line) {
  int side = OWNER_ATTACKER;
  int plies = 0;
  for (; plies < MAX_LINE_PLIES && line[plies] > 0; ++plies) {
    const MoveCode m = line[plies];
    if (!move_playable(side, m)) return false;
    int16_t captured_piece = 0, captured_owner = 0;
    make_move(static_cast<int16_t>(side), move_of(m), captured_piece, captured_owner);
    if (!king_safe(side)) return false;
    if (side == OWNER_ATTACKER && king_safe(OWNER_DEFENDER)) return false;
    side ^= 1;
  }
  if (plies % 2 == 0) return false;
  if (move_from(line[plies - 1]) == hand_square(OWNER_ATTACKER, PAWN)) return false;
  EndingSearch search;
  return mated_but_for_interpositions(search);
}

}  // namespace

bool line_mates(const MoveCode* line) {
  // The moves are made without being taken back one by one: the whole board
  // is restored, so even the piece-list order that later generations follow
  // stays as it was.
  static Board saved;
  saved = board;
  const bool mates = walk_mates(line);
  board = saved;
  return mates;
}

void legal_defender_moves(std::vector<MoveCode>& moves) { legal_codes(OWNER_DEFENDER, moves); }

void legal_attacker_checks(std::vector<MoveCode>& moves) {
  std::vector<MoveCode> all;
  legal_codes(OWNER_ATTACKER, all);
  moves.clear();
  for (const MoveCode code : all) {
    int16_t captured_piece = 0, captured_owner = 0;
    make_move(OWNER_ATTACKER, move_of(code), captured_piece, captured_owner);
    const bool check = !king_safe(OWNER_DEFENDER);
    unmake_move(OWNER_ATTACKER, move_of(code), captured_piece, captured_owner);
    if (check) moves.push_back(code);
  }
}

bool blocks_the_check(MoveCode reply) {
  const int king = board.piece_lists[OWNER_DEFENDER][0];
  if (move_from(reply) == king || board.pieces[move_to(reply)] != EMPTY) return false;
  int checker = -1, checkers = 0;
  for (int slot = board.attacker_has_king ? 0 : 1; slot <= board.last_slot[OWNER_ATTACKER]; ++slot) {
    const int sq = board.piece_lists[OWNER_ATTACKER][slot];
    if (piece_reaches(sq, king)) {
      checker = sq;
      ++checkers;
    }
  }
  return checkers == 1 && between(checker, king, move_to(reply));
}

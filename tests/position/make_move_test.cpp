#include "position/make_move.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "position/keys.h"
#include "support/move_picker.h"
#include "support/position_helpers.h"

namespace {

using move_picker::Options;

enum class ListOrder { EXACT, AS_SETS };

bool has_king(const Board& b, int owner) {
  for (int sq = 0; sq < SQUARES; ++sq)
    if (b.owners[sq] == owner && b.pieces[sq] == KING) return true;
  return false;
}

std::vector<int> listed_squares(const Board& b, int owner) {
  std::vector<int> squares;
  for (int slot = 1; slot <= b.last_slot[owner]; ++slot) squares.push_back(b.piece_lists[owner][slot]);
  return squares;
}

// Compares the global board with `expected`: every field, both keys and the
// packed hand bit for bit; the move stack up to the current ply (entries
// above it are scratch); slot 0 of an owner with a king; slots 1..last_slot
// exactly or as sets; slot_of of occupied squares when the order is exact.
::testing::AssertionResult board_equals(const Board& expected, ListOrder order) {
  auto fail = [](const std::string& what) { return ::testing::AssertionFailure() << what << " differs"; };
  if (std::memcmp(board.pieces, expected.pieces, sizeof board.pieces)) return fail("pieces");
  if (std::memcmp(board.owners, expected.owners, sizeof board.owners)) return fail("owners");
  if (std::memcmp(board.hands, expected.hands, sizeof board.hands)) return fail("hands");
  if (std::memcmp(board.pawn_columns, expected.pawn_columns, sizeof board.pawn_columns))
    return fail("pawn_columns");
  if (board.attacker_has_king != expected.attacker_has_king) return fail("attacker_has_king");
  if (board.board_key.lo != expected.board_key.lo || board.board_key.hi != expected.board_key.hi)
    return fail("board_key");
  if (board.path_key != expected.path_key) return fail("path_key");
  if (board.route_key != expected.route_key) return fail("route_key");
  if (board.attacker_hand != expected.attacker_hand) return fail("attacker_hand");
  if (board.ply != expected.ply || board.depth != expected.depth) return fail("ply/depth");
  if (board.flipped != expected.flipped) return fail("flipped");
  for (int p = 1; p <= board.ply; ++p) {
    const PlyRecord &a = board.move_stack[p], &b = expected.move_stack[p];
    if (a.move != b.move || a.captured_piece != b.captured_piece || a.captured_owner != b.captured_owner)
      return fail("move_stack[" + std::to_string(p) + "]");
  }
  for (int owner = 0; owner < 2; ++owner) {
    if (board.last_slot[owner] != expected.last_slot[owner]) return fail("last_slot");
    if (has_king(expected, owner) && board.piece_lists[owner][0] != expected.piece_lists[owner][0])
      return fail("king slot");
    std::vector<int> got = listed_squares(board, owner), want = listed_squares(expected, owner);
    if (order == ListOrder::AS_SETS) {
      std::sort(got.begin(), got.end());
      std::sort(want.begin(), want.end());
    }
    if (got != want) return fail("piece list of owner " + std::to_string(owner));
  }
  if (order == ListOrder::EXACT) {
    for (int sq = 0; sq < SQUARES; ++sq)
      if (board.owners[sq] != OWNER_NONE && board.slot_of[sq] != expected.slot_of[sq]) return fail("slot_of");
  }
  return ::testing::AssertionSuccess();
}

// What pieces, owners and hands must hold, worked out from the move alone.
struct Primary {
  int8_t pieces[SQUARES];
  uint8_t owners[SQUARES];
  int8_t hands[2][15];

  static Primary of_board() {
    Primary p;
    std::memcpy(p.pieces, board.pieces, sizeof p.pieces);
    std::memcpy(p.owners, board.owners, sizeof p.owners);
    std::memcpy(p.hands, board.hands, sizeof p.hands);
    return p;
  }
  bool matches_board() const {
    return !std::memcmp(pieces, board.pieces, sizeof pieces) && !std::memcmp(owners, board.owners, sizeof owners) &&
           !std::memcmp(hands, board.hands, sizeof hands);
  }
  // Plays the move; returns the piece that ends on the destination.
  int play(int side, Move m) {
    const int from = m.from, to = m.to & 0x7F;
    int piece;
    if (from > HAND_SQUARE_BASE) {
      piece = from - HAND_SQUARE_BASE - 15 * side;
      --hands[side][piece];
    } else {
      if (owners[to] != OWNER_NONE) ++hands[side][demote_of[pieces[to]]];
      piece = (m.to & PROMOTION_BIT) ? promote_of[pieces[from]] : pieces[from];
      pieces[from] = EMPTY;
      owners[from] = OWNER_NONE;
    }
    pieces[to] = static_cast<int8_t>(piece);
    owners[to] = static_cast<uint8_t>(side);
    return piece;
  }
};

// The documented piece-list order, kept by hand: slots 1..last_slot of
// each owner (kings are in slot 0 and not tracked here).
struct ListModel {
  std::vector<int> lists[2];

  void load() {
    for (int owner = 0; owner < 2; ++owner) lists[owner] = listed_squares(board, owner);
  }
  void replace(int owner, int old_sq, int new_sq) {
    auto it = std::find(lists[owner].begin(), lists[owner].end(), old_sq);
    if (it != lists[owner].end()) *it = new_sq;
  }
  void erase(int owner, int sq) {
    auto it = std::find(lists[owner].begin(), lists[owner].end(), sq);
    if (it != lists[owner].end()) lists[owner].erase(it);
  }
  bool matches_board() const {
    return lists[0] == listed_squares(board, 0) && lists[1] == listed_squares(board, 1);
  }
};

struct Played {
  int16_t side;
  Move move;
  int16_t captured_piece;
  int16_t captured_owner;
};

struct WalkCounts {
  int makes = 0, unmakes = 0, captures = 0, drops = 0, promotions = 0;
  void add(const WalkCounts& o) {
    makes += o.makes;
    unmakes += o.unmakes;
    captures += o.captures;
    drops += o.drops;
    promotions += o.promotions;
  }
};

// Random walk from `sfen`: both sides alternately make picked moves, and with
// probability `unmake_percent` the last move is unmade instead. Every make is
// checked against the invariants, an independent replay of the primary
// arrays, the list order model, the path key and the move stack; every
// unmake against the snapshot taken before that move. Finally everything is
// unmade and the board compared with the start. Stops at the first failure.
void random_walk(const char* sfen, uint32_t seed, int steps, int unmake_percent, const Options& options,
                 WalkCounts& total) {
  if (::testing::Test::HasFailure()) return;  // one failing walk is enough
  SCOPED_TRACE(std::string("sfen ") + sfen + ", seed " + std::to_string(seed));
  setup_position(sfen);
  ASSERT_TRUE(board_is_ok());
  const Board start = board;
  std::mt19937 rng(seed);
  std::vector<Played> line;
  std::vector<Board> before;
  std::vector<Primary> primaries{Primary::of_board()};
  std::vector<uint32_t> path_keys{board.path_key};
  std::vector<uint32_t> route_keys{board.route_key};
  ListModel model;
  model.load();
  WalkCounts counts;

  auto unmake_last = [&]() {
    const Played p = line.back();
    unmake_move(p.side, p.move, p.captured_piece, p.captured_owner);
    const int from = p.move.from, to = p.move.to & 0x7F;
    if (from > HAND_SQUARE_BASE) {
      model.erase(p.side, to);
    } else {
      if (board.pieces[from] != KING) model.replace(p.side, to, from);
      if (p.captured_owner != OWNER_NONE) model.lists[p.captured_owner].push_back(to);
    }
    line.pop_back();
    primaries.pop_back();
    path_keys.pop_back();
    route_keys.pop_back();
    ++counts.unmakes;
    const ListOrder order = options.captures ? ListOrder::AS_SETS : ListOrder::EXACT;
    EXPECT_TRUE(board_equals(before.back(), order)) << "after unmaking to ply " << line.size();
    before.pop_back();
    EXPECT_TRUE(board_is_ok());
    EXPECT_TRUE(model.matches_board()) << "list order after unmaking to ply " << line.size();
  };

  for (int step = 0; step < steps && !::testing::Test::HasFailure(); ++step) {
    const int16_t side = static_cast<int16_t>(line.size() % 2);
    Move m{};
    bool unmake = !line.empty() && static_cast<int>(rng() % 100) < unmake_percent;
    if (!unmake && (line.size() + 1 >= MOVE_STACK_SIZE || !move_picker::pick_move(side, rng, m, options))) {
      if (line.empty()) break;
      unmake = true;
    }
    if (unmake) {
      unmake_last();
      continue;
    }

    const int from = m.from, to = m.to & 0x7F;
    const int16_t victim_piece = board.pieces[to], victim_owner = board.owners[to];
    before.push_back(board);
    Primary next = primaries.back();
    const int landed = next.play(side, m);
    Played p{side, m, -1, -1};
    make_move(side, m, p.captured_piece, p.captured_owner);
    line.push_back(p);
    ++counts.makes;
    if (from > HAND_SQUARE_BASE) {
      ++counts.drops;
      model.lists[side].push_back(to);
    } else {
      if (landed != KING) model.replace(side, from, to);
      if (victim_owner != OWNER_NONE) {
        ++counts.captures;
        model.erase(victim_owner, to);
      }
      if (m.to & PROMOTION_BIT) ++counts.promotions;
    }
    const int ply = static_cast<int>(line.size());
    const uint32_t origin = from > HAND_SQUARE_BASE ? static_cast<uint32_t>(ply + 1) : zobrist[side][landed][from].hi;
    path_keys.push_back(path_keys.back() ^ (origin + zobrist[side][landed][to].hi));
    route_keys.push_back(route_keys.back() ^ ((origin + zobrist[side][landed][to].hi) * (2u * ply + 1u)));
    primaries.push_back(next);

    ASSERT_TRUE(board_is_ok()) << "after make at ply " << ply;
    EXPECT_TRUE(next.matches_board()) << "pieces/owners/hands after make at ply " << ply;
    EXPECT_TRUE(model.matches_board()) << "list order after make at ply " << ply;
    EXPECT_EQ(board.path_key, path_keys.back()) << "path_key at ply " << ply;
    EXPECT_EQ(board.route_key, route_keys.back()) << "route_key at ply " << ply;
    EXPECT_EQ(board.ply, ply);
    EXPECT_EQ(p.captured_piece, victim_piece);
    EXPECT_EQ(p.captured_owner, victim_owner);
    EXPECT_EQ(board.move_stack[ply].move, move_code(m));
    EXPECT_EQ(board.move_stack[ply].captured_piece, victim_piece);
    EXPECT_EQ(board.move_stack[ply].captured_owner, victim_owner);
  }
  while (!line.empty() && !::testing::Test::HasFailure()) unmake_last();

  EXPECT_TRUE(board_equals(start, ListOrder::AS_SETS)) << "after unmaking back to the start";
  if (!options.captures) {
    EXPECT_TRUE(board_equals(start, ListOrder::EXACT)) << "non-capturing walk";
  }
  EXPECT_GT(counts.makes, steps / 2);
  total.add(counts);
}

constexpr const char* WALK_POSITIONS[] = {
    // Opening: both kings, nothing in hand.
    "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1",
    // Middle game with a bishop in hand.
    "ln1g3nl/1r2gk3/p1sppsbpp/2p2pp2/1p7/2P1P1P2/PPSP1P1PP/2G1GS1R1/LN2K2NL b B 1",
    // Problems: no attacker king, promoted pieces, large defender hand.
    "3g1n1l1/2p1g1r2/5k2S/4p1N+R1/3+p5/7N1/B8/9/9 b 2GSNb2s3l15p 1",
    "1pG1B4/Gs+P6/pP7/n1ls5/3k5/nL4+r1b/1+p1p+R4/1S7/2N6 b SP2gn2l11p 1",
    // White to move: stored rotated, almost everything in hand.
    "9/9/9/9/9/9/4p4/9/4K4 w 2R2BG4S4N4L3g17p 1",
};

TEST(MakeMoveRandomWalk, MixedMakesAndUnmakesRestoreEverything) {
  WalkCounts total;
  uint32_t seed = 20240611;
  for (const char* sfen : WALK_POSITIONS)
    for (int run = 0; run < 2; ++run) random_walk(sfen, seed++, 600, 30, Options{}, total);
  // The walks must really have exercised every kind of move.
  EXPECT_GT(total.unmakes, 1000);
  EXPECT_GT(total.captures, 100);
  EXPECT_GT(total.drops, 100);
  EXPECT_GT(total.promotions, 100);
}

TEST(MakeMoveRandomWalk, LongLinesUnwindToTheStart) {
  WalkCounts total;
  uint32_t seed = 7;
  for (const char* sfen : WALK_POSITIONS) random_walk(sfen, seed++, 300, 0, Options{}, total);
  EXPECT_GT(total.captures, 50);
  EXPECT_GT(total.drops, 50);
  EXPECT_GT(total.promotions, 50);
}

TEST(MakeMoveRandomWalk, NonCapturingLinesKeepListOrderExactly) {
  Options quiet;
  quiet.captures = false;
  WalkCounts total;
  uint32_t seed = 99;
  for (const char* sfen : WALK_POSITIONS) {
    random_walk(sfen, seed++, 400, 30, quiet, total);
    random_walk(sfen, seed++, 150, 0, quiet, total);
  }
  EXPECT_EQ(total.captures, 0);
  EXPECT_GT(total.drops, 50);
  EXPECT_GT(total.promotions, 50);
}

TEST(MakeMoveRandomWalk, DeepLineReachesTheEndOfTheMoveStack) {
  // Kings and golds shuffling back and forth can go on forever: a line to the
  // last stack entry, checked on the way down and all the way back.
  Options no_drops;
  no_drops.drops = false;
  no_drops.captures = false;
  setup_position("4k4/9/9/9/9/9/9/9/4K4 b - 1");
  const Board start = board;
  std::mt19937 rng(5);
  std::vector<Played> line;
  while (static_cast<int>(line.size()) + 1 < MOVE_STACK_SIZE) {
    const int16_t side = static_cast<int16_t>(line.size() % 2);
    Played p{side, {}, 0, 0};
    ASSERT_TRUE(move_picker::pick_move(side, rng, p.move, no_drops));
    make_move(side, p.move, p.captured_piece, p.captured_owner);
    line.push_back(p);
    ASSERT_EQ(board.move_stack[board.ply].move, move_code(p.move));
  }
  EXPECT_EQ(board.ply, MOVE_STACK_SIZE - 1);
  EXPECT_TRUE(board_is_ok());
  for (size_t i = 0; i < line.size(); ++i) EXPECT_EQ(board.move_stack[i + 1].move, move_code(line[i].move));
  while (!line.empty()) {
    unmake_move(line.back().side, line.back().move, line.back().captured_piece, line.back().captured_owner);
    line.pop_back();
  }
  EXPECT_TRUE(board_equals(start, ListOrder::EXACT));
}

// Plays one move and returns what it captured.
Played play(int side, int from, int to, bool promote = false) {
  Played p{static_cast<int16_t>(side),
           Move{static_cast<uint8_t>(from), static_cast<uint8_t>(to | (promote ? PROMOTION_BIT : 0))}, -1, -1};
  make_move(p.side, p.move, p.captured_piece, p.captured_owner);
  return p;
}

Played drop(int side, int piece, int to) { return play(side, hand_square(side, piece), to); }

void take_back(const Played& p) { unmake_move(p.side, p.move, p.captured_piece, p.captured_owner); }

TEST(MakeMoveCapture, CapturedPiecesGoToTheHandUnpromoted) {
  // Attacker silver 5f takes the defender's horse on 5e.
  setup_position("4k4/9/9/9/4+b4/4S4/9/9/4K4 b - 1");
  const Board start = board;
  const int silver = black_square(5, 6), horse = black_square(5, 5);
  Played takes = play(0, silver, horse);
  EXPECT_EQ(takes.captured_piece, HORSE);
  EXPECT_EQ(takes.captured_owner, OWNER_DEFENDER);
  EXPECT_EQ(board.pieces[horse], SILVER);
  EXPECT_EQ(board.owners[horse], OWNER_ATTACKER);
  EXPECT_EQ(board.hands[0][BISHOP], 1);
  EXPECT_EQ(board.hands[0][HORSE], 0);
  EXPECT_EQ(board.attacker_hand, 1u << 16);
  EXPECT_EQ(board.last_slot[1], 0);
  EXPECT_EQ(board.move_stack[1].captured_piece, HORSE);
  EXPECT_EQ(board.move_stack[1].captured_owner, OWNER_DEFENDER);
  EXPECT_TRUE(board_is_ok());

  // The bishop just won can be dropped, which empties the hand again.
  Played king_steps = play(1, black_square(5, 1), black_square(4, 1));
  Played bishop_drop = drop(0, BISHOP, black_square(5, 3));
  EXPECT_EQ(board.hands[0][BISHOP], 0);
  EXPECT_EQ(board.attacker_hand, 0u);
  EXPECT_TRUE(board_is_ok());
  take_back(bishop_drop);
  take_back(king_steps);
  EXPECT_EQ(board.attacker_hand, 1u << 16);

  take_back(takes);
  EXPECT_EQ(board.pieces[horse], HORSE);
  EXPECT_EQ(board.owners[horse], OWNER_DEFENDER);
  EXPECT_EQ(board.pieces[silver], SILVER);
  EXPECT_EQ(board.hands[0][BISHOP], 0);
  EXPECT_TRUE(board_equals(start, ListOrder::EXACT));

  // Defender golds take an attacker dragon, pawn and tokin: the hand gets a
  // rook and two pawns; only the unpromoted pawn counted in its column.
  setup_position("4k4/9/9/9/9/9/2ggg4/2+RP+P4/4K4 b - 1");
  const Board second = board;
  const int dragon = black_square(7, 8), pawn = black_square(6, 8), tokin = black_square(5, 8);
  ASSERT_EQ(board.pawn_columns[0][pawn % 9], 1);
  ASSERT_EQ(board.pawn_columns[0][tokin % 9], 0);
  const PackedHand attacker_hand = board.attacker_hand;
  Played on_dragon = play(1, black_square(7, 7), dragon);
  EXPECT_EQ(board.hands[1][ROOK], 1);
  EXPECT_EQ(board.attacker_hand, attacker_hand);  // the defender's hand is not packed
  Played on_pawn = play(1, black_square(6, 7), pawn);
  EXPECT_EQ(board.pawn_columns[0][pawn % 9], 0);
  Played on_tokin = play(1, black_square(5, 7), tokin);
  EXPECT_EQ(board.hands[1][PAWN], 2);
  EXPECT_EQ(board.pawn_columns[0][tokin % 9], 0);
  EXPECT_EQ(board.pawn_columns[1][tokin % 9], 0);  // a gold, not a pawn, stands there now
  EXPECT_TRUE(board_is_ok());
  take_back(on_tokin);
  EXPECT_EQ(board.pieces[tokin], TOKIN);
  EXPECT_EQ(board.owners[tokin], OWNER_ATTACKER);
  EXPECT_EQ(board.hands[1][PAWN], 1);
  take_back(on_pawn);
  EXPECT_EQ(board.pawn_columns[0][pawn % 9], 1);
  take_back(on_dragon);
  EXPECT_EQ(board.pieces[dragon], DRAGON);
  EXPECT_EQ(board.hands[1][ROOK], 0);
  EXPECT_TRUE(board_equals(second, ListOrder::AS_SETS));
}

TEST(MakeMovePawnColumns, PromotionsAndDropsCountOnlyUnpromotedPawns) {
  setup_position("4k4/9/9/4P4/9/9/7p1/9/4K4 b Pp 1");
  const Board start = board;
  const int attacker_pawn = black_square(5, 4), defender_pawn = black_square(2, 7);

  // Promoting lowers the origin column's count; unmaking raises it again.
  Played promotes = play(0, attacker_pawn, black_square(5, 3), true);
  EXPECT_EQ(board.pieces[black_square(5, 3)], TOKIN);
  EXPECT_EQ(board.pawn_columns[0][attacker_pawn % 9], 0);
  EXPECT_TRUE(board_is_ok());
  Played defender_promotes = play(1, defender_pawn, black_square(2, 8), true);
  EXPECT_EQ(board.pawn_columns[1][defender_pawn % 9], 0);
  take_back(defender_promotes);
  EXPECT_EQ(board.pawn_columns[1][defender_pawn % 9], 1);
  EXPECT_EQ(board.pieces[defender_pawn], PAWN);
  take_back(promotes);
  EXPECT_EQ(board.pawn_columns[0][attacker_pawn % 9], 1);
  EXPECT_EQ(board.pieces[attacker_pawn], PAWN);
  EXPECT_TRUE(board_equals(start, ListOrder::EXACT));

  // Dropping a pawn raises the destination column's count; taking it back
  // lowers it, for either side.
  const int target = black_square(3, 5);
  ASSERT_EQ(board.pawn_columns[0][target % 9], 0);
  Played attacker_drop = drop(0, PAWN, target);
  EXPECT_EQ(board.pawn_columns[0][target % 9], 1);
  EXPECT_EQ(board.hands[0][PAWN], 0);
  EXPECT_EQ(board.attacker_hand, 0u);
  EXPECT_EQ(board.last_slot[0], start.last_slot[0] + 1);
  EXPECT_EQ(board.piece_lists[0][board.last_slot[0]], target);
  Played defender_drop = drop(1, PAWN, black_square(7, 3));
  EXPECT_EQ(board.pawn_columns[1][black_square(7, 3) % 9], 1);
  EXPECT_EQ(board.move_stack[2].captured_piece, EMPTY);
  EXPECT_EQ(board.move_stack[2].captured_owner, OWNER_NONE);
  EXPECT_TRUE(board_is_ok());
  take_back(defender_drop);
  take_back(attacker_drop);
  EXPECT_EQ(board.pawn_columns[0][target % 9], 0);
  EXPECT_EQ(board.attacker_hand, HAND_PAWN_UNIT);
  EXPECT_TRUE(board_equals(start, ListOrder::EXACT));
}

TEST(MakeMovePieceLists, CapturedPieceComesBackAtTheEndOfItsList) {
  // Defender pawns on 9f, 7f, 5f, 3f fill slots 1..4; the rook on 7i takes
  // the second-listed one on 7f.
  setup_position("4k4/9/9/9/9/p1p1p1p2/P7P/9/2R1K4 b - 1");
  const Board start = board;
  const int p1 = black_square(9, 6), p2 = black_square(7, 6), p3 = black_square(5, 6), p4 = black_square(3, 6);
  const int rook = black_square(7, 9);
  ASSERT_EQ(listed_squares(board, 1), (std::vector<int>{p1, p2, p3, p4}));
  const int rook_slot = board.slot_of[rook];

  Played takes = play(0, rook, p2);
  EXPECT_EQ(listed_squares(board, 1), (std::vector<int>{p1, p3, p4}));
  EXPECT_EQ(board.slot_of[p3], 2);
  EXPECT_EQ(board.slot_of[p4], 3);
  // The mover keeps its slot.
  EXPECT_EQ(board.slot_of[p2], rook_slot);
  EXPECT_EQ(board.piece_lists[0][rook_slot], p2);
  EXPECT_TRUE(board_is_ok());

  take_back(takes);
  EXPECT_EQ(listed_squares(board, 1), (std::vector<int>{p1, p3, p4, p2}));
  const int expected_slots[] = {p1, p3, p4, p2};
  for (int slot = 1; slot <= 4; ++slot) EXPECT_EQ(board.slot_of[expected_slots[slot - 1]], slot);
  EXPECT_EQ(listed_squares(board, 0), listed_squares(start, 0));
  EXPECT_EQ(board.slot_of[rook], rook_slot);
  EXPECT_TRUE(board_is_ok());
  EXPECT_TRUE(board_equals(start, ListOrder::AS_SETS));
}

TEST(MakeMoveKingCapture, KingLeavesAndReentersSlotZeroOnly) {
  // The rook on 5e takes the defender king on 5a; two defender pawns remain.
  setup_position("p3k3p/9/9/9/4R4/9/9/9/P3K3P b - 1");
  Board start = board;
  const int king = black_square(5, 1);
  Played takes = play(0, black_square(5, 5), king);
  EXPECT_EQ(takes.captured_piece, KING);
  EXPECT_EQ(takes.captured_owner, OWNER_DEFENDER);
  // The other pieces stay listed where they were and the board stays valid.
  EXPECT_EQ(listed_squares(board, 1), listed_squares(start, 1));
  EXPECT_EQ(board.attacker_hand, start.attacker_hand);
  EXPECT_TRUE(board_is_ok());
  take_back(takes);
  EXPECT_EQ(board.piece_lists[1][0], king);
  EXPECT_EQ(board.slot_of[king], 0);
  EXPECT_TRUE(board_equals(start, ListOrder::EXACT));

  // A lone king: the list does not go below empty.
  setup_position("4k4/9/9/9/4R4/9/9/9/4K4 b - 1");
  start = board;
  takes = play(0, black_square(5, 5), king);
  EXPECT_EQ(board.last_slot[1], 0);
  EXPECT_TRUE(board_is_ok());
  take_back(takes);
  EXPECT_TRUE(board_equals(start, ListOrder::EXACT));

  // The attacker's king taken by a defender rook: the flag follows it.
  setup_position("4k4/9/9/9/4r4/9/9/9/P3K3P b - 1");
  start = board;
  ASSERT_EQ(board.attacker_has_king, 1);
  takes = play(1, black_square(5, 5), black_square(5, 9));
  EXPECT_EQ(board.attacker_has_king, 0);
  EXPECT_EQ(listed_squares(board, 0), listed_squares(start, 0));
  EXPECT_TRUE(board_is_ok());
  take_back(takes);
  EXPECT_EQ(board.attacker_has_king, 1);
  EXPECT_EQ(board.piece_lists[0][0], black_square(5, 9));
  EXPECT_TRUE(board_equals(start, ListOrder::EXACT));
}

TEST(MakeMovePathKey, DropsDependOnThePlyAndReverseMovesCancel) {
  setup_position("4k4/9/9/9/9/9/9/9/4K4 b Gg 1");
  const Board start = board;
  const int target = black_square(5, 5);
  const uint32_t gold_hi = zobrist[0][GOLD][target].hi;

  // At the root the drop is made at ply 1.
  uint32_t key = board.path_key;
  HashKey board_key = board.board_key;
  Played early = drop(0, GOLD, target);
  EXPECT_EQ(board.path_key ^ key, 2u + gold_hi);
  EXPECT_EQ(board.board_key.hi ^ board_key.hi, gold_hi);
  EXPECT_EQ(board.board_key.lo ^ board_key.lo, zobrist[0][GOLD][target].lo);
  const uint32_t early_key = board.path_key;
  take_back(early);
  EXPECT_TRUE(board_equals(start, ListOrder::EXACT));

  // The same drop after two king moves, at ply 3: same board key change,
  // different path key change.
  Played k1 = play(0, black_square(5, 9), black_square(4, 9));
  Played k2 = play(1, black_square(5, 1), black_square(4, 1));
  key = board.path_key;
  board_key = board.board_key;
  Played late = drop(0, GOLD, target);
  EXPECT_EQ(board.path_key ^ key, 4u + gold_hi);
  EXPECT_EQ(board.board_key.hi ^ board_key.hi, gold_hi);
  EXPECT_NE(board.path_key, early_key);
  // A defender drop at ply 4 adds its ply the same way.
  key = board.path_key;
  const int defender_target = black_square(5, 2);
  Played defender = drop(1, GOLD, defender_target);
  EXPECT_EQ(board.path_key ^ key, 5u + zobrist[1][GOLD][defender_target].hi);
  take_back(defender);
  take_back(late);
  take_back(k2);
  take_back(k1);
  EXPECT_TRUE(board_equals(start, ListOrder::EXACT));

  // A board move adds the values of the piece that lands, on both squares,
  // so a promotion counts the promoted piece at the origin too.
  setup_position("4k4/9/4S4/9/9/9/9/9/4K4 b - 1");
  key = board.path_key;
  const int from = black_square(5, 3), to = black_square(5, 2);
  Played promotes = play(0, from, to, true);
  EXPECT_EQ(board.path_key ^ key, zobrist[0][PRO_SILVER][from].hi + zobrist[0][PRO_SILVER][to].hi);
  take_back(promotes);
  EXPECT_EQ(board.path_key, key);

  // A move and its exact reverse cancel: gold 5e-5d, king 5a-4a, gold back,
  // king back gives the starting path key at ply 4.
  setup_position("4k4/9/9/9/4G4/9/9/9/4K4 b - 1");
  const Board root = board;
  const int g1 = black_square(5, 5), g2 = black_square(5, 4), c1 = black_square(5, 1), c2 = black_square(4, 1);
  Played m1 = play(0, g1, g2);
  EXPECT_NE(board.path_key, root.path_key);
  Played m2 = play(1, c1, c2);
  Played m3 = play(0, g2, g1);
  Played m4 = play(1, c2, c1);
  EXPECT_EQ(board.ply, 4);
  EXPECT_EQ(board.path_key, root.path_key);
  EXPECT_EQ(board.board_key.lo, root.board_key.lo);
  EXPECT_EQ(board.board_key.hi, root.board_key.hi);
  for (const Played* p : {&m4, &m3, &m2, &m1}) take_back(*p);
  EXPECT_TRUE(board_equals(root, ListOrder::EXACT));
}

TEST(MakeMoveStack, NothingIsRecordedPastTheLastEntry) {
  setup_position("4k4/9/9/9/9/9/9/9/4K4 b G 1");
  // Pretend the line is already 1998 plies deep.
  board.ply = MOVE_STACK_SIZE - 2;
  board.depth = MOVE_STACK_SIZE - 1;
  const Board start = board;

  Played last = play(0, black_square(5, 9), black_square(4, 9));
  EXPECT_EQ(board.ply, MOVE_STACK_SIZE - 1);
  const PlyRecord recorded = board.move_stack[MOVE_STACK_SIZE - 1];
  EXPECT_EQ(recorded.move, move_code(last.move));
  EXPECT_EQ(recorded.captured_owner, OWNER_NONE);

  // One more: the move is made but not recorded, and nothing after the
  // stack (ply, depth, flipped) is overwritten.
  Played beyond = drop(0, GOLD, black_square(5, 5));
  EXPECT_EQ(board.ply, MOVE_STACK_SIZE);
  EXPECT_EQ(board.depth, MOVE_STACK_SIZE + 1);
  EXPECT_EQ(board.flipped, start.flipped);
  EXPECT_EQ(board.pieces[black_square(5, 5)], GOLD);
  EXPECT_EQ(board.move_stack[MOVE_STACK_SIZE - 1].move, recorded.move);
  EXPECT_TRUE(board_is_ok());
  take_back(beyond);
  EXPECT_EQ(board.ply, MOVE_STACK_SIZE - 1);
  take_back(last);
  EXPECT_TRUE(board_equals(start, ListOrder::EXACT));
}

}  // namespace

#include "search/tt.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <limits>
#include <new>
#include <thread>

#include "movegen/attack.h"
#include "search/thread_state.h"
#include "movegen/move_list.h"
#include "platform/platform.h"
#include "position/keys.h"
#include "position/make_move.h"
#include "position/move_text.h"
#include "search/search_state.h"

TtEntry* tt_tables[2] = {nullptr, nullptr};
uint32_t tt_slots = 0;
uint8_t tables_shared = 0;


// Set by tt_store_path_disproof: the entry goes under the route key.


int32_t hashfull_max = 0;

namespace {

// Non-proofs written by refinement passes and stages since the last sweep.
std::atomic<uint32_t> refine_stores{0};

// ---- Entries other threads may be writing.
//
// Every field of an entry is read and written with relaxed atomic accesses
// (plain moves on the machine), and each stripe of STRIPE_SLOTS slots has a
// sequence number: a writer makes it odd, writes, and makes it even again;
// a reader keeps what it read only when the numbers of the stripes under its
// run were even and the same before and after. So an entry half written by
// another thread is never taken for a result. Only while the tables are
// shared: one thread alone needs none of it.
constexpr int STRIPE_SHIFT = 6;
static_assert((1 << STRIPE_SHIFT) > PROBE_LIMIT, "a probe run spans at most two stripes");
std::atomic<uint32_t>* stripe_seqs[2] = {nullptr, nullptr};

uint32_t stripe_count(uint32_t slots) { return ((slots + PROBE_LIMIT) >> STRIPE_SHIFT) + 1; }

template <class T>
T ld(const T& field) {
  return __atomic_load_n(&field, __ATOMIC_RELAXED);
}
template <class T, class V>
void st(T& field, V value) {
  __atomic_store_n(&field, static_cast<T>(value), __ATOMIC_RELAXED);
}

// The stripes under the run of the current position in `side`'s table.
struct RunStripes {
  std::atomic<uint32_t>* first = nullptr;
  std::atomic<uint32_t>* second = nullptr;  // null when the run lies in one stripe
};

enum ProbeKind { KIND_NONE, KIND_UNKNOWN, KIND_PROOF, KIND_DISPROOF };

// A non-proof of a refinement pass or of the stage.
bool refinement_entry(const TtEntry& e) { return (e.flags & TT_REFINE) && e.pn != 0; }

// A disproof that holds on one path only; its length field keeps the ply it
// rests on.
bool path_disproof(const TtEntry& e) { return (e.flags & TT_PATH) && e.pn >= PN_INFINITE; }

// What evicting the entry would lose. Before a refinement pass the probe
// skips refinement entries, so another request's leftovers go first.
// Path markers weigh most (the search above them is still running), then
// proven no-mates, then pawn-drop-mate flags; beyond that an entry costs its
// numbers, and a proof its length over a proof's base.
constexpr int64_t ON_PATH_COST = 3000;
constexpr int64_t NOMATE_COST = 2000;
constexpr int64_t DROP_MATE_COST = 500;
constexpr int64_t PROOF_BASE_COST = 1000;

int64_t eviction_cost(const TtEntry& e) {
  if (search_modes.refine_pass == 0 && refinement_entry(e)) return -1;
  int64_t cost = 0;
  if (e.flags & TT_ON_PATH) cost += ON_PATH_COST;
  if (e.flags & TT_PAWN_DROP_MATE) cost += DROP_MATE_COST;
  if (e.flags & TT_NOMATE) cost += NOMATE_COST;
  // It answers for one path only: worth about as much as a short proof.
  if (path_disproof(e)) return cost + PROOF_BASE_COST;
  return cost + (e.pn != 0 ? e.pn : e.length + PROOF_BASE_COST);
}

// Block for one table of `entries` home slots; 0 when the size does not fit
// a size_t, which then counts as a failed allocation.
std::size_t table_bytes(uint32_t entries) {
  uint64_t bytes = (static_cast<uint64_t>(entries) + PROBE_LIMIT) * sizeof(TtEntry);
  if (bytes > std::numeric_limits<std::size_t>::max()) return 0;
  return static_cast<std::size_t>(bytes);
}

int16_t clamp16(int value) {
  if (value > LENGTH_INFINITE) return LENGTH_INFINITE;
  if (value < -LENGTH_INFINITE) return -LENGTH_INFINITE;
  return static_cast<int16_t>(value);
}

uint32_t home_slot() { return board.board_key.lo % tt_slots; }

RunStripes run_stripes(int side) {
  const uint32_t home = home_slot();
  RunStripes r;
  r.first = &stripe_seqs[side][home >> STRIPE_SHIFT];
  std::atomic<uint32_t>* last = &stripe_seqs[side][(home + PROBE_LIMIT) >> STRIPE_SHIFT];
  if (last != r.first) r.second = last;
  return r;
}

void lock_stripe(std::atomic<uint32_t>* seq) {
  for (int spins = 0;; ++spins) {
    uint32_t v = seq->load(std::memory_order_relaxed);
    if (!(v & 1) && seq->compare_exchange_weak(v, v + 1, std::memory_order_acquire, std::memory_order_relaxed))
      break;
    if (spins > 64) std::this_thread::yield();
  }
  std::atomic_thread_fence(std::memory_order_release);
}

void unlock_stripe(std::atomic<uint32_t>* seq) {
  seq->store(seq->load(std::memory_order_relaxed) + 1, std::memory_order_release);
}

// Holds the stripes of the current position's run for one store, lower
// stripe first, while the tables are shared.
class RunWriteLock {
 public:
  explicit RunWriteLock(int side) {
    if (!tables_shared) return;
    stripes_ = run_stripes(side);
    lock_stripe(stripes_.first);
    if (stripes_.second) lock_stripe(stripes_.second);
  }
  ~RunWriteLock() {
    if (stripes_.second) unlock_stripe(stripes_.second);
    if (stripes_.first) unlock_stripe(stripes_.first);
  }
  RunWriteLock(const RunWriteLock&) = delete;
  RunWriteLock& operator=(const RunWriteLock&) = delete;

 private:
  RunStripes stripes_;
};

// With shared tables a thread's mark may be written over by another thread's
// store, so each thread also finds its own path on its path. Sets
// on_path_here when an earlier position of the path, same side to move, has
// this board with at least the current hand, and on_path_smaller when one has
// it with less.
void mark_own_path() {
  if (path_counts[board.board_key.lo & PATH_COUNT_MASK] == 0) return;
  const uint32_t current = board.attacker_hand & TT_HAND_MASK;
  for (int at = board.ply - 2; at >= 0; at -= 2) {
    if (at >= MOVE_STACK_SIZE) continue;
    const PathPosition& p = path_positions[at];
    if (p.key.lo != board.board_key.lo || p.key.hi != board.board_key.hi) continue;
    const uint32_t hand = p.hand & TT_HAND_MASK;
    if (hand_contains(hand, current)) {
      on_path_here = 1;
    } else if (hand_contains(current, hand)) {
      on_path_smaller = 1;
    }
  }
}

// What a position on this thread's own path answers when the table holds
// nothing else for it: what its mark held (the threshold, disproven for the
// search); the callers see on_path_here and take it for a repetition.
bool answer_own_path(int32_t& pn_out, int32_t& dn_out, int16_t& length_out) {
  pn_out = node_threshold > 0 ? node_threshold : 1;
  dn_out = 0;
  length_out = 0;
  return true;
}

// A stored drop is useless as a move when the side it belongs to no longer
// holds that piece (the defender's hand is not part of the identity, and a
// dominating entry may hold pieces the current attacker lacks).
bool drop_not_held(MoveCode move) {
  int from = move_from(move);
  if (!is_drop_from(from)) return false;
  int owner = (from - HAND_SQUARE_BASE) / 15;
  int piece = (from - HAND_SQUARE_BASE) % 15;
  if (owner > 1 || piece < PAWN || piece > ROOK) return true;
  // The attacker's packed hand describes the probed position even while a
  // caller has changed it for a look-up of a position not on the board.
  if (owner == OWNER_ATTACKER) return hand_count(board.attacker_hand, piece) == 0;
  return board.hands[owner][piece] <= 0;
}

int plies_left() { return int{length_limit} - board.ply; }

// The stage's limit holds for a whole root search, so a position with the
// same hand and as many plies left is the same problem on every path. Its
// numbers go under this word and transpositions share them; the plies left
// keep problems of different depth apart.
bool depth_keyed() { return search_modes.minimality_stage && search_modes.stage_shared_numbers; }

uint32_t depth_word() {
  return board.board_key.hi ^ (0x9E3779B9u * static_cast<uint32_t>(plies_left() + 4096));
}

// The first pass's two kinds of root search count on different scales: the
// proof-led kind sums the replies' numbers, the disproof-led kind does not.
// Each keeps its numbers under a word of its own, so that neither kind's
// numbers stop the other at its root before it has searched anything (the
// summed ones are far larger). Proofs and disproofs stay under the board key,
// where both kinds and every later pass find them.
bool weak_keyed() { return weak_and_numbers != 0 && search_modes.refine_pass == 0 && !search_modes.minimality_stage; }

uint32_t weak_word() { return board.board_key.hi ^ 0x5851F42Du; }

// Numbers only, no decision: the kind of entry each kind keeps apart.
bool numbers_only(int32_t pn) { return pn != 0 && pn < PN_INFINITE; }

// `stage_word` is depth_word() in the stage, weak_word() in a disproof-led
// search and board_key.hi elsewhere: taken once per probe, not once per entry
// of the run.
bool matches_position(const TtEntry& e, uint32_t stage_word) {
  return e.check_word == board.board_key.hi || e.check_word == board.path_key || e.check_word == board.route_key ||
         e.check_word == stage_word;
}

// A disproof of the minimality stage: it rests on the length limit and holds
// for at most `length` plies left below the position (the limit only falls,
// and fewer plies never make a mate). All other non-proofs of a refinement
// pass are kept under the path key.
bool bounded_disproof(const TtEntry& e) {
  return (e.flags & (TT_REFINE | TT_ON_PATH | TT_PATH)) == TT_REFINE && e.pn >= PN_INFINITE &&
         e.check_word == board.board_key.hi;
}

// Whether `piece` of `side`, put on the empty square `sq`, would reach `target`.
bool would_reach(int side, int piece, int sq, int target) {
  board.pieces[sq] = static_cast<int8_t>(piece);
  board.owners[sq] = static_cast<uint8_t>(side);
  const bool reaches = piece_reaches(sq, target);
  board.pieces[sq] = EMPTY;
  board.owners[sq] = OWNER_NONE;
  return reaches;
}

// Whether an entry's move could be played in the current position: the
// mover's piece reaches the square; a drop goes to an empty square, and there
// checks the king (the attacker's) or stands in a line with it (the
// defender's interposition). The check word has 32 bits, and over a long solve
// in a full table some entry of another position matches it; its move almost
// never fits. The hand is not looked at, since a disproof of a larger hand may
// name a drop not held.
bool move_fits(int side, MoveCode move) {
  if (move == 0) return true;
  const int from = (move >> 8) & 0xFF;
  const int to = move & 0x7F;
  if (to >= SQUARES) return false;
  if (from < SQUARES) return board.owners[from] == side && board.owners[to] != side && piece_reaches(from, to);
  const int piece = from - HAND_SQUARE_BASE - 15 * side;
  if (piece < PAWN || piece > ROOK || board.pieces[to] != EMPTY) return false;
  const int king = defender_king_square();
  if (king < 0) return true;
  if (side == OWNER_ATTACKER) return would_reach(side, piece, to, king);
  return would_reach(side, ROOK, to, king) || would_reach(side, BISHOP, to, king);
}

// Ends a marker. A plain marker's numbers (the threshold, dn 0) go too: left
// behind in a slot of its own they would read as a disproof, for instance once
// the node's proof lies beyond a later limit. A proof marked on the path stays
// a proof.
void release_marker(TtEntry* marker) {
  if (!marker) return;
  st(marker->flags, marker->flags & ~TT_ON_PATH);
  if (marker->pn != 0) {
    st(marker->pn, 1);
    st(marker->dn, 1);
  }
}

int store(int side, uint32_t flags_in, int16_t length, int32_t pn, int32_t dn, MoveCode move,
          bool result_store) {
  if (tt_slots == 0) return 0;
  // In a shared table a mark names its thread in its length (a mark's length
  // is 0 otherwise): the others take it for no entry. The marks stay in the
  // table because a thread's search is then the one it makes alone: without
  // them the node's numbers stay in place under its mark, and Kiheitai's
  // mate, found alone in 38 M nodes, is not found in 65 M.
  if (tables_shared && (flags_in & TT_ON_PATH)) length = static_cast<int16_t>(path_mark_owner);
  const RunWriteLock lock(side);
  TtEntry* table = tt_tables[side];
  uint32_t check_word = board.board_key.hi;
  bool path_key_in_use = false;
  uint32_t hand = flags_in & TT_HAND_MASK;

  // 1. Entries of the line readers may be tied to the path that led here.
  if (store_under_path_key) {
    check_word = store_under_route_key ? board.route_key : board.path_key;
    path_key_in_use = true;
  } else if (search_modes.minimality_stage && result_store && pn >= PN_INFINITE && trial_drop_piece == 0 &&
             !(flags_in & TT_ON_PATH)) {
    // 1a. A disproof of the stage holds for every path with as few plies left.
    release_marker(find_on_path(side, hand, check_word));
    length = clamp16(plies_left());
  } else if (pn != 0 && !(flags_in & TT_ON_PATH) &&
             (result_store ? search_modes.refine_pass > 0 : (dn == 0 || search_modes.refine_pass > 0))) {
    // 2. A result that may depend on the path releases the on-path marker
    // and goes under the path key (the stage's numbers: the depth word).
    if (TtEntry* marker = find_on_path(side, hand, check_word)) {
      st(marker->flags, marker->flags & ~TT_ON_PATH);
      // A proof found meanwhile stays a proof; only a plain marker is reset.
      if (marker->pn != 0) {
        st(marker->dn, 1);
        st(marker->pn, (!result_store && search_modes.refine_pass == 0) ? node_threshold : 1);
      }
    }
    if (result_store && depth_keyed()) {
      check_word = depth_word();
    } else {
      check_word = board.path_key;
      path_key_in_use = true;
    }
  }

  // 3. A proof in a refinement pass ends this node's marker.
  if (search_modes.refine_pass > 0 && pn == 0) release_marker(find_on_path(side, hand, check_word));

  // 3a. The disproof-led kind's numbers and path marks go under its own
  // word; a decision there ends the node's mark.
  if (weak_keyed() && check_word == board.board_key.hi) {
    if (numbers_only(pn)) {
      check_word = weak_word();
    } else if (!(flags_in & TT_ON_PATH)) {
      release_marker(find_on_path(side, hand, weak_word()));
    }
  }

  // 4. An entry kept under the path key is updated under the path key.
  TtEntry* slot = nullptr;
  int r = find_slot(side, pn, flags_in, check_word, slot);
  if (r == 1 && !path_key_in_use && (slot->flags & TT_PATH)) {
    st(slot->flags, (slot->flags & ~TT_ON_PATH) | (flags_in & TT_ON_PATH));
    check_word = board.path_key;
    path_key_in_use = true;
    flags_in |= TT_PATH;
    r = find_slot(side, pn, flags_in, check_word, slot);
  }

  // 5. A proof outlives later non-proof results for the same hand.
  if (r == 1 && pn != 0 && slot->pn == 0 && !search_modes.allow_proof_overwrite && !(flags_in & TT_PATH)) {
    st(slot->flags, (slot->flags & ~TT_ON_PATH) | (flags_in & TT_ON_PATH) | (flags_in & TT_PAWN_DROP_MATE));
    return 0;
  }

  // 5a. With shared tables, a proof does not replace a proof of the same
  // hand that is as short. Another thread may have proven this position while
  // this one searched it, and this one's proof may pass through a position
  // whose proof came from that very proof: written over it, the best moves
  // would lead round in a circle. Kept shortest, a proof's length always
  // exceeds that of the proof its best move leads to.
  if (tables_shared && r == 1 && pn == 0 && slot->pn == 0 && !search_modes.allow_proof_overwrite && !(flags_in & TT_PATH) &&
      slot->length <= length) {
    // The proof ends this thread's walk through the position, as the write
    // would: a mark left on the proof reads as a path once the helpers stop.
    st(slot->flags, (slot->flags & ~TT_ON_PATH) | (flags_in & TT_PAWN_DROP_MATE));
    return 0;
  }

  // 5b. With shared tables, another thread may have disproven the position
  // since this one looked: its numbers or its marker do not replace that
  // disproof (the stage's bounded disproofs grow in place as before).
  if (tables_shared && r == 1 && pn < PN_INFINITE && slot->dn == 0 && slot->pn >= PN_INFINITE &&
      !(slot->flags & (TT_REFINE | TT_ON_PATH))) {
    return 0;
  }

  // 6. A full run: evict the cheapest entry, the first on ties.
  if (r == 2) {
    ++replacements;
    uint32_t home = home_slot();
    int64_t best_cost = std::numeric_limits<int64_t>::max();
    for (int i = 0; i <= PROBE_LIMIT; ++i) {
      const int64_t cost = eviction_cost(table[home + i]);
      if (cost < best_cost) {
        best_cost = cost;
        slot = &table[home + i];
      }
    }
  }

  // 7. Write.
  uint32_t old_flags = slot->flags;
  // Inside a futile-interposition trial a non-proof is only provisional.
  if (trial_drop_piece != 0 && pn != 0 && !(flags_in & TT_ON_PATH)) {
    pn = 1;
    dn = 1;
  }
  uint32_t flags = flags_in | TT_USED;
  // Flags carried over belong to this position only: an evicted entry's
  // flags describe another one.
  if (r == 1 && pn != 0) flags |= old_flags & TT_PAWN_DROP_MATE;
  if (r == 1) flags |= old_flags & TT_FUTILE;
  if (search_modes.refine_pass > 0 && pn != 0) {
    flags |= TT_REFINE;
    if (tables_shared) {
      refine_stores.fetch_add(1, std::memory_order_relaxed);
    } else {
      refine_stores.store(refine_stores.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    }
  }
  st(slot->check_word, check_word);
  st(slot->flags, flags);
  st(slot->best_move, move);
  st(slot->pn, pn);
  st(slot->dn, dn);
  st(slot->length, length);
  return 1;
}

// Both tables together may take three quarters of the machine's memory. A
// larger request counts as a failed allocation even where the allocator
// would promise it (overcommit): the search touches the table all over, and
// a table the machine cannot back ends the process when memory runs out.
bool fits_machine(std::size_t bytes) {
  const uint64_t memory = platform_memory_bytes();
  return memory == 0 || 2 * static_cast<uint64_t>(bytes) <= memory / 4 * 3;
}

bool allocate_both(uint32_t entries) {
  std::size_t bytes = table_bytes(entries);
  if (bytes == 0 || !fits_machine(bytes)) return false;
  void* attacker = platform_alloc_zeroed(bytes);
  if (!attacker) return false;
  void* defender = platform_alloc_zeroed(bytes);
  std::atomic<uint32_t>* seqs[2] = {nullptr, nullptr};
  if (defender) {
    seqs[0] = new (std::nothrow) std::atomic<uint32_t>[stripe_count(entries)]();
    seqs[1] = new (std::nothrow) std::atomic<uint32_t>[stripe_count(entries)]();
  }
  if (!defender || !seqs[0] || !seqs[1]) {
    delete[] seqs[0];
    delete[] seqs[1];
    platform_free(defender);
    platform_free(attacker);
    return false;
  }
  tt_tables[0] = static_cast<TtEntry*>(attacker);
  tt_tables[1] = static_cast<TtEntry*>(defender);
  stripe_seqs[0] = seqs[0];
  stripe_seqs[1] = seqs[1];
  tt_slots = entries;
  refine_stores = 0;  // empty tables hold no leftovers
  return true;
}

}  // namespace

bool tt_allocate(uint32_t entries) {
  if (entries == 0) entries = TT_DEFAULT_HASH_MB * TT_ENTRIES_PER_MB;
  return tt_allocate_entries(entries);
}

bool tt_allocate_entries(uint32_t entries) {
  if (tt_ready()) return true;
  for (; entries > 0; entries >>= 1) {
    if (allocate_both(entries)) return true;
  }
  return false;
}

bool tt_ready() { return tt_slots != 0; }

void tt_bind_out_of_play(uint64_t signature) {
  // A fresh process has no entries; they will hold for whatever comes first.
  static uint64_t bound_signature = 0;
  if (signature == bound_signature) return;
  bound_signature = signature;
  tt_renew();
}

void tt_renew() {
  if (!tt_ready()) return;
  // Fresh zero-filled blocks rather than clearing in place: clearing would
  // touch every page of a table that the search may use only a little of.
  const uint32_t slots = tt_slots;
  tt_release();
  tt_allocate_entries(slots);
  hashfull_max = 0;
}

void tt_release() {
  platform_free(tt_tables[0]);
  platform_free(tt_tables[1]);
  tt_tables[0] = tt_tables[1] = nullptr;
  delete[] stripe_seqs[0];
  delete[] stripe_seqs[1];
  stripe_seqs[0] = stripe_seqs[1] = nullptr;
  tt_slots = 0;
}

namespace {

// Calls `f` on every used entry of both tables.
template <class F>
void for_each_entry(F f) {
  for (TtEntry* table : tt_tables)
    for (uint32_t i = 0; i < tt_slots + PROBE_LIMIT; ++i)
      if (table[i].flags & TT_USED) f(table[i]);
}

}  // namespace

void tt_retire_refinement() {
  // The sweep reads both tables (about 0.1 s at 256 MB), so it waits until
  // the leftovers since the last one could fill an eighth of a table.
  if (!tt_ready() || refine_stores <= tt_slots / 8) return;
  refine_stores = 0;
  for_each_entry([](TtEntry& e) {
    if (!refinement_entry(e)) return;
    e.flags &= ~TT_ON_PATH;
    e.pn = e.dn = 1;
  });
}

void tt_reset_numbers() {
  if (!tt_ready()) return;
  for_each_entry([](TtEntry& e) {
    if ((e.flags & TT_ON_PATH) || e.pn == 0 || e.dn == 0 || e.pn >= PN_INFINITE) return;
    e.pn = e.dn = 1;
  });
}

void tt_clear_path_marks() {
  if (!tt_ready()) return;
  for_each_entry([](TtEntry& e) {
    if (!(e.flags & TT_ON_PATH)) return;
    e.flags &= ~TT_ON_PATH;
    if (e.pn == 0) return;
    e.pn = e.dn = 1;
    e.length = 0;
  });
}

namespace {

// One read of the run, as tt_probe describes; with shared tables the caller
// checks the stripes' sequence numbers around it.
bool probe_run(int side, uint32_t& hand_out, int16_t& length_out, int32_t& pn_out, int32_t& dn_out) {
  hand_out = board.attacker_hand;
  on_path_here = 0;
  on_path_smaller = 0;
  tt_dependency = NO_DEPENDENCY;
  const TtEntry* run = tt_tables[side] + home_slot();
  // With shared tables this thread's path is not in the table: it is looked
  // at first, and a position on it is found even where the table has nothing,
  // as its mark would have been.
  if (tables_shared) mark_own_path();
  if (!(ld(run[0].flags) & TT_USED)) return tables_shared && on_path_here && answer_own_path(pn_out, dn_out, length_out);

  const uint32_t current = board.attacker_hand & TT_HAND_MASK;
  ProbeKind kind = KIND_NONE;
  TtEntry q{};
  int best_len = LENGTH_INFINITE;
  int32_t max_pn = 1;
  int32_t max_dn = 1;
  int max_len = -LENGTH_INFINITE;
  // A disproof of this path; it answers only after the whole run is read,
  // since a marker further on may show the position repeating, and a proof
  // of the position outranks it.
  bool path_hit = false;
  TtEntry path_entry{};

  const bool weak = weak_keyed();
  const uint32_t stage_word = depth_keyed() ? depth_word() : weak ? weak_word() : board.board_key.hi;
  for (int i = 0; i <= PROBE_LIMIT; ++i) {
    TtEntry e;
    e.flags = ld(run[i].flags);
    if (!(e.flags & TT_USED)) break;
    e.check_word = ld(run[i].check_word);
    if (!matches_position(e, stage_word)) continue;
    e.best_move = ld(run[i].best_move);
    if (!probe_off_board && !move_fits(side, e.best_move)) continue;
    e.pn = ld(run[i].pn);
    e.dn = ld(run[i].dn);
    e.length = ld(run[i].length);
    // The proof-led kind's numbers are on the other scale.
    if (weak && e.check_word == board.board_key.hi && numbers_only(e.pn) && !(e.flags & TT_NOMATE)) continue;
    // Provisional results of a refinement pass mean nothing before it.
    if (search_modes.refine_pass == 0 && refinement_entry(e)) continue;
    const bool bounded = bounded_disproof(e);
    if (bounded && e.length < plies_left()) continue;
    const uint32_t stored = e.flags & TT_HAND_MASK;

    if (tables_shared && (e.flags & TT_ON_PATH)) {
      if (e.pn != 0 && e.length == static_cast<int16_t>(path_mark_owner)) {
        // This thread's own mark: read as when alone.
        e.length = 0;
      } else {
        // Another thread's mark holds no result for this one (mark_own_path
        // says what is on this one's path); a proof marked stays a proof.
        if (e.pn != 0) continue;
        e.flags &= ~TT_ON_PATH;
      }
    }

    if (stored == current) {
      if (e.flags & TT_ON_PATH) on_path_here = 1;
      if (e.flags & TT_PAWN_DROP_MATE) hand_out |= TT_PAWN_DROP_MATE;
      if (e.flags & TT_NOMATE) {
        tt_hint_move = e.best_move;
        pn_out = PN_INFINITE;
        length_out = LENGTH_INFINITE;
        dn_out = 0;
        return true;
      }
      // Path-bound disproofs are kept under the route key; a refinement
      // pass's disproofs under the path key take the same way, as before.
      if (path_disproof(e) && (e.check_word == board.route_key || e.check_word == board.path_key)) {
        if (!probe_off_board) {
          path_hit = true;
          path_entry = e;
        }
        continue;
      }
      if ((e.flags & TT_PATH) && e.check_word == board.path_key) {
        tt_hint_move = e.best_move;
        pn_out = e.pn;
        length_out = e.length;
        dn_out = e.dn;
        return true;
      }
      if (e.pn == 0 && !on_path_here) {
        // A proof beyond the length limit of a refinement pass is no help.
        if (search_modes.refine_pass > 0 && board.ply + e.length > length_limit) continue;
        if (kind != KIND_PROOF || e.length <= best_len) {
          kind = KIND_PROOF;
          best_len = e.length;
          q = e;
          hand_out = current | ((hand_out | e.flags) & TT_FUTILE);
        }
      } else if (e.dn == 0) {
        if (kind == KIND_DISPROOF) {
          if (e.pn > q.pn) q = e;
        } else if (kind != KIND_PROOF) {
          kind = KIND_DISPROOF;
          q = e;
        }
      } else if (kind == KIND_NONE) {
        kind = KIND_UNKNOWN;
        q = e;
      }
      if (e.pn > max_pn) max_pn = e.pn;
      if (e.dn > max_dn) max_dn = e.dn;
      if (e.pn != 0 && !bounded && e.length > max_len) max_len = e.length;

    } else if (hand_contains(stored, current)) {
      // The current attacker holds less: a disproof carries over.
      if (e.flags & TT_ON_PATH) on_path_here = 1;
      if (e.flags & TT_PAWN_DROP_MATE) hand_out |= TT_PAWN_DROP_MATE;
      if (e.dn == 0) {
        bool better = kind != KIND_PROOF && !(kind == KIND_DISPROOF && e.pn <= q.pn);
        if (better && !drop_not_held(e.best_move)) {
          kind = KIND_DISPROOF;
          q = e;
        }
      } else if (kind == KIND_NONE) {
        kind = KIND_UNKNOWN;
        q = e;
      }
      if (e.pn > max_pn) max_pn = e.pn;
      if (e.pn != 0 && !bounded) {
        int len = e.length + hand_excess(stored, current);
        if (len > max_len) max_len = len;
      }

    } else if (hand_contains(current, stored)) {
      // The current attacker holds more: a proof carries over, shorter by
      // two plies for each surplus piece left in hand.
      if (e.flags & TT_ON_PATH) on_path_smaller = 1;
      if (e.pn == 0) {
        int len = e.length - hand_excess(current, stored);
        if (search_modes.refine_pass > 0 && board.ply + len > length_limit) continue;
        bool better = kind != KIND_PROOF || len < best_len ||
                      (len == best_len && stored < (hand_out & TT_HAND_MASK));
        if (better && !drop_not_held(e.best_move)) {
          kind = KIND_PROOF;
          best_len = len;
          q = e;
          hand_out = stored | ((hand_out | e.flags) & TT_FUTILE);
        }
      }
      if (e.dn > max_dn) max_dn = e.dn;
    }
  }

  if (path_hit && !on_path_here && kind != KIND_PROOF) {
    tt_hint_move = drop_not_held(path_entry.best_move) ? 0 : path_entry.best_move;
    tt_dependency = path_entry.length;
    pn_out = PN_INFINITE;
    dn_out = 0;
    length_out = 0;
    return true;
  }
  // A position on the path is found even where no entry gives it a result:
  // the mark of a larger hand whose move drops a piece no longer held gives
  // none, and with shared tables another thread may have written over the
  // mark. Both ways the callers see on_path_here and take it for a repetition.
  if (kind == KIND_NONE) return on_path_here && answer_own_path(pn_out, dn_out, length_out);
  tt_hint_move = drop_not_held(q.best_move) ? 0 : q.best_move;
  pn_out = kind == KIND_PROOF ? 0 : max_pn;
  length_out = clamp16(kind == KIND_PROOF ? best_len : max_len);
  dn_out = kind == KIND_DISPROOF ? 0 : max_dn;
  return true;
}

}  // namespace

bool tt_probe(int side, uint32_t& hand_out, int16_t& length_out, int32_t& pn_out, int32_t& dn_out) {
  if (tt_slots == 0) {
    hand_out = board.attacker_hand;
    on_path_here = 0;
    on_path_smaller = 0;
    tt_dependency = NO_DEPENDENCY;
    return false;
  }
  if (!tables_shared) return probe_run(side, hand_out, length_out, pn_out, dn_out);
  const RunStripes stripes = run_stripes(side);
  for (int attempt = 0; attempt < 64; ++attempt) {
    const uint32_t first = stripes.first->load(std::memory_order_acquire);
    const uint32_t second = stripes.second ? stripes.second->load(std::memory_order_acquire) : 0;
    if ((first | second) & 1) {
      if (attempt >= 8) std::this_thread::yield();
      continue;
    }
    const bool found = probe_run(side, hand_out, length_out, pn_out, dn_out);
    std::atomic_thread_fence(std::memory_order_acquire);
    if (stripes.first->load(std::memory_order_relaxed) == first &&
        (!stripes.second || stripes.second->load(std::memory_order_relaxed) == second))
      return found;
  }
  // The run kept changing under the read: nothing is known of it.
  hand_out = board.attacker_hand;
  on_path_here = 0;
  on_path_smaller = 0;
  tt_dependency = NO_DEPENDENCY;
  return false;
}

int find_slot(int side, int32_t pn, uint32_t flags_in, uint32_t check_word, TtEntry*& slot) {
  slot = nullptr;
  if (tt_slots == 0) return 2;
  TtEntry* run = tt_tables[side] + home_slot();
  const uint32_t hand = flags_in & TT_HAND_MASK;
  const bool want_refine = search_modes.refine_pass > 0;
  for (int i = 0; i <= PROBE_LIMIT; ++i) {
    TtEntry& e = run[i];
    if (!(e.flags & TT_USED)) {
      slot = &e;
      return 0;
    }
    if (e.check_word != check_word || (e.flags & TT_HAND_MASK) != hand) continue;
    bool refine = (e.flags & TT_REFINE) != 0;
    // Proofs never share a slot with refinement entries; non-proofs only
    // with entries of their own kind.
    if (pn == 0 ? !refine : refine == want_refine) {
      slot = &e;
      return 1;
    }
  }
  return 2;
}

TtEntry* find_on_path(int side, uint32_t hand, uint32_t check_word) {
  if (tt_slots == 0) return nullptr;
  TtEntry* run = tt_tables[side] + home_slot();
  hand &= TT_HAND_MASK;
  for (int i = 0; i <= PROBE_LIMIT; ++i) {
    TtEntry& e = run[i];
    if (!(e.flags & TT_USED)) return nullptr;
    if (e.check_word == check_word && (e.flags & TT_HAND_MASK) == hand && (e.flags & TT_ON_PATH) &&
        (!tables_shared || e.pn == 0 || e.length == static_cast<int16_t>(path_mark_owner)))
      return &e;
  }
  return nullptr;
}

void tt_lock_run(int side) {
  if (tt_slots == 0) return;
  const RunStripes stripes = run_stripes(side);
  lock_stripe(stripes.first);
  if (stripes.second) lock_stripe(stripes.second);
}

void tt_unlock_run(int side) {
  if (tt_slots == 0) return;
  const RunStripes stripes = run_stripes(side);
  if (stripes.second) unlock_stripe(stripes.second);
  unlock_stripe(stripes.first);
}

int tt_store(int side, uint32_t flags_in, int16_t length, int32_t pn, int32_t dn, MoveCode move) {
  return store(side, flags_in, length, pn, dn, move, false);
}

int tt_store_result(int side, uint32_t flags_in, int32_t pn, int32_t dn, MoveCode move) {
  return store(side, flags_in, proof_len, pn, dn, move, true);
}

void tt_store_path_disproof(int side, uint32_t flags_in, int16_t dependency, MoveCode move) {
  const uint8_t saved = store_under_path_key;
  store_under_path_key = 1;
  // Under the route key: the same moves in another order pass other
  // positions, where the repetition it rests on need not be.
  store_under_route_key = 1;
  store(side, (flags_in & (TT_HAND_MASK | TT_PAWN_DROP_MATE)) | TT_PATH, dependency, PN_INFINITE, 0, move, false);
  store_under_route_key = 0;
  store_under_path_key = saved;
}

int hand_excess(uint32_t larger, uint32_t smaller) {
  int pawn_surplus = static_cast<int>((larger & HAND_PAWN_MASK) >> 20) -
                     static_cast<int>((smaller & HAND_PAWN_MASK) >> 20);
  uint32_t a = larger & HAND_PIECE_MASK;
  uint32_t b = smaller & HAND_PIECE_MASK;
  if (pawn_surplus < 0 || (b & ~a) != 0) return 0;
  return (pawn_surplus + __builtin_popcount(a ^ b)) * 2;
}

int hand_excess_over_current(uint32_t hand) { return hand_excess(board.attacker_hand, hand); }

int32_t tt_hashfull() {
  if (tt_slots == 0) return hashfull_max;
  int32_t fresh = static_cast<int32_t>(expansions - reexpansions);
  double fill = fresh / static_cast<double>(tt_slots) * 1000.0;
  int32_t permille = fill >= 990.0 ? 990 : fill <= 0.0 ? 0 : static_cast<int32_t>(fill);
  if (permille > hashfull_max) hashfull_max = permille;
  return hashfull_max;
}

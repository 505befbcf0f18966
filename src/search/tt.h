// Transposition tables: one for attacker-to-move positions (side 0), one for
// defender-to-move positions (side 1). Positions are found by the board key;
// the attacker's hand is kept in each entry and compared by domination, so
// one entry answers for positions that differ only in the attacker's hand.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "position/types.h"
#include "search/thread_state.h"

// ---------------------------------------------------------------- constants

// Flag bits of TtEntry::flags, above the packed hand (bits 0-24). Always
// combine them with |: adding a bit twice would carry into the next flag.
constexpr uint32_t TT_NOMATE = 1u << 25;          // definitely no mate
constexpr uint32_t TT_FUTILE = 1u << 26;          // rests on a futile interposition
constexpr uint32_t TT_REFINE = 1u << 27;          // non-proof written in a refinement pass
constexpr uint32_t TT_PAWN_DROP_MATE = 1u << 28;  // a pawn-drop mate was met below
constexpr uint32_t TT_PATH = 1u << 29;            // stored under the path key
constexpr uint32_t TT_USED = 1u << 30;            // slot occupied; an unused slot ends a run
constexpr uint32_t TT_ON_PATH = 1u << 31;         // on the current search path
constexpr uint32_t TT_HAND_MASK = (1u << 25) - 1;  // the PackedHand part

// Extra slots after the home slots, so that a probe run never wraps. The
// same length bounds every probe run and sizes every allocation.
constexpr int PROBE_LIMIT = 50;

// USI_Hash value used when none (or 0) arrived before the first solve.
constexpr uint32_t TT_DEFAULT_HASH_MB = PLATFORM_DEFAULT_TABLE_MB;
// Home slots per table for one USI_Hash megabyte: two tables of 20-byte
// entries then take at most one mebibyte together.
constexpr uint32_t TT_ENTRIES_PER_MB = 26214;

// ---------------------------------------------------------------- types

// One table entry, 20 bytes:
//
//   byte 0          4          8          12         16      18      20
//        +----------+----------+----------+----------+-------+-------+
//        |check_word|  flags   |    pn    |    dn    | best_ |length |
//        |  u32     |   u32    |   i32    |   i32    | move  |  i16  |
//        +----------+----------+----------+----------+-------+-------+
//
//   flags:
//    31      30    29    28         27      26      25      24..20  19..0
//   +-------+-----+-----+----------+-------+-------+-------+-------+------------+
//   |ON_PATH|USED |PATH |PAWN_DROP |REFINE |FUTILE |NOMATE |pawns  |L N S G B R |
//   |       |     |     |_MATE     |       |       |       |binary |unary fields|
//   +-------+-----+-----+----------+-------+-------+-------+-------+------------+
//   Bits 0-24 are the attacker's PackedHand for which the entry holds.
struct TtEntry {
  uint32_t check_word;  // board_key.hi, or the path key for TT_PATH entries
  uint32_t flags;       // hand (bits 0-24) and flag bits (25-31)
  int32_t pn;           // 0 = proven, PN_INFINITE = disproven
  int32_t dn;           // 0 = disproven for the search
  MoveCode best_move;   // 0 = none
  int16_t length;       // proof: mate length from here; else largest result met below
};
static_assert(sizeof(TtEntry) == 20, "a table entry is 20 bytes: the sizing counts on it");

// ---------------------------------------------------------------- variables

// Both tables, each tt_slots + PROBE_LIMIT entries; null until allocated.
extern TtEntry* tt_tables[2];
// Home slots actually allocated per table (0 = no table). Fixed once the
// tables exist: a later USI_Hash changes nothing.
extern uint32_t tt_slots;

// Set while several threads search over the tables: stores then hold the
// stripes of their run, probes read a run again when a store came between,
// and an entry marked on the path counts only for the thread whose path it
// is. Written only while no other thread searches.
extern uint8_t tables_shared;

// The probe's side results, the store modes and the counters are the search
// thread's (search/thread_state.h).

// Largest fill figure of the process; the table is never cleared, so the
// figure never goes down.
extern int32_t hashfull_max;

// ---------------------------------------------------------------- functions

// Allocates both tables once, with `entries` home slots each (the USI_Hash
// size; TT_DEFAULT_HASH_MB worth when that is 0), halving the size until
// both fit. True when the tables exist; false when not even one home slot
// could be had, and then the next call tries again.
bool tt_allocate(uint32_t entries);
// Allocates both tables with `entries` home slots (halving on failure) if
// none exist yet.
bool tt_allocate_entries(uint32_t entries);
// True once the tables exist; the search must not run otherwise.
bool tt_ready();
// Frees both tables (process end, and tests that need a fresh table).
void tt_release();
// Replaces both tables by empty ones of the same size.
void tt_renew();
// Ties the entries to the pieces out of play of the position about to be
// solved (pieces_out_of_play). Entries found with other pieces out of play
// assume another defender's hand and would answer for another problem, so a
// change starts both tables afresh, at the size they have.
void tt_bind_out_of_play(uint64_t signature);
// After a request: the refinement passes' and the stage's non-proofs hold
// numbers and bounded disproofs under that request's limits and path keys,
// of no use to the next one, and a bounded disproof would otherwise be the
// last entry evicted. They become plain numbers (1, 1), the first to go.
// Skipped until such entries since the last sweep could fill an eighth of a
// table.
void tt_retire_refinement();

// Every entry that holds numbers only (neither a proof nor a disproof, nor
// on the path) gets the numbers of a new position. Proof numbers summed over
// a graph with cycles can reach the cap on a small tree; the next search
// then starts from fresh numbers with all the table's decisions.
void tt_reset_numbers();

// Clears every mark of a path from the table, for when no search is under
// way: a mark left there (a thread's walk cut short) would read as a
// repetition. A marked proof stays a proof; a plain mark gets the numbers of
// a new position.
void tt_clear_path_marks();

// Looks up the current position in the table of `side`. Always sets
// hand_out to attacker_hand first (plus flags gathered on the way); when
// found, fills hand_out, length_out, pn_out, dn_out and tt_hint_move.
bool tt_probe(int side, uint32_t& hand_out, int16_t& length_out, int32_t& pn_out, int32_t& dn_out);

// Probe-run walk for a store under `check_word`. Returns 1 with the entry of
// the same hand (of the right proof/refinement kind), 0 with the first
// unused slot, 2 when the whole run was examined without a match (slot is
// then null).
int find_slot(int side, int32_t pn, uint32_t flags_in, uint32_t check_word, TtEntry*& slot);
// The entry of this check word and exact hand marked TT_ON_PATH, or null.
TtEntry* find_on_path(int side, uint32_t hand, uint32_t check_word);

// Holds (and lets go of) the current position's run as a store does while
// the tables are shared; a probe meanwhile finds nothing there. For tests of
// a write caught half done.
void tt_lock_run(int side);
void tt_unlock_run(int side);

// Writes a result for the current position. flags_in is the PackedHand with
// the caller's flag bits. Returns 1 when written, 0 when a proof was kept
// (or there is no table).
int tt_store(int side, uint32_t flags_in, int16_t length, int32_t pn, int32_t dn, MoveCode move);
// Same, with the length taken from proof_len and the on-path release only
// in refinement passes.
int tt_store_result(int side, uint32_t flags_in, int32_t pn, int32_t dn, MoveCode move);

// A disproof that rests on positions of the current path from ply
// `dependency` on (a repetition counts as the attacker's failure only on the
// path that repeats) holds wherever that path leads here again: it is kept
// under the route key (Board::route_key, which tells the same moves in
// another order apart), and tt_probe answers it only on this very path, with
// tt_dependency set so that the callers above keep it path-bound in turn.
// The position's own board-keyed entry stays unknown.
void tt_store_path_disproof(int side, uint32_t flags_in, int16_t dependency, MoveCode move);

// Twice the number of pieces by which hand `larger` exceeds hand `smaller`,
// 0 unless `larger` holds every piece of `smaller`. Flag bits are ignored.
int hand_excess(uint32_t larger, uint32_t smaller);
int hand_excess_over_current(uint32_t hand);

// Folds the current fill figure (new positions expanded per home slot, in
// permille, at most 990) into hashfull_max and returns hashfull_max.
int32_t tt_hashfull();

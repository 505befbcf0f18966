// Everything one search thread owns, in one place, and the modes of the solve
// that its node searches read. Each thread has its own copy of all of it
// (thread_local); the tables are the only state the threads share. The
// thread's board and its path marks are the position's own (position/board.h,
// position/make_move.h); reset_search_thread resets them with the rest.
//
// The generators' probes write the accumulators below and read the table,
// which is why movegen/ includes this header and search/tt.h.
#pragma once

#include <atomic>
#include <cstdint>

#include "movegen/move_list.h"
#include "position/board.h"
#include "position/types.h"

// Per square: bits 0-7 count the pieces of one side that reach it, bits 8-21
// are the OR of their attack bits.
using AttackMap = uint32_t[SQUARES];

// StopReason of the thread's search (search/search_state.h).
extern thread_local int16_t stop_reason;

// ------------------------------------------------ modes of the solve

// Set by the main thread's driver (and by the bench and tests) between root
// searches, never while helpers run; a helper's job carries a copy.
struct SearchModes {
  uint8_t refine_pass = 0;           // refinement passes so far, 0 before the first proof
  // The final stage after the refinement passes: no budgets, and a line cut
  // at the length limit is a disproof, so that the root can be disproven.
  uint8_t minimality_stage = 0;
  // The stage keeps its numbers per position and plies left, shared by
  // transpositions; 0 after those shared sums saturated (path keys again).
  uint8_t stage_shared_numbers = 1;
  uint8_t allow_proof_overwrite = 0;  // the solution reader may replace a stored proof
  uint8_t store_proof_hands = 1;      // store proofs once more under their proof hand
  uint8_t limit_active = 0;           // the mate length limit applies
  uint8_t after_mark = 0;             // the previous driver call marked a line (alternate search)
  uint8_t symmetric_root = 0;         // the root is its own mirror image: one half of the checks
  // Reopening of proved positions along the recorded line (refinement).
  uint8_t reopen_main_line = 0;
  // Ends the stage like a stop after this many expansions (0 = none). Never
  // set by the engine, which runs the stage until the time limit; the bench
  // sets it so that its counts do not depend on the clock.
  uint32_t stage_expansion_budget = 0;
};
extern thread_local SearchModes search_modes;

// ------------------------------------------------ the move generator

extern thread_local MoveEntry move_entries[MOVE_ENTRIES_SIZE];
// The list of level L is move_entries[list_start[L] .. list_start[L + 1] - 1].
// One spare index so that level LIST_LEVELS - 1 still has an end.
extern thread_local int16_t list_start[LIST_LEVELS + 1];
// Stands in for the entry past the storage once a generation overflows.
extern thread_local MoveEntry overflow_sink;
extern thread_local int gen_level;  // level of the generation in progress

extern thread_local int16_t mover;             // side to move in this generation
extern thread_local int16_t opponent;          // mover ^ 1
extern thread_local int16_t opponent_king_sq;  // slot 0 of the opponent's list
extern thread_local int16_t own_king_sq;       // slot 0 of the mover's list
extern thread_local MoveEntry* cur_entry;      // the entry being filled
extern thread_local AttackMap gen_attacks[2];  // attacker and defender maps of the node
extern thread_local AttackMap probe_attacks[2];
extern thread_local MoveCode node_best_move;
extern thread_local int16_t trial_drop_piece;  // nonzero while a free interposition is tried

// Check marking, filled by build_attack_map(0, map, MARK_CHECK) when the
// defender's generation builds the attacker map (movegen/attack.h).
extern thread_local uint8_t block_squares[SQUARES];
extern thread_local int16_t checker_square;
// Capturer marking: defender pieces that can capture the checker, filled by
// build_attack_map(1, map, MARK_CAPTURERS).
extern thread_local uint8_t checker_capturers[SQUARES];
// Defender pieces pinned against their king, rewritten by
// build_attacker_map_xray.
extern thread_local uint8_t pinned[SQUARES];

// Per-node accumulators: set by the node search before generate_moves and
// read after it.
extern thread_local int32_t rest_min_pn;    // min pn over the checks left out
extern thread_local int32_t rest_dn_sum;    // sum of dn over the checks left out
extern thread_local int16_t rest_dependency;  // shallowest path ply a left-out disproof rests on
extern thread_local int16_t node_len;       // attacker: largest / defender: smallest stored length
extern thread_local int32_t pn_sum;         // defender: sum of listed pn, capped
extern thread_local PackedHand proof_hand;  // defender: union of the proved defences' proof hands
extern thread_local uint8_t drop_mate_seen;     // a looked-up child carries TT_PAWN_DROP_MATE
extern thread_local uint8_t promo_flagged;      // a left-out child carries TT_PAWN_DROP_MATE
extern thread_local uint8_t no_legal_candidate; // cleared by a probe whose candidate is legal
extern thread_local uint8_t no_legal_evasion;   // cleared by an evasion that is legal
// Legal children generated since the "go mate" began.
extern thread_local uint32_t nodes;

// Probe outputs consumed by push_entry.
extern thread_local int32_t child_pn;
extern thread_local int32_t child_dn;
extern thread_local int16_t child_tag;
extern thread_local int16_t child_dependency;  // reset to NO_DEPENDENCY by push_entry
extern thread_local uint32_t probe_flags;  // the child's hand word with flags, from tt_probe

// Restricted mode (a free interposition being tried): the admitted checks.
extern thread_local MoveCode hint_moves[3];
// Class of the check the defender must answer (CheckClass), decided in the
// prologue of the evasions.
extern thread_local int check_class;
// Set when a generation would pass the move-list storage (MOVE_ENTRIES_SIZE
// records or LIST_LEVELS levels). The list is then cut short and is not the
// node's full move set: the search must not draw conclusions from it.
extern thread_local uint8_t gen_overflow;

// ------------------------------------------------ the table's probe and store

// Side results of tt_probe.
extern thread_local MoveCode tt_hint_move;     // best move of the entry answered (left as is on a miss)
extern thread_local uint8_t on_path_here;      // this position, same or larger hand, is on the path
extern thread_local uint8_t on_path_smaller;   // this position, smaller hand, is on the path
// For a disproof answered from an entry of this path (see
// tt_store_path_disproof): the ply of the shallowest position on the path
// that the disproof rests on; NO_DEPENDENCY for every other answer.
extern thread_local int16_t tt_dependency;
// Set while a caller probes a position that stands in the key only (the
// board arrays still hold another one): the entries' moves are then not
// checked against the board.
extern thread_local uint8_t probe_off_board;
// Store modes of the solution reader and the alternate-solution search.
extern thread_local uint8_t store_under_path_key;
// Set by tt_store_path_disproof: the entry goes under the route key.
extern thread_local uint8_t store_under_route_key;

// ------------------------------------------------ the node searches

extern thread_local int16_t length_limit;     // mate length limit of the refinement passes
extern thread_local int32_t node_threshold;   // threshold of the node most recently expanded
extern thread_local int16_t proof_len;        // length that tt_store_result writes
// After a node search that answered pn PN_INFINITE: the shallowest ply of a
// position on the current path that the disproof rests on (a repetition
// counts as the attacker's failure only on the path that repeats), or
// NO_DEPENDENCY. A disproof resting on a ply above the node is never stored
// as that position's disproof.
extern thread_local int16_t disproof_dependency;
// Trial hand-over, filled by futile_trial_applies and read by the check
// generator while trial_drop_piece is set.
extern thread_local MoveCode ref_move;   // the attacker's check that captured the interposer
extern thread_local MoveCode ref_move2;  // the defender's interposition when its code is at most 81, else 0
extern thread_local int16_t ref_piece;   // piece code on ref_move's destination

// Counters of the thread's searches.
extern thread_local uint32_t expansions;    // nodes expanded
extern thread_local uint32_t reexpansions;  // expansions of positions that already had an entry
extern thread_local uint32_t replacements;  // stores that evicted another entry

// ------------------------------------------------ the root searches

// The node count at which the current root search ends with STOP_TURN (0 = none).
extern thread_local uint32_t turn_node_cap;
extern thread_local int32_t root_threshold;  // threshold of the current root search
// Defender nodes count the hardest reply and one for each other instead of
// the sum of their replies' proof numbers (set by the driver per root search).
extern thread_local uint8_t weak_and_numbers;
// Set in helper threads: their node searches answer to the helpers' stop and
// never write a line.
extern thread_local uint8_t search_helper;
// Whose marks of the path these are, in a shared table: 1 for the main
// thread, 1 + n for helper n. A thread takes only its own marks for its path.
extern thread_local uint16_t path_mark_owner;
// A helper's published node count (null in the main thread).
extern thread_local std::atomic<uint32_t>* helper_live_nodes;

// ------------------------------------------------ reset

// Whether a reset starts a new count of nodes and clears the path marks (a
// new request, a helper's job, a test) or keeps them (another driver call of
// the same request, whose node count goes on).
enum ThreadReset { KEEP_REQUEST_COUNTS = 0, NEW_REQUEST = 1 };

// Puts every piece of the thread's search state back to its start for a
// search from the board's position as the root at ply 0, with mate length
// limit `limit`: no stop, empty move lists, no side results of an earlier
// probe, no trial, counters at zero. The modes are left alone.
void reset_search_thread(ThreadReset kind, int16_t limit);

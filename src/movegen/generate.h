// Move generation: the attacker's checks and the defender's evasions, each
// candidate tried at once by its probe and, when it survives, appended with
// its child's estimates to the move list of the level.
#pragma once

#include <cstdint>

#include "movegen/gen_context.h"
#include "position/board.h"

// ---------------------------------------------------------------- variables

// Per-node accumulators: set by the node search before generate_moves and
// read after it (node_threshold and proof_len live with the table).
extern thread_local int32_t rest_min_pn;    // min pn over the checks left out
extern thread_local int32_t rest_dn_sum;    // sum of dn over the checks left out
extern thread_local int16_t rest_dependency;  // shallowest path ply a left-out disproof rests on
extern thread_local int16_t node_len;       // attacker: largest / defender: smallest stored length
extern thread_local int32_t pn_sum;         // defender: sum of listed pn, capped
extern thread_local int32_t pn_sum_b;       // defender: the same, saturated by a defence onto the path
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

// Refinement inputs: reopening of proved positions along the recorded line.
extern uint8_t reopen_main_line;
// path_key of the recorded line's position at each depth.
extern uint32_t main_line_keys[MOVE_STACK_SIZE + 2];

// Class of the check the defender must answer, decided in the prologue.
enum CheckClass { CHECK_DOUBLE = 0, CHECK_STEP = 1, CHECK_LINE = 2 };
extern thread_local int check_class;

// Set when a generation would pass the move-list storage (MOVE_ENTRIES_SIZE
// records or LIST_LEVELS levels). The list is then cut short and is not the
// node's full move set: the search must not draw conclusions from it.
extern thread_local uint8_t gen_overflow;

// ---------------------------------------------------------------- functions

// Builds the move list of `level` for `side` to move. The board is unchanged
// on return apart from the piece-list order after capturing probes.
void generate_moves(int side, int level);

// Attacker half: candidate checks of the piece on `from`, and drops of one
// piece code.
void gen_piece_checks(int from);
void gen_drop_checks(int piece);

// Defender half: the evasions of a position in check, in their fixed order.
void gen_defender_moves();
void gen_checker_captures(int from);
void gen_blocks_and_captures(int from);
void gen_king_escapes();
void gen_drop_blocks();

// Completes cur_entry with the move and the child_* outputs and appends it.
// Returns 0 (and sets gen_overflow) when the storage is full.
int push_entry(int from, int to, int16_t length);

// Probes: try a candidate on the board, look its child up, estimate it and
// append it or fold it into the accumulators. 1 = appended (for evasions
// also: node saturated), 0 otherwise. `to` carries bit 7 for a promotion.
int probe_check(int from, int to);
int probe_evasion(int from, int to);
// Hint moves of restricted mode.
void find_hint_moves();

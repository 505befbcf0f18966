// The two node searches of the mate search: the attacker (OR) node and the
// defender (AND) node, which call each other.
#pragma once

#include <cstdint>

#include "movegen/move_list.h"
#include "position/board.h"
#include "search/thread_state.h"

// Deepest ply at which a node is still searched: its children then stay
// within the move stack and the level lists.
constexpr int MAX_NODE_PLY = MOVE_STACK_SIZE - 2;


// The disproof answer of a repetition of the position at `at`; at < 0 (a
// marker without the position on the path) only fails for the threshold.
void repetition_answer(int at, int32_t th, int32_t& pn_out, int32_t& dn_out);
// What a node stores for its result: a disproof that rests on the path
// above is stored as unknown (pn 1), so that another path searches it anew.
int32_t storable_pn(int32_t pn, int16_t dependency);
// Keeps such a disproof for this path (where it holds), unless the search
// is bounded or changed in a way that makes it no disproof of the position.
void keep_path_disproof(int side, uint32_t hand, int16_t dependency, MoveCode move);

// A proof reached while the same board with a smaller hand stands on the
// path: the mate leans on that position's own search, still open, so its
// length says nothing. It is kept with this result, below the value of any
// real mate, and never taken for a length of the position.
constexpr int PATH_SMALLER_HAND_RESULT = -600;

// The end of both node searches. A stopped node stores plain numbers under
// its result and returns one more.
int16_t stopped_node_result(int side, int best_result);
// A proven node's length from the node (for proof_len), after the table says
// whether the position stands on the path with a smaller hand; best_result
// then becomes PATH_SMALLER_HAND_RESULT, which the node also returns.
int16_t proven_length(int side, int& best_result, int depth);
// Stores the node's result (flags: the position's hand word with the result's
// flag bits) and returns its value: for a proof also stored once more under
// the proof hand `proven_hand`; for a disproof that rests on the path, kept
// for the path only, with disproof_dependency set.
int16_t store_node_result(int side, uint32_t flags, int32_t pn, int32_t dn, uint32_t proven_hand,
                          int best_result, MoveCode best_move, int16_t dependency);

// Clock, progress line and budget; true when the node must stop at once.
bool node_entry_check();
// The common entry of both node searches: true, with the outputs set, when
// the node answers at once (a stop, or a ply beyond MAX_NODE_PLY, which fails
// for the threshold).
bool node_answers_at_entry(int32_t th, int32_t& pn_out, int32_t& dn_out, uint32_t& hand_out);
// A node whose move list could not be stored fails for the threshold and
// stores nothing.
void fail_for_threshold(int32_t th, int32_t& pn_out, int32_t& dn_out, uint32_t& hand_out);

// Attacker to move: threshold in, pn/dn/proof hand out, returns the result
// (for a proof, the ply at which the mate completes less two per leftover
// piece). The board is unchanged on return. A finite th_dn also ends the
// node once its disproof number reaches it (both thresholds, as the
// minimality stage searches); PN_INFINITE leaves the proof number alone in
// charge.
int16_t search_attacker(int32_t th, int32_t& pn_out, int32_t& dn_out, uint32_t& hand_out,
                        int32_t th_dn = PN_INFINITE);
// Defender to move (in check).
int16_t search_defender(int32_t th, int32_t& pn_out, int32_t& dn_out, uint32_t& hand_out,
                        int32_t th_dn = PN_INFINITE);

// Index of the entry with the smallest pn (then the smaller tag, then the
// earlier) in first..last; second_plus_one gets the smallest pn among the
// others plus one.
int select_attacker_child(int first, int last, int& second_plus_one);
// Moves the reply to examine next to index `first`; returns the smallest dn
// among its rivals (PN_INFINITE when none).
int32_t select_defender_child(int first, int last);
// Under a disproof threshold: moves the reply with the smallest dn (then the
// smaller tag, then the earlier) to `first`; returns the smallest dn among
// the others.
int32_t select_defender_child_by_dn(int first, int last);

// The child's proof hand seen before the attacker's move from `from` that
// captured a piece of kind `captured_kind` (0 for none).
uint32_t unwind_proof_hand(uint32_t hand, int from, int captured_kind);
// Proof hand of a mated defender node.
uint32_t and_proof_hand();
// Two plies for every piece left in the attacker's hand.
int leftover_penalty();

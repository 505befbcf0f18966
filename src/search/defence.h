// Which mated reply becomes the main defence, and when an interposition is
// futile (it only hands the attacker a piece to capture without changing
// how the attacker mates).
#pragma once

#include <cstdint>

#include "movegen/move_list.h"
#include "position/types.h"
#include "search/thread_state.h"


// Whether the mated reply `candidate` (its length holding the child's
// result) replaces the current best defence. Called with the reply unmade.
bool better_defence(const MoveEntry& candidate, int16_t best_result, MoveCode best_move,
                    uint32_t child_hand);

// Preference between two defences of equal length.
bool defence_tie_break(const MoveEntry& candidate, MoveCode best_move);

// With `reply` just made: whether the reply answers a capture of the
// defender's interposition on the same square and may be tried with the
// captured piece given back. Fills ref_move, ref_move2 and ref_piece when it
// answers true.
bool futile_trial_applies(const MoveEntry& reply);

// At a defender node: whether a main defence `reply_move` (0 = none) makes
// the interposition that the attacker just captured futile.
bool futile_reply(MoveCode reply_move);

// Whether the attacker answers the king move `king_reply` on the same
// square with and without the interposition pair; true for any reply that
// is not a king move.
bool futile_same_answer(MoveCode king_reply);

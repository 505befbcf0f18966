// The move generator's light make and unmake: enough of a move to test it
// and to look its child up in the transposition table.
#pragma once

#include "search/thread_state.h"

// What stood on the destination of a board move (EMPTY and OWNER_NONE when
// nothing; always so for a drop).
struct ProbeCapture {
  int piece;
  int owner;
};

// Makes the move of `mover` from `from` (a board square or the mover's hand
// square) to `to` (bit 7 ignored). Whether it promotes is read from bit 7 of
// cur_entry->to, which must stay unchanged until probe_unmake. Changes
// pieces, owners, the piece lists, board_key, attacker_hand, path_key and
// ply, but not hands, pawn_columns, depth or the move stack. A captured piece
// must not be a king.
ProbeCapture probe_make(int from, int to);

// Undoes probe_make(from, to) given what it returned. A captured piece comes
// back at the end of its owner's list, so that list ends up permuted.
void probe_unmake(int from, int to, int captured, int captured_owner);

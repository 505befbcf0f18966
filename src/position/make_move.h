// Making and unmaking moves on the global board.
//
// make_move/unmake_move keep every field of `board` in step: squares, owners,
// hands, piece lists and slots, pawn columns, attacker_has_king, board_key,
// path_key, attacker_hand, move_stack, ply and depth. Neither checks
// legality; callers pass moves from move generation or the transposition
// table. Preconditions: the origin holds a piece of `side` (a drop: the hand
// holds one), the destination is empty or holds an opponent piece, and the
// promotion bit is only set on an unpromoted pawn, lance, knight, silver,
// bishop or rook.
//
// Piece-list order: a moving piece keeps its slot; a removed piece is taken
// out with the later entries moving down one slot; an added piece is
// appended after the last slot. So a non-capturing move, a drop and their
// unmaking leave the lists exactly as they were, while a captured piece comes
// back at the end of its owner's list. Move generation walks the lists in
// slot order, so this decides the order in which moves are tried.
//
// Kings live in slot 0 and never shift the other entries: removing a king
// (only a king capture does) leaves slot 0 stale and clears attacker_has_king
// for owner 0; adding it back fills slot 0 again. The other pieces stay
// in slots 1..last_slot throughout, so the board stays valid after a king
// capture and its unmaking restores the lists exactly.
//
// move_stack holds MOVE_STACK_SIZE records (plies 0..1999). A make that
// raises ply to MOVE_STACK_SIZE or beyond still makes the move but records
// nothing; callers bound the depth (the line readers stop before ply 2000).
#pragma once

#include <cstdint>

#include "position/board.h"
#include "position/types.h"

// The position from which the move of each ply was made: the path that
// repetitions are looked for on.
struct PathPosition {
  HashKey key;
  PackedHand hand;
};
extern thread_local PathPosition path_positions[MOVE_STACK_SIZE];
// How many of those positions have each value of key.lo & PATH_COUNT_MASK: a
// position whose count is 0 is on no ply of the path, so that most look-ups
// need no walk along it. Kept by make_move and unmake_move.
constexpr uint32_t PATH_COUNT_MASK = 4095;
extern thread_local uint16_t path_counts[PATH_COUNT_MASK + 1];
// Zeroes the counts (a search starting at the root, ply 0).
void clear_path_counts();

// The latest earlier ply with the same side to move, the same board and an
// attacker hand holding at least the current one; -1 when there is none.
int repeated_ply();

constexpr int DROP_MODE_DROP = 1;
constexpr int DROP_MODE_TAKE_BACK = 2;

// Plays `move` for `side` (0 attacker, 1 defender). The piece code and owner
// that stood on the destination (EMPTY and OWNER_NONE when nothing) come back
// in captured_piece/captured_owner and must be handed to unmake_move.
void make_move(int16_t side, const Move& move, int16_t& captured_piece, int16_t& captured_owner);

// Undoes the make_move of the same side and move, given what it captured.
void unmake_move(int16_t side, const Move& move, int16_t captured_piece, int16_t captured_owner);

// Takes `sq` out of owner's piece list; later entries move down one slot.
void list_remove(int owner, int sq);

// Appends `sq` to owner's piece list (a king goes into slot 0). The piece
// must already stand on `sq`.
void list_add(int owner, int sq);

// DROP_MODE_DROP: puts `piece` from owner's hand (hand square hand_sq) on
// the empty square `to`. DROP_MODE_TAKE_BACK: lifts it from `to` back into
// the hand. Keeps lists, pawn columns, board_key and attacker_hand in step.
void drop_piece(int owner, int piece, int hand_sq, int to, int mode);

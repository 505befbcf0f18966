#include "movegen/gen_context.h"

thread_local MoveEntry move_entries[MOVE_ENTRIES_SIZE];
thread_local int16_t list_start[LIST_LEVELS + 1];

thread_local int16_t mover;
thread_local int16_t opponent;
thread_local int16_t opponent_king_sq;
thread_local int16_t own_king_sq;
thread_local MoveEntry* cur_entry = move_entries;
thread_local AttackMap gen_attacks[2];
thread_local AttackMap probe_attacks[2];
thread_local MoveCode node_best_move;
uint8_t symmetric_root;
thread_local int16_t trial_drop_piece;

thread_local uint8_t block_squares[SQUARES];
thread_local int16_t checker_square;
thread_local uint8_t checker_capturers[SQUARES];
thread_local uint8_t pinned[SQUARES];

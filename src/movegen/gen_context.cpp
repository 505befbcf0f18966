#include "movegen/gen_context.h"

MoveEntry move_entries[MOVE_ENTRIES_SIZE];
int16_t list_start[LIST_LEVELS + 1];

int16_t mover;
int16_t opponent;
int16_t opponent_king_sq;
int16_t own_king_sq;
MoveEntry* cur_entry = move_entries;
AttackMap gen_attacks[2];
AttackMap probe_attacks[2];
MoveCode node_best_move;
uint8_t symmetric_root;
int16_t trial_drop_piece;

uint8_t block_squares[SQUARES];
int16_t checker_square;
uint8_t checker_capturers[SQUARES];
uint8_t pinned[SQUARES];

// State of the generation in progress, read by the probes and the attack
// builders.
#pragma once

#include <cstdint>

#include "movegen/move_list.h"
#include "position/types.h"

// Per square: bits 0-7 count the pieces of one side that reach it, bits 8-21
// are the OR of their attack bits.
using AttackMap = uint32_t[SQUARES];

extern thread_local int16_t mover;             // side to move in this generation
extern thread_local int16_t opponent;          // mover ^ 1
extern thread_local int16_t opponent_king_sq;  // slot 0 of the opponent's list
extern thread_local int16_t own_king_sq;       // slot 0 of the mover's list
extern thread_local MoveEntry* cur_entry;      // the entry being filled
extern thread_local AttackMap gen_attacks[2];  // attacker and defender maps of the node
extern thread_local AttackMap probe_attacks[2];
extern thread_local MoveCode node_best_move;
extern uint8_t symmetric_root;
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

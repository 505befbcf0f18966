#include "search/thread_state.h"

#include "position/board.h"
#include "position/make_move.h"
#include "search/search_state.h"

thread_local SearchModes search_modes;

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
thread_local int16_t trial_drop_piece;
thread_local uint8_t block_squares[SQUARES];
thread_local int16_t checker_square;
thread_local uint8_t checker_capturers[SQUARES];
thread_local uint8_t pinned[SQUARES];
thread_local int32_t rest_min_pn;
thread_local int32_t rest_dn_sum;
thread_local int16_t rest_dependency = NO_DEPENDENCY;
thread_local int16_t node_len;
thread_local int32_t pn_sum;
thread_local PackedHand proof_hand;
thread_local uint8_t drop_mate_seen;
thread_local uint8_t promo_flagged;
thread_local uint8_t no_legal_candidate;
thread_local uint8_t no_legal_evasion;
thread_local uint32_t nodes;
thread_local int32_t child_pn;
thread_local int32_t child_dn;
thread_local int16_t child_dependency = NO_DEPENDENCY;
thread_local int16_t child_tag;
thread_local uint32_t probe_flags;
thread_local MoveCode hint_moves[3];
thread_local uint8_t gen_overflow;
thread_local int check_class;
thread_local int gen_level;
thread_local MoveEntry overflow_sink;
thread_local int16_t disproof_dependency = NO_DEPENDENCY;
thread_local MoveCode ref_move = 0;
thread_local MoveCode ref_move2 = 0;
thread_local int16_t ref_piece = 0;
thread_local int16_t stop_reason = STOP_NONE;
thread_local uint32_t turn_node_cap = 0;
thread_local int32_t root_threshold = 1;
thread_local uint8_t weak_and_numbers = 0;
thread_local uint8_t search_helper = 0;
thread_local uint16_t path_mark_owner = 1;
thread_local std::atomic<uint32_t>* helper_live_nodes = nullptr;
thread_local MoveCode tt_hint_move = 0;
thread_local uint8_t on_path_here = 0;
thread_local uint8_t on_path_smaller = 0;
thread_local int16_t tt_dependency = NO_DEPENDENCY;
thread_local uint8_t store_under_path_key = 0;
thread_local uint8_t store_under_route_key = 0;
thread_local uint8_t probe_off_board = 0;
thread_local int16_t length_limit = 0;
thread_local int32_t node_threshold = 0;
thread_local int16_t proof_len = 0;
thread_local uint32_t expansions = 0;
thread_local uint32_t reexpansions = 0;
thread_local uint32_t replacements = 0;

void reset_search_thread(ThreadReset kind, int16_t limit) {
  stop_reason = STOP_NONE;
  turn_node_cap = 0;
  root_threshold = 1;
  weak_and_numbers = 0;
  length_limit = limit;
  trial_drop_piece = 0;
  tt_hint_move = 0;
  on_path_here = 0;
  on_path_smaller = 0;
  tt_dependency = NO_DEPENDENCY;
  node_threshold = 0;
  proof_len = 0;
  disproof_dependency = NO_DEPENDENCY;
  store_under_path_key = 0;
  probe_off_board = 0;
  list_start[1] = 0;
  cur_entry = &move_entries[0];
  drop_mate_seen = 0;
  no_legal_evasion = 0;
  expansions = 0;
  reexpansions = 0;
  replacements = 0;
  board.ply = 0;
  board.depth = 1;
  if (kind == NEW_REQUEST) {
    nodes = 0;
    clear_path_counts();
  }
}

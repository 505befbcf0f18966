#include "solve/search_state.h"

thread_local int16_t stop_reason = STOP_NONE;
thread_local uint32_t turn_node_cap = 0;
uint32_t time_limit_ms = 0;
uint32_t limit_start_ms = 0;
uint32_t search_start_ms = 0;
uint32_t last_report_ms = 0;
uint32_t node_budget = 0;
thread_local int32_t root_threshold = 1;
int32_t reported_depth = 0;
int16_t mate_length = 0;
uint8_t inner_solve = 0;
uint8_t store_proof_hands = 1;
uint8_t limit_active = 0;
uint8_t minimality_stage = 0;
uint8_t stage_shared_numbers = 1;
uint32_t stage_expansion_budget = 0;
thread_local uint8_t weak_and_numbers = 0;

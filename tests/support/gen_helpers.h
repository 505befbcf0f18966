// Running one generation the way the node searches do, for tests.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "movegen/generate.h"
#include "movegen/step_tables.h"
#include "position/move_text.h"
#include "search/tt.h"
#include "support/position_helpers.h"

struct ListedMove {
  std::string usi;
  int pn;
  int dn;
  int tag;
  int length;
  MoveCode tt_move;
};

inline std::string usi_text(MoveCode code) {
  testing::internal::CaptureStdout();
  print_move_usi(code);
  return testing::internal::GetCapturedStdout();
}

// A fresh, small, empty table and the process-wide tables.
inline void fresh_search_tables(uint32_t slots = 1u << 12) {
  build_step_tables();
  build_zobrist();
  tt_release();
  ASSERT_TRUE(tt_allocate_entries(slots));
  search_modes.refine_pass = 0;
  trial_drop_piece = 0;
  search_modes.symmetric_root = 0;
}

// Sets up an SFEN position at the root, ready for generation.
inline void setup_root(const std::string& sfen) {
  setup_position(sfen);
  list_start[1] = 0;
}

// Accumulators as the attacker node search sets them.
inline void reset_attacker_accumulators(int threshold) {
  node_threshold = threshold;
  rest_min_pn = PN_INFINITE;
  rest_dn_sum = 0;
  node_len = 0;
  proof_len = -LENGTH_INFINITE;
  pn_sum = 0;
  proof_hand = 0;
  drop_mate_seen = 0;
}

// Accumulators as the defender node search sets them.
inline void reset_defender_accumulators(int threshold) {
  node_threshold = threshold;
  proof_len = -LENGTH_INFINITE;
  pn_sum = 0;
  proof_hand = 0;
  node_len = LENGTH_INFINITE;
  drop_mate_seen = 0;
  no_legal_evasion = 1;
}

inline std::vector<ListedMove> listed_moves(int level) {
  std::vector<ListedMove> moves;
  for (int i = list_start[level]; i < list_start[level + 1]; ++i) {
    const MoveEntry& e = move_entries[i];
    moves.push_back({usi_text(static_cast<MoveCode>(e.from * 256 + e.to)), e.pn, e.dn, e.tag, e.length,
                     e.tt_move});
  }
  return moves;
}

inline std::vector<std::string> listed_usi(int level) {
  std::vector<std::string> texts;
  for (const ListedMove& m : listed_moves(level)) texts.push_back(m.usi);
  return texts;
}

// Generates the attacker's checks at the root with `threshold`.
inline std::vector<ListedMove> attacker_checks(int threshold) {
  reset_attacker_accumulators(threshold);
  generate_moves(0, board.depth);
  return listed_moves(board.depth);
}

inline const ListedMove* find_move(const std::vector<ListedMove>& moves, const std::string& usi) {
  for (const ListedMove& m : moves)
    if (m.usi == usi) return &m;
  return nullptr;
}

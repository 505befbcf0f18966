// Small helpers shared by the node searches.
#pragma once

#include <cstdint>

#include "movegen/move_list.h"
#include "platform/platform.h"
#include "position/keys.h"

// Results and lengths saturate at the infinite length so that 16-bit values
// never wrap.
inline int16_t sat16(int value) {
  if (value > LENGTH_INFINITE) return LENGTH_INFINITE;
  if (value < -LENGTH_INFINITE) return -LENGTH_INFINITE;
  return static_cast<int16_t>(value);
}

// A child's threshold when it must beat a sibling whose number plus one is
// `next_plus_one`: an eighth more, so that the search goes deeper before it
// turns to the sibling instead of see-sawing between children of nearly
// equal numbers (and around cycles of them). Saturates; infinity stays.
inline int32_t past_sibling(int32_t next_plus_one) {
  return pn_add(next_plus_one, (next_plus_one - 1) / 8);
}

inline MoveCode entry_code(const MoveEntry& e) { return static_cast<MoveCode>(e.from * 256 + e.to); }
inline Move entry_move(const MoveEntry& e) { return Move{e.from, e.to}; }

inline uint32_t hand_without(uint32_t hand, int piece) { return hand_remove_piece(hand, piece); }
inline uint32_t hand_with(uint32_t hand, int piece) { return hand_add_piece(hand, piece); }

inline uint32_t platform_elapsed_since(uint32_t start_ms) { return platform_time_ms() - start_ms; }

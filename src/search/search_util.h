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

inline MoveCode entry_code(const MoveEntry& e) { return static_cast<MoveCode>(e.from * 256 + e.to); }
inline Move entry_move(const MoveEntry& e) { return Move{e.from, e.to}; }

inline uint32_t hand_without(uint32_t hand, int piece) { return hand_remove_piece(hand, piece); }
inline uint32_t hand_with(uint32_t hand, int piece) { return hand_add_piece(hand, piece); }

inline uint32_t platform_elapsed_since(uint32_t start_ms) { return platform_time_ms() - start_ms; }

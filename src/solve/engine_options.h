// Option values kept for the life of the process: the USI loop sets them,
// the solve requests read them.
#pragma once

#include <cstdint>

struct EngineOptions {
  uint32_t table_entries;          // USI_Hash value * TT_ENTRIES_PER_MB (saturating), 0 = not set
  bool alternate_search_enabled;   // Do_YoTsume_Search
  int32_t alternate_time_seconds;  // YoTsume_Second
  int32_t threads;                 // Threads, 1 to MAX_SEARCH_THREADS
};

extern EngineOptions engine_options;

constexpr EngineOptions ENGINE_OPTIONS_START = {0, false, 30, 1};

// The operating system's half of the platform layer: one implementation per
// system (platform_posix.cpp, platform_windows.cpp), chosen at build time.
// platform.cpp puts the test hooks in front of these.
#pragma once

#include <cstddef>
#include <cstdint>

// Starts fn on a thread of its own that nobody joins; false when the system
// refuses.
bool native_start_thread(void (*fn)());
// The system's millisecond clock, truncated to 32 bits.
uint32_t native_time_ms();
// `bytes` (> 0) of zero-filled memory, or nullptr.
void* native_alloc_zeroed(std::size_t bytes);

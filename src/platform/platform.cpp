// The parts of the platform layer that are the same on every system: the
// test hooks in front of the thread start, the clock and the table memory.
#include "platform/platform.h"

#include <atomic>

#include "platform/native.h"

static std::atomic<bool> thread_start_fails{false};
static std::atomic<uint32_t> clock_offset_ms{0};
static std::atomic<bool> clock_frozen{false};
static std::atomic<uint32_t> frozen_ms{0};
static std::atomic<std::size_t> alloc_limit_bytes{0};

bool platform_start_thread(void (*fn)()) {
  if (thread_start_fails) return false;
  return native_start_thread(fn);
}

void platform_set_thread_start_fails(bool fails) { thread_start_fails = fails; }

uint32_t platform_time_ms() {
  if (clock_frozen.load(std::memory_order_relaxed)) return frozen_ms.load(std::memory_order_relaxed);
  // Unsigned addition wraps at 32 bits, as the system clock itself does.
  return native_time_ms() + clock_offset_ms.load(std::memory_order_relaxed);
}

void platform_set_clock_offset(uint32_t offset_ms) { clock_offset_ms = offset_ms; }

void platform_freeze_clock(bool frozen, uint32_t ms) {
  frozen_ms = ms;
  clock_frozen = frozen;
}

void* platform_alloc_zeroed(std::size_t bytes) {
  std::size_t limit = alloc_limit_bytes;
  if (bytes == 0 || (limit != 0 && bytes > limit)) return nullptr;
  return native_alloc_zeroed(bytes);
}

void platform_set_alloc_limit(std::size_t bytes) { alloc_limit_bytes = bytes; }

#ifndef __EMSCRIPTEN__
// Native engines read their input on a thread of their own: nothing to yield to.
void platform_yield() {}
void platform_set_yield_hook(void (*)()) {}
#endif

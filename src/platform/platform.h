// Thin portable layer over threads, locking, sleeping, the clock, table
// memory, the standard streams and process exit. One interface; the system's
// half is platform_posix.cpp or platform_windows.cpp, chosen at build time.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef __EMSCRIPTEN__
// A WebAssembly module in a browser or Node.js: one thread, which the search
// shares with the host by yielding; the tables are held to what a browser
// tab can spare.
constexpr bool PLATFORM_YIELDS = true;
constexpr uint32_t PLATFORM_MAX_TABLE_MB = 256;
// There the tables are cleared page by page when allocated (no lazily
// zeroed mapping), which a slow machine pays for within the first request.
constexpr uint32_t PLATFORM_DEFAULT_TABLE_MB = 64;
constexpr int PLATFORM_MAX_THREADS = 1;
#else
constexpr bool PLATFORM_YIELDS = false;
constexpr uint32_t PLATFORM_MAX_TABLE_MB = UINT32_MAX;
constexpr uint32_t PLATFORM_DEFAULT_TABLE_MB = 256;
constexpr int PLATFORM_MAX_THREADS = 256;
#endif
// How often a yielding platform's search gives the host its turn.
constexpr uint32_t PLATFORM_YIELD_MS = 5;

// Gives the host its turn (messages in, timers), then runs the yield hook;
// nothing where PLATFORM_YIELDS is false.
void platform_yield();
// What runs after each yield: the engine takes the input that arrived.
void platform_set_yield_hook(void (*hook)());

// Starts fn on a detached thread; false when the thread cannot be started.
bool platform_start_thread(void (*fn)());

// Simulates a failing thread start (tests only).
void platform_set_thread_start_fails(bool fails);

struct PlatformMutex;
PlatformMutex* platform_mutex_create();
void platform_mutex_lock(PlatformMutex* mutex);
void platform_mutex_unlock(PlatformMutex* mutex);
void platform_mutex_destroy(PlatformMutex* mutex);
// With the mutex held: releases it, waits until platform_mutex_notify or at
// most `timeout_ms`, and holds it again on return. May also return early
// without a notification, so callers test their condition again.
void platform_mutex_wait(PlatformMutex* mutex, uint32_t timeout_ms);
// Wakes a thread waiting in platform_mutex_wait on this mutex, if any.
void platform_mutex_notify(PlatformMutex* mutex);

void platform_sleep_ms(uint32_t ms);

// Milliseconds of a monotonic clock, as a 32-bit value that wraps.
uint32_t platform_time_ms();
// Shifts the clock (tests only: puts the wrap point within reach).
void platform_set_clock_offset(uint32_t offset_ms);
// Stops the clock at `ms` (tests only); `frozen` false lets it run again.
void platform_freeze_clock(bool frozen, uint32_t ms = 0);

// Zero-filled memory for the transposition tables; nullptr on failure.
void* platform_alloc_zeroed(std::size_t bytes);
void platform_free(void* block);
// Makes every allocation above `bytes` fail (tests only); 0 lifts the limit.
void platform_set_alloc_limit(std::size_t bytes);
// The machine's physical memory in bytes; 0 when it cannot be told.
uint64_t platform_memory_bytes();

// Makes standard input and output carry bytes unchanged (no line-ending or
// end-of-file translation); called once at start-up.
void platform_binary_stdio();

// Ends the process at once with `status`, without running destructors or
// waiting for other threads.
[[noreturn]] void platform_exit(int status);

// The platform layer on Linux and other POSIX systems: the standard library
// for threads, locking, sleeping and the clock; calloc, whose large blocks
// are fresh zero pages mapped on first use.
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>

#include <unistd.h>

#include "platform/native.h"
#include "platform/platform.h"

struct PlatformMutex {
  std::mutex mutex;
  std::condition_variable wake;
};

bool native_start_thread(void (*fn)()) {
  try {
    std::thread(fn).detach();
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

PlatformMutex* platform_mutex_create() { return new PlatformMutex; }
void platform_mutex_lock(PlatformMutex* mutex) { mutex->mutex.lock(); }
void platform_mutex_unlock(PlatformMutex* mutex) { mutex->mutex.unlock(); }
void platform_mutex_destroy(PlatformMutex* mutex) { delete mutex; }

void platform_mutex_wait(PlatformMutex* mutex, uint32_t timeout_ms) {
  // The caller holds the mutex; the lock object takes it over for the wait
  // and hands it back still held.
  std::unique_lock<std::mutex> held(mutex->mutex, std::adopt_lock);
  mutex->wake.wait_for(held, std::chrono::milliseconds(timeout_ms));
  held.release();
}

void platform_mutex_notify(PlatformMutex* mutex) { mutex->wake.notify_one(); }

void platform_sleep_ms(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

uint32_t native_time_ms() {
  auto since_epoch = std::chrono::steady_clock::now().time_since_epoch();
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since_epoch).count();
  // Truncation to 32 bits is the wrap.
  return static_cast<uint32_t>(static_cast<uint64_t>(ms));
}

void* native_alloc_zeroed(std::size_t bytes) { return std::calloc(bytes, 1); }

void platform_free(void* block) { std::free(block); }

uint64_t platform_memory_bytes() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page_size <= 0) return 0;
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size);
}

// Streams carry bytes unchanged here already.
void platform_binary_stdio() {}

void platform_exit(int status) { std::_Exit(status); }

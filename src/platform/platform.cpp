#include "platform/platform.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include <unistd.h>

struct PlatformMutex {
  std::mutex mutex;
  std::condition_variable wake;
};

static std::atomic<bool> thread_start_fails{false};
static std::atomic<uint32_t> clock_offset_ms{0};
static std::atomic<bool> clock_frozen{false};
static std::atomic<uint32_t> frozen_ms{0};
static std::atomic<std::size_t> alloc_limit_bytes{0};

bool platform_start_thread(void (*fn)()) {
  if (thread_start_fails) return false;
  try {
    std::thread(fn).detach();
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void platform_set_thread_start_fails(bool fails) { thread_start_fails = fails; }

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

uint32_t platform_time_ms() {
  if (clock_frozen.load(std::memory_order_relaxed)) return frozen_ms.load(std::memory_order_relaxed);
  auto since_epoch = std::chrono::steady_clock::now().time_since_epoch();
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since_epoch).count();
  // Truncation to 32 bits is the wrap.
  return static_cast<uint32_t>(static_cast<uint64_t>(ms)) + clock_offset_ms.load();
}

void platform_set_clock_offset(uint32_t offset_ms) { clock_offset_ms = offset_ms; }

void platform_freeze_clock(bool frozen, uint32_t ms) {
  frozen_ms = ms;
  clock_frozen = frozen;
}

void* platform_alloc_zeroed(std::size_t bytes) {
  std::size_t limit = alloc_limit_bytes;
  if (bytes == 0 || (limit != 0 && bytes > limit)) return nullptr;
  return std::calloc(bytes, 1);
}

void platform_free(void* block) { std::free(block); }

void platform_set_alloc_limit(std::size_t bytes) { alloc_limit_bytes = bytes; }

uint64_t platform_memory_bytes() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page_size <= 0) return 0;
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size);
}

void platform_exit(int status) { std::_Exit(status); }

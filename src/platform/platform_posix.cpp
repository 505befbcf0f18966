// The platform layer on Linux and other POSIX systems: the standard library
// for threads, locking, sleeping and the clock; large blocks mapped as fresh
// zero pages on first use, in huge pages where the system offers them.
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>

#include <sys/mman.h>
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

namespace {

// Blocks this large are mapped directly and asked for huge pages: the search
// touches a table all over, and a fresh 4 KiB page costs a fault each (tens
// of microseconds in a virtual machine), which held a search with a 1 GiB
// table to a tenth of its speed until every page had been touched.
constexpr std::size_t MAPPED_MIN_BYTES = std::size_t{4} << 20;

struct MappedBlock {
  void* start;
  std::size_t bytes;
};
// The mapped blocks alive (the two tables, and a pair being replaced).
MappedBlock mapped_blocks[8];

}  // namespace

void* native_alloc_zeroed(std::size_t bytes) {
  if (bytes < MAPPED_MIN_BYTES) return std::calloc(bytes, 1);
  MappedBlock* free_record = nullptr;
  for (MappedBlock& b : mapped_blocks)
    if (!b.start) free_record = &b;
  if (!free_record) return std::calloc(bytes, 1);
  void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) return nullptr;
#ifdef MADV_HUGEPAGE
  madvise(block, bytes, MADV_HUGEPAGE);  // a hint: refused, the block works as it is
#endif
  *free_record = MappedBlock{block, bytes};
  return block;
}

void platform_free(void* block) {
  if (!block) return;
  for (MappedBlock& b : mapped_blocks) {
    if (b.start == block) {
      munmap(b.start, b.bytes);
      b = MappedBlock{nullptr, 0};
      return;
    }
  }
  std::free(block);
}

uint64_t platform_memory_bytes() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page_size <= 0) return 0;
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size);
}

// Streams carry bytes unchanged here already.
void platform_binary_stdio() {}

void platform_exit(int status) { std::_Exit(status); }

// The platform layer of the system it was built for: the same tests run in
// the Linux test binary and, cross-built, under Wine.
#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace {

constexpr std::size_t MIB = std::size_t{1} << 20;

// Waits in short sleeps, for at most 10 s, until `done` holds.
template <class Done>
bool wait_until(Done done) {
  for (int i = 0; i < 1000 && !done(); ++i) platform_sleep_ms(10);
  return done();
}

std::atomic<int> thread_runs{0};
void count_run() { thread_runs.fetch_add(1); }

TEST(Platform, ThreadStartAndItsFailure) {
  thread_runs = 0;
  platform_set_thread_start_fails(true);
  EXPECT_FALSE(platform_start_thread(count_run));
  platform_set_thread_start_fails(false);
  ASSERT_TRUE(platform_start_thread(count_run));
  ASSERT_TRUE(wait_until([] { return thread_runs.load() > 0; }));
  // The refused start ran nothing: only the second one counted.
  platform_sleep_ms(50);
  EXPECT_EQ(thread_runs.load(), 1);
}

PlatformMutex* shared_lock = nullptr;
long shared_count = 0;  // guarded by shared_lock
std::atomic<int> adders_done{0};
constexpr long ADDS = 200000;

void add_under_lock() {
  for (long i = 0; i < ADDS; ++i) {
    platform_mutex_lock(shared_lock);
    ++shared_count;
    platform_mutex_unlock(shared_lock);
  }
  adders_done.fetch_add(1);
}

TEST(Platform, LockKeepsTwoThreadsApart) {
  shared_lock = platform_mutex_create();
  shared_count = 0;
  adders_done = 0;
  ASSERT_TRUE(platform_start_thread(add_under_lock));
  add_under_lock();
  ASSERT_TRUE(wait_until([] { return adders_done.load() == 2; }));
  platform_mutex_lock(shared_lock);
  EXPECT_EQ(shared_count, 2 * ADDS);  // no increment lost
  platform_mutex_unlock(shared_lock);
  platform_mutex_destroy(shared_lock);
}

TEST(Platform, ClockWrapsAt32BitsAndDifferencesHold) {
  platform_set_clock_offset(0);
  const uint32_t raw = platform_time_ms();
  // Put the wrap 200 ms ahead of the clock.
  platform_set_clock_offset(0u - raw - 200u);
  const uint32_t before = platform_time_ms();
  platform_sleep_ms(400);
  const uint32_t after = platform_time_ms();
  platform_set_clock_offset(0);
  EXPECT_GT(before, 0xFFFF0000u) << "not yet wrapped";
  EXPECT_LT(after, 0x10000u) << "wrapped";
  // Unsigned differences span the wrap.
  EXPECT_GE(after - before, 350u);
  EXPECT_LT(after - before, 60000u);
}

TEST(Platform, FrozenClockStandsStill) {
  platform_freeze_clock(true, 0xFFFFFFF0u);
  EXPECT_EQ(platform_time_ms(), 0xFFFFFFF0u);
  platform_sleep_ms(20);
  EXPECT_EQ(platform_time_ms(), 0xFFFFFFF0u);
  platform_freeze_clock(false);
  EXPECT_NE(platform_time_ms(), 0xFFFFFFF0u);
}

bool all_zero(const unsigned char* block, std::size_t bytes) {
  for (std::size_t i = 0; i < bytes; ++i)
    if (block[i] != 0) return false;
  return true;
}

TEST(Platform, TableMemoryIsZeroedAndKeepsTheLimit) {
  platform_set_alloc_limit(4 * MIB);
  EXPECT_EQ(platform_alloc_zeroed(4 * MIB + 1), nullptr);
  EXPECT_EQ(platform_alloc_zeroed(0), nullptr);
  auto* block = static_cast<unsigned char*>(platform_alloc_zeroed(4 * MIB));
  platform_set_alloc_limit(0);
  ASSERT_NE(block, nullptr);
  EXPECT_TRUE(all_zero(block, 4 * MIB));
  for (std::size_t i = 0; i < 4 * MIB; ++i) block[i] = static_cast<unsigned char>(i | 1);
  platform_free(block);
  // Memory given back and asked for again is zero again.
  block = static_cast<unsigned char*>(platform_alloc_zeroed(4 * MIB));
  ASSERT_NE(block, nullptr);
  EXPECT_TRUE(all_zero(block, 4 * MIB));
  platform_free(block);
  platform_free(nullptr);
}

// More large blocks at once than the mapped ones the layer keeps track of,
// freed out of order: each is zeroed, holds what is written, and goes back.
TEST(Platform, ManyLargeBlocksAtOnce) {
  constexpr int BLOCKS = 12;
  unsigned char* blocks[BLOCKS];
  for (int i = 0; i < BLOCKS; ++i) {
    blocks[i] = static_cast<unsigned char*>(platform_alloc_zeroed(6 * MIB + static_cast<std::size_t>(i)));
    ASSERT_NE(blocks[i], nullptr);
    EXPECT_TRUE(all_zero(blocks[i], 6 * MIB + static_cast<std::size_t>(i)));
    blocks[i][0] = blocks[i][6 * MIB + static_cast<std::size_t>(i) - 1] = static_cast<unsigned char>(i + 1);
  }
  for (int i = 0; i < BLOCKS; ++i) EXPECT_EQ(blocks[i][0], i + 1);
  for (int i = BLOCKS - 1; i >= 0; i -= 2) platform_free(blocks[i]);
  for (int i = 0; i < BLOCKS; i += 2) platform_free(blocks[i]);
  auto* again = static_cast<unsigned char*>(platform_alloc_zeroed(6 * MIB));
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(all_zero(again, 6 * MIB));
  platform_free(again);
}

TEST(Platform, PhysicalMemoryIsKnown) {
  const uint64_t memory = platform_memory_bytes();
  EXPECT_GE(memory, uint64_t{64} * MIB);
  EXPECT_LT(memory, uint64_t{1} << 50);
}

#ifdef _WIN32
// Windows commits what it gives; a block it cannot back is refused, which is
// what lets the tables fall back by halving.
TEST(Platform, BlockBeyondTheMachineIsRefused) {
  EXPECT_EQ(platform_alloc_zeroed(std::size_t{1} << 46), nullptr);
}
#endif

}  // namespace

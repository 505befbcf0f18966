#include "platform/platform.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

// Two threads hand a token back and forth, each waiting with a timeout far
// beyond the test's own limit: the exchange finishes only if a notification
// ends a wait, and a lost one shows as a hung test.
TEST(PlatformMutex, NotifyEndsAWait) {
  constexpr uint32_t forever_ms = 600000;
  PlatformMutex* mutex = platform_mutex_create();
  int turn = 0;  // even: main thread's turn, odd: the other's
  constexpr int rounds = 200;
  std::thread other([&] {
    platform_mutex_lock(mutex);
    for (int i = 0; i < rounds; ++i) {
      while (turn % 2 == 0) platform_mutex_wait(mutex, forever_ms);
      ++turn;
      platform_mutex_notify(mutex);
    }
    platform_mutex_unlock(mutex);
  });
  platform_mutex_lock(mutex);
  for (int i = 0; i < rounds; ++i) {
    ++turn;
    platform_mutex_notify(mutex);
    while (turn % 2 == 1) platform_mutex_wait(mutex, forever_ms);
  }
  platform_mutex_unlock(mutex);
  other.join();
  EXPECT_EQ(turn, 2 * rounds);
  platform_mutex_destroy(mutex);
}

// A wait that nobody ends returns after its timeout, still holding the lock.
TEST(PlatformMutex, WaitReturnsHoldingTheLock) {
  PlatformMutex* mutex = platform_mutex_create();
  platform_mutex_lock(mutex);
  platform_mutex_wait(mutex, 1);
  bool taken_elsewhere = false;
  std::thread other([&] {
    platform_mutex_lock(mutex);
    taken_elsewhere = true;
    platform_mutex_unlock(mutex);
  });
  platform_sleep_ms(20);
  // The other thread cannot have the lock while this one holds it.
  EXPECT_FALSE(taken_elsewhere);
  platform_mutex_unlock(mutex);
  other.join();
  EXPECT_TRUE(taken_elsewhere);
  platform_mutex_destroy(mutex);
}

}  // namespace

// The platform layer on Windows: the C runtime's thread start, a critical
// section, Sleep, timeGetTime, VirtualAlloc for the tables (committed pages
// are zero and get physical memory only when first touched) and
// GlobalMemoryStatusEx.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <mmsystem.h>

#include <fcntl.h>
#include <io.h>
#include <process.h>

#include <cstdio>
#include <cstdlib>
#include <new>

#include "platform/native.h"
#include "platform/platform.h"

struct PlatformMutex {
  CRITICAL_SECTION section;
  CONDITION_VARIABLE wake;
};

namespace {

// timeGetTime may tick in steps of 5 ms or more unless asked for 1 ms; the
// time limits are given in milliseconds. Asked once, before main.
struct FineClock {
  FineClock() { timeBeginPeriod(1); }
} fine_clock;

struct ThreadStart {
  void (*fn)();
};

unsigned __stdcall run_thread(void* arg) {
  ThreadStart* start = static_cast<ThreadStart*>(arg);
  void (*fn)() = start->fn;
  delete start;
  fn();
  return 0;
}

}  // namespace

bool native_start_thread(void (*fn)()) {
  ThreadStart* start = new (std::nothrow) ThreadStart{fn};
  if (start == nullptr) return false;
  // _beginthreadex rather than CreateThread: the thread uses the C runtime's
  // streams.
  uintptr_t handle = _beginthreadex(nullptr, 0, run_thread, start, 0, nullptr);
  if (handle == 0) {
    delete start;
    return false;
  }
  // Nobody joins the thread; the handle is not needed.
  CloseHandle(reinterpret_cast<HANDLE>(handle));
  return true;
}

PlatformMutex* platform_mutex_create() {
  PlatformMutex* mutex = new PlatformMutex;
  InitializeCriticalSection(&mutex->section);
  InitializeConditionVariable(&mutex->wake);
  return mutex;
}

void platform_mutex_lock(PlatformMutex* mutex) { EnterCriticalSection(&mutex->section); }
void platform_mutex_unlock(PlatformMutex* mutex) { LeaveCriticalSection(&mutex->section); }

void platform_mutex_wait(PlatformMutex* mutex, uint32_t timeout_ms) {
  SleepConditionVariableCS(&mutex->wake, &mutex->section, timeout_ms);
}

void platform_mutex_notify(PlatformMutex* mutex) { WakeConditionVariable(&mutex->wake); }

void platform_mutex_destroy(PlatformMutex* mutex) {
  DeleteCriticalSection(&mutex->section);
  delete mutex;
}

void platform_sleep_ms(uint32_t ms) { Sleep(ms); }

// 32 bits of milliseconds since the system started; wraps after 49.7 days.
uint32_t native_time_ms() { return timeGetTime(); }

void* native_alloc_zeroed(std::size_t bytes) {
  // Windows does not overcommit: a block it cannot back is refused here, and
  // the caller halves the request.
  return VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

void platform_free(void* block) {
  if (block != nullptr) VirtualFree(block, 0, MEM_RELEASE);
}

uint64_t platform_memory_bytes() {
  MEMORYSTATUSEX status;
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return 0;
  return status.ullTotalPhys;
}

void platform_binary_stdio() {
  // Text mode would write CR LF for every line feed, and on input it would
  // take a Ctrl-Z byte for the end of input; the protocol wants the bytes.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

void platform_exit(int status) {
  // At once: no other thread is waited for, no library is told to shut down.
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
  std::_Exit(status);
}

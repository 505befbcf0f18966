// The platform layer in a browser or Node.js, as a WebAssembly module with
// no threads: one thread runs everything, so locks have nothing to guard and
// a search gives the host its turn by yielding (platform_yield).
#include <cstdlib>

#include <emscripten.h>

#include "platform/native.h"
#include "platform/platform.h"

struct PlatformMutex {};

// No thread can start: the engine runs its one search on the host's thread.
bool native_start_thread(void (*)()) { return false; }

PlatformMutex* platform_mutex_create() { return new PlatformMutex; }
void platform_mutex_lock(PlatformMutex*) {}
void platform_mutex_unlock(PlatformMutex*) {}
void platform_mutex_destroy(PlatformMutex* mutex) { delete mutex; }
// Nobody else can change what the caller waits for.
void platform_mutex_wait(PlatformMutex*, uint32_t) {}
void platform_mutex_notify(PlatformMutex*) {}

// Blocking would freeze the host; the engine never needs to wait here.
void platform_sleep_ms(uint32_t) {}

uint32_t native_time_ms() { return static_cast<uint32_t>(static_cast<uint64_t>(emscripten_get_now())); }

void* native_alloc_zeroed(std::size_t bytes) { return std::calloc(bytes, 1); }
void platform_free(void* block) { std::free(block); }

// The module's memory can grow to this (the link's MAXIMUM_MEMORY); the
// tables are sized against it as against a machine's memory, since a failed
// growth would end the page.
uint64_t platform_memory_bytes() { return uint64_t{1} << 30; }

void platform_binary_stdio() {}

void platform_exit(int status) { emscripten_force_exit(status); }

// Resolved on the host's next turn: a message channel in a Worker or a page
// (a timer would wait at least 4 ms once nested), setImmediate in Node.js.
EM_ASYNC_JS(void, host_turn, (), {
  await new Promise(function (resolve) {
    if (typeof setImmediate === 'function') {
      setImmediate(resolve);
    } else {
      var channel = new MessageChannel();
      channel.port1.onmessage = function () { channel.port1.close(); resolve(); };
      channel.port2.postMessage(0);
    }
  });
});

namespace {
void (*yield_hook)() = nullptr;
}

void platform_set_yield_hook(void (*hook)()) { yield_hook = hook; }

void platform_yield() {
  host_turn();
  if (yield_hook) yield_hook();
}

// Transposition-table look-ups on a half-filled table: positions that are
// stored (hits) and positions that are not (misses, which walk the run).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "position/board.h"
#include "search/tt.h"

namespace {

constexpr uint32_t SLOTS = 1u << 18;
constexpr int KEYS = static_cast<int>(SLOTS / 2);
constexpr PackedHand HAND = (2u << 20) | 0x1000u;  // two pawns and a gold

std::vector<HashKey> make_keys(uint32_t seed, int count) {
  std::vector<HashKey> keys(count);
  uint32_t state = seed;
  auto draw = [&state]() {
    state = state * 1664525u + 1013904223u;
    return state;
  };
  for (HashKey& key : keys) {
    key.lo = draw();
    key.hi = draw();
  }
  return keys;
}

void use_key(const HashKey& key) {
  board.board_key = key;
  board.path_key = key.hi;
}

// Stores every key of `stored` once, on a fresh table.
bool fill_table(const std::vector<HashKey>& stored) {
  tt_release();
  if (!tt_allocate_entries(SLOTS)) return false;
  board_clear();
  board.attacker_hand = HAND;
  for (const HashKey& key : stored) {
    use_key(key);
    tt_store(0, HAND, 5, 3, 4, static_cast<MoveCode>(40 * 256 + 58));
  }
  return true;
}

void probe_keys(benchmark::State& state, bool hits) {
  std::vector<HashKey> stored = make_keys(12345u, KEYS);
  if (!fill_table(stored)) {
    state.SkipWithError("no table");
    return;
  }
  const std::vector<HashKey> probed = hits ? stored : make_keys(777u, KEYS);
  size_t i = 0;
  int found = 0;
  for (auto _ : state) {
    use_key(probed[i]);
    if (++i == probed.size()) i = 0;
    uint32_t hand;
    int16_t length;
    int32_t pn, dn;
    found += tt_probe(0, hand, length, pn, dn);
    benchmark::DoNotOptimize(pn);
  }
  state.counters["found"] = benchmark::Counter(found, benchmark::Counter::kAvgIterations);
  tt_release();
}

void BM_TtProbeHit(benchmark::State& state) { probe_keys(state, true); }
void BM_TtProbeMiss(benchmark::State& state) { probe_keys(state, false); }

BENCHMARK(BM_TtProbeHit);
BENCHMARK(BM_TtProbeMiss);

}  // namespace

// Attack maps and the check test on a few positions.
#include <benchmark/benchmark.h>

#include <vector>

#include "movegen/attack.h"
#include "movegen/probe_make.h"
#include "support/position_helpers.h"

namespace {

constexpr const char* OPENING = "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1";
constexpr const char* PROBLEM = "5g1l1/3+P2s1p/1R1B2p1S/3npSL2/7pk/3+B1L3/5rN1P/6N2/8L b 2P3gsn10p 1";
constexpr const char* SPARSE = "4k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1";

void prepare(const char* sfen, int side) {
  build_step_tables();
  setup_position(sfen);
  mover = static_cast<int16_t>(side);
  opponent = static_cast<int16_t>(side ^ 1);
  opponent_king_sq = board.piece_lists[side ^ 1][0];
  own_king_sq = board.piece_lists[side][0];
  cur_entry = &move_entries[0];
}

void attack_map(benchmark::State& state, const char* sfen, int side) {
  prepare(sfen, side);
  AttackMap map;
  for (auto _ : state) {
    build_attack_map(side, map);
    benchmark::DoNotOptimize(map);
    benchmark::ClobberMemory();
  }
}
BENCHMARK_CAPTURE(attack_map, opening_attacker, OPENING, 0);
BENCHMARK_CAPTURE(attack_map, problem_attacker, PROBLEM, 0);
BENCHMARK_CAPTURE(attack_map, problem_defender, PROBLEM, 1);
BENCHMARK_CAPTURE(attack_map, sparse_attacker, SPARSE, 0);

// The defender generation's prologue: attacker map with check marking, then
// the defender map with capturer marking.
void marked_maps(benchmark::State& state, const char* sfen) {
  prepare(sfen, 1);
  for (auto _ : state) {
    build_attack_map(0, gen_attacks[0], MARK_CHECK);
    build_attack_map(1, gen_attacks[1], MARK_CAPTURERS);
    benchmark::DoNotOptimize(gen_attacks);
    benchmark::ClobberMemory();
  }
}
BENCHMARK_CAPTURE(marked_maps, problem, PROBLEM);

// The check probe's pair of maps on a new child.
void xray_maps(benchmark::State& state, const char* sfen) {
  prepare(sfen, 0);
  for (auto _ : state) {
    build_attacker_map_xray(probe_attacks[0]);
    build_defender_map_unpinned(probe_attacks[1]);
    benchmark::DoNotOptimize(probe_attacks);
    benchmark::ClobberMemory();
  }
}
BENCHMARK_CAPTURE(xray_maps, opening, OPENING);
BENCHMARK_CAPTURE(xray_maps, problem, PROBLEM);

struct Trial {
  int from;
  int to;
};

// Every non-promoting board move and every drop of the mover.
std::vector<Trial> trials(int side) {
  std::vector<Trial> out;
  for (int slot = board.last_slot[side]; slot >= 0; --slot) {
    const int from = board.piece_lists[side][slot];
    if (slot == 0 && board.pieces[from] != KING) continue;
    const int p = board.pieces[from];
    const int kind = movement_kind[side][p];
    for (int to = next_along[kind][from][from]; to != from;) {
      if (board.owners[to] != side && board.pieces[to] != KING) out.push_back({from, to});
      to =
          SLIDES[p] && board.owners[to] == OWNER_NONE ? next_along[kind][from][to] : next_ray[kind][from][to];
    }
  }
  for (int piece = PAWN; piece <= ROOK; ++piece)
    if (board.hands[side][piece] > 0)
      for (int to = 0; to < SQUARES; ++to)
        if (board.owners[to] == OWNER_NONE) out.push_back({hand_square(side, piece), to});
  return out;
}

// Light make, check test and unmake of every move of the attacker.
void probe_gives_check(benchmark::State& state, const char* sfen) {
  prepare(sfen, 0);
  build_attack_map(0, gen_attacks[0]);
  const std::vector<Trial> moves = trials(0);
  for (auto _ : state) {
    int checks = 0;
    for (const Trial& t : moves) {
      cur_entry->to = static_cast<uint8_t>(t.to);
      const ProbeCapture cap = probe_make(t.from, t.to);
      checks += gives_check(t.from, t.to, gen_attacks[0]);
      probe_unmake(t.from, t.to, cap.piece, cap.owner);
    }
    benchmark::DoNotOptimize(checks);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(moves.size()));
}
BENCHMARK_CAPTURE(probe_gives_check, opening, OPENING);
BENCHMARK_CAPTURE(probe_gives_check, problem, PROBLEM);
BENCHMARK_CAPTURE(probe_gives_check, sparse, SPARSE);

// square_attacked on every square, for both sides.
void attacked_squares(benchmark::State& state, const char* sfen) {
  prepare(sfen, 0);
  for (auto _ : state) {
    int count = 0;
    for (int sq = 0; sq < SQUARES; ++sq) count += square_attacked(sq, 0) + square_attacked(sq, 1);
    benchmark::DoNotOptimize(count);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 2 * SQUARES);
}
BENCHMARK_CAPTURE(attacked_squares, opening, OPENING);
BENCHMARK_CAPTURE(attacked_squares, problem, PROBLEM);

}  // namespace

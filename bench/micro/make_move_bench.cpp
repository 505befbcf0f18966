// make_move/unmake_move pairs over every pseudo-legal move of a position.
#include <benchmark/benchmark.h>

#include <vector>

#include "position/make_move.h"
#include "support/move_picker.h"
#include "support/position_helpers.h"

namespace {

void make_unmake_pairs(benchmark::State& state, const char* sfen, int side) {
  setup_position(sfen);
  std::vector<Move> moves;
  move_picker::collect_moves(side, moves);
  if (moves.empty()) {
    state.SkipWithError("no moves in this position");
    return;
  }
  const int16_t mover = static_cast<int16_t>(side);
  for (auto _ : state) {
    for (const Move& move : moves) {
      int16_t captured_piece, captured_owner;
      make_move(mover, move, captured_piece, captured_owner);
      unmake_move(mover, move, captured_piece, captured_owner);
    }
    benchmark::DoNotOptimize(board.path_key);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(moves.size()));
  state.counters["moves"] = static_cast<double>(moves.size());
}

// Opening: board moves only, a few captures-free steps per piece.
BENCHMARK_CAPTURE(make_unmake_pairs, opening_attacker,
                  "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1", 0);
// Mate problem: many drops for the attacker, captures and promotions on the board.
BENCHMARK_CAPTURE(make_unmake_pairs, problem_attacker,
                  "1pG1B4/Gs+P6/pP7/n1ls5/3k5/nL4+r1b/1+p1p+R4/1S7/2N6 b SP2gn2l11p 1", 0);
// The defender of the same problem, with a large hand to drop from.
BENCHMARK_CAPTURE(make_unmake_pairs, problem_defender,
                  "1pG1B4/Gs+P6/pP7/n1ls5/3k5/nL4+r1b/1+p1p+R4/1S7/2N6 b SP2gn2l11p 1", 1);

}  // namespace

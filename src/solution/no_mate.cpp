#include "solution/no_mate.h"

#include "movegen/generate.h"
#include "search/node_search.h"
#include "search/search_util.h"
#include "search/tt.h"
#include "solution/line.h"

namespace {

constexpr int MAX_NO_MATE_PLIES = 1499;

}  // namespace

void record_no_mate(int side) {
  int16_t last_length = 0;
  // Which positions of the line the table held as disproven before the
  // line's markers went in: only those are stored as disproofs again (the
  // others may be disproven on this path only, through a repetition).
  static bool disproven[MAX_NO_MATE_PLIES + 2];
  int u = 1;
  for (; u <= MAX_NO_MATE_PLIES; ++u) {
    // 1. The table's move, when it can be played.
    MoveCode m = 0;
    uint32_t hand = 0;
    int16_t length = 0;
    int32_t pn = 0, dn = 0;
    disproven[u] = u == 1;
    if (tt_probe(side, hand, length, pn, dn)) {
      if (pn >= PN_INFINITE && !on_path_here && tt_dependency == NO_DEPENDENCY) disproven[u] = true;
      last_length = length;
      const MoveCode hint = tt_hint_move;
      if (hint != 0) {
        const int from = (hint >> 8) & 0xFF;
        if (from < SQUARES) {
          // Back on the line with the attacker to move: the refutation closes.
          if (on_path_here && side == OWNER_ATTACKER) break;
          m = hint;
        } else {
          const int piece = from - HAND_SQUARE_BASE - 15 * side;
          if (piece >= PAWN && piece <= ROOK && board.hands[side][piece] != 0) m = hint;
        }
        if (m != 0 && !table_move_valid(side, m)) m = 0;
      }
    }
    // 2. Otherwise the generator's first choice.
    if (m == 0) {
      pn_sum = 0;
      rest_min_pn = PN_INFINITE;  // at or above every estimate the generation can fold
      list_start[u] = static_cast<int16_t>(u + 1);
      node_threshold = PN_INFINITE;
      generate_moves(side, u);
      if (gen_overflow) break;
      if (list_start[u] < list_start[u + 1]) {
        if (side == OWNER_DEFENDER) select_defender_child(list_start[u], list_start[u + 1] - 1);
        const MoveEntry& e = move_entries[list_start[u]];
        m = entry_code(e);
      } else {
        m = node_best_move;
      }
      tt_hint_move = m;
      if (m == 0 || !table_move_valid(side, m)) break;
    }
    // 3.-4. Mark it on the line and play it.
    tt_store(side, board.attacker_hand | TT_ON_PATH, last_length, 1, 1, m);
    solution[u] = m;
    line_make(side, m, u);
    side ^= 1;
  }

  // 5. Every position of the line is disproven, with its move.
  solution[u] = -4;
  for (int k = u - 1; k >= 1; --k) {
    side ^= 1;
    line_unmake(side, solution[k], k);
    tt_hint_move = solution[k];
    if (disproven[k])
      tt_store(side, board.attacker_hand, LENGTH_INFINITE, PN_INFINITE, 0, solution[k]);
    else
      tt_store(side, board.attacker_hand, LENGTH_INFINITE, 1, 1, solution[k]);
  }
}

#include "movegen/step_tables.h"

uint8_t next_along[MOVEMENT_KINDS][SQUARES][SQUARES];
uint8_t next_ray[MOVEMENT_KINDS][SQUARES][SQUARES];
Neighbours neighbours[SQUARES];

namespace {

bool step_tables_built = false;

// Fills the two successor tables of one kind and origin.
void build_origin(int kind, int from) {
  const KindDirections& dirs = KIND_DIRECTIONS[kind];
  uint8_t* along = next_along[kind][from];
  uint8_t* ray = next_ray[kind][from];
  for (int sq = 0; sq < SQUARES; ++sq) along[sq] = ray[sq] = static_cast<uint8_t>(from);

  // Non-empty rays in direction order; empty ones simply do not appear.
  uint8_t squares[8][8];
  int length[8];
  int rays = 0;
  for (int d = 0; d < dirs.count; ++d) {
    int len = 0;
    for (int m = mailbox_index(from) + dirs.offset[d]; len < dirs.limit[d] && MAILBOX[m] >= 0;
         m += dirs.offset[d])
      squares[rays][len++] = static_cast<uint8_t>(MAILBOX[m]);
    if (len > 0) length[rays++] = len;
  }

  const uint8_t first = rays > 0 ? squares[0][0] : static_cast<uint8_t>(from);
  along[from] = ray[from] = first;
  for (int r = 0; r < rays; ++r) {
    const uint8_t next_first = r + 1 < rays ? squares[r + 1][0] : static_cast<uint8_t>(from);
    for (int i = 0; i < length[r]; ++i) {
      const uint8_t q = squares[r][i];
      along[q] = i + 1 < length[r] ? squares[r][i + 1] : next_first;
      ray[q] = next_first;
    }
  }
}

}  // namespace

void build_step_tables() {
  if (step_tables_built) return;
  for (int kind = 0; kind < MOVEMENT_KINDS; ++kind)
    for (int from = 0; from < SQUARES; ++from) build_origin(kind, from);

  for (int sq = 0; sq < SQUARES; ++sq) {
    Neighbours& list = neighbours[sq];
    list.count = 0;
    const uint8_t* ray = next_ray[KIND_KING][sq];
    for (int n = ray[sq]; n != sq; n = ray[n]) {
      const int offset = mailbox_index(sq) - mailbox_index(n);
      for (int i = 0; i < 8; ++i) {
        if (EIGHT_DIRECTIONS[i] == offset) {
          list.square[list.count] = static_cast<uint8_t>(n);
          list.back_bit[list.count] = static_cast<uint8_t>(1u << i);
          ++list.count;
        }
      }
    }
  }
  step_tables_built = true;
}

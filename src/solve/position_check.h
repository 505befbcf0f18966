// Whether the board holds a position the solver can work on.
#pragma once

// One defender king, at most one attacker king, and no more pieces of a
// kind (board and both hands together, promoted pieces counted as their
// base kind) than a shogi set holds.
bool position_is_solvable();

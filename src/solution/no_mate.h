// Recording the refutation line of a position without mate.
#pragma once

// Follows the most promising checks and the best replies from the root,
// writes the line into solution (ended by -4) and stores every position of
// it as disproven.
void record_no_mate(int side);

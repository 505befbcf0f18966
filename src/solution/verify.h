// Turning a proven root into one verified solution line.
#pragma once

#include <cstdint>

// Reads the line out of the table from the root, repairs it locally where
// it breaks and stores every position of it with its exact remaining
// length, the longest defence chosen at each defender position. `status` is
// the root's proof number (0 on entry; 0 on return when the whole line is
// proven, positive when it is not). Returns 1 when the line or its length
// changed. The board is back at the root on return.
int verify_solution(int side, int32_t& status);

// Recording the solution line and the limit for shorter mates.
#pragma once

#include <cstdint>

// Records the table's current solution line in stored_solution and
// main_line_keys, sets length_limit two plies below it (less two per
// leftover piece) and refine_node_factor. Returns 1 when the recorded line
// changed.
int read_solution(int side);

// Stores the recorded line back into the table as proven, position by
// position, and returns its value.
int16_t restore_solution(int side);

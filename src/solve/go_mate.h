// One "go mate" request: the solve and its answer line.
#pragma once

#include <cstdint>

// Runs the whole solve for the current board with a limit in milliseconds
// (0 = none) and writes the complete answer.
void run_go_mate(uint32_t time_limit_ms);

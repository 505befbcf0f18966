// USI "info" progress lines.
#pragma once

enum ProgressKind { PERIODIC, FINAL, FINAL_WITH_PV };

// Clock check, then the line (PERIODIC at most once per 1000 ms), then the
// pass budget check.
void write_progress(ProgressKind kind);

// Stops the search when the time limit has run out.
void clock_check();


// The soundness check of one solved problem, in the reports' words: the
// intended line (the file's own, else the engine's answer), the verdict,
// and per ply what was found, with the moves in Japanese notation.
#pragma once

#include <cstdint>

#include "html_report.h"
#include "problem_file.h"
#include "solve_session.h"

// Checks the problem `p`, which `s` solved, within `budget_ms` (0: no
// limit), and fills the soundness fields of `checked` (its result and answer
// already filled).
void check_problem_soundness(const ProblemEntry& p, const Solved& s, uint32_t budget_ms, CheckedProblem& checked);

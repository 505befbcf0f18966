// One problem solved and its line checked, as kestrane-check does for each
// problem of its files and the web page for the problem on its board.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "html_report.h"
#include "problem_file.h"

// Solves `p` within `limit_ms` (0: no limit) and checks the intended line
// within `alt_seconds` (0: no limit). `solved` runs between the two, with the
// solve's answer filled in. `kif_moves` gets the solution in KIF notation.
CheckedProblem check_one_problem(const ProblemEntry& p, uint32_t limit_ms, int alt_seconds,
                                 std::vector<std::string>& kif_moves,
                                 const std::function<void(const CheckedProblem&)>& solved = {});

// The problem's solution as the reports show it, from a line already known
// (USI move text, played from the problem's position): no search runs. False
// when a move does not fit the position.
bool checked_line(const ProblemEntry& p, const std::vector<std::string>& usi_moves, CheckedProblem& checked);

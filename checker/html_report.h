// The composer's report as one self-contained HTML page: counts, a table of
// the problems, and per problem the diagram, the verdict and the solution,
// which buttons and arrow keys play through on the diagram.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "problem_file.h"
#include "problem_formats.h"

// What checking one problem found, as the reports show it.
struct CheckedProblem {
  ProblemEntry problem;
  int result = 0;                       // RESULT_MATE, RESULT_NOMATE or RESULT_TIMEOUT
  std::vector<std::string> usi_moves;   // the solution, "7g7f", "P*5e", "2b3c+"
  std::vector<std::string> japanese;    // "▲２三桂成", the published notation
  int shortest = -1;                    // 1 proven shortest, 0 not proven, -1 not said
  std::string alternate = "-";          // "yes", "no", "unknown", "-" without a mate
  int alternate_ply = 0;                // where the alternate solution leaves the line
  std::string alternate_move;           // its first move, "▲３二金"
  double ms = 0;
};

enum class Verdict {
  SOUND,
  ALTERNATE,        // another mate leaves the line
  NO_MATE,
  TIME_OUT,
  LONGER,           // a mate longer than the stated length
  SHORTER,          // shorter than stated, or a mate where none is stated
  ALTERNATE_OPEN,   // the alternate-solution search ran out of time
};

Verdict verdict_of(const CheckedProblem& checked);
// The verdict in words, e.g. "Alternate solution from ply 3 (▲３二金)".
std::string verdict_text(const CheckedProblem& checked);

// The board after a USI move ("7g7f", "2b3c+", "P*5e") of the side to move,
// which then passes to the other side. False, with the diagram unchanged,
// for a move that does not fit the board (no piece of the mover on the
// origin, own piece on the target, no such piece in hand).
bool play_usi_move(Diagram& diagram, const std::string& move);

struct ReportSettings {
  uint32_t hash_mb = 0;
  uint32_t limit_ms = 0;
  int alt_seconds = 0;
};

// The whole page. Everything taken from the problem files is escaped.
std::string html_report(const std::vector<CheckedProblem>& problems, const ReportSettings& settings);

// Text with & < > " ' escaped for HTML.
std::string html_escape(const std::string& text);

// The composer's report as one self-contained HTML page: counts, a table of
// the problems, and per problem the diagram, the verdict and the solution,
// which buttons and arrow keys play through on the diagram.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "problem_file.h"
#include "problem_formats.h"

// One finding of the soundness check, as the reports show it.
struct FindingText {
  std::string kind;                   // "alternate", "twin", "last-move", "detour", "equal", "longer"
  int ply = 0;                        // the line's ply where the other move is played
  std::string move;                   // the other move, "▲３二金"
  std::vector<std::string> usi_line;  // from that move on, USI text; played from the position before `ply`
  std::vector<std::string> japanese_line;  // the same in published notation, "▲３二金"
  std::vector<std::string> kif_line;  // the same in KIF notation, for the KIF file's branches
  int rejoin_ply = 0;                 // a detour: the ply of the line whose position it reaches
  bool flaw = false;                  // makes the problem unsound (the rest are notes)
};

// What the check knows of one ply of the intended line.
struct PlyRow {
  std::string state;  // "none", "found", "undecided"
  std::vector<std::string> open;  // the moves still open at an undecided ply, "▲３二金"
};

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
  double check_ms = 0;                  // of that the check of the line took
  // The soundness check (empty `soundness` when it did not run).
  std::string soundness;                // "sound", "alternate", "nomate", "invalid", "shorter", "longer",
                                        // "pieces-left", "line-wrong", "undecided", "timeout"
  std::string soundness_text;           // the verdict in a composer's words
  bool stated_line = false;             // the intended line is the file's own
  int verdict_ply = 0;                  // where the alternate starts or the line fails
  std::vector<PlyRow> plies;            // [k] for ply k + 1 of the intended line
  std::vector<FindingText> findings;
  std::string left_in_hand;             // the attacker's pieces at the end, "歩2 金"
};

enum class Verdict {
  SOUND,
  ALTERNATE,        // another mate leaves the line
  NO_MATE,
  TIME_OUT,
  LONGER,           // a mate longer than the stated length
  SHORTER,          // shorter than stated, or a mate where none is stated
  ALTERNATE_OPEN,   // the check ran out of time with plies open: undecided
  INVALID,          // no shogi set allows the position
  PIECES_LEFT,      // the mate ends with pieces in the attacker's hand
  LINE_WRONG,       // the stated line fails at a ply
};
constexpr int VERDICT_KINDS = 10;

// The verdict's name in the TSV and Markdown tables: "sound", "alternate",
// "nomate", "timeout", "longer", "shorter", "undecided", "invalid",
// "pieces-left", "line-wrong".
const char* verdict_name_of(Verdict verdict);

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

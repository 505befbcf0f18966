// Problem files besides SFEN lines: KIF/KIFU board diagrams (Shift-JIS or
// UTF-8) and CSA positions read into a Diagram, SFEN in and out of it, the
// KIF solution file, and loading a file or a directory of mixed files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "problem_file.h"

// A position as a problem file gives it, in shogi coordinates.
struct Diagram {
  // [rank - 1][9 - file]: rank 1 first and file 9 first, as SFEN and KIF
  // draw it. Piece codes of position/types.h, 0 for an empty square.
  int8_t piece[9][9] = {};
  int8_t colour[9][9] = {};  // 0 Black (先手), 1 White (後手)
  int hands[2][8] = {};      // [colour][PAWN..ROOK]
  int side_to_move = 0;      // 0 Black, 1 White
};

bool operator==(const Diagram& a, const Diagram& b);

// "<board> <b|w> <hands> 1", hands in the order R B G S N L P.
std::string diagram_to_sfen(const Diagram& diagram);
// Board, side and hands of an SFEN (a move number and moves may follow).
bool diagram_from_sfen(const std::string& sfen, Diagram& diagram, std::string& error);

// Shift-JIS when the bytes are not UTF-8 (a UTF-8 byte order mark is
// dropped). Shift-JIS characters outside those of problem files become
// U+FFFD; so do bytes that form no character.
std::string text_to_utf8(const std::string& bytes, bool* was_shift_jis = nullptr);

struct ReadError {
  int line = 0;  // 1-based; the last line for a file that ends too early
  std::string message;
};

// A KIF board diagram in UTF-8 text. `known_length` is the N of a
// "まで N手で詰み" line of the main line's move section, else -1. A missing
// defender's hand line or "残り全部" gives the defender every piece not
// placed elsewhere. `stated`, when given, receives the main line of the move
// section in USI move text; it is left empty when the file has no moves or
// when a move cannot be read or does not fit the position, which is no error.
bool read_kif(const std::string& text, Diagram& diagram, int& known_length, ReadError& error,
              std::vector<std::string>* stated = nullptr);
// A CSA position: P1..P9 rows or PI, P+/P- pieces (00 for the hand, 00AL for
// the rest), and the "+" or "-" line of the side to move. `stated` as for
// read_kif, from the "+2726FU" lines after the side to move.
bool read_csa(const std::string& text, Diagram& diagram, ReadError& error,
              std::vector<std::string>* stated = nullptr);

// A KIF file (UTF-8) of the diagram and a solution, one move text a line in
// KIF notation ("２三桂成(13)"), ending "まで N手で詰み", then its branches.
// A branch (変化) of a KIF solution: from the main line's ply `ply` on, these
// moves instead, in KIF notation.
struct KifBranch {
  int ply = 0;
  std::vector<std::string> moves;
};
std::string kif_solution(const Diagram& diagram, const std::string& title, const std::vector<std::string>& moves,
                         const std::vector<KifBranch>& branches = {});

// Problems of a file or of every .sfen, .kif, .kifu and .csa file of a
// directory, in name order. A KIF or CSA file is one problem named by its
// file. Problems that cannot be read are left out, each with a message
// "path:line: reason" in `errors`. False when `path` cannot be read at all.
bool load_problems(const std::string& path, std::vector<ProblemEntry>& problems, std::vector<std::string>& errors);

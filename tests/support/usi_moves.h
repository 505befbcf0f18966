// Reading USI move text back into the board's move codes, for tests that
// check an answer line on the board.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "position/board.h"

// Square of USI coordinates ("7g") as stored for the given orientation.
inline int usi_square(char file_char, char rank_char, bool flipped) {
  const int file = file_char - '0';
  const int rank = rank_char - 'a' + 1;
  if (file < 1 || file > 9 || rank < 1 || rank > 9) return -1;
  return flipped ? 9 * (rank - 1) + (file - 1) : 9 * (9 - rank) + (9 - file);
}

// The MoveCode of `text` for `side` (0 attacker, 1 defender); 0 when the
// text is no move.
inline MoveCode usi_to_code(const std::string& text, int side, bool flipped) {
  static const std::string DROP_LETTERS = " PLNSGBR";
  if (text.size() == 4 && text[1] == '*') {
    const size_t piece = DROP_LETTERS.find(text[0]);
    const int to = usi_square(text[2], text[3], flipped);
    if (piece == std::string::npos || piece == 0 || to < 0) return 0;
    return static_cast<MoveCode>(hand_square(side, static_cast<int>(piece)) * 256 + to);
  }
  if (text.size() != 4 && !(text.size() == 5 && text[4] == '+')) return 0;
  const int from = usi_square(text[0], text[1], flipped);
  const int to = usi_square(text[2], text[3], flipped);
  if (from < 0 || to < 0) return 0;
  return static_cast<MoveCode>(from * 256 + to + (text.size() == 5 ? PROMOTION_BIT : 0));
}

inline std::vector<std::string> split_words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

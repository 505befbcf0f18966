// Reading USI move text back into the board's move codes, for tests that
// check an answer line on the board.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "position/board.h"
#include "position/move_text.h"

// The MoveCode of `text` for `side` (0 attacker, 1 defender); 0 when the
// text is no move.
inline MoveCode usi_to_code(const std::string& text, int side, bool flipped) {
  MoveCode code = 0;
  return parse_move_usi(text, side, flipped, code) ? code : 0;
}

inline std::vector<std::string> split_words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

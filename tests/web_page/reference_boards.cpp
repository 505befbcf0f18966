// Prints the positions along a USI line as the test-only rules reference
// plays them, one "board hands" line per ply from ply 0, for the solving
// page's browser test: reference_boards SFEN [MOVE...]. The output stops
// before a move that is not legal.
#include <cstdio>
#include <string>
#include <vector>

#include "support/reference_line.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: reference_boards SFEN [MOVE...]\n", stderr);
    return 2;
  }
  const std::vector<std::string> moves(argv + 2, argv + argc);
  for (const std::string& b : reference_boards(argv[1], moves)) std::printf("%s\n", b.c_str());
  return 0;
}

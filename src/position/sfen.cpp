#include "position/sfen.h"

#include <algorithm>

#include "position/board.h"

namespace {

constexpr char UPPER_LETTERS[] = "PLNSGBRK";  // codes 1..7, then the king
constexpr char LOWER_LETTERS[] = "plnsgbrk";
constexpr int8_t PROMOTED_BY_INDEX[9] = {0, 8, 9, 10, 11, 5, 12, 13, 14};
constexpr size_t SFEN_START = 14;  // just past "position sfen "

// Index 1..count of `c` among the first `count` letters, 0 when absent.
// Only the letters themselves match: never a space or a terminator.
int letter_index(const char* letters, int count, char c) {
  for (int i = 0; i < count; ++i)
    if (letters[i] == c) return i + 1;
  return 0;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// owner_of_upper: the owner that upper-case letters give (0 for the Black
// reader, 1 for the White reader); square_of maps (rank 1..9, i 1..9).
template <typename SquareOf>
void read_sfen(std::string_view line, int owner_of_upper, SquareOf square_of) {
  size_t pos = SFEN_START;
  const size_t len = line.size();
  int rank = 1, i = 1;

  auto write_square = [&](int piece, int owner) {
    if (i <= 9) {
      int sq = square_of(rank, i);
      board.pieces[sq] = static_cast<int8_t>(piece);
      board.owners[sq] = static_cast<uint8_t>(owner);
    }
  };

  // Board field: ranks are delimited by counting squares; a rank whose
  // squares add up to more than nine is cut at its ninth square.
  while (rank <= 9 && pos < len) {
    char c = line[pos];
    if (c == '/') {
      ++pos;
      continue;
    }
    if (c >= '1' && c <= '9') {
      int n = c - '0';
      for (int k = 0; k < n && i <= 9; ++k, ++i) {
        int sq = square_of(rank, i);
        board.pieces[sq] = EMPTY;
        board.owners[sq] = OWNER_NONE;
      }
      ++pos;
    } else if (c == '+') {
      ++pos;
      if (pos < len) {
        char l = line[pos];
        int upper = letter_index(UPPER_LETTERS, 8, l);
        int lower = letter_index(LOWER_LETTERS, 8, l);
        if (upper) write_square(PROMOTED_BY_INDEX[upper], owner_of_upper);
        else if (lower) write_square(PROMOTED_BY_INDEX[lower], owner_of_upper ^ 1);
        ++pos;
      }
      ++i;
    } else {
      int upper = letter_index(UPPER_LETTERS, 8, c);
      int lower = letter_index(LOWER_LETTERS, 8, c);
      int index = upper ? upper : lower;
      if (index) write_square(index == 8 ? KING : index, upper ? owner_of_upper : owner_of_upper ^ 1);
      ++pos;
      ++i;
    }
    if (i > 9) {
      ++rank;
      i = 1;
    }
  }
  if (rank <= 9) return;  // the line ended inside the board field

  pos += 3;  // the space, the side letter and the space
  // Hands field, up to the next space or the end of the line.
  while (pos < len && line[pos] != ' ') {
    int count = 1;
    if (line[pos] >= '1' && line[pos] <= '9') {
      // Every digit counts: a count too large for the hand is held at the
      // largest it can store, which no shogi set allows, rather than read as
      // its first two digits and another position.
      count = 0;
      while (pos < len && is_digit(line[pos])) {
        count = std::min(count * 10 + (line[pos] - '0'), 127);
        ++pos;
      }
    }
    if (pos >= len) break;
    char c = line[pos];
    int upper = letter_index(UPPER_LETTERS, 7, c);
    int lower = letter_index(LOWER_LETTERS, 7, c);
    if (upper) board.hands[owner_of_upper][upper] = static_cast<int8_t>(count);
    else if (lower) board.hands[owner_of_upper ^ 1][lower] = static_cast<int8_t>(count);
    ++pos;
  }
}

}  // namespace

void setup_from_sfen_black(std::string_view line) {
  read_sfen(line, OWNER_ATTACKER, [](int rank, int i) { return 9 * (9 - rank) + (i - 1); });
}

void setup_from_sfen_white(std::string_view line) {
  read_sfen(line, OWNER_DEFENDER, [](int rank, int i) { return 9 * (rank - 1) + (9 - i); });
}

// Printing moves as USI text and in Japanese notation (Shift-JIS), and the
// Japanese notation of reports and KIF files (UTF-8).
#pragma once

#include <string>
#include <string_view>

#include "position/types.h"

// "7g7f", "2b3c+", "G*5b"; no separator.
void print_move_usi(MoveCode code);
// The same as text; "" for a code that is no move of a board.
std::string move_usi_text(MoveCode code);

// The move of USI text ("7g7f", "2b3c+", "G*5b") as `side` plays it (0 the
// attacker, 1 the defender: a drop comes from that side's hand), its squares
// as a board of orientation `flipped` stores them (a position with White to
// move is stored rotated, board.flipped 1). False, `out` left alone, for text
// of any other form; whether the move can be played anywhere is not asked.
bool parse_move_usi(std::string_view text, int side, bool flipped, MoveCode& out);

// Whether the piece on `from` could step or slide to `to` on the current
// board (pins are not considered).
bool piece_reaches(int from, int to);
// The move of move_stack[ply] followed by one space.
void print_ply_usi(int ply);
// "２三銀成(34)", "５二金打"; reads the moving piece from the board, so the
// board must stand before the move.
void print_move_japanese(MoveCode code);

// Which Japanese notation japanese_move_text writes.
enum JapaneseStyle : int {
  // KIF move text: "２三桂成(13)", "同　玉(12)", "５二金打", "２三銀不成(34)":
  // the origin in parentheses, 打 on every drop, a full-width space after 同
  // before a one-character name.
  JAPANESE_KIF,
  // Published notation: "２三桂成", "同玉", 打 only where a piece on the board
  // could also go there, and 右 左 上 引 寄 直 where two pieces of a kind could.
  JAPANESE_PUBLISHED,
};

// The move in Japanese notation, in UTF-8. A move to `previous_to` (the
// destination square of the move before, NO_SQUARE for none) is written with
// 同. 不成 marks a move that could have promoted and did not. Reads the board,
// which must stand before the move; "" for a code that is no move here.
std::string japanese_move_text(MoveCode code, int previous_to, JapaneseStyle style);

// The mark of `owner`'s moves in UTF-8: "▲" for Black's, "△" for White's
// (owner 0 is White when the board is flipped).
std::string japanese_side_mark(int owner);

// Reading "position sfen ..." lines into pieces, owners and hands.
#pragma once

#include <string_view>

// Both take the whole "position" line; reading starts at its 15th character.
// The Black reader stores the board as it stands; the White reader rotates it
// by 180 degrees and swaps colours so that the side to move is always owner 0.
// Squares the text never names keep their old contents; hands are cleared by
// the caller.
void setup_from_sfen_black(std::string_view line);
void setup_from_sfen_white(std::string_view line);

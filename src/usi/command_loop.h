// The USI command loop: phases, option handling and dispatch.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

enum Phase { SETUP, GAME };
enum SideToMove { BLACK, WHITE };

struct GoMateRequest {
  bool unlimited;
  uint32_t time_limit_ms;  // 0 = no limit
};

extern Phase phase;
extern SideToMove side_to_move;
extern GoMateRequest go_mate_request;

// "info string Sorry, Kestrane supports only TsumeShogi.  " (two spaces)
extern const char SORRY_PREFIX[];
// Shift-JIS sentences of the Sorry messages.
extern const char SORRY_POSITION_SJIS[];
extern const char SORRY_GO_SJIS[];
extern const char SORRY_GO_PONDER_SJIS[];
extern const char SORRY_STOP_SJIS[];
extern const char SORRY_PONDERHIT_SJIS[];

// The line equals `word` or is a leading part of it (empty line included).
bool line_matches_word(std::string_view line, std::string_view word);
bool line_starts_with(std::string_view line, std::string_view text);

// Leading white space, optional sign, digits; 0 without digits. Returns the
// value as 64 bits two's complement (magnitudes beyond 64 bits saturate), so
// callers take the width they need without undefined behaviour.
uint64_t parse_integer(std::string_view text);

// Fills go_mate_request from a "go mate" line.
void parse_go_mate(std::string_view line);

// Sets up the board and both hands from a `position sfen ...` line, in any
// phase; the command loop takes such a line only after usinewgame.
void set_up_position(const std::string& line);

// Resets options, phase, side to move and request to their start values.
void command_loop_reset();
// Answers one command line completely. `line_number` is the line's place in
// the input (0 for a line from elsewhere, which no "stop" refers to).
void handle_command(const std::string& line, uint64_t line_number = 0);
// Start-up and the loop until "quit" or the end of input, which ends the
// process with status 0; returns only with a thread start failure status
// (-1).
int usi_main();

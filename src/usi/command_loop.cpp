#include "usi/command_loop.h"

#include <algorithm>
#include <cstdio>

#include "platform/platform.h"
#include "position/board.h"
#include "position/sfen.h"
#include "search/tt.h"
#include "solve/go_mate.h"
#include "solve/search_threads.h"
#include "solve/stop_request.h"
#include "usi/command_queue.h"
#include "solve/engine_options.h"

Phase phase = SETUP;
SideToMove side_to_move = BLACK;
GoMateRequest go_mate_request = {false, 0};

const char SORRY_PREFIX[] = "info string Sorry, Kestrane supports only TsumeShogi.  ";
// Shift-JIS (code page 932) bytes, as the front ends expect for Japanese text.
// "Kestraneは指し将棋の局面指定は非対応です。"
const char SORRY_POSITION_SJIS[] =
    "Kestrane\x82\xCD\x8E\x77\x82\xB5\x8F\xAB\x8A\xFB\x82\xCC"
    "\x8B\xC7\x96\xCA\x8E\x77\x92\xE8"
    "\x82\xCD\x94\xF1\x91\xCE\x89\x9E\x82\xC5\x82\xB7\x81\x42";
// "Kestraneは指し将棋の思考は非対応です。"
const char SORRY_GO_SJIS[] =
    "Kestrane\x82\xCD\x8E\x77\x82\xB5\x8F\xAB\x8A\xFB\x82\xCC"
    "\x8E\x76\x8D\x6C"
    "\x82\xCD\x94\xF1\x91\xCE\x89\x9E\x82\xC5\x82\xB7\x81\x42";
// "Kestraneは指し将棋の先読みは非対応です。"
const char SORRY_GO_PONDER_SJIS[] =
    "Kestrane\x82\xCD\x8E\x77\x82\xB5\x8F\xAB\x8A\xFB\x82\xCC"
    "\x90\xE6\x93\xC7\x82\xDD"
    "\x82\xCD\x94\xF1\x91\xCE\x89\x9E\x82\xC5\x82\xB7\x81\x42";
// "Kestraneは指し将棋の思考中断は非対応です。"
const char SORRY_STOP_SJIS[] =
    "Kestrane\x82\xCD\x8E\x77\x82\xB5\x8F\xAB\x8A\xFB\x82\xCC"
    "\x8E\x76\x8D\x6C\x92\x86\x92\x66"
    "\x82\xCD\x94\xF1\x91\xCE\x89\x9E\x82\xC5\x82\xB7\x81\x42";
// "Kestraneは指し将棋の予想手は非対応です。"
const char SORRY_PONDERHIT_SJIS[] =
    "Kestrane\x82\xCD\x8E\x77\x82\xB5\x8F\xAB\x8A\xFB\x82\xCC"
    "\x97\x5C\x91\x7A\x8E\xE8"
    "\x82\xCD\x94\xF1\x91\xCE\x89\x9E\x82\xC5\x82\xB7\x81\x42";

#define KESTRANE_STRING(x) #x
#define KESTRANE_NUMBER(x) KESTRANE_STRING(x)
#ifdef __EMSCRIPTEN__
#define KESTRANE_MAX_THREADS 1
#else
#define KESTRANE_MAX_THREADS 256
#endif
static_assert(KESTRANE_MAX_THREADS == MAX_SEARCH_THREADS);

static const char IDENTIFICATION_BLOCK[] =
    "id name Kestrane 1.2\n"
    "id author Ilvar Quennet\n"
    "option name Do_YoTsume_Search type check default false\n"
    "option name YoTsume_Second type spin default 30 min 1 max 3600\n"
    "option name Threads type spin default 1 min 1 max " KESTRANE_NUMBER(KESTRANE_MAX_THREADS) "\n"
    "usiok\n";

// Whole lines go out in one write so that a reader on the other end of the
// pipe never sees half a reply.
static void write_text(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

static void write_sorry(const char* sentence) {
  std::string text = SORRY_PREFIX;
  text += sentence;
  text += '\n';
  write_text(text);
}

bool line_matches_word(std::string_view line, std::string_view word) {
  return line.size() <= word.size() && word.compare(0, line.size(), line) == 0;
}

bool line_starts_with(std::string_view line, std::string_view text) {
  return line.size() >= text.size() && line.compare(0, text.size(), text) == 0;
}

// The C white-space set, tested by value: the input bytes may be anything,
// and isspace on a negative char is undefined.
static bool is_white_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

uint64_t parse_integer(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && is_white_space(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  constexpr uint64_t max_value = ~uint64_t{0};
  uint64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    uint64_t digit = static_cast<uint64_t>(text[i] - '0');
    if (magnitude > (max_value - digit) / 10) {
      magnitude = max_value;
    } else {
      magnitude = magnitude * 10 + digit;
    }
  }
  // Unsigned negation is the two's complement, defined for every magnitude.
  return negative ? uint64_t{0} - magnitude : magnitude;
}

void parse_go_mate(std::string_view line) {
  if (line.find("infinite") != std::string_view::npos) {
    // The earlier limit is kept, only not used.
    go_mate_request.unlimited = true;
    return;
  }
  go_mate_request.unlimited = false;
  std::size_t at = line.find(" mate ");
  go_mate_request.time_limit_ms =
      at == std::string_view::npos ? 0 : static_cast<uint32_t>(parse_integer(line.substr(at + 6)));
}

void command_loop_reset() {
  engine_options = ENGINE_OPTIONS_START;
  phase = SETUP;
  side_to_move = BLACK;
  go_mate_request = GoMateRequest{false, 0};
}

static void handle_setoption(std::string_view line) {
  static constexpr std::string_view hash_prefix = "setoption name USI_Hash value ";
  static constexpr std::string_view yotsume_prefix = "setoption name Do_YoTsume_Search value ";
  static constexpr std::string_view seconds_prefix = "setoption name YoTsume_Second value ";
  static constexpr std::string_view threads_prefix = "setoption name Threads value ";

  if (line_matches_word(line, "setoption name USI_Ponder value true")) return;
  if (line_matches_word(line, "setoption name USI_Ponder value false")) return;
  if (line_starts_with(line, hash_prefix)) {
    // Entries per table. A size beyond 32 bits of entries saturates: the
    // allocation then halves it down to what the machine holds.
    // Where memory is scarce (a browser tab), a larger size is held to the
    // platform's ceiling rather than risked.
    uint32_t megabytes = static_cast<uint32_t>(
        std::min<uint64_t>(parse_integer(line.substr(hash_prefix.size())), PLATFORM_MAX_TABLE_MB));
    const uint64_t entries = uint64_t{megabytes} * TT_ENTRIES_PER_MB;
    engine_options.table_entries = entries > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(entries);
    return;
  }
  if (line_starts_with(line, yotsume_prefix)) {
    engine_options.alternate_search_enabled = line.substr(yotsume_prefix.size()) == "true";
    return;
  }
  if (line_starts_with(line, threads_prefix)) {
    // Outside 1..256 the nearer end holds; a negative number counts as below.
    const auto value = static_cast<int64_t>(parse_integer(line.substr(threads_prefix.size())));
    engine_options.threads = static_cast<int32_t>(std::clamp<int64_t>(value, 1, MAX_SEARCH_THREADS));
    return;
  }
  if (line_starts_with(line, seconds_prefix)) {
    // Taken without a range test; the conversion to 32 bits is modular.
    engine_options.alternate_time_seconds =
        static_cast<int32_t>(static_cast<uint32_t>(parse_integer(line.substr(seconds_prefix.size()))));
    return;
  }
}

void set_up_position(const std::string& line) {
  side_to_move = line.find(" w ") != std::string::npos ? WHITE : BLACK;
  for (int side = 0; side < 2; ++side) {
    for (int piece = PAWN; piece <= ROOK; ++piece) board.hands[side][piece] = 0;
  }
  if (side_to_move == WHITE) {
    setup_from_sfen_white(line);
  } else {
    setup_from_sfen_black(line);
  }
}

static void handle_setup_phase(const std::string& line) {
  if (line_matches_word(line, "usi")) {
    write_text(IDENTIFICATION_BLOCK);
  } else if (line_matches_word(line, "isready")) {
    write_text("readyok\n");
  } else if (line_starts_with(line, "setoption")) {
    handle_setoption(line);
  } else if (line_matches_word(line, "usinewgame")) {
    phase = GAME;
  }
}

static void handle_game_phase(const std::string& line, uint64_t line_number) {
  if (line_starts_with(line, "position")) {
    if (line_starts_with(line, "position startpos")) {
      write_sorry(SORRY_POSITION_SJIS);
    } else {
      set_up_position(line);
    }
  } else if (line_starts_with(line, "go") && !line_starts_with(line, "go ponder") &&
             !line_starts_with(line, "go mate")) {
    // A front end that asked for a move waits for a bestmove: resigning
    // answers it, and no game move is ever made.
    write_sorry(SORRY_GO_SJIS);
    write_text("bestmove resign\n");
  } else if (line_starts_with(line, "go ponder")) {
    write_sorry(SORRY_GO_PONDER_SJIS);
  } else if (line_starts_with(line, "go mate")) {
    parse_go_mate(line);
    board.flipped = side_to_move == WHITE ? 1 : 0;
    begin_stoppable_request(line_number);
    run_go_mate(go_mate_request.unlimited ? 0 : go_mate_request.time_limit_ms);
  } else if (line_starts_with(line, "stop")) {
    // A stop that ended a solve has had its answer: the solve's.
    if (!stop_line_taken(line_number)) write_sorry(SORRY_STOP_SJIS);
  } else if (line_starts_with(line, "ponderhit")) {
    write_sorry(SORRY_PONDERHIT_SJIS);
  } else if (line_starts_with(line, "gameover")) {
    phase = SETUP;
  }
}

void handle_command(const std::string& line, uint64_t line_number) {
  if (phase == SETUP) {
    handle_setup_phase(line);
  } else {
    handle_game_phase(line, line_number);
  }
}

int usi_main() {
  platform_binary_stdio();
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  queue_create_lock();
  if (!platform_start_thread(reader_thread)) {
    write_text("Failed to begin thread\n");
    return -1;
  }
  command_loop_reset();
  std::string line;
  uint64_t number = 0;
  // Every line before "quit" or the end of input is answered first.
  while (pop_line(line, number)) handle_command(line, number);
  // Standard output is unbuffered, yet the exit skips every flush: nothing
  // written may be left behind.
  std::fflush(stdout);
  platform_exit(0);
}

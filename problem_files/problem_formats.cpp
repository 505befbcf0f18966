#include "problem_formats.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "position/types.h"

namespace {

// Pieces of one set, by hand index PAWN..ROOK.
constexpr int SET_COUNTS[8] = {0, 18, 4, 4, 4, 4, 2, 2};
// Problem files are small; anything larger is not one.
constexpr std::uintmax_t MAX_FILE_BYTES = 4 << 20;

// ---- UTF-8 and Shift-JIS ----

void append_utf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The code point at `at` and its length in bytes; false for bytes that are
// not well-formed UTF-8 (overlong forms and surrogates included).
bool decode_utf8(const std::string& s, size_t at, uint32_t& cp, size_t& length) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char b0 = byte(at);
  if (b0 < 0x80) {
    cp = b0;
    length = 1;
    return true;
  }
  int extra;
  uint32_t minimum;
  if ((b0 & 0xE0) == 0xC0) {
    extra = 1, cp = b0 & 0x1F, minimum = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2, cp = b0 & 0x0F, minimum = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3, cp = b0 & 0x07, minimum = 0x10000;
  } else {
    return false;
  }
  if (at + static_cast<size_t>(extra) >= s.size()) return false;
  for (int i = 1; i <= extra; ++i) {
    const unsigned char b = byte(at + i);
    if ((b & 0xC0) != 0x80) return false;
    cp = cp << 6 | (b & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  length = static_cast<size_t>(extra) + 1;
  return true;
}

bool is_utf8(const std::string& s) {
  uint32_t cp;
  size_t length;
  for (size_t at = 0; at < s.size(); at += length) {
    if (!decode_utf8(s, at, cp, length)) return false;
  }
  return true;
}

// The double-byte Shift-JIS characters that board diagrams, hands, move
// sections and the lines around them are made of, sorted by code.
struct SjisCharacter {
  uint16_t sjis;
  uint16_t unicode;
};
constexpr SjisCharacter SJIS_CHARACTERS[] = {
    {0x8140, 0x3000}, {0x8145, 0x30FB}, {0x8146, 0xFF1A}, {0x815B, 0x30FC}, {0x8162, 0xFF5C}, {0x817B, 0xFF0B},
    {0x817C, 0xFF0D}, {0x81A2, 0x25B3}, {0x81A3, 0x25B2}, {0x824F, 0xFF10}, {0x8250, 0xFF11}, {0x8251, 0xFF12},
    {0x8252, 0xFF13}, {0x8253, 0xFF14}, {0x8254, 0xFF15}, {0x8255, 0xFF16}, {0x8256, 0xFF17}, {0x8257, 0xFF18},
    {0x8258, 0xFF19}, {0x82B5, 0x3057}, {0x82B7, 0x3059}, {0x82C4, 0x3066}, {0x82C5, 0x3067}, {0x82C6, 0x3068},
    {0x82C8, 0x306A}, {0x82CC, 0x306E}, {0x82D7, 0x3079}, {0x82DC, 0x307E}, {0x82DD, 0x307F}, {0x82E8, 0x308A},
    {0x88C7, 0x674F}, {0x88EA, 0x4E00}, {0x89A4, 0x738B}, {0x89BA, 0x4E0B}, {0x89BB, 0x5316}, {0x8A70, 0x89D2},
    {0x8A84, 0x5272}, {0x8B6C, 0x8A70}, {0x8BCA, 0x7389}, {0x8BE0, 0x91D1}, {0x8BE2, 0x9280}, {0x8BE3, 0x4E5D},
    {0x8BEE, 0x99D2}, {0x8C5C, 0x572D}, {0x8C6A, 0x6842}, {0x8CDC, 0x4E94}, {0x8CE3, 0x5F8C}, {0x8D81, 0x9999},
    {0x8D87, 0x5408}, {0x8E4F, 0x4E09}, {0x8E63, 0x6B8B}, {0x8E6C, 0x56DB}, {0x8E9D, 0x6301}, {0x8EB5, 0x4E03},
    {0x8EE8, 0x624B}, {0x8F5C, 0x5341}, {0x8FE3, 0x4E0A}, {0x9094, 0x6570}, {0x90AC, 0x6210}, {0x90E6, 0x5148},
    {0x90E7, 0x5343}, {0x9153, 0x5168}, {0x91C5, 0x6253}, {0x9266, 0x65AD}, {0x9286, 0x4E2D}, {0x938A, 0x6295},
    {0x93AF, 0x540C}, {0x93F1, 0x4E8C}, {0x93FA, 0x65E5}, {0x946E, 0x99AC}, {0x94AA, 0x516B}, {0x94D4, 0x756A},
    {0x94F2, 0x98DB}, {0x9573, 0x4E0D}, {0x9594, 0x90E8}, {0x95CF, 0x5909}, {0x95E0, 0x6B69}, {0x97B3, 0x7ADC},
    {0x97B4, 0x9F8D}, {0x97B9, 0x4E86}, {0x985A, 0x516D},
};
constexpr uint32_t REPLACEMENT = 0xFFFD;

std::string shift_jis_to_utf8(const std::string& s) {
  std::string out;
  out.reserve(s.size() * 3 / 2);
  for (size_t i = 0; i < s.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      out += static_cast<char>(b);
    } else if (b >= 0xA1 && b <= 0xDF) {
      append_utf8(out, 0xFF61 + (b - 0xA1));  // half-width katakana
    } else if (((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) && i + 1 < s.size()) {
      const unsigned char t = static_cast<unsigned char>(s[i + 1]);
      if (t < 0x40 || t == 0x7F || t > 0xFC) {
        append_utf8(out, REPLACEMENT);  // the second byte starts afresh
        continue;
      }
      ++i;
      const uint16_t code = static_cast<uint16_t>(b << 8 | t);
      const auto found = std::lower_bound(std::begin(SJIS_CHARACTERS), std::end(SJIS_CHARACTERS), code,
                                          [](const SjisCharacter& c, uint16_t v) { return c.sjis < v; });
      append_utf8(out, found != std::end(SJIS_CHARACTERS) && found->sjis == code ? found->unicode : REPLACEMENT);
    } else {
      append_utf8(out, REPLACEMENT);
    }
  }
  return out;
}

// ---- text helpers ----

// Lines without their ends: LF, CR LF, or a lone CR as the only line end.
std::vector<std::string> split_lines(const std::string& text) {
  const char end = text.find('\n') == std::string::npos && text.find('\r') != std::string::npos ? '\r' : '\n';
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t stop = text.find(end, start);
    if (stop == std::string::npos) stop = text.size();
    std::string line = text.substr(start, stop - start);
    if (end == '\n' && !line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = stop + 1;
  }
  return lines;
}

bool starts_with(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// Blanks at the end, ASCII and full-width.
std::string trim_end(std::string s) {
  for (;;) {
    if (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
      s.pop_back();
    } else if (s.size() >= 3 && s.compare(s.size() - 3, 3, "　") == 0) {
      s.resize(s.size() - 3);
    } else {
      return s;
    }
  }
}

// The first code point of `s` from `at`, or REPLACEMENT; advances `at`.
uint32_t next_character(const std::string& s, size_t& at) {
  uint32_t cp;
  size_t length;
  if (at >= s.size()) return 0;
  if (!decode_utf8(s, at, cp, length)) {
    ++at;
    return REPLACEMENT;
  }
  at += length;
  return cp;
}

std::string quoted_character(uint32_t cp) {
  if (cp < 0x20 || cp == 0x7F || cp == REPLACEMENT) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", cp);
    return text;
  }
  std::string s = "'";
  append_utf8(s, cp);
  return s + "'";
}

// ---- pieces ----

// Board diagram characters of KIF: 0 for the empty square, -1 for none.
int kif_board_piece(uint32_t cp) {
  switch (cp) {
    case 0x30FB: return EMPTY;          // ・
    case 0x6B69: return PAWN;           // 歩
    case 0x9999: return LANCE;          // 香
    case 0x6842: return KNIGHT;         // 桂
    case 0x9280: return SILVER;         // 銀
    case 0x91D1: return GOLD;           // 金
    case 0x89D2: return BISHOP;         // 角
    case 0x98DB: return ROOK;           // 飛
    case 0x7389: case 0x738B: return KING;  // 玉 王
    case 0x3068: return TOKIN;          // と
    case 0x674F: return PRO_LANCE;      // 杏
    case 0x572D: return PRO_KNIGHT;     // 圭
    case 0x5168: return PRO_SILVER;     // 全
    case 0x99AC: return HORSE;          // 馬
    case 0x9F8D: case 0x7ADC: return DRAGON;  // 龍 竜
    default: return -1;
  }
}

constexpr const char* KIF_BOARD_NAMES[PIECE_CODES] = {" ・", "歩", "香", "桂", "銀", "金", "角", "飛",
                                                      "と",  "杏", "圭", "全", "馬", "龍", "玉"};
constexpr const char* HAND_NAMES[8] = {"", "歩", "香", "桂", "銀", "金", "角", "飛"};
constexpr const char* KANJI_DIGITS[10] = {"", "一", "二", "三", "四", "五", "六", "七", "八", "九"};
constexpr const char SFEN_LETTERS[] = " PLNSGBRK";

int kanji_digit(uint32_t cp) {
  static constexpr uint32_t digits[10] = {0, 0x4E00, 0x4E8C, 0x4E09, 0x56DB, 0x4E94, 0x516D, 0x4E03, 0x516B, 0x4E5D};
  for (int d = 1; d <= 9; ++d)
    if (digits[d] == cp) return d;
  if (cp >= '0' && cp <= '9') return static_cast<int>(cp - '0');
  if (cp >= 0xFF10 && cp <= 0xFF19) return static_cast<int>(cp - 0xFF10);
  return -1;
}

constexpr const char* CSA_NAMES[PIECE_CODES] = {"", "FU", "KY", "KE", "GI", "KI", "KA", "HI",
                                                "TO", "NY", "NK", "NG", "UM", "RY", "OU"};
int csa_piece(const std::string& name) {
  for (int p = PAWN; p < PIECE_CODES; ++p)
    if (name == CSA_NAMES[p]) return p;
  return -1;
}

// Every piece of a kind not on the board or in a hand goes to `colour`.
void give_rest(Diagram& d, int colour) {
  int used[8] = {};
  for (int r = 0; r < 9; ++r)
    for (int f = 0; f < 9; ++f)
      if (d.piece[r][f] != EMPTY && d.piece[r][f] != KING) ++used[demote_of[d.piece[r][f]]];
  for (int p = PAWN; p <= ROOK; ++p) {
    const int rest = SET_COUNTS[p] - used[p] - d.hands[0][p] - d.hands[1][p];
    if (rest > 0) d.hands[colour][p] += rest;
  }
}

// An empty file still has a first line to point at.
ReadError error_at(int line, std::string message) { return ReadError{line > 0 ? line : 1, std::move(message)}; }

// More pieces of a kind on the board and in the hands than a set has: the
// name of the kind, else "".
std::string overfull_kind(const Diagram& d) {
  int used[PIECE_CODES] = {};
  for (int r = 0; r < 9; ++r)
    for (int f = 0; f < 9; ++f)
      if (d.piece[r][f] != EMPTY) ++used[demote_of[d.piece[r][f]]];
  static constexpr const char* names[8] = {"", "歩 (FU)", "香 (KY)", "桂 (KE)", "銀 (GI)", "金 (KI)", "角 (KA)", "飛 (HI)"};
  for (int p = PAWN; p <= ROOK; ++p) {
    if (used[p] + d.hands[0][p] + d.hands[1][p] > SET_COUNTS[p]) return names[p];
  }
  return used[KING] > 2 ? "玉 (OU)" : "";
}

// ---- KIF ----

// "飛　角二　歩十八" after the colon of a hand line; "なし" is an empty hand,
// "残り…" the rest of the set.
bool read_kif_hand(const std::string& text, int hand[8], bool& rest, std::string& error) {
  size_t at = 0;
  for (;;) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text.compare(at, 3, "　") == 0))
      at += text[at] == ' ' || text[at] == '\t' ? 1 : 3;
    if (at >= text.size()) return true;
    if (text.compare(at, 6, "なし") == 0) {
      at += 6;
      continue;
    }
    if (text.compare(at, 3, "残") == 0) {  // 残り全部, 残り全て, 残りすべて
      rest = true;
      return true;
    }
    const uint32_t cp = next_character(text, at);
    int piece = -1;
    for (int p = PAWN; p <= ROOK; ++p) {
      size_t name_at = 0;
      if (next_character(HAND_NAMES[p], name_at) == cp) piece = p;
    }
    if (piece < 0) {
      error = "a hand holds " + quoted_character(cp) + ", not a piece that can be in hand";
      return false;
    }
    // A count: 二..九, 十, 十一..十八, or digits.
    int count = 0;
    bool counted = false;
    for (;;) {
      size_t next = at;
      const uint32_t c = next_character(text, next);
      if (c == 0x5341) {  // 十
        count = count * 10 + 10, counted = true;
      } else if (const int d = kanji_digit(c); d >= 0 && c != 0) {
        count = count % 10 == 0 && count >= 10 && c >= 0x4E00 ? count + d : count * 10 + d;
        counted = true;
      } else {
        break;
      }
      at = next;
      if (count > 99) break;
    }
    if (!counted) count = 1;
    if (count < 1 || count > SET_COUNTS[piece]) {
      error = "a hand holds " + std::to_string(count) + " " + HAND_NAMES[piece] + ", more than a set has";
      return false;
    }
    hand[piece] += count;
  }
}

// One board row "| ・v玉 ・ …|一": nine squares, each a mark (blank, or v for
// White) and a piece character.
bool read_kif_row(const std::string& line, int8_t piece[9], int8_t colour[9], std::string& error) {
  size_t at = line.find('|');
  size_t bar = 1;
  const size_t wide = line.find("｜");
  if (at == std::string::npos || (wide != std::string::npos && wide < at)) at = wide, bar = 3;
  at += bar;
  for (int f = 0; f < 9; ++f) {
    if (at >= line.size()) {
      error = "the board row has " + std::to_string(f) + " squares, not 9";
      return false;
    }
    const char mark = line[at];
    if (mark != ' ' && mark != 'v' && mark != 'V') {
      size_t probe = at;
      const uint32_t cp = next_character(line, probe);
      if (cp == '|' || cp == 0xFF5C) {
        error = "the board row has " + std::to_string(f) + " squares, not 9";
      } else {
        error = "square " + std::to_string(f + 1) + " of the row starts with " + quoted_character(cp) +
                ", not a blank or 'v'";
      }
      return false;
    }
    ++at;
    const uint32_t cp = next_character(line, at);
    const int p = kif_board_piece(cp);
    if (p < 0) {
      error = "square " + std::to_string(f + 1) + " of the row holds " + quoted_character(cp) + ", not a piece";
      return false;
    }
    piece[f] = static_cast<int8_t>(p);
    colour[f] = static_cast<int8_t>(p != EMPTY && mark != ' ' ? 1 : 0);
  }
  if (line.compare(at, 1, "|") != 0 && line.compare(at, 3, "｜") != 0) {
    error = "the board row has more than 9 squares";
    return false;
  }
  return true;
}

// "まで21手で詰み" and the like: the number, else -1.
int mate_length(const std::string& line) {
  const size_t at = line.find("まで");
  if (at == std::string::npos || line.find("詰") == std::string::npos) return -1;
  size_t i = at + 6;
  int n = 0;
  bool digits = false;
  for (uint32_t cp; (cp = next_character(line, i)) != 0;) {
    int d = cp >= '0' && cp <= '9' ? static_cast<int>(cp - '0') : cp >= 0xFF10 && cp <= 0xFF19 ? static_cast<int>(cp - 0xFF10) : -1;
    if (d < 0) break;
    digits = true;
    if (n < 100000) n = n * 10 + d;
  }
  return digits ? n : -1;
}

// A move line of the move section: blanks, a number, a blank.
bool is_move_line(const std::string& line) {
  size_t i = line.find_first_not_of(' ');
  if (i == std::string::npos || line[i] < '0' || line[i] > '9') return false;
  while (i < line.size() && line[i] >= '0' && line[i] <= '9') ++i;
  return i < line.size() && line[i] == ' ';
}

// ---- stated solutions ----

// One move of a file's own solution, in shogi coordinates. `piece` is the
// kind as it stands before the move (the kind dropped for a drop).
struct StatedMove {
  bool drop = false;
  int from_file = 0, from_rank = 0;
  int to_file = 0, to_rank = 0;
  int piece = EMPTY;
  bool promotes = false;
};

bool can_promote(int piece) { return piece >= PAWN && piece <= ROOK && piece != GOLD; }
bool in_zone(int colour, int rank) { return colour == 0 ? rank <= 3 : rank >= 7; }

// Plays `m` for `mover` on `d` and appends its USI text to `line`; false when
// the move does not fit the position, so that a stated line that goes astray
// is not taken for the file's solution.
bool play_stated_move(Diagram& d, int mover, const StatedMove& m, std::vector<std::string>& line) {
  const auto on_board = [](int file, int rank) { return file >= 1 && file <= 9 && rank >= 1 && rank <= 9; };
  if (!on_board(m.to_file, m.to_rank)) return false;
  int8_t& to_piece = d.piece[m.to_rank - 1][9 - m.to_file];
  int8_t& to_colour = d.colour[m.to_rank - 1][9 - m.to_file];
  std::string usi;
  if (m.drop) {
    if (m.promotes || m.piece < PAWN || m.piece > ROOK || d.hands[mover][m.piece] <= 0 || to_piece != EMPTY) return false;
    --d.hands[mover][m.piece];
    to_piece = static_cast<int8_t>(m.piece);
    to_colour = static_cast<int8_t>(mover);
    usi = std::string(1, SFEN_LETTERS[m.piece]) + "*";
  } else {
    if (!on_board(m.from_file, m.from_rank) || (m.from_file == m.to_file && m.from_rank == m.to_rank)) return false;
    int8_t& from_piece = d.piece[m.from_rank - 1][9 - m.from_file];
    int8_t& from_colour = d.colour[m.from_rank - 1][9 - m.from_file];
    if (m.piece == EMPTY || from_piece != m.piece || from_colour != mover) return false;
    if (m.promotes && (!can_promote(m.piece) || !(in_zone(mover, m.from_rank) || in_zone(mover, m.to_rank)))) return false;
    if (to_piece != EMPTY) {
      if (to_colour == mover || to_piece == KING) return false;
      ++d.hands[mover][demote_of[to_piece]];
    }
    to_piece = static_cast<int8_t>(m.promotes ? promote_of[m.piece] : m.piece);
    to_colour = static_cast<int8_t>(mover);
    from_piece = EMPTY;
    from_colour = 0;
    usi = std::string(1, static_cast<char>('0' + m.from_file)) + static_cast<char>('a' + m.from_rank - 1);
  }
  usi += std::string(1, static_cast<char>('0' + m.to_file)) + static_cast<char>('a' + m.to_rank - 1);
  if (m.promotes) usi += '+';
  line.push_back(usi);
  return true;
}

// Blanks, ASCII and full-width, from `at`.
void skip_blanks(const std::string& s, size_t& at) {
  for (;;) {
    if (at < s.size() && (s[at] == ' ' || s[at] == '\t')) {
      ++at;
    } else if (s.compare(at, 3, "　") == 0) {
      at += 3;
    } else {
      return;
    }
  }
}

bool take(const std::string& s, size_t& at, const char* word) {
  const size_t length = std::strlen(word);
  if (s.compare(at, length, word) != 0) return false;
  at += length;
  return true;
}

// The move text of a KIF move line ("２三桂成(31)   ( 0:00/00:00:00)",
// "同　玉(22)", "３二金打"): false when it is not a move. `last_file` and
// `last_rank` are the previous move's destination for 同, 0 before any.
bool read_kif_move(const std::string& text, int last_file, int last_rank, StatedMove& m) {
  size_t at = 0;
  skip_blanks(text, at);
  if (take(text, at, "同")) {
    if (last_file == 0) return false;
    m.to_file = last_file, m.to_rank = last_rank;
    skip_blanks(text, at);
  } else {
    const uint32_t file = next_character(text, at);
    const uint32_t rank = next_character(text, at);
    m.to_file = file == 0 ? -1 : kanji_digit(file);
    m.to_rank = rank == 0 ? -1 : kanji_digit(rank);
    if (m.to_file < 1 || m.to_rank < 1) return false;
  }
  if (take(text, at, "成香")) {
    m.piece = PRO_LANCE;
  } else if (take(text, at, "成桂")) {
    m.piece = PRO_KNIGHT;
  } else if (take(text, at, "成銀")) {
    m.piece = PRO_SILVER;
  } else {
    m.piece = kif_board_piece(next_character(text, at));
    if (m.piece <= EMPTY) return false;
  }
  bool declined = false;
  if (take(text, at, "成")) {
    m.promotes = true;
  } else if (take(text, at, "不成")) {
    declined = true;
  } else if (take(text, at, "打")) {
    m.drop = true;
  }
  if (declined && !can_promote(m.piece)) return false;
  if (text.compare(at, 1, "(") == 0) {
    if (m.drop || at + 3 >= text.size() || text[at + 3] != ')') return false;
    m.from_file = text[at + 1] - '0', m.from_rank = text[at + 2] - '0';
    if (m.from_file < 1 || m.from_file > 9 || m.from_rank < 1 || m.from_rank > 9) return false;
    at += 4;
  } else if (!m.drop) {
    return false;  // a board move without its origin cannot be told from a drop
  }
  // What may follow: the time "( 0:00/00:00:00)" and the '+' of a move that
  // has branches.
  skip_blanks(text, at);
  if (text.compare(at, 1, "(") == 0) {
    const size_t close = text.find(')', at);
    if (close == std::string::npos) return false;
    at = close + 1;
    skip_blanks(text, at);
  }
  if (text.compare(at, 1, "+") == 0) ++at;
  skip_blanks(text, at);
  return at == text.size();
}

// The main line of a KIF move section, from its first line on: moves until
// the first line that is neither a move nor a comment. Empty when a move
// cannot be read or does not fit the position.
std::vector<std::string> read_kif_moves(const std::vector<std::string>& section, Diagram d) {
  std::vector<std::string> line;
  int last_file = 0, last_rank = 0;
  long expected = -1;
  for (const std::string& text : section) {
    if (text.empty() || text[0] == '*' || text[0] == '&' || text[0] == '#' || starts_with(text, "手数")) continue;
    if (!is_move_line(text)) break;  // まで…, 変化：…, anything else
    size_t at = text.find_first_not_of(' ');
    long number = 0;
    for (; text[at] >= '0' && text[at] <= '9'; ++at)
      if (number < 1000000) number = number * 10 + (text[at] - '0');
    // A number out of turn is a branch written without its 変化 line.
    if (expected >= 0 && number != expected) return {};
    expected = number + 1;
    size_t move_at = at;
    skip_blanks(text, move_at);
    const std::string move_text = text.substr(move_at);
    static constexpr const char* endings[] = {"詰み", "投了", "中断", "千日手"};
    if (std::any_of(std::begin(endings), std::end(endings), [&](const char* e) { return starts_with(move_text, e); }))
      break;
    StatedMove m;
    const int mover = d.side_to_move ^ static_cast<int>(line.size() & 1);
    if (!read_kif_move(move_text, last_file, last_rank, m) || !play_stated_move(d, mover, m, line)) return {};
    last_file = m.to_file, last_rank = m.to_rank;
  }
  return line;
}

// Statements of a CSA line, which commas separate.
std::vector<std::string> csa_statements(const std::string& line) {
  std::vector<std::string> statements;
  for (size_t start = 0;;) {
    const size_t comma = line.find(',', start);
    statements.push_back(line.substr(start, comma == std::string::npos ? comma : comma - start));
    if (comma == std::string::npos) return statements;
    start = comma + 1;
  }
}

// The moves "+2726FU" after the side to move, up to a '%' or '/' line; "T12"
// times are passed over. The piece code is the piece after the move, so a
// promotion shows as the promoted code of the piece on the origin. Empty
// when a move cannot be read or does not fit the position.
std::vector<std::string> read_csa_moves(const std::vector<std::string>& statements, Diagram d) {
  std::vector<std::string> line;
  for (const std::string& statement : statements) {
    const std::string s = trim_blanks(statement);
    if (s.empty() || s[0] == 'T') continue;
    if (s[0] == '%' || s[0] == '/') break;
    const int mover = d.side_to_move ^ static_cast<int>(line.size() & 1);
    if (s.size() != 7 || s[0] != (mover == 0 ? '+' : '-')) return {};
    for (size_t i = 1; i <= 4; ++i)
      if (s[i] < '0' || s[i] > '9') return {};
    StatedMove m;
    m.from_file = s[1] - '0', m.from_rank = s[2] - '0';
    m.to_file = s[3] - '0', m.to_rank = s[4] - '0';
    const int after = csa_piece(s.substr(5));
    if (after < 0) return {};
    if (m.from_file == 0 && m.from_rank == 0) {
      m.drop = true;
      m.piece = after;
    } else {
      if (m.from_file < 1 || m.from_rank < 1) return {};
      m.piece = d.piece[m.from_rank - 1][9 - m.from_file];
      if (after != m.piece) {
        if (promote_of[m.piece] != after) return {};
        m.promotes = true;
      }
    }
    if (!play_stated_move(d, mover, m, line)) return {};
  }
  return line;
}

// ---- SFEN ----

std::string sfen_hand_text(const Diagram& d) {
  std::string text;
  static constexpr int order[7] = {ROOK, BISHOP, GOLD, SILVER, KNIGHT, LANCE, PAWN};
  for (int colour = 0; colour < 2; ++colour) {
    for (int p : order) {
      const int n = d.hands[colour][p];
      if (n <= 0) continue;
      if (n > 1) text += std::to_string(n);
      text += colour == 0 ? SFEN_LETTERS[p] : static_cast<char>(SFEN_LETTERS[p] - 'A' + 'a');
    }
  }
  return text.empty() ? "-" : text;
}

std::string kanji_count(int n) {
  if (n <= 1) return "";
  if (n < 10) return KANJI_DIGITS[n];
  return std::string("十") + KANJI_DIGITS[n - 10];
}

std::string kif_hand_line(const Diagram& d, int colour) {
  std::string line = colour == 0 ? "先手の持駒：" : "後手の持駒：";
  bool any = false;
  for (int p = ROOK; p >= PAWN; --p) {
    if (d.hands[colour][p] <= 0) continue;
    line += HAND_NAMES[p] + kanji_count(d.hands[colour][p]) + "　";
    any = true;
  }
  if (!any) line += "なし";
  return line;
}

std::string lower_extension(const std::string& path) {
  const std::string name = std::filesystem::path(path).filename().string();
  const size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || dot == 0) return "";
  std::string ext = name.substr(dot);
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return ext;
}

bool read_whole_file(const std::string& path, std::string& bytes, std::string& error) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (!ec && size > MAX_FILE_BYTES) {
    error = "larger than " + std::to_string(MAX_FILE_BYTES >> 20) + " MB, not a problem file";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot be read";
    return false;
  }
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (bytes.size() > MAX_FILE_BYTES) {
    error = "larger than " + std::to_string(MAX_FILE_BYTES >> 20) + " MB, not a problem file";
    return false;
  }
  return true;
}

// One KIF or CSA file as one problem.
void load_diagram_file(const std::string& path, bool kif, std::vector<ProblemEntry>& problems,
                       std::vector<std::string>& errors) {
  std::string bytes, why;
  if (!read_whole_file(path, bytes, why)) {
    errors.push_back(path + ": " + why);
    return;
  }
  Diagram diagram;
  ReadError error;
  int known = -1;
  std::vector<std::string> stated;
  const bool ok = kif ? read_kif(text_to_utf8(bytes), diagram, known, error, &stated)
                      : read_csa(bytes, diagram, error, &stated);
  if (!ok) {
    errors.push_back(path + ":" + std::to_string(error.line) + ": " + error.message);
    return;
  }
  ProblemEntry p;
  p.name = file_stem(path);
  p.sfen = diagram_to_sfen(diagram);
  p.known = known >= 0 ? std::to_string(known) : "";
  p.stated = std::move(stated);
  problems.push_back(std::move(p));
}

void load_one_file(const std::string& path, std::vector<ProblemEntry>& problems, std::vector<std::string>& errors) {
  const std::string ext = lower_extension(path);
  if (ext == ".kif" || ext == ".kifu" || ext == ".csa") {
    load_diagram_file(path, ext != ".csa", problems, errors);
  } else if (!load_problem_file(path, problems)) {
    errors.push_back(path + ": cannot be read");
  }
}

}  // namespace

bool operator==(const Diagram& a, const Diagram& b) {
  if (a.side_to_move != b.side_to_move) return false;
  for (int r = 0; r < 9; ++r) {
    for (int f = 0; f < 9; ++f) {
      if (a.piece[r][f] != b.piece[r][f]) return false;
      if (a.piece[r][f] != EMPTY && a.colour[r][f] != b.colour[r][f]) return false;
    }
  }
  for (int c = 0; c < 2; ++c)
    for (int p = PAWN; p <= ROOK; ++p)
      if (a.hands[c][p] != b.hands[c][p]) return false;
  return true;
}

std::string text_to_utf8(const std::string& bytes, bool* was_shift_jis) {
  const bool utf8 = is_utf8(bytes);
  if (was_shift_jis) *was_shift_jis = !utf8;
  if (!utf8) return shift_jis_to_utf8(bytes);
  return starts_with(bytes, "\xEF\xBB\xBF") ? bytes.substr(3) : bytes;
}

bool read_kif(const std::string& text, Diagram& diagram, int& known_length, ReadError& error,
              std::vector<std::string>* stated) {
  diagram = Diagram{};
  known_length = -1;
  if (stated) stated->clear();
  const std::vector<std::string> lines = split_lines(text);
  enum { BEFORE, INSIDE, AFTER } board = BEFORE;
  int rows = 0;
  bool hand_given[2] = {false, false};
  bool rest[2] = {false, false};
  bool moves = false;
  bool branches = false;
  std::vector<std::string> section;  // the move section up to its first branch
  int n = 0;
  for (const std::string& raw : lines) {
    ++n;
    const std::string line = trim_end(raw);
    if (moves) {
      // A branch's "まで" is not the main line's length.
      if (starts_with(line, "変化")) branches = true;
      if (branches) continue;
      section.push_back(line);
      if (const int length = mate_length(line); length >= 0) known_length = length;
      continue;
    }
    if (line.empty() || line[0] == '#' || line[0] == '*' || line[0] == '&') continue;
    if (starts_with(line, "+-") || starts_with(line, "＋")) {
      if (board == BEFORE) {
        board = INSIDE;
      } else if (board == INSIDE) {
        if (rows != 9) {
          error = error_at(n, "the board has " + std::to_string(rows) + " rows, not 9");
          return false;
        }
        board = AFTER;
      } else {
        error = error_at(n, "a second board diagram");
        return false;
      }
      continue;
    }
    if (board == INSIDE) {
      if (rows == 9) {
        error = error_at(n, "the board has more than 9 rows");
        return false;
      }
      std::string why;
      if (!read_kif_row(line, diagram.piece[rows], diagram.colour[rows], why)) {
        error = error_at(n, "board row " + std::to_string(rows + 1) + ": " + why);
        return false;
      }
      ++rows;
      continue;
    }
    const bool white_hand = starts_with(line, "後手の持駒") || starts_with(line, "上手の持駒");
    const bool black_hand = starts_with(line, "先手の持駒") || starts_with(line, "下手の持駒");
    if (white_hand || black_hand) {
      const int colour = white_hand ? 1 : 0;
      size_t colon = line.find("：");
      size_t skip = 3;
      if (colon == std::string::npos) colon = line.find(':'), skip = 1;
      std::string why;
      const std::string items = colon == std::string::npos ? "" : line.substr(colon + skip);
      if (!read_kif_hand(items, diagram.hands[colour], rest[colour], why)) {
        error = error_at(n, why);
        return false;
      }
      hand_given[colour] = true;
      continue;
    }
    if (line == "後手番" || line == "上手番") {
      diagram.side_to_move = 1;
      continue;
    }
    if (line == "先手番" || line == "下手番") {
      diagram.side_to_move = 0;
      continue;
    }
    if (starts_with(line, "手数") || is_move_line(line)) {
      moves = true;
      section.push_back(line);
      if (const int length = mate_length(line); length >= 0) known_length = length;
      continue;
    }
    if (const int length = mate_length(line); length >= 0) {
      known_length = length;
      continue;
    }
    // Headers ("手合割：平手", "作者：…"), the file numbers above the board
    // and anything else around the diagram say nothing about the position.
  }
  if (board != AFTER) {
    error = error_at(n, board == BEFORE ? "no board diagram (nine rows between +---+ lines)"
                                        : "the board diagram is not closed by a +---+ line");
    return false;
  }
  if (const std::string kind = overfull_kind(diagram); !kind.empty()) {
    error = error_at(n, "the board and the hands hold more " + kind + " than a set has");
    return false;
  }
  const int defender = 1 - diagram.side_to_move;
  for (int c = 0; c < 2; ++c) {
    if (rest[c] || (c == defender && !hand_given[c])) give_rest(diagram, c);
  }
  if (stated) *stated = read_kif_moves(section, diagram);
  return true;
}

bool read_csa(const std::string& text, Diagram& diagram, ReadError& error, std::vector<std::string>* stated) {
  diagram = Diagram{};
  if (stated) stated->clear();
  const std::vector<std::string> lines = split_lines(text);
  bool any_position = false;
  int rest_to = -1;
  int n = 0;
  auto place = [&](int file, int rank, int colour, int piece) {
    diagram.piece[rank - 1][9 - file] = static_cast<int8_t>(piece);
    diagram.colour[rank - 1][9 - file] = static_cast<int8_t>(colour);
  };
  for (size_t line_index = 0; line_index < lines.size(); ++line_index) {
    const std::string& line = lines[line_index];
    ++n;
    if (line.empty() || line[0] == '\'') continue;
    const std::vector<std::string> statements = csa_statements(line);
    for (size_t index = 0; index < statements.size(); ++index) {
      const std::string& s = statements[index];
      std::string trimmed = trim_blanks(s);
      if (trimmed.empty()) continue;
      const char c = trimmed[0];
      if (trimmed == "+" || trimmed == "-") {
        if (!any_position) {
          error = error_at(n, "the side to move comes before any position line");
          return false;
        }
        diagram.side_to_move = trimmed == "-" ? 1 : 0;
        if (const std::string kind = overfull_kind(diagram); !kind.empty()) {
          error = error_at(n, "the board and the hands hold more " + kind + " than a set has");
          return false;
        }
        if (rest_to >= 0) give_rest(diagram, rest_to);
        if (stated) {
          // The moves follow, on this line after a comma or on the next.
          std::vector<std::string> after(statements.begin() + static_cast<long>(index) + 1, statements.end());
          for (size_t later = line_index + 1; later < lines.size(); ++later) {
            if (lines[later].empty() || lines[later][0] == '\'') continue;
            for (std::string& statement : csa_statements(lines[later])) after.push_back(std::move(statement));
          }
          *stated = read_csa_moves(after, diagram);
        }
        return true;  // the problem is the position
      }
      if (c == 'V' || c == 'N' || c == '$' || c == 'T' || c == '%') continue;
      if (c != 'P' || s.size() < 2) {
        error = error_at(n, "'" + trimmed.substr(0, 20) + "' is not a CSA position line");
        return false;
      }
      any_position = true;
      if (s[1] >= '1' && s[1] <= '9') {
        const int rank = s[1] - '0';
        std::string cells = s.substr(2);
        while (!cells.empty() && (cells.back() == ' ' || cells.back() == '\t')) cells.pop_back();
        cells.resize(27, ' ');
        if (s.size() > 2 + 27 && trim_blanks(s.substr(29)).size() > 0) {
          error = error_at(n, "row P" + std::string(1, s[1]) + " has more than 9 squares");
          return false;
        }
        for (int i = 0; i < 9; ++i) {
          const std::string cell = cells.substr(3 * static_cast<size_t>(i), 3);
          if (cell == " * " || cell == "   " || cell == " *") {
            place(9 - i, rank, 0, EMPTY);
            continue;
          }
          const int piece = csa_piece(cell.substr(1));
          if ((cell[0] != '+' && cell[0] != '-') || piece < 0) {
            error = error_at(n, "square " + std::to_string(i + 1) + " of row P" + std::string(1, s[1]) + " is '" +
                                    cell + "', not ' * ', '+XX' or '-XX'");
            return false;
          }
          place(9 - i, rank, cell[0] == '-' ? 1 : 0, piece);
        }
        continue;
      }
      if (s[1] == 'I') {  // the starting position less the pieces listed
        static const char* const start_rows[9] = {"-KY-KE-GI-KI-OU-KI-GI-KE-KY", " * -HI *  *  *  *  * -KA * ",
                                                  "-FU-FU-FU-FU-FU-FU-FU-FU-FU", "", "", "",
                                                  "+FU+FU+FU+FU+FU+FU+FU+FU+FU", " * +KA *  *  *  *  * +HI * ",
                                                  "+KY+KE+GI+KI+OU+KI+GI+KE+KY"};
        for (int r = 0; r < 9; ++r) {
          const std::string row = start_rows[r];
          for (int i = 0; i < 9; ++i) {
            const std::string cell = row.size() >= 27 ? row.substr(3 * static_cast<size_t>(i), 3) : " * ";
            place(9 - i, r + 1, cell[0] == '-' ? 1 : 0, cell == " * " ? EMPTY : csa_piece(cell.substr(1)));
          }
        }
        const std::string items = trimmed.substr(2);
        for (size_t i = 0; i < items.size(); i += 4) {
          const std::string item = items.substr(i, 4);
          const int file = item[0] - '0', rank = item.size() > 1 ? item[1] - '0' : 0;
          const int piece = item.size() == 4 ? csa_piece(item.substr(2)) : -1;
          if (file < 1 || file > 9 || rank < 1 || rank > 9 || piece < 0 ||
              diagram.piece[rank - 1][9 - file] != piece) {
            error = error_at(n, "'" + item + "' is not a piece of the starting position");
            return false;
          }
          place(file, rank, 0, EMPTY);
        }
        continue;
      }
      if (s[1] == '+' || s[1] == '-') {
        const int colour = s[1] == '-' ? 1 : 0;
        const std::string items = trimmed.substr(2);
        if (items.empty() || items.size() % 4 != 0) {
          error = error_at(n, "'" + trimmed.substr(0, 20) + "' is not made of four-character pieces such as 00FU");
          return false;
        }
        for (size_t i = 0; i < items.size(); i += 4) {
          const std::string item = items.substr(i, 4);
          const int file = item[0] - '0', rank = item[1] - '0';
          if (item == "00AL") {
            rest_to = colour;
            continue;
          }
          const int piece = csa_piece(item.substr(2));
          const bool hand = file == 0 && rank == 0;
          if (piece < 0 || (hand && (piece < PAWN || piece > ROOK)) ||
              (!hand && (file < 1 || file > 9 || rank < 1 || rank > 9))) {
            error = error_at(n, "'" + item + "' is not a square or hand (00) and a piece");
            return false;
          }
          if (hand) {
            if (++diagram.hands[colour][piece] > SET_COUNTS[piece]) {
              error = error_at(n, std::string("more ") + CSA_NAMES[piece] + " in hand than a set has");
              return false;
            }
          } else {
            place(file, rank, colour, piece);
          }
        }
        continue;
      }
      error = error_at(n, "'" + trimmed.substr(0, 20) + "' is not a CSA position line");
      return false;
    }
  }
  error = error_at(n, any_position ? "no side-to-move line ('+' or '-')" : "no position (P1..P9, PI or P+/P- lines)");
  return false;
}

std::string diagram_to_sfen(const Diagram& d) {
  std::string board;
  for (int r = 0; r < 9; ++r) {
    if (r > 0) board += '/';
    int empty = 0;
    for (int f = 0; f < 9; ++f) {
      const int p = d.piece[r][f];
      if (p <= EMPTY || p >= PIECE_CODES) {
        ++empty;
        continue;
      }
      if (empty > 0) board += static_cast<char>('0' + empty), empty = 0;
      if (p >= TOKIN && p != KING) board += '+';
      const char letter = SFEN_LETTERS[demote_of[p] == KING ? 8 : demote_of[p]];
      board += d.colour[r][f] == 0 ? letter : static_cast<char>(letter - 'A' + 'a');
    }
    if (empty > 0) board += static_cast<char>('0' + empty);
  }
  return board + (d.side_to_move == 1 ? " w " : " b ") + sfen_hand_text(d) + " 1";
}

bool diagram_from_sfen(const std::string& sfen, Diagram& d, std::string& error) {
  d = Diagram{};
  std::vector<std::string> fields;
  for (size_t start = 0; start < sfen.size();) {
    const size_t blank = sfen.find(' ', start);
    const size_t stop = blank == std::string::npos ? sfen.size() : blank;
    if (stop > start) fields.push_back(sfen.substr(start, stop - start));
    start = stop + 1;
  }
  if (fields.size() < 3) {
    error = "an SFEN needs a board, a side and hands";
    return false;
  }
  int r = 0, f = 0;
  bool promoted = false;
  const auto read_board = [&]() {
    for (char c : fields[0]) {
      if (c == '/') {
        if (f != 9 || promoted || r == 8) return false;
        ++r, f = 0;
      } else if (c == '+') {
        if (promoted) return false;
        promoted = true;
      } else if (c >= '1' && c <= '9') {
        f += c - '0';
        if (promoted || f > 9) return false;
      } else {
        const char upper = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        const char* at = upper == ' ' || upper == '\0' ? nullptr : std::strchr(SFEN_LETTERS + 1, upper);
        if (at == nullptr || f >= 9) return false;
        int p = static_cast<int>(at - SFEN_LETTERS);
        if (p == 8) p = KING;
        if (promoted && (p == KING || p == GOLD)) return false;
        d.piece[r][f] = static_cast<int8_t>(promoted ? promote_of[p] : p);
        d.colour[r][f] = static_cast<int8_t>(c == upper ? 0 : 1);
        ++f, promoted = false;
      }
    }
    return r == 8 && f == 9 && !promoted;
  };
  if (!read_board()) {
    error = "the SFEN board is not nine rows of nine squares";
    return false;
  }
  if (fields[1] != "b" && fields[1] != "w") {
    error = "the side to move is neither b nor w";
    return false;
  }
  d.side_to_move = fields[1] == "w" ? 1 : 0;
  if (fields[2] != "-") {
    int count = 0;
    for (char c : fields[2]) {
      if (c >= '0' && c <= '9') {
        count = count * 10 + (c - '0');
        if (count > 18) {
          error = "the SFEN hands hold more of a piece than a set has";
          return false;
        }
        continue;
      }
      const char upper = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
      const char* at = std::strchr(SFEN_LETTERS + 1, upper);
      const int p = at == nullptr || upper == '\0' ? -1 : static_cast<int>(at - SFEN_LETTERS);
      if (p < PAWN || p > ROOK) {
        error = "the SFEN hands hold something that is not a piece in hand";
        return false;
      }
      d.hands[c == upper ? 0 : 1][p] += count == 0 ? 1 : count;
      count = 0;
    }
    if (count != 0) {
      error = "the SFEN hands end in a number";
      return false;
    }
  }
  return true;
}

std::string kif_solution(const Diagram& d, const std::string& title, const std::vector<std::string>& moves,
                         const std::vector<KifBranch>& branches) {
  std::string text = "# ---- Kestrane 1.2 ----\n";
  if (!title.empty()) {
    // A file name may hold line ends; the header must stay one line.
    std::string one_line = title;
    for (char& c : one_line)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    text += "表題：" + one_line + "\n";
  }
  text += "手合割：平手\n";
  text += kif_hand_line(d, 1) + "\n";
  text += "  ９ ８ ７ ６ ５ ４ ３ ２ １\n";
  text += "+---------------------------+\n";
  for (int r = 0; r < 9; ++r) {
    text += "|";
    for (int f = 0; f < 9; ++f) {
      const int p = d.piece[r][f];
      if (p <= EMPTY || p >= PIECE_CODES) {
        text += " ・";
      } else {
        text += d.colour[r][f] == 1 ? "v" : " ";
        text += KIF_BOARD_NAMES[p];
      }
    }
    text += std::string("|") + KANJI_DIGITS[r + 1] + "\n";
  }
  text += "+---------------------------+\n";
  text += kif_hand_line(d, 0) + "\n";
  if (d.side_to_move == 1) text += "後手番\n";
  text += "手数----指手---------消費時間--\n";
  // Branches deepest first, as a reader that walks the tree depth first
  // expects them; those of one ply in their order. A move that another
  // branch follows carries the "+" mark.
  std::vector<const KifBranch*> order;
  for (const KifBranch& branch : branches)
    if (branch.ply >= 1 && static_cast<size_t>(branch.ply) <= moves.size() + 1 && !branch.moves.empty())
      order.push_back(&branch);
  std::stable_sort(order.begin(), order.end(), [](const KifBranch* a, const KifBranch* b) { return a->ply > b->ply; });
  auto move_line = [](size_t ply, const std::string& move, bool branched) {
    char number[32];
    std::snprintf(number, sizeof number, "%4zu ", ply);
    return number + move + (branched ? "+" : "") + "\n";
  };
  auto branch_at = [&](size_t from, int ply) {
    for (size_t k = from; k < order.size(); ++k)
      if (order[k]->ply == ply) return true;
    return false;
  };
  for (size_t i = 0; i < moves.size(); ++i) text += move_line(i + 1, moves[i], branch_at(0, static_cast<int>(i + 1)));
  text += "まで" + std::to_string(moves.size()) + "手で詰み\n";
  for (size_t k = 0; k < order.size(); ++k) {
    const KifBranch& branch = *order[k];
    text += "\n変化：" + std::to_string(branch.ply) + "手\n";
    for (size_t m = 0; m < branch.moves.size(); ++m) {
      const size_t ply = static_cast<size_t>(branch.ply) + m;
      text += move_line(ply, branch.moves[m], m == 0 && branch_at(k + 1, branch.ply));
    }
  }
  return text;
}

bool load_problems(const std::string& path, std::vector<ProblemEntry>& problems, std::vector<std::string>& errors) {
  std::error_code ec;
  if (!std::filesystem::is_directory(path, ec)) {
    if (!std::filesystem::exists(path, ec)) return false;
    load_one_file(path, problems, errors);
    return true;
  }
  std::vector<std::string> files;
  for (std::filesystem::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string ext = lower_extension(it->path().string());
    if (ext != ".sfen" && ext != ".kif" && ext != ".kifu" && ext != ".csa") continue;
    // Only plain files: a pipe or device under a problem's name would block.
    std::error_code kind;
    if (!it->is_regular_file(kind)) continue;
    files.push_back(it->path().string());
  }
  if (ec) return false;
  std::sort(files.begin(), files.end(), [](const std::string& a, const std::string& b) {
    return std::filesystem::path(a).filename().string() < std::filesystem::path(b).filename().string();
  });
  for (const std::string& file : files) load_one_file(file, problems, errors);
  return true;
}

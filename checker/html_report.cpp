#include "html_report.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "position/move_text.h"
#include "position/types.h"
#include "solve/driver.h"

namespace {

bool stated_length(const std::string& known, int& length) {
  if (known.empty() || known.size() > 4 || known.find_first_not_of("0123456789") != std::string::npos) return false;
  length = std::atoi(known.c_str());
  return true;
}

// JSON string with everything that could end a <script> element escaped.
std::string json_string(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == '<' || c == '>' || c == '&') {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string json_array(const std::vector<std::string>& items) {
  std::string out = "[";
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += ',';
    out += json_string(items[i]);
  }
  return out + "]";
}

const char* verdict_class(Verdict v) {
  switch (v) {
    case Verdict::SOUND:
      return "sound";
    case Verdict::ALTERNATE:
      return "alternate";
    case Verdict::NO_MATE:
      return "nomate";
    case Verdict::TIME_OUT:
      return "timeout";
    case Verdict::LONGER:
      return "longer";
    case Verdict::SHORTER:
      return "shorter";
    case Verdict::ALTERNATE_OPEN:
      return "open";
    case Verdict::INVALID:
      return "invalid";
    case Verdict::PIECES_LEFT:
      return "left";
    case Verdict::LINE_WRONG:
      return "wrong";
  }
  return "";
}

// The verdict in a few words, for the table of problems.
std::string verdict_label(const CheckedProblem& c) {
  switch (verdict_of(c)) {
    case Verdict::SOUND:
      return "sound";
    case Verdict::ALTERNATE:
      return "alternate from ply " + std::to_string(c.alternate_ply);
    case Verdict::NO_MATE:
      return "no mate";
    case Verdict::TIME_OUT:
      return "time-out";
    case Verdict::LONGER:
      return "longer than stated";
    case Verdict::SHORTER:
      return "shorter than stated";
    case Verdict::ALTERNATE_OPEN:
      return "undecided";
    case Verdict::INVALID:
      return "invalid position";
    case Verdict::PIECES_LEFT:
      return "pieces left";
    case Verdict::LINE_WRONG:
      return "stated line wrong at ply " + std::to_string(c.verdict_ply);
  }
  return "";
}

// A finding in a composer's words.
std::string finding_words(const FindingText& f) {
  if (f.kind == "alternate") return "alternate solution (余詰): " + f.move;
  if (f.kind == "twin") return "note: " + f.move + " also mates, promoted or not (成生非限定)";
  if (f.kind == "last-move") return "note: " + f.move + " also mates at the last move (最終手余詰)";
  if (f.kind == "detour")
    return "note: " + f.move + " mates by a detour that rejoins the line at ply " + std::to_string(f.rejoin_ply) +
           " (迂回)";
  if (f.kind == "equal") return "blemish: " + f.move + " holds out as long, nothing left in hand (変同)";
  return f.usi_line.size() > 1 ? "longer defence (変長): " + f.move : "the defender escapes with " + f.move;
}

std::string seconds_text(double ms) {
  char text[32];
  std::snprintf(text, sizeof text, ms < 10000 ? "%.1f s" : "%.0f s", ms / 1000.0);
  return text;
}

const char STYLE[] = R"(
:root{--ink:#1d1d1f;--muted:#5f6368;--line:#d0d4da;--wood:#f3d9a4;--mark:#f6c94c;--from:#f9e7b0}
*{box-sizing:border-box}
body{margin:0 auto;max-width:62rem;padding:1rem;color:var(--ink);background:#fbfbf8;line-height:1.5;
font-family:system-ui,-apple-system,"Segoe UI","Hiragino Sans","Yu Gothic","Noto Sans CJK JP",sans-serif}
h1{font-size:1.5rem;margin:.2rem 0}
h2{font-size:1.2rem;margin:0 0 .5rem}
.settings{color:var(--muted);font-size:.9rem;margin:0 0 1rem}
.counts{display:flex;flex-wrap:wrap;gap:.5rem;margin:0 0 1rem;padding:0;list-style:none}
.counts li{border:1px solid var(--line);border-radius:.5rem;padding:.35rem .7rem;background:#fff}
.counts b{font-size:1.2rem;margin-right:.3rem}
.table-wrap{overflow-x:auto}
table{border-collapse:collapse;width:100%;background:#fff}
th,td{border-bottom:1px solid var(--line);padding:.3rem .5rem;text-align:left;vertical-align:top}
td.num,th.num{text-align:right}
.v-sound{color:#17693a}.v-alternate,.v-longer,.v-shorter{color:#a4161a}.v-nomate{color:#7a4b00}
.v-timeout,.v-open{color:#5f6368}.v-invalid,.v-left,.v-wrong{color:#a4161a}
.plies-table{font-size:.85rem;margin:.5rem 0}.plies-table td{padding:.15rem .4rem}
.ply-found{color:#a4161a}.ply-undecided{color:#7a4b00}
.alt-line{font:inherit;font-size:.85rem;border:1px solid var(--line);border-radius:.3rem;background:#fff;margin:.1rem .2rem;cursor:pointer}
.showing{font-size:.85rem;color:var(--muted);margin:0}
.problem{display:grid;grid-template-columns:minmax(0,25rem) minmax(0,1fr);gap:1rem 1.5rem;margin:1.5rem 0;
padding:1rem;background:#fff;border:1px solid var(--line);border-radius:.75rem}
.problem:focus{outline:2px solid #4a7bd0}
.problem>header{grid-column:1/-1}
.verdict{font-weight:600;margin:0}
.diagram{width:100%;height:auto;display:block}
.jp,.diagram text{font-family:"Hiragino Mincho ProN","Yu Mincho","YuMincho","Noto Serif CJK JP","Noto Serif JP","IPAexMincho",serif}
.controls{display:flex;align-items:center;gap:.4rem;margin:.5rem 0;flex-wrap:wrap}
.controls button{font-size:1.1rem;min-width:2.8rem;min-height:2.4rem;border:1px solid var(--line);border-radius:.4rem;background:#fff}
.controls button:disabled{opacity:.4}
.ply{min-width:5rem;text-align:center;font-variant-numeric:tabular-nums}
.now{min-height:1.5em;margin:0}
.moves{line-height:2}
.mv{cursor:pointer;border-radius:.3rem;padding:.1rem .2rem;white-space:nowrap}
.mv.cur{background:var(--mark)}
.mv.alt{text-decoration:underline wavy #a4161a}
dl{display:grid;grid-template-columns:auto 1fr;gap:.1rem .8rem;margin:.5rem 0;font-size:.9rem}
dt{color:var(--muted)}dd{margin:0;overflow-wrap:anywhere}
code{font-size:.85rem}
@media (max-width:46rem){.problem{grid-template-columns:minmax(0,1fr);padding:.75rem}body{padding:.6rem}.wide{display:none}}
)";

// The diagrams' script, checker/report_player.js, built in.
#include "report_player_js.h"


}  // namespace

std::string html_escape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

Verdict verdict_of(const CheckedProblem& c) {
  if (c.result == RESULT_TIMEOUT) return Verdict::TIME_OUT;
  if (c.result == RESULT_NOMATE) return c.soundness == "invalid" ? Verdict::INVALID : Verdict::NO_MATE;
  // The check's own verdicts come first; a length stated beside the line
  // (まで N手) is compared after them, before the notes of pieces left and
  // plies left open.
  if (c.soundness == "line-wrong") return Verdict::LINE_WRONG;
  if (c.soundness == "shorter") return Verdict::SHORTER;
  if (c.soundness == "longer") return Verdict::LONGER;
  if (c.alternate_ply > 0) return Verdict::ALTERNATE;
  int stated = 0;
  if (stated_length(c.problem.known, stated)) {
    const int length = static_cast<int>(c.usi_moves.size());
    if (length > stated) return Verdict::LONGER;
    if (length < stated) return Verdict::SHORTER;
  } else if (c.problem.known == "nomate") {
    return Verdict::SHORTER;
  }
  if (c.soundness == "pieces-left") return Verdict::PIECES_LEFT;
  return c.alternate == "unknown" || c.soundness == "undecided" ? Verdict::ALTERNATE_OPEN : Verdict::SOUND;
}

const char* verdict_name_of(Verdict verdict) {
  switch (verdict) {
    case Verdict::SOUND: return "sound";
    case Verdict::ALTERNATE: return "alternate";
    case Verdict::NO_MATE: return "nomate";
    case Verdict::TIME_OUT: return "timeout";
    case Verdict::LONGER: return "longer";
    case Verdict::SHORTER: return "shorter";
    case Verdict::ALTERNATE_OPEN: return "undecided";
    case Verdict::INVALID: return "invalid";
    case Verdict::PIECES_LEFT: return "pieces-left";
    case Verdict::LINE_WRONG: return "line-wrong";
  }
  return "";
}

std::string verdict_text(const CheckedProblem& c) {
  const std::string plies = std::to_string(c.usi_moves.size());
  int stated = 0;
  const bool has_stated = stated_length(c.problem.known, stated);
  switch (verdict_of(c)) {
    case Verdict::TIME_OUT:
      return "Time-out: no mate was found within the time limit";
    case Verdict::NO_MATE:
      return has_stated ? "No mate, though a mate in " + std::to_string(stated) + " is stated" : "No mate";
    case Verdict::ALTERNATE:
      return "Alternate solution from ply " + std::to_string(c.alternate_ply) +
             (c.alternate_move.empty() ? "" : " (" + c.alternate_move + ")");
    case Verdict::LONGER:
      if (c.soundness == "longer")
        return "Longer than stated (変長): the defender holds out longer than the stated line" +
               (c.verdict_ply > 0 ? " at ply " + std::to_string(c.verdict_ply) : std::string());
      return "Mate in " + plies + ", longer than the stated " + std::to_string(stated);
    case Verdict::SHORTER:
      if (c.soundness == "shorter") return "Shorter than stated (早詰): the attacker mates sooner than the stated line";
      return has_stated ? "Mate in " + plies + ", shorter than the stated " + std::to_string(stated)
                        : "Mate in " + plies + ", where no mate is stated";
    case Verdict::ALTERNATE_OPEN: {
      std::string open;
      for (size_t k = 0; k < c.plies.size(); ++k)
        if (c.plies[k].state == "undecided") open += (open.empty() ? "" : ", ") + std::to_string(k + 1);
      return "Undecided: mate in " + plies + "; the check ran out of time" +
             (open.empty() ? std::string() : " with plies " + open + " open");
    }
    case Verdict::SOUND:
      return "Sound: mate in " + plies + ", no alternate solution, no longer defence, nothing left in hand";
    case Verdict::INVALID:
      return "Invalid position: " + (c.soundness_text.empty() ? std::string("no shogi set allows it") : c.soundness_text);
    case Verdict::PIECES_LEFT:
      return "Pieces left: the mate in " + plies + " ends with " + c.left_in_hand + " in hand (駒余り)";
    case Verdict::LINE_WRONG:
      return "The stated line is wrong at ply " + std::to_string(c.verdict_ply) +
             (c.soundness_text.empty() ? std::string() : ": " + c.soundness_text);
  }
  return "";
}

bool play_usi_move(Diagram& d, const std::string& move) {
  const int side = d.side_to_move;
  // The diagram stands as the SFEN is written: the squares of an unrotated
  // board, rank 1 on row 0 and file 9 in column 0.
  MoveCode code = 0;
  if (!parse_move_usi(move, side, false, code)) return false;
  const int to = move_to(code);
  const int to_row = 8 - to / 9, to_column = to % 9;
  if (is_drop_from(move_from(code))) {
    const int piece = move_from(code) - hand_square(side, 0);
    int8_t& target = d.piece[to_row][to_column];
    if (target != EMPTY || d.hands[side][piece] <= 0) return false;
    --d.hands[side][piece];
    target = static_cast<int8_t>(piece);
    d.colour[to_row][to_column] = static_cast<int8_t>(side);
  } else {
    const int from_row = 8 - move_from(code) / 9, from_column = move_from(code) % 9;
    const bool promote = move_promotes(code);
    int8_t& from = d.piece[from_row][from_column];
    int8_t& target = d.piece[to_row][to_column];
    const int8_t target_colour = d.colour[to_row][to_column];
    if (from <= EMPTY || from >= PIECE_CODES || d.colour[from_row][from_column] != side) return false;
    if (&from == &target || (target != EMPTY && (target_colour == side || target == KING))) return false;
    if (promote && promote_of[from] == from) return false;
    if (promote && (from >= TOKIN)) return false;
    if (target > EMPTY && target < PIECE_CODES) ++d.hands[side][demote_of[target]];
    target = static_cast<int8_t>(promote ? promote_of[from] : from);
    d.colour[to_row][to_column] = static_cast<int8_t>(side);
    from = EMPTY;
    d.colour[from_row][from_column] = 0;
  }
  d.side_to_move ^= 1;
  return true;
}

std::string html_report(const std::vector<CheckedProblem>& problems, const ReportSettings& settings) {
  int counts[VERDICT_KINDS] = {};
  for (const CheckedProblem& c : problems) ++counts[static_cast<int>(verdict_of(c))];

  std::string page =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'; "
      "script-src 'unsafe-inline'; img-src data:\">\n"
      "<title>Kestrane check report</title>\n<style>";
  page += STYLE;
  page += "</style>\n</head>\n<body>\n<h1>Kestrane check report</h1>\n";
  const std::string alternate_budget =
      settings.alt_seconds > 0 ? std::to_string(settings.alt_seconds) + " s" : std::string("no limit");
  page += "<p class=\"settings\">" + std::to_string(problems.size()) + " problem" +
          (problems.size() == 1 ? "" : "s") + "; time limit " +
          (settings.limit_ms > 0 ? seconds_text(settings.limit_ms) : std::string("none")) +
          " per problem, check of the line " + alternate_budget + ", hash " +
          std::to_string(settings.hash_mb) + " MB.</p>\n";

  struct Count {
    Verdict verdict;
    const char* words;
    bool always;
  };
  const Count shown[] = {{Verdict::SOUND, "sound", true},
                         {Verdict::ALTERNATE, "alternate solution", true},
                         {Verdict::NO_MATE, "no mate", true},
                         {Verdict::TIME_OUT, "time-out", true},
                         {Verdict::LONGER, "longer than stated", true},
                         {Verdict::SHORTER, "shorter than stated", false},
                         {Verdict::ALTERNATE_OPEN, "undecided", false},
                         {Verdict::INVALID, "invalid position", false},
                         {Verdict::PIECES_LEFT, "pieces left", false},
                         {Verdict::LINE_WRONG, "stated line wrong", false}};
  page += "<ul class=\"counts\">\n";
  for (const Count& c : shown) {
    const int n = counts[static_cast<int>(c.verdict)];
    if (!c.always && n == 0) continue;
    page += std::string("<li class=\"v-") + verdict_class(c.verdict) + "\" data-verdict=\"" +
            verdict_class(c.verdict) + "\"><b>" + std::to_string(n) + "</b>" + c.words + "</li>\n";
  }
  page += "</ul>\n";

  page +=
      "<div class=\"table-wrap\"><table class=\"summary\">\n<thead><tr><th class=\"num\">#</th><th>problem</th>"
      "<th>verdict</th><th class=\"num\">plies</th><th class=\"num wide\">stated</th><th class=\"num wide\">time</th>"
      "</tr>"
      "</thead>\n<tbody>\n";
  for (size_t i = 0; i < problems.size(); ++i) {
    const CheckedProblem& c = problems[i];
    const std::string id = "p-" + std::to_string(i + 1);
    page += "<tr><td class=\"num\">" + std::to_string(i + 1) + "</td><td><a href=\"#" + id + "\">" +
            html_escape(c.problem.name) + "</a></td><td class=\"v-" + verdict_class(verdict_of(c)) + "\">" +
            html_escape(verdict_label(c)) + "</td><td class=\"num\">" +
            (c.result == RESULT_MATE ? std::to_string(c.usi_moves.size()) : std::string("-")) +
            "</td><td class=\"num wide\">" + html_escape(c.problem.known.empty() ? "-" : c.problem.known) +
            "</td><td class=\"num wide\">" + seconds_text(c.ms) + "</td></tr>\n";
  }
  page += "</tbody>\n</table></div>\n";

  for (size_t i = 0; i < problems.size(); ++i) {
    const CheckedProblem& c = problems[i];
    const Verdict v = verdict_of(c);
    Diagram diagram;
    std::string why;
    const bool drawable = diagram_from_sfen(c.problem.sfen, diagram, why);
    std::vector<std::string> sfens, usi;
    if (drawable) {
      sfens.push_back(diagram_to_sfen(diagram));
      for (const std::string& move : c.usi_moves) {
        if (!play_usi_move(diagram, move)) break;
        sfens.push_back(diagram_to_sfen(diagram));
        usi.push_back(move);
      }
    }
    const size_t plies = usi.size();
    std::vector<std::string> japanese(c.japanese.begin(), c.japanese.begin() + std::min(plies, c.japanese.size()));
    while (japanese.size() < plies) japanese.push_back(usi[japanese.size()]);

    page += "\n<section class=\"problem\" id=\"p-" + std::to_string(i + 1) + "\" tabindex=\"-1\" data-name=\"" +
            html_escape(c.problem.name) + "\">\n<header><h2>" + std::to_string(i + 1) + ". " +
            html_escape(c.problem.name) + "</h2>\n<p class=\"verdict v-" + verdict_class(v) + "\">" +
            html_escape(verdict_text(c)) + "</p></header>\n";
    page += "<div class=\"board\">\n";
    if (drawable) {
      page += "<svg class=\"diagram\" viewBox=\"0 0 396 470\" role=\"img\" aria-label=\"Board of " +
              html_escape(c.problem.name) + "\"></svg>\n<noscript>The diagram needs script.</noscript>\n";
      page +=
          "<div class=\"controls\"><button type=\"button\" data-step=\"first\" aria-label=\"start\">|&#x25C0;</button>"
          "<button type=\"button\" data-step=\"prev\" aria-label=\"back\">&#x25C0;</button><span class=\"ply\">0 / " +
          std::to_string(plies) +
          "</span><button type=\"button\" data-step=\"next\" aria-label=\"forward\">&#x25B6;</button>"
          "<button type=\"button\" data-step=\"last\" aria-label=\"end\">&#x25B6;|</button></div>\n"
          "<p class=\"now jp\"></p>\n";
    } else {
      page += "<p>The position cannot be drawn: " + html_escape(why) + "</p>\n";
    }
    page += "</div>\n<div class=\"info\">\n";
    if (c.result == RESULT_MATE) {
      page += "<p class=\"moves jp\">";
      for (size_t m = 0; m < plies; ++m) {
        const bool alt = c.alternate_ply > 0 && static_cast<size_t>(c.alternate_ply) == m + 1;
        page += std::string(m ? " " : "") + "<span class=\"mv" + (alt ? " alt" : "") + "\" data-ply=\"" +
                std::to_string(m + 1) + "\">" + html_escape(japanese[m]) + "</span>";
      }
      page += "</p>\n<p class=\"shortest\">" + std::string(c.shortest == 1 ? "proven shortest" : "not proven") +
              "</p>\n";
      if (c.alternate_ply > 0) {
        page += "<p class=\"alternate\">An alternate solution leaves the line at ply " +
                std::to_string(c.alternate_ply) +
                (c.alternate_move.empty() ? std::string()
                                          : " with <span class=\"jp\">" + html_escape(c.alternate_move) + "</span>") +
                (static_cast<size_t>(c.alternate_ply) <= plies
                     ? " instead of <span class=\"jp\">" + html_escape(japanese[c.alternate_ply - 1]) + "</span>"
                     : std::string()) +
                ".</p>\n";
      }
    }
    // Per ply, what the check found; a finding's line plays on the diagram.
    std::string lines_json;
    int line_count = 0;
    if (c.result == RESULT_MATE && !c.plies.empty()) {
      page += std::string("<p class=\"showing\" data-line=\"-1\">") +
              (c.stated_line ? "The line checked is the file's own." : "The line checked is the engine's.") +
              "</p>\n<table class=\"plies-table\"><thead><tr><th class=\"num\">ply</th><th>move</th>"
              "<th>found</th></tr></thead><tbody>\n";
      for (size_t k = 0; k < c.plies.size(); ++k) {
        const PlyRow& row = c.plies[k];
        std::string found;
        for (const FindingText& f : c.findings) {
          if (static_cast<size_t>(f.ply) != k + 1) continue;
          std::string button;
          if (drawable && !f.usi_line.empty()) {
            // The finding's positions, from the line's position before its ply.
            Diagram at;
            std::string unused;
            std::vector<std::string> f_sfens, f_usi, f_moves;
            if (k < sfens.size() && diagram_from_sfen(sfens[k], at, unused)) {
              for (size_t m = 0; m < f.usi_line.size(); ++m) {
                if (!play_usi_move(at, f.usi_line[m])) break;
                f_sfens.push_back(diagram_to_sfen(at));
                f_usi.push_back(f.usi_line[m]);
                f_moves.push_back(m < f.japanese_line.size() ? f.japanese_line[m] : f.usi_line[m]);
              }
            }
            if (!f_usi.empty()) {
              lines_json += std::string(line_count ? "," : "") + "{\"from\":" + std::to_string(k) +
                            ",\"sfens\":" + json_array(f_sfens) + ",\"usi\":" + json_array(f_usi) +
                            ",\"moves\":" + json_array(f_moves) + "}";
              button = " <button type=\"button\" class=\"alt-line\" data-line=\"" + std::to_string(line_count++) +
                       "\">play</button>";
            }
          }
          found += std::string(found.empty() ? "" : "<br>") + "<span class=\"" + (f.flaw ? "ply-found" : "note") +
                   "\">" + html_escape(finding_words(f)) + "</span>" + button;
        }
        if (row.state == "undecided") {
          std::string open;
          for (const std::string& m : row.open) open += (open.empty() ? "" : " ") + m;
          found += std::string(found.empty() ? "" : "<br>") + "<span class=\"ply-undecided\">undecided: " +
                   html_escape(open) + "</span>";
        }
        if (found.empty()) found = "none";
        page += "<tr data-ply=\"" + std::to_string(k + 1) + "\" class=\"ply-" + html_escape(row.state) +
                "\"><td class=\"num\">" + std::to_string(k + 1) + "</td><td class=\"jp\">" +
                html_escape(k < japanese.size() ? japanese[k] : std::string()) + "</td><td class=\"jp\">" + found +
                "</td></tr>\n";
      }
      page += "</tbody></table>\n";
      if (line_count > 0) page += "<button type=\"button\" class=\"alt-line\" data-line=\"-1\">main line</button>\n";
    }
    page += "<dl><dt>stated</dt><dd>" + html_escape(c.problem.known.empty() ? "-" : c.problem.known) +
            "</dd><dt>time</dt><dd>" + seconds_text(c.ms) + "</dd><dt>SFEN</dt><dd><code>" +
            html_escape(c.problem.sfen) + "</code></dd>";
    if (c.result == RESULT_MATE) {
      std::string line;
      for (const std::string& m : c.usi_moves) line += (line.empty() ? "" : " ") + m;
      page += "<dt>USI</dt><dd><code>" + html_escape(line) + "</code></dd>";
    }
    page += "</dl>\n</div>\n";
    if (drawable) {
      page += "<script type=\"application/json\" class=\"plies\">{\"sfens\":" + json_array(sfens) +
              ",\"usi\":" + json_array(usi) + ",\"moves\":" + json_array(japanese) + ",\"lines\":[" + lines_json +
              "]}</script>\n";
    }
    page += "</section>\n";
  }
  page += "<script>";
  page += REPORT_PLAYER_JS;
  page += "</script>\n</body>\n</html>\n";
  return page;
}

// kestrane-check: the composer's checker. Solves every problem of the files
// and folders given, searches each mate for an alternate solution, and
// writes the verdicts as a web page, TSV or Markdown tables and KIF files.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "check_one.h"
#include "check_progress.h"
#include "html_report.h"
#include "problem_formats.h"
#include "solve_session.h"
#include "soundness_findings.h"
#include "position/board.h"
#include "position/make_move.h"
#include "position/move_text.h"
#include "search/tt.h"
#include "solve/driver.h"
#include "usi/command_loop.h"

namespace {

const char PROGRAM[] = "kestrane-check";

struct Options {
  std::vector<std::string> paths;
  std::string html, tsv, md, kif_dir;
  uint32_t hash_mb = TT_DEFAULT_HASH_MB;
  uint32_t limit_ms = 30000;
  int alt_seconds = 30;
};

void usage(FILE* out) {
  std::fputs(
      "kestrane-check: checks tsume-shogi problems: is each one sound?\n"
      "\n"
      "usage: kestrane-check PATH... [--html FILE] [--tsv FILE] [--md FILE] [--kif DIR]\n"
      "                      [--limit MS] [--alt-seconds S] [--hash MB]\n"
      "\n"
      "PATH is a problem file or a folder of them: KIF or KIFU files with a board\n"
      "diagram, as shogi GUIs save them (Shift-JIS or UTF-8), CSA files, or SFEN files\n"
      "with one problem a line. A folder is read in name order.\n"
      "\n"
      "Every problem is solved, and its intended line is then checked ply by ply:\n"
      "the line the file states (a KIF or CSA move section), else the engine's own.\n"
      "At each of your moves, does another check also force mate, of any length?\n"
      "At each defence, does another reply hold out as long or longer?\n"
      "\n"
      "Verdicts:\n"
      "  sound        no alternate solution, no longer defence, nothing left in hand\n"
      "  alternate    another check also mates at ply N (余詰); the move and one\n"
      "               mating line are shown\n"
      "  nomate       the defender escapes (不詰)\n"
      "  invalid      a position no shogi set allows (what is wrong is said)\n"
      "  shorter      a quicker mate than the stated one (早詰)\n"
      "  longer       the defender holds out longer than stated (変長)\n"
      "  pieces-left  the mate ends with pieces in your hand (駒余り)\n"
      "  line-wrong   the stated line fails at ply N: an illegal move, no check, no\n"
      "               mate at the end, a pawn-drop mate, or a defence that is not\n"
      "               the longest\n"
      "  undecided    the time ran out with plies still open; they are listed\n"
      "  timeout      not even the mate was found in time\n"
      "Not counted as flaws, only listed: the main move promoted or not when both\n"
      "mate (成生非限定), other mates at the last move (最終手余詰), a detour\n"
      "that rejoins the line (迂回, with the ply), and a defence of the same length\n"
      "that leaves nothing in hand, four or more plies before the end (変同).\n"
      "In a one-move problem judges also ask the move to be unique: its other\n"
      "mates are listed as notes too. An interposition that only lengthens the\n"
      "mate by its capture is taken as futile (無駄合).\n"
      "\n"
      "  --html FILE       the report as one web page: the diagrams, the verdicts and\n"
      "                    the solutions to step through (open it in any browser)\n"
      "  --tsv FILE        the report as a tab-separated table, for a spreadsheet\n"
      "  --md FILE         the report as a Markdown table\n"
      "  --kif DIR         each solution as DIR/<problem>.kifu, to replay in a GUI,\n"
      "                    with the alternates and variations found as branches\n"
      "  --limit MS        time to find the mate and prove it shortest, per problem,\n"
      "                    in milliseconds (default 30000; 0 = no limit)\n"
      "  --alt-seconds S   time for the check of the line, per problem\n"
      "                    (default 30; 0 = no limit)\n"
      "  --hash MB         memory for the search tables (default 256)\n"
      "\n"
      "Without --html, --tsv or --md the table goes to standard output.\n"
      "\n"
      "Example:\n"
      "  kestrane-check my_problems/ --html report.html --alt-seconds 60\n"
      "\n"
      "Exit status: 0 when every problem was read and checked; 1 when a file could\n"
      "not be read (it is named, with the line, and skipped); 2 for a wrong option or\n"
      "a report that could not be written.\n",
      out);
}

bool parse_number(const char* text, uint32_t& out) {
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(text, &end, 10);
  if (end == text || *end != '\0' || errno != 0 || value > 0xFFFFFFFFull || text[0] == '-') return false;
  out = static_cast<uint32_t>(value);
  return true;
}

// 0 to go on, else the exit status (0 for --help).
int parse_options(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](uint32_t& out) {
      if (i + 1 >= argc || !parse_number(argv[i + 1], out)) {
        std::fprintf(stderr, "%s: %s needs a number\n", PROGRAM, arg.c_str());
        return false;
      }
      ++i;
      return true;
    };
    auto text = [&](std::string& out) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "%s: %s needs a file name\n", PROGRAM, arg.c_str());
        return false;
      }
      out = argv[++i];
      return true;
    };
    bool ok = true;
    if (arg == "--hash") {
      ok = value(options.hash_mb);
      // The engine takes USI_Hash modulo 2^17 megabytes (entries wrap at 32 bits).
      if (ok && (options.hash_mb == 0 || options.hash_mb >= (1u << 17))) {
        std::fprintf(stderr, "%s: --hash must be 1..131071\n", PROGRAM);
        ok = false;
      }
    } else if (arg == "--limit") {
      ok = value(options.limit_ms);
    } else if (arg == "--alt-seconds") {
      uint32_t seconds = 0;
      ok = value(seconds);
      // YoTsume_Second is a signed 32-bit value; 0 means no limit.
      if (ok && seconds > 0x7FFFFFFFu) {
        std::fprintf(stderr, "%s: --alt-seconds is too large\n", PROGRAM);
        ok = false;
      }
      options.alt_seconds = static_cast<int>(seconds);
    } else if (arg == "--html") {
      ok = text(options.html);
    } else if (arg == "--tsv") {
      ok = text(options.tsv);
    } else if (arg == "--md") {
      ok = text(options.md);
    } else if (arg == "--kif") {
      ok = text(options.kif_dir);
    } else if (arg == "--help" || arg == "-h") {
      usage(stdout);
      return -1;
    } else if (!arg.empty() && arg[0] == '-') {
      std::fprintf(stderr, "%s: unknown option %s\n", PROGRAM, arg.c_str());
      ok = false;
    } else {
      options.paths.push_back(arg);
    }
    if (!ok) return 2;
  }
  if (options.paths.empty()) {
    std::fprintf(stderr, "%s: name a problem file or folder\n", PROGRAM);
    return 2;
  }
  return 0;
}

std::string markdown_cell(const std::string& text) {
  std::string cell;
  for (char c : text) {
    if (c == '|') cell += '\\';
    cell += c;
  }
  return cell.empty() ? " " : cell;
}

// DIR/<name>.kifu, with a number added when two problems share a name.
std::string kif_path(const std::string& dir, const std::string& name, std::set<std::string>& used) {
  std::string stem = name.empty() ? "problem" : name;
  std::string candidate = stem;
  for (int n = 2; !used.insert(candidate).second; ++n) candidate = stem + "-" + std::to_string(n);
  return (std::filesystem::path(dir) / (candidate + ".kifu")).string();
}

bool write_file(const std::string& path, const std::string& text) {
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "%s: cannot write %s: %s\n", PROGRAM, path.c_str(), std::strerror(errno));
    return false;
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  if (std::fclose(out) != 0 || !written) {
    std::fprintf(stderr, "%s: writing %s failed\n", PROGRAM, path.c_str());
    return false;
  }
  return true;
}

bool write_kif(const std::string& path, const ProblemEntry& p, const std::vector<std::string>& kif_moves,
               const CheckedProblem& checked) {
  Diagram diagram;
  std::string why;
  if (!diagram_from_sfen(p.sfen, diagram, why)) {
    std::fprintf(stderr, "%s: no KIF file for %s: %s\n", PROGRAM, p.name.c_str(), why.c_str());
    return false;
  }
  std::vector<KifBranch> branches;
  for (const FindingText& f : checked.findings)
    if (!f.kif_line.empty()) branches.push_back({f.ply, f.kif_line});
  return write_file(path, kif_solution(diagram, p.name, kif_moves, branches));
}

int run_check(const Options& options, const std::vector<ProblemEntry>& problems) {
  // The check runs in-process after each solve, not through the engine's
  // alternate-solution option.
  set_up_engine({options.hash_mb, 0, false, options.alt_seconds});
  if (!options.kif_dir.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(options.kif_dir, ec);
    if (!std::filesystem::is_directory(options.kif_dir, ec)) {
      std::fprintf(stderr, "%s: cannot make the directory %s\n", PROGRAM, options.kif_dir.c_str());
      return 2;
    }
  }
  std::set<std::string> kif_names;
  FILE* tsv = nullptr;
  FILE* md = nullptr;
  if (!options.tsv.empty() && (tsv = std::fopen(options.tsv.c_str(), "w")) == nullptr) {
    std::fprintf(stderr, "%s: cannot write %s: %s\n", PROGRAM, options.tsv.c_str(), std::strerror(errno));
    return 2;
  }
  if (!options.md.empty() && (md = std::fopen(options.md.c_str(), "w")) == nullptr) {
    std::fprintf(stderr, "%s: cannot write %s: %s\n", PROGRAM, options.md.c_str(), std::strerror(errno));
    if (tsv) std::fclose(tsv);
    return 2;
  }
  const ReportSettings settings{options.hash_mb, options.limit_ms, options.alt_seconds};
  std::vector<CheckedProblem> checked_problems;
  // The page is written at once, so that a wrong name shows before the hours
  // of a check, and again after every problem, so that it can be opened
  // while the check runs.
  if (!options.html.empty() && !write_file(options.html, html_report(checked_problems, settings))) {
    if (tsv) std::fclose(tsv);
    if (md) std::fclose(md);
    return 2;
  }
  // Without a report file the TSV goes to the real stdout.
  if (tsv == nullptr && md == nullptr && options.html.empty()) tsv = table_output();

  const char* columns[] = {"problem", "sfen",      "result",        "length",           "known",     "line",
                           "japanese", "alternate", "alternate_ply", "verdict",          "verdict_ply", "alternate_move",
                           "blemishes", "undecided", "ms"};
  if (tsv) {
    for (size_t c = 0; c < std::size(columns); ++c) std::fprintf(tsv, "%s%s", c ? "\t" : "", columns[c]);
    std::fputs("\n", tsv);
  }
  if (md) {
    const std::string budget =
        options.alt_seconds > 0 ? std::to_string(options.alt_seconds) + " s" : std::string("without a limit");
    std::fprintf(md,
                 "Checked with Kestrane: hash %u MB, limit %u ms per problem, alternate-solution search %s.\n"
                 "alternate: yes = another check mates at alternate_ply; no = none; unknown = plies left open.\n"
                 "verdict: see kestrane-check --help; blemishes: notes beside it (twin, last-move, detour, equal);\n"
                 "undecided: the plies left open.\n\n",
                 options.hash_mb, options.limit_ms, budget.c_str());
    for (const char* c : columns) std::fprintf(md, "| %s ", c);
    std::fputs("|\n", md);
    // Numbers right-aligned: length, known, alternate_ply, verdict_ply, ms.
    for (size_t c = 0; c < std::size(columns); ++c) {
      std::fputs(c == 3 || c == 4 || c == 8 || c == 10 || c == 14 ? "|---:" : "|---", md);
    }
    std::fputs("|\n", md);
  }

  const double bound =
      options.limit_ms > 0 && options.alt_seconds > 0 ? options.limit_ms / 1000.0 + options.alt_seconds : 0.0;
  CheckProgress progress(stderr, stderr_is_terminal(), problems.size(), bound);
  bool write_failed = false;
  for (size_t i = 0; i < problems.size(); ++i) {
    const ProblemEntry& p = problems[i];
    progress.start(i, p.name);
    std::vector<std::string> kif_moves;
    // The live line ends with the solve, before the check and before the
    // files are written, so that a message about one of them starts a line
    // of its own rather than the live line's end.
    CheckedProblem checked =
        check_one_problem(p, options.limit_ms, options.alt_seconds, kif_moves, [&](const CheckedProblem& c) {
          progress.finish(result_name(c.result),
                          c.result == RESULT_MATE ? std::to_string(c.usi_moves.size()) : std::string("-"));
        });
    const bool mate = checked.result == RESULT_MATE;
    const std::string length = mate ? std::to_string(checked.usi_moves.size()) : "-";
    std::string line;
    for (const std::string& m : checked.usi_moves) line += (line.empty() ? "" : " ") + m;
    if (mate && !options.kif_dir.empty()) {
      write_failed |= !write_kif(kif_path(options.kif_dir, p.name, kif_names), p, kif_moves, checked);
    }
    std::string japanese;
    for (const std::string& move : checked.japanese) japanese += (japanese.empty() ? "" : " ") + move;
    const std::string ply = checked.alternate_ply > 0 ? std::to_string(checked.alternate_ply) : "-";
    char ms[32];
    std::snprintf(ms, sizeof ms, "%.0f", checked.ms);
    std::string blemishes, undecided;
    for (const FindingText& f : checked.findings) {
      if (f.flaw) continue;
      blemishes += (blemishes.empty() ? "" : " ") + f.kind + "@" + std::to_string(f.ply);
    }
    for (size_t k = 0; k < checked.plies.size(); ++k)
      if (checked.plies[k].state == "undecided") undecided += (undecided.empty() ? "" : " ") + std::to_string(k + 1);
    const Verdict verdict = verdict_of(checked);
    const std::string cells[] = {p.name,
                                 p.sfen,
                                 result_name(checked.result),
                                 length,
                                 p.known.empty() ? "-" : p.known,
                                 mate ? line : "-",
                                 mate ? japanese : "-",
                                 checked.alternate,
                                 ply,
                                 verdict_name_of(verdict),
                                 checked.verdict_ply > 0 ? std::to_string(checked.verdict_ply) : "-",
                                 checked.alternate_move.empty() ? "-" : checked.alternate_move,
                                 blemishes.empty() ? "-" : blemishes,
                                 undecided.empty() ? "-" : undecided,
                                 ms};
    if (tsv) {
      for (size_t c = 0; c < std::size(cells); ++c) std::fprintf(tsv, "%s%s", c ? "\t" : "", cells[c].c_str());
      std::fputs("\n", tsv);
      write_failed |= std::fflush(tsv) != 0;
    }
    if (md) {
      for (size_t c = 0; c < std::size(cells); ++c) {
        // SFEN and line in code spans: they hold '+' and '*'.
        const bool code = (c == 1 || c == 5) && cells[c] != "-";
        std::fprintf(md, "| %s%s%s ", code ? "`" : "", markdown_cell(cells[c]).c_str(), code ? "`" : "");
      }
      std::fputs("|\n", md);
      write_failed |= std::fflush(md) != 0;
    }
    checked_problems.push_back(std::move(checked));
    if (!options.html.empty()) write_failed |= !write_file(options.html, html_report(checked_problems, settings));
  }
  if (tsv && tsv != table_output()) write_failed |= std::fclose(tsv) != 0;
  if (md) write_failed |= std::fclose(md) != 0;
  if (write_failed) {
    std::fprintf(stderr, "%s: writing the reports or the KIF files failed\n", PROGRAM);
    return 2;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  const int parsed = parse_options(argc, argv, options);
  if (parsed == -1) return 0;
  if (parsed != 0) {
    std::fprintf(stderr, "Try '%s --help'.\n", PROGRAM);
    return parsed;
  }
  std::vector<ProblemEntry> problems;
  std::vector<std::string> unreadable;
  for (const std::string& path : options.paths) {
    if (!load_problems(path, problems, unreadable)) {
      std::fprintf(stderr, "%s: cannot read %s\n", PROGRAM, path.c_str());
      return 2;
    }
  }
  for (const std::string& message : unreadable) std::fprintf(stderr, "%s: %s (skipped)\n", PROGRAM, message.c_str());
  if (problems.empty()) {
    std::string names;
    for (const std::string& path : options.paths) names += (names.empty() ? "" : ", ") + path;
    std::fprintf(stderr, "%s: no problems in %s\n", PROGRAM, names.c_str());
    return 2;
  }
  if (!redirect_engine_output()) {
    std::fprintf(stderr, "%s: cannot redirect the engine's output: %s\n", PROGRAM, std::strerror(errno));
    return 2;
  }
  const int status = run_check(options, problems);
  if (status == 0 && !unreadable.empty()) {
    std::fprintf(stderr, "%s: %zu problem file%s skipped, see above\n", PROGRAM, unreadable.size(),
                 unreadable.size() == 1 ? "" : "s");
    return 1;
  }
  return status;
}

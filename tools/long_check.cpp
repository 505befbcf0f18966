// End-to-end check of whole problem collections: the engine binary is driven
// over pipes as a front end drives it, and every answer is checked with the
// test-only rules reference: each attacker move a legal check, each defender
// move legal, mate at the end, not by a pawn drop. A line may end where the
// defender's only replies are futile interpositions (each captured with a
// check that leaves the same situation again), which do not count in a
// mate's length. Lengths are compared with the known ones and listed; a
// length that differs is no failure, because the known lengths of the
// classics are intended lengths, not shortest ones.
//
//   long_check ENGINE [--limit MS] [--hash MB] [--threads N] [--only NAME,...]
//              [--no-timeouts] [--report FILE] COLLECTION...
//
// Fails (status 1) on: an answer that is not a correct mate, a mate answered
// where none exists, "nomate" where a mate is known, no answer at all, and
// with --no-timeouts a timeout.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "problem_file.h"
#include "engine_process.h"
#include "rules_reference.h"
#include "support/position_helpers.h"
#include "support/usi_moves.h"

namespace {

using Problem = ProblemEntry;

struct Settings {
  std::string engine;
  uint32_t limit_ms = 30000;
  uint32_t hash_mb = 256;
  uint32_t threads = 1;
  std::set<std::string> only;
  bool no_timeouts = false;
  std::string report;
  std::vector<std::string> files;
};

// The squares strictly between `from` and `to` when they share a row, a
// column or a diagonal; empty otherwise (or when they are neighbours).
std::vector<int> squares_between(int from, int to) {
  const int dr = to / 9 - from / 9, dc = to % 9 - from % 9;
  if (dr != 0 && dc != 0 && dr != dc && dr != -dc) return {};
  const int step = (dr > 0) - (dr < 0);
  const int stepc = (dc > 0) - (dc < 0);
  std::vector<int> between;
  for (int sq = from + 9 * step + stepc; sq != to; sq += 9 * step + stepc) between.push_back(sq);
  return between;
}

// Search state of mated_but_for_interpositions.
struct InterpositionSearch {
  std::map<std::string, bool> known;  // positions decided, by SFEN
  std::set<std::string> futile;       // interpositions met
  long budget = 200000;               // positions that may still be examined
};

// Whether the defender, to move and in check in `pos`, is mated but for
// futile interpositions: every legal reply puts a piece between the single
// checker and the king, and the attacker captures it with a check that
// leaves the same situation again. Such replies do not count in a mate's
// length.
bool mated_but_for_interpositions(const rules_reference::Position& pos, InterpositionSearch& search) {
  const std::string key = rules_reference::to_sfen(pos, 1);
  const auto found = search.known.find(key);
  if (found != search.known.end()) return found->second;
  if (--search.budget < 0) return false;
  bool result = true;
  const std::vector<MoveCode> replies = rules_reference::legal_moves(pos, 1);
  const int king = rules_reference::king_square(pos, 1);
  int checker = -1;
  for (int sq = 0; sq < SQUARES && result; ++sq) {
    if (pos.owners[sq] != 0 || !rules_reference::piece_reaches(pos, sq, king)) continue;
    if (checker >= 0) result = replies.empty();  // a double check cannot be interposed
    checker = sq;
  }
  const std::vector<int> line = checker >= 0 ? squares_between(checker, king) : std::vector<int>{};
  for (size_t r = 0; r < replies.size() && result; ++r) {
    const MoveCode reply = replies[r];
    const int to = move_to(reply);
    if (move_from(reply) == king || std::find(line.begin(), line.end(), to) == line.end()) {
      result = false;
      break;
    }
    const rules_reference::Position interposed = rules_reference::after(pos, 1, reply);
    // The captures of the interposed piece, with and without promotion.
    bool answered = false;
    for (int from = 0; from < SQUARES && !answered; ++from) {
      if (interposed.owners[from] != 0) continue;
      for (MoveCode promote : {MoveCode{0}, static_cast<MoveCode>(PROMOTION_BIT)}) {
        const MoveCode capture = static_cast<MoveCode>(from * 256 + to + promote);
        if (!rules_reference::is_legal(interposed, 0, capture) ||
            !rules_reference::gives_check(interposed, 0, capture))
          continue;
        if (mated_but_for_interpositions(rules_reference::after(interposed, 0, capture), search)) {
          answered = true;
          break;
        }
      }
    }
    if (!answered) result = false;
    const std::string name = rules_reference::move_name(reply);
    search.futile.insert(name.substr(0, name.find(' ')));
  }
  search.known[key] = result;
  return result;
}

// What is wrong with a "checkmate <moves>" answer to `sfen`; empty when it
// is a correct mate. `length` gets the number of moves; `futile` the
// interpositions left at the end, when the final position is a mate only
// up to them.
std::string mate_fault(const std::string& sfen, const std::string& answer, int& length,
                       std::set<std::string>& futile) {
  const std::vector<std::string> words = split_words(answer);
  length = static_cast<int>(words.size()) - 1;
  if (length < 1) return "no moves";
  if (length % 2 == 0) return "even length: a mate ends with an attacker move";
  setup_position(sfen);
  // The engine reads the SFEN with the same reader; the board read back must
  // be the one given (Black to move: owner 0 is Black, no rotation).
  if (board.flipped == 0) {
    const std::string given = sfen.substr(0, sfen.find(' '));
    const std::string read = rules_reference::board_sfen(0);
    if (read.substr(0, read.find(' ')) != given) return "board read back as " + read;
  }
  rules_reference::Position pos = rules_reference::Position::from_board();
  const bool flipped = board.flipped != 0;
  MoveCode last = 0;
  for (int i = 0; i < length; ++i) {
    const int side = i & 1;
    const MoveCode m = usi_to_code(words[i + 1], side, flipped);
    const std::string where = "ply " + std::to_string(i + 1) + " " + words[i + 1];
    if (m == 0) return where + ": not a move";
    if (!rules_reference::is_legal(pos, side, m)) return where + ": illegal";
    if (side == 0 && !rules_reference::gives_check(pos, 0, m)) return where + ": no check";
    pos = rules_reference::after(pos, side, m);
    last = m;
  }
  if (!rules_reference::in_check(pos, 1)) return "the defender is not in check at the end";
  if (move_from(last) == hand_square(0, PAWN)) return "mate by a pawn drop";
  const std::vector<MoveCode> replies = rules_reference::legal_moves(pos, 1);
  if (replies.empty()) return "";
  InterpositionSearch search;
  if (mated_but_for_interpositions(pos, search)) {
    futile = search.futile;
    return "";
  }
  std::string text = search.budget < 0 ? "undecided (too many interpositions to follow): the defender has"
                                        : "not mate: the defender has";
  for (size_t i = 0; i < replies.size() && i < 6; ++i) {
    text += ' ';
    text += rules_reference::move_name(replies[i]);
  }
  return text;
}

class Session {
 public:
  explicit Session(const Settings& s) : settings_(s) {}

  bool start() {
    engine_ = std::make_unique<EngineProcess>(settings_.engine);
    if (!engine_->started()) return false;
    engine_->send_line("usi");
    while (auto line = engine_->read_line()) {
      if (*line == "usiok") break;
    }
    engine_->send_line("setoption name USI_Hash value " + std::to_string(settings_.hash_mb));
    engine_->send_line("setoption name Threads value " + std::to_string(settings_.threads));
    engine_->send_line("isready");
    while (auto line = engine_->read_line()) {
      if (*line == "readyok") return engine_->send_line("usinewgame");
    }
    return false;
  }

  // The "checkmate ..." line, or nullopt when none came in time.
  std::optional<std::string> solve(const std::string& sfen) {
    proof_note.clear();
    if (!engine_ && !start()) return std::nullopt;
    engine_->send_line("position sfen " + sfen);
    engine_->send_line("go mate " + (settings_.limit_ms ? std::to_string(settings_.limit_ms) : "infinite"));
    // The engine looks at its clock between iterations; a minute of slack
    // before the answer counts as missing.
    const long long wait = settings_.limit_ms ? settings_.limit_ms + 60000LL : 1LL << 30;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait);
    while (true) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
      if (left <= 0) break;
      auto line = engine_->read_line(static_cast<int>(std::min<long long>(left, 1 << 30)));
      if (!line) break;
      if (*line == "info string The mate is proven shortest.") proof_note = "proven shortest";
      if (*line == "info string The mate is not proven shortest.") proof_note = "not proven shortest";
      if (line->rfind("checkmate", 0) == 0) return line;
    }
    engine_.reset();  // killed; the next problem starts a new engine
    return std::nullopt;
  }

  // The engine's word on the length of the last answer, empty when it gave none.
  std::string proof_note;

 private:
  const Settings& settings_;
  std::unique_ptr<EngineProcess> engine_;
};

bool parse(int argc, char** argv, Settings& s) {
  if (argc < 2) return false;
  s.engine = argv[1];
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--limit" && has_value) {
      s.limit_ms = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    } else if (arg == "--hash" && has_value) {
      s.hash_mb = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    } else if (arg == "--threads" && has_value) {
      s.threads = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    } else if (arg == "--only" && has_value) {
      std::stringstream names(argv[++i]);
      for (std::string name; std::getline(names, name, ',');) s.only.insert(name);
    } else if (arg == "--report" && has_value) {
      s.report = argv[++i];
    } else if (arg == "--no-timeouts") {
      s.no_timeouts = true;
    } else if (!arg.empty() && arg[0] == '-') {
      return false;
    } else {
      s.files.push_back(arg);
    }
  }
  return !s.files.empty();
}

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  if (!parse(argc, argv, settings)) {
    std::fputs(
        "usage: long_check ENGINE [--limit MS] [--hash MB] [--threads N] [--only NAME,...] [--no-timeouts] "
        "[--report FILE] COLLECTION...\n",
        stderr);
    return 2;
  }
  std::vector<Problem> problems;
  for (const std::string& file : settings.files) {
    std::vector<Problem> all;
    if (!load_problem_file(file, all)) {
      std::fprintf(stderr, "long_check: cannot read %s\n", file.c_str());
      return 2;
    }
    for (Problem& p : all) {
      if (!settings.only.empty() && !settings.only.count(p.name)) continue;
      // Anything but a length or "nomate" says nothing to compare with.
      const bool number = !p.known.empty() && p.known.find_first_not_of("0123456789") == std::string::npos;
      if (!number && p.known != "nomate") p.known.assign(1, '?');
      problems.push_back(p);
    }
  }
  if (problems.empty()) {
    std::fputs("long_check: no problems selected\n", stderr);
    return 2;
  }
  // A selection that names a problem no file has would silently shrink.
  for (const std::string& name : settings.only) {
    bool found = false;
    for (const Problem& p : problems) found |= p.name == name;
    if (!found) {
      std::fprintf(stderr, "long_check: no problem named %s\n", name.c_str());
      return 2;
    }
  }
  build_zobrist();

  Session session(settings);
  if (!session.start()) {
    std::fprintf(stderr, "long_check: cannot start %s\n", settings.engine.c_str());
    return 2;
  }
  FILE* report = settings.report.empty() ? nullptr : std::fopen(settings.report.c_str(), "w");
  if (report) std::fputs("problem\tresult\tlength\tknown\tverdict\tms\tdetail\tline\n", report);

  std::printf("long_check: %zu problems, limit %u ms, hash %u MB\n", problems.size(), settings.limit_ms,
              settings.hash_mb);
  std::vector<std::string> failures, differences, timeouts;
  int correct_mates = 0, nomates = 0, futile_endings = 0, proven_shortest = 0, not_proven = 0;
  for (const Problem& p : problems) {
    const auto start = std::chrono::steady_clock::now();
    const std::optional<std::string> answer = session.solve(p.sfen);
    const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - start)
                             .count();
    std::string result, verdict, detail;
    int length = 0;
    if (!answer) {
      result = "none";
      verdict = "FAIL";
      detail = "no answer line (engine ended or hung)";
    } else if (*answer == "checkmate timeout") {
      result = "timeout";
      verdict = settings.no_timeouts ? "FAIL" : "timeout";
    } else if (*answer == "checkmate nomate") {
      result = "nomate";
      ++nomates;
      if (p.known == "nomate" || p.known == "?") {
        verdict = "ok";
      } else {
        verdict = "FAIL";
        detail = "nomate, but a mate of " + p.known + " is known";
      }
    } else {
      result = "mate";
      std::set<std::string> futile;
      const std::string fault = mate_fault(p.sfen, *answer, length, futile);
      if (!fault.empty()) {
        verdict = "FAIL";
        detail = fault + " | " + *answer;
      } else if (p.known == "nomate") {
        verdict = "FAIL";
        detail = "a correct mate where nomate is expected: " + *answer;
      } else {
        ++correct_mates;
        if (!futile.empty()) {
          ++futile_endings;
          detail = "mate but for futile interpositions (" + std::to_string(futile.size()) + "):";
          int shown = 0;
          for (const std::string& f : futile) {
            if (++shown > 8) {
              detail += " ...";
              break;
            }
            detail += ' ';
            detail += f;
          }
        }
        if (!session.proof_note.empty()) {
          (session.proof_note == "proven shortest" ? proven_shortest : not_proven) += 1;
          detail += (detail.empty() ? "" : " ") + ("[" + session.proof_note + "]");
        }
        const int known = std::atoi(p.known.c_str());
        verdict = p.known == "?" || known == length ? "ok" : (length < known ? "shorter" : "longer");
      }
    }
    const std::string len_text = result == "mate" ? std::to_string(length) : "-";
    std::printf("%-24s %-7s %5s %6s %-8s %8lld ms %s\n", p.name.c_str(), result.c_str(), len_text.c_str(),
                p.known.c_str(), verdict.c_str(), ms, detail.c_str());
    std::fflush(stdout);
    if (report) {
      const std::string moves = result == "mate" ? answer->substr(answer->find(' ') + 1) : "-";
      std::fprintf(report, "%s\t%s\t%s\t%s\t%s\t%lld\t%s\t%s\n", p.name.c_str(), result.c_str(),
                   len_text.c_str(), p.known.c_str(), verdict.c_str(), ms, detail.c_str(), moves.c_str());
      std::fflush(report);
    }
    const std::string row = p.name + " (" + p.sfen + "): ";
    if (verdict == "FAIL") failures.push_back(row + result + " " + detail);
    if (verdict == "shorter" || verdict == "longer")
      differences.push_back(p.name + ": " + std::to_string(length) + " for known " + p.known + " (" + verdict + ")");
    if (verdict == "timeout") timeouts.push_back(p.name);
  }
  if (report) std::fclose(report);

  std::printf(
      "\n%zu problems: %d correct mates (%d of them but for futile interpositions), %d nomate, %zu timeouts, "
      "%zu length differences, %zu failures\n",
      problems.size(), correct_mates, futile_endings, nomates, timeouts.size(), differences.size(), failures.size());
  if (proven_shortest + not_proven > 0)
    std::printf("%d mates proven shortest by the engine, %d not proven\n", proven_shortest, not_proven);
  if (!differences.empty()) {
    std::puts("length differences:");
    for (const std::string& d : differences) std::printf("  %s\n", d.c_str());
  }
  if (!timeouts.empty()) {
    std::printf("timeouts (%u ms):", settings.limit_ms);
    for (const std::string& t : timeouts) std::printf(" %s", t.c_str());
    std::puts("");
  }
  if (!failures.empty()) {
    std::puts("FAILURES:");
    for (const std::string& f : failures) std::printf("  %s\n", f.c_str());
    return 1;
  }
  return 0;
}

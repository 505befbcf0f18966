// The bench program: node counts and times of the search.
//
//   bench [FILE|DIR] [--hash MB] [--limit MS] [--fresh] [--stage-budget N] [--threads N]
//     Solves every problem of FILE (or a small built-in set) through the same
//     path as "go mate" and prints one row per problem, the totals and a
//     signature line: the total node count, which is the same on every run
//     and machine for the same code. A timeout stops at a moment of the
//     clock, so with one the signature covers only the solved problems, and
//     only with --fresh (an empty table for every problem); otherwise the
//     table carries over from one problem to the next. With --threads above
//     1 the counts depend on how the threads met: the bench reports times and
//     the nodes of all threads, and no signature.
//
//   bench --nomate FILE [--hash MB] [--limit MS]
//     The no-mate workload (nomate_workload.h): FILE holds "SFEN<TAB>verdict"
//     lines as nomate_set writes them; every position is solved with an
//     empty table and compared with its exhaustive verdict. The built-in
//     run ends with a small generated set of this kind.
//
// FILE holds SFEN lines, or is a KIF (.kif, .kifu) or CSA (.csa) file of
// one problem; DIR stands for every such file in it, in name order. A
// problem that cannot be read is reported and skipped, and the exit status
// is then 1 (2 for usage and output errors).
//
// The composer's checker is kestrane-check (kestrane_check.cpp).
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>
#include <string>
#include <vector>

#include "nomate_workload.h"
#include "problem_file.h"
#include "problem_formats.h"
#include "solve_session.h"
#include "search/tt.h"
#include "solve/driver.h"

namespace {

using Problem = ProblemEntry;

// Quick problems from the bundled collections (problems/*.sfen): the default
// workload, a few seconds in all. Fixed order: the table carries over from
// one problem to the next, so the order is part of the signature.
const Problem BUILT_IN[] = {
    {"regression-1", "4k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1", "1"},
    {"regression-2", "9/9/9/9/9/9/4p4/9/4K4 w 2R2BG4S4N4L3g17p 1", "1"},
    {"regression-3", "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1", "nomate"},
    {"regression-4", "6R+P1/8k/7sp/9/9/9/9/9/9 b r2b4g3s4n4l16p 1", "nomate"},
    {"regression-5", "9/8k/9/8P/9/9/9/9/9 b 2G2r2b2g4s4n4l17p 1", "3"},
    {"regression-6", "7gk/9/6P1+P/9/9/9/9/9/9 b GSP2r2b2g3s4n4l15p 1", "15"},
    {"zukou-002", "9/9/3B3G1/6+p1n/7+p1/7k1/5BL1p/7G1/7+R+r b N2P2g4s2n3l13p 1", "21"},
    {"zukou-003", "2p1g+P3/1P1p1pp2/l1P1g1S+r1/P1B1P1+p2/1p3l3/1kN6/9/2+B6/1r7 b GS2N2Pg2sn2l5p 1", "45"},
    {"zukou-004", "6S+Pl/5s3/4L2l1/5gkBr/4pn3/5Gp2/9/6N2/7+R+n b BN2g2sl15p 1", "39"},
    {"zukou-005", "n+B1sS4/1R1g5/1Ls6/2k6/2n6/3L5/R8/9/9 b B2P3gs2n2l16p 1", "21"},
    {"zukou-006", "+Rg2+Bpk2/2p1g2pl/1n7/2P1GP1+rp/1N2p1+p2/N5N2/9/9/9 b BS4Pg3s3l6p 1", "81"},
    {"zukou-010", "6n2/+PS1+Ps1k2/3s+B1l2/1Lp1G1p1S/3p1n1+R+p/3+p1+nG2/4Pp1G1/6G+r1/5L1N+B b 2Pl7p 1", "73"},
    {"zukou-011", "r+b2n4/1Pk1p4/pp1sG4/N1+s1+p4/2P1+R4/+pB1LN4/9/9/9 b SN3gs3l11p 1", "49"},
    {"zukou-014", "5+B1R1/5pP1k/6+b1p/9/4+p1p2/7N1/7+R1/9/9 b S3N4g3s4l13p 1", "25"},
    {"zukou-022", "3g1+P1g1/3S2Ps1/2PpPkL2/4L4/4p2G1/4S4/1B1N1N3/1NN6/B6+r1 b Lrgsl12p 1", "51"},
    {"zukou-043", "p3l3+P/1s1l2p2/5+P3/gp3NPpp/+R1S2+bLg1/1+pkN3G1/3p1P3/2N1S2R1/N4+p2B b S3Pgl3p 1", "85"},
    {"zukou-064", "5l2S/9/1+B3pPRp/6+s1L/5G1R1/6LGG/4+p4/5Ssp1/5+B+p1k b G3Nnl12p 1", "69"},
    {"zukou-066", "1p3ls1+P/+B4+P1gg/7P1/6S1g/8n/7n1/4sS3/1r4+r1G/5+p1k1 b BLP2n2l12p 1", "51"},
    {"musou-014", "2g5s/1+P3+r1Sk/N1L4P1/1PN2PBSg/3+p3+pB/8p/1+lL3g+P1/6N1+R/1G4N2 b sl10p 1", "83"},
    {"musou-077", "9/9/9/1+P1+B5/1p2S4/+pn7/1k2G4/s8/+l1L+p1+B3 b 3G2r2s3n2l14p 1", "11"},
    {"musou-089", "3S1+N3/p5pll/4p3n/4s4/+pS5n1/2+bp2P1N/+R1S3B2/R1+p1P2p1/2k2P2P b 3P4g2l4p 1", "69"},
    {"musou-090", "ln7/6R2/1p1+P5/2p1+Br3/6B2/1P2+p2P1/1G3P3/2P6/L2Lgk1+p1 b 2GNP4s2nl8p 1", "37"},
};

struct Options {
  std::string file;
  uint32_t hash_mb = TT_DEFAULT_HASH_MB;
  uint32_t limit_ms = 30000;
  bool fresh = false;  // an empty table for every problem
  // Expansions of the minimality stage per problem (0 = until the limit, as
  // the engine runs it); a budget keeps the counts off the clock.
  uint32_t stage_budget = 20000;
  std::string nomate;  // a no-mate workload file
  uint32_t threads = 1;  // Threads
};

void usage() {
  std::fputs(
      "usage: bench [FILE|DIR] [--hash MB] [--limit MS] [--fresh] [--stage-budget N] [--threads N]\n"
      "       bench --nomate FILE [--hash MB] [--limit MS]\n"
      "FILE: one problem a line, SFEN[<TAB>known length<TAB>note]; '#' lines are comments;\n"
      "or one problem as a KIF (.kif, .kifu: Shift-JIS or UTF-8) or CSA (.csa) file.\n"
      "DIR: every .sfen, .kif, .kifu and .csa file in it, in name order.\n"
      "--stage-budget N: expansions of the shortest-mate proof per problem (default 20000;\n"
      "0 = until the limit, as the engine does).\n"
      "--limit 0 means no limit. --fresh: every problem starts with an empty table, as in a\n"
      "new engine process, so that its result does not depend on the problems before it.\n"
      "--threads N: search with N threads (1..256); times and all threads' nodes, no signature.\n"
      "Checking problems for alternate solutions: kestrane-check --help.\n",
      stderr);
}

bool parse_number(const char* text, uint32_t& out) {
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(text, &end, 10);
  if (end == text || *end != '\0' || errno != 0 || value > 0xFFFFFFFFull || text[0] == '-') return false;
  out = static_cast<uint32_t>(value);
  return true;
}

bool parse_options(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](uint32_t& out) {
      if (i + 1 >= argc || !parse_number(argv[i + 1], out)) {
        std::fprintf(stderr, "bench: %s needs a number\n", arg.c_str());
        return false;
      }
      ++i;
      return true;
    };
    auto text = [&](std::string& out) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "bench: %s needs a file name\n", arg.c_str());
        return false;
      }
      out = argv[++i];
      return true;
    };
    if (arg == "--hash") {
      if (!value(options.hash_mb)) return false;
      // The engine takes USI_Hash modulo 2^17 megabytes (entries wrap at 32 bits).
      if (options.hash_mb == 0 || options.hash_mb >= (1u << 17)) {
        std::fputs("bench: --hash must be 1..131071\n", stderr);
        return false;
      }
    } else if (arg == "--limit") {
      if (!value(options.limit_ms)) return false;
    } else if (arg == "--threads") {
      if (!value(options.threads)) return false;
      if (options.threads == 0 || options.threads > 256) {
        std::fputs("bench: --threads must be 1..256\n", stderr);
        return false;
      }
    } else if (arg == "--stage-budget") {
      if (!value(options.stage_budget)) return false;
    } else if (arg == "--fresh") {
      options.fresh = true;
    } else if (arg == "--check") {
      std::fputs("bench: checking problems is kestrane-check's job now: kestrane-check FILE|DIR --html report.html\n",
                 stderr);
      return false;
    } else if (arg == "--nomate") {
      if (!text(options.nomate)) return false;
    } else if (arg == "--help" || arg == "-h") {
      return false;
    } else if (!arg.empty() && arg[0] == '-') {
      std::fprintf(stderr, "bench: unknown option %s\n", arg.c_str());
      return false;
    } else if (options.file.empty()) {
      options.file = arg;
    } else {
      std::fputs("bench: only one problem file\n", stderr);
      return false;
    }
  }
  if (!options.nomate.empty() && !options.file.empty()) {
    std::fputs("bench: --nomate takes no other problem file\n", stderr);
    return false;
  }
  return true;
}

// How the result compares with the known length.
std::string verdict(const Problem& p, const Solved& s) {
  const int result = s.outcome.result;
  if (result == RESULT_TIMEOUT) return "timeout";
  if (p.known == "nomate") return result == RESULT_NOMATE ? "ok" : "MATE-FOUND";
  // Anything but a length ("?", empty, words) gives nothing to compare with.
  if (p.known.empty() || p.known.find_first_not_of("0123456789") != std::string::npos) return "";
  if (result == RESULT_NOMATE) return "NOMATE";
  const int known = std::atoi(p.known.c_str());
  if (s.length == known) return "ok";
  return s.length < known ? "shorter" : "longer";
}

int run_bench(const Options& options, const std::vector<Problem>& problems) {
  set_up_engine({options.hash_mb, options.stage_budget, false, 30, static_cast<int>(options.threads)});
  FILE* out = table_output();
  const bool threaded = options.threads > 1;
  std::fprintf(out, "bench: %zu problems, hash %u MB, limit %u ms per problem%s%s\n", problems.size(),
               options.hash_mb, options.limit_ms, options.fresh ? ", empty table for each" : "",
               threaded ? (", " + std::to_string(options.threads) + " threads").c_str() : "");
  std::fprintf(out, "%-4s %-24s %-7s %5s %6s %12s %10s %10s  %s\n", "#", "problem", "result", "len", "known",
               "nodes", "ms", "nps", "vs known");
  std::fflush(out);
  uint64_t total_nodes = 0;
  uint64_t solved_nodes = 0;  // of the problems the clock did not stop
  int clock_stops = 0, proven = 0, open = 0;
  uint64_t allocated_mb = 0;
  double total_ms = 0;
  double cpu = 0;
  int counts[3] = {0, 0, 0};
  int shorter = 0, longer = 0, wrong = 0;
  for (size_t i = 0; i < problems.size(); ++i) {
    const Problem& p = problems[i];
    Solved s = solve(p, options.limit_ms, options.fresh);
    // Threaded: the work of every thread (the main thread's count alone
    // would hide the helpers').
    if (threaded) s.nodes = static_cast<uint32_t>(std::min<uint64_t>(s.nodes + s.helper_nodes, UINT32_MAX));
    total_nodes += s.nodes;
    if (!s.clock_stopped) solved_nodes += s.nodes;
    clock_stops += s.clock_stopped;
    proven += s.shortest == SHORTEST_PROVEN;
    open += s.shortest == SHORTEST_OPEN;
    // The table size actually allocated is part of what the counts depend on.
    if (tt_slots > 0) allocated_mb = tt_slots / TT_ENTRIES_PER_MB;
    total_ms += s.ms;
    cpu += s.cpu_ms;
    ++counts[s.outcome.result];
    const std::string v = verdict(p, s);
    shorter += v == "shorter";
    longer += v == "longer";
    wrong += v == "NOMATE" || v == "MATE-FOUND";
    const std::string length = s.outcome.result == RESULT_MATE ? std::to_string(s.length) : "-";
    const double nps = s.ms > 0 ? s.nodes * 1000.0 / s.ms : 0;
    std::string shortest = s.shortest == SHORTEST_PROVEN ? "  shortest" : s.shortest == SHORTEST_OPEN ? "  open" : "";
    if (s.stage_mates > 0) shortest += " (" + std::to_string(s.stage_mates) + " shorter in the stage)";
    std::fprintf(out, "%-4zu %-24s %-7s %5s %6s %12" PRIu32 " %10.0f %10.0f  %s%s\n", i + 1, p.name.c_str(),
                 result_name(s.outcome.result), length.c_str(), p.known.empty() ? "-" : p.known.c_str(),
                 s.nodes, s.ms, nps, v.c_str(), shortest.c_str());
    std::fflush(out);
  }
  const double nps = total_ms > 0 ? total_nodes * 1000.0 / total_ms : 0;
  std::fprintf(out,
               "total: %zu problems: %d mate, %d nomate, %d timeout; against the known results: %d shorter, "
               "%d longer, %d mate/nomate mismatches\n",
               problems.size(), counts[RESULT_MATE], counts[RESULT_NOMATE], counts[RESULT_TIMEOUT], shorter, longer,
               wrong);
  std::fprintf(out, "total: %" PRIu64 " nodes, %.0f ms, %.0f nps; CPU %.0f ms, %.0f nodes per CPU second\n",
               total_nodes, total_ms, nps, cpu, cpu > 0 ? total_nodes * 1000.0 / cpu : 0);
  std::fprintf(out, "total: %d mates proven shortest, %d left open (stage budget %" PRIu32 " expansions)\n", proven,
               open, options.stage_budget);
  if (threaded) {
    std::fprintf(out, "signature: none - %u threads: the counts depend on how the threads met\n", options.threads);
  } else if (clock_stops == 0) {
    std::fprintf(out, "signature: %" PRIu64 " nodes (%zu problems, hash %" PRIu64 " MB%s)\n", total_nodes,
                 problems.size(), allocated_mb, options.fresh ? ", fresh" : "");
  } else if (options.fresh) {
    // Each problem stands alone, so the solved ones still add up the same.
    std::fprintf(out, "signature: %" PRIu64 " nodes (%d solved of %zu problems, hash %" PRIu64 " MB, fresh)\n",
                 solved_nodes, static_cast<int>(problems.size()) - clock_stops, problems.size(), allocated_mb);
  } else {
    std::fprintf(out,
                 "signature: none - %d stopped by the clock: a stop comes at a moment of the clock and the "
                 "table carries its state on (use --fresh)\n",
                 clock_stops);
  }
  std::fflush(out);
  return 0;
}

// The no-mate workload through the same solve; returns the soundness failures.
int run_nomate(Options options, const std::vector<Problem>& positions, uint32_t limit_ms, uint32_t hash_mb) {
  // Every solve starts with an empty table, which takes the size set here.
  options.hash_mb = hash_mb;
  const int threads = static_cast<int>(options.threads);
  set_up_engine({options.hash_mb, options.stage_budget, false, 30, threads});
  return nomate_workload::run(
      table_output(), positions, limit_ms, hash_mb,
      [](const std::string& sfen, uint32_t limit) {
        const Solved s = solve(Problem{"", sfen, ""}, limit, true);
        return nomate_workload::Solve{s.outcome.result, s.nodes + s.helper_nodes, s.ms};
      },
      threads);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parse_options(argc, argv, options)) {
    usage();
    return 2;
  }
  std::vector<Problem> problems;
  std::vector<std::string> unreadable;
  if (!options.nomate.empty()) {
    if (!load_problem_file(options.nomate, problems) || problems.empty()) {
      std::fprintf(stderr, "bench: no positions in %s\n", options.nomate.c_str());
      return 2;
    }
  } else if (options.file.empty()) {
    problems.assign(std::begin(BUILT_IN), std::end(BUILT_IN));
  } else if (!load_problems(options.file, problems, unreadable)) {
    std::fprintf(stderr, "bench: cannot read %s\n", options.file.c_str());
    return 2;
  }
  for (const std::string& message : unreadable) std::fprintf(stderr, "bench: %s (skipped)\n", message.c_str());
  if (problems.empty()) {
    std::fprintf(stderr, "bench: no problems in %s\n", options.file.c_str());
    return 2;
  }
  if (!redirect_engine_output()) {
    std::fprintf(stderr, "bench: cannot redirect the engine's output: %s\n", std::strerror(errno));
    return 2;
  }
  if (!options.nomate.empty()) return run_nomate(options, problems, options.limit_ms, options.hash_mb) > 0 ? 1 : 0;
  const int status = run_bench(options, problems);
  if (status == 0 && !unreadable.empty()) {
    std::fprintf(stderr, "bench: %zu problem file%s skipped, see above\n", unreadable.size(),
                 unreadable.size() == 1 ? "" : "s");
    return 1;
  }
  if (status != 0 || !options.file.empty()) return status;
  // The built-in no-mate set, with a short limit so that a search that
  // cannot settle a position costs little.
  const uint32_t limit = options.limit_ms == 0 ? nomate_workload::BUILT_IN_LIMIT_MS
                                               : std::min(options.limit_ms, nomate_workload::BUILT_IN_LIMIT_MS);
  const uint32_t hash = std::min(options.hash_mb, nomate_workload::BUILT_IN_HASH_MB);
  return run_nomate(options, nomate_workload::built_in_set(), limit, hash) > 0 ? 1 : 0;
}

// Generates a set of tsume-like positions and labels each with the
// exhaustive check (no part of the engine's search):
//
//   nomate_set [--count N] [--seed S] [--plies D] [--budget NODES] [--out FILE]
//
// Writes one line per position, "SFEN<TAB>verdict" with verdict mate,
// nomate or unknown (to FILE, or stdout), and a summary to stderr. Defaults:
// 300 positions of seed 12026, 15 plies, 2,000,000 nodes per position.
#include <chrono>
#include <cinttypes>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "exhaustive_check.h"
#include "position_gen.h"

namespace {

bool read_number(const char* text, uint64_t& out) {
  if (text == nullptr || text[0] < '0' || text[0] > '9') return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(text, &end, 10);
  if (*end != '\0' || errno != 0) return false;
  out = value;
  return true;
}

void usage() {
  std::fputs("usage: nomate_set [--count N] [--seed S] [--plies D] [--budget NODES] [--out FILE]\n", stderr);
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t count = 300, seed = 12026, plies = 15, budget = 2000000;
  std::string out_path;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    uint64_t* target = arg == "--count"    ? &count
                       : arg == "--seed"   ? &seed
                       : arg == "--plies"  ? &plies
                       : arg == "--budget" ? &budget
                                           : nullptr;
    if (target != nullptr) {
      if (i + 1 >= argc || !read_number(argv[i + 1], *target)) {
        std::fprintf(stderr, "nomate_set: %s needs a number\n", arg.c_str());
        return 2;
      }
      ++i;
    } else if (arg == "--out" && i + 1 < argc) {
      out_path = argv[++i];
    } else {
      usage();
      return 2;
    }
  }
  if (plies < 1 || plies > 200) {
    std::fputs("nomate_set: --plies must be 1..200\n", stderr);
    return 2;
  }
  FILE* out = stdout;
  if (!out_path.empty() && (out = std::fopen(out_path.c_str(), "w")) == nullptr) {
    std::fprintf(stderr, "nomate_set: cannot write %s: %s\n", out_path.c_str(), std::strerror(errno));
    return 2;
  }

  const exhaustive_check::Limits limits{static_cast<int>(plies), budget};
  uint64_t counts[3] = {0, 0, 0};
  uint64_t total_nodes = 0;
  const auto start = std::chrono::steady_clock::now();
  for (uint64_t i = 0; i < count; ++i) {
    const rules_reference::Position pos = position_gen::generate(seed, i);
    const exhaustive_check::Result r = exhaustive_check::check(pos, limits);
    ++counts[static_cast<int>(r.verdict)];
    total_nodes += r.nodes;
    std::fprintf(out, "%s\t%s\n", rules_reference::to_sfen(pos, OWNER_ATTACKER).c_str(),
                 exhaustive_check::verdict_name(r.verdict));
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const bool write_failed = std::fflush(out) != 0 || (out != stdout && std::fclose(out) != 0);
  std::fprintf(stderr,
               "nomate_set: %" PRIu64 " positions (seed %" PRIu64 ", %" PRIu64 " plies, budget %" PRIu64
               "): %" PRIu64 " mate, %" PRIu64 " nomate, %" PRIu64 " unknown; %" PRIu64 " nodes, %.1f s\n",
               count, seed, plies, budget, counts[0], counts[1], counts[2], total_nodes, seconds);
  if (write_failed) {
    std::fputs("nomate_set: writing the set failed\n", stderr);
    return 2;
  }
  return 0;
}

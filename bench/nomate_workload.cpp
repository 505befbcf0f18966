#include "nomate_workload.h"

#include <algorithm>
#include <cinttypes>

#include "exhaustive_check.h"
#include "position_gen.h"
#include "solve/driver.h"

namespace nomate_workload {

std::vector<ProblemEntry> built_in_set() {
  // Small bounds: the set is built at every run, and a cheap proof keeps
  // the set to positions whose lack of a mate is certain.
  const exhaustive_check::Limits limits{9, 2000};
  std::vector<ProblemEntry> set;
  for (uint64_t index = 0; set.size() < BUILT_IN_SIZE; ++index) {
    const rules_reference::Position pos = position_gen::generate(BUILT_IN_SEED, index);
    const exhaustive_check::Result r = exhaustive_check::check(pos, limits);
    if (r.verdict != exhaustive_check::Verdict::NOMATE || r.nodes < 20) continue;
    set.push_back({"gen-" + std::to_string(index), rules_reference::to_sfen(pos, OWNER_ATTACKER), "nomate"});
  }
  return set;
}

namespace {

const char* result_name(int result) {
  return result == RESULT_MATE ? "mate" : result == RESULT_NOMATE ? "nomate" : "timeout";
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t mid = values.size() / 2;
  return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

}  // namespace

int run(FILE* out, const std::vector<ProblemEntry>& positions, uint32_t limit_ms, uint32_t hash_mb,
        const Solver& solve, int threads) {
  std::fprintf(out, "nomate bench: %zu positions, hash %u MB, limit %u ms per position, empty table for each\n",
               positions.size(), hash_mb, limit_ms);
  std::fprintf(out, "%-4s %-24s %-10s %-7s %12s %10s  %s\n", "#", "position", "exhaustive", "result", "nodes", "ms",
               "");
  std::fflush(out);
  // counts[exhaustive verdict][engine result]; verdicts mate, nomate, unknown.
  int counts[3][3] = {};
  std::vector<double> nomate_ms;
  std::vector<std::string> failures;
  uint64_t answered_nodes = 0;
  int answered = 0;
  for (size_t i = 0; i < positions.size(); ++i) {
    const ProblemEntry& p = positions[i];
    // A known length is a mate too.
    const bool length = !p.known.empty() && p.known.find_first_not_of("0123456789") == std::string::npos;
    const int known = p.known == "mate" || length ? 0 : p.known == "nomate" ? 1 : 2;
    const Solve s = solve(p.sfen, limit_ms);
    ++counts[known][s.result];
    if (s.result == RESULT_NOMATE) nomate_ms.push_back(s.ms);
    // A timeout stops at a moment of the clock; the answered ones add up
    // the same on every run.
    if (s.result != RESULT_TIMEOUT) {
      answered_nodes += s.nodes;
      ++answered;
    }
    std::string flag;
    if (known == 1 && s.result == RESULT_MATE) flag = "UNSOUND: mate answered, exhaustively no mate";
    if (known == 0 && s.result == RESULT_NOMATE) flag = "UNSOUND: nomate answered, exhaustively a mate";
    if (!flag.empty()) failures.push_back(p.name + " " + p.sfen + ": " + flag);
    if (flag.empty() && s.result == RESULT_TIMEOUT) flag = "timeout";
    std::fprintf(out, "%-4zu %-24s %-10s %-7s %12" PRIu64 " %10.0f  %s\n", i + 1, p.name.c_str(),
                 known == 0 ? "mate" : known == 1 ? "nomate" : "unknown", result_name(s.result), s.nodes, s.ms,
                 flag.c_str());
    std::fflush(out);
  }
  const int exhaustive_nomate = counts[1][0] + counts[1][1] + counts[1][2];
  std::fprintf(out, "nomate total: %zu positions: exhaustively %d nomate, %d mate, %d unknown\n", positions.size(),
               exhaustive_nomate, counts[0][0] + counts[0][1] + counts[0][2], counts[2][0] + counts[2][1] + counts[2][2]);
  std::fprintf(out, "nomate total: of the %d exhaustively no-mate: %d answered nomate, %d timeout, %d mate\n",
               exhaustive_nomate, counts[1][RESULT_NOMATE], counts[1][RESULT_TIMEOUT], counts[1][RESULT_MATE]);
  std::fprintf(out, "nomate total: %d answered nomate in all, median time of the nomate answers %.1f ms\n",
               static_cast<int>(nomate_ms.size()), median(nomate_ms));
  for (const std::string& failure : failures) std::fprintf(out, "SOUNDNESS FAILURE: %s\n", failure.c_str());
  if (threads > 1) {
    std::fprintf(out, "nomate signature: none - %d threads: the counts depend on how the threads met\n", threads);
  } else {
    std::fprintf(out, "nomate signature: %" PRIu64 " nodes (%d answered of %zu positions, hash %u MB, fresh)\n",
                 answered_nodes, answered, positions.size(), hash_mb);
  }
  std::fflush(out);
  return static_cast<int>(failures.size());
}

}  // namespace nomate_workload

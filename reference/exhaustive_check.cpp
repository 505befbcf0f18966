#include "exhaustive_check.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <unordered_map>

namespace exhaustive_check {

using rules_reference::Position;

namespace {

int row_of(int sq) { return sq / 9; }
int col_of(int sq) { return sq % 9; }

bool aligned(int a, int b) {
  const int dr = row_of(a) - row_of(b), dc = col_of(a) - col_of(b);
  return dr == 0 || dc == 0 || dr == dc || dr == -dc;
}

// Every legal move of `side` from its board pieces, and its drops onto the
// squares `drop_ok` allows; the reference decides legality.
template <typename DropFilter>
std::vector<MoveCode> moves_with_drops(const Position& pos, int side, DropFilter drop_ok) {
  std::vector<MoveCode> moves;
  for (int from = 0; from < SQUARES; ++from) {
    if (pos.owners[from] != side) continue;
    for (int to = 0; to < SQUARES; ++to)
      for (int promotion : {0, static_cast<int>(PROMOTION_BIT)}) {
        const MoveCode move = static_cast<MoveCode>(from * 256 + (to | promotion));
        if (rules_reference::is_legal(pos, side, move)) moves.push_back(move);
      }
  }
  for (int piece = PAWN; piece <= ROOK; ++piece) {
    if (pos.hands[side][piece] <= 0) continue;
    for (int to = 0; to < SQUARES; ++to) {
      if (!drop_ok(to)) continue;
      const MoveCode move = static_cast<MoveCode>(hand_square(side, piece) * 256 + to);
      if (rules_reference::is_legal(pos, side, move)) moves.push_back(move);
    }
  }
  std::sort(moves.begin(), moves.end());
  return moves;
}

}  // namespace

std::vector<MoveCode> attacker_checks(const Position& pos) {
  const int king = rules_reference::king_square(pos, OWNER_DEFENDER);
  if (king < 0) return {};
  // A dropped piece checks only from a line through the king or from a
  // knight's square; it cannot uncover anything.
  auto drop_ok = [king](int to) {
    const int dr = row_of(to) - row_of(king), dc = col_of(to) - col_of(king);
    return aligned(to, king) || (std::abs(dr) == 2 && std::abs(dc) == 1);
  };
  std::vector<MoveCode> checks;
  for (MoveCode move : moves_with_drops(pos, OWNER_ATTACKER, drop_ok))
    if (rules_reference::gives_check(pos, OWNER_ATTACKER, move)) checks.push_back(move);
  return checks;
}

std::vector<MoveCode> defender_evasions(const Position& pos) {
  const int king = rules_reference::king_square(pos, OWNER_DEFENDER);
  if (king < 0 || !rules_reference::in_check(pos, OWNER_DEFENDER)) return rules_reference::legal_moves(pos, OWNER_DEFENDER);
  // Out of check, a drop helps only by standing in a line to the king.
  return moves_with_drops(pos, OWNER_DEFENDER, [king](int to) { return to != king && aligned(to, king); });
}

namespace {

constexpr int NO_DEPENDENCE = INT_MAX;

struct Outcome {
  Verdict verdict;
  int plies;       // MATE: height of the proof
  int depends_on;  // lowest line index whose position a repetition met below
};

std::string key_of(const Position& pos, int side) {
  std::string key(reinterpret_cast<const char*>(&pos), sizeof pos);
  key += static_cast<char>(side);
  return key;
}

class Search {
 public:
  explicit Search(uint64_t budget) : budget_(budget) {}

  Outcome root(const Position& pos, int plies) {
    line_.assign(1, pos);
    return attack(pos, plies);
  }
  uint64_t nodes() const { return nodes_; }
  bool out_of_budget() const { return nodes_ >= budget_; }

 private:
  // Index on the current line of an earlier position equal to `pos` with the
  // same side to move (the line alternates sides from the attacker at 0).
  int repeated(const Position& pos) const {
    const int next = static_cast<int>(line_.size());
    for (int i = next - 2; i >= 0; i -= 2)
      if (std::memcmp(&line_[i], &pos, sizeof pos) == 0) return i;
    return -1;
  }

  // A result is stored only when it holds whatever line led here: a mate
  // (a proof tree stays a proof, and one that repeats can be cut down to one
  // that does not), or a complete refutation whose repetitions all lie at or
  // below this node.
  void remember(const Position& pos, int side, const Outcome& out, int index) {
    if (out.verdict == Verdict::UNKNOWN) return;
    if (out.verdict == Verdict::NOMATE && out.depends_on < index) return;
    // Budget-sized: at the cap, stop adding rather than grow without bound.
    if (memo_.size() >= MEMO_CAP) return;
    memo_[key_of(pos, side)] = out.verdict == Verdict::MATE ? out.plies : -1;
  }

  bool recall(const Position& pos, int side, int plies_left, Outcome& out) const {
    const auto it = memo_.find(key_of(pos, side));
    if (it == memo_.end()) return false;
    if (it->second < 0) {
      out = {Verdict::NOMATE, 0, NO_DEPENDENCE};
      return true;
    }
    if (it->second > plies_left) return false;
    out = {Verdict::MATE, it->second, NO_DEPENDENCE};
    return true;
  }

  // Attacker to move, `pos` last on the line.
  Outcome attack(const Position& pos, int plies_left) {
    if (nodes_ >= budget_) return {Verdict::UNKNOWN, 0, NO_DEPENDENCE};
    ++nodes_;
    Outcome out;
    if (recall(pos, OWNER_ATTACKER, plies_left, out)) return out;
    const int index = static_cast<int>(line_.size()) - 1;
    const std::vector<MoveCode> checks = attacker_checks(pos);
    if (checks.empty()) {
      out = {Verdict::NOMATE, 0, NO_DEPENDENCE};
      remember(pos, OWNER_ATTACKER, out, index);
      return out;
    }
    if (plies_left < 1) return {Verdict::UNKNOWN, 0, NO_DEPENDENCE};
    bool cut = false;
    int depends_on = NO_DEPENDENCE;
    for (MoveCode check : checks) {
      const Position next = rules_reference::after(pos, OWNER_ATTACKER, check);
      const int seen = repeated(next);
      if (seen >= 0) {
        depends_on = std::min(depends_on, seen);
        continue;
      }
      line_.push_back(next);
      const Outcome reply = defend(next, plies_left - 1, check);
      line_.pop_back();
      if (reply.verdict == Verdict::MATE) {
        out = {Verdict::MATE, reply.plies + 1, NO_DEPENDENCE};
        remember(pos, OWNER_ATTACKER, out, index);
        return out;
      }
      if (reply.verdict == Verdict::UNKNOWN) cut = true;
      depends_on = std::min(depends_on, reply.depends_on);
    }
    if (cut) return {Verdict::UNKNOWN, 0, NO_DEPENDENCE};
    out = {Verdict::NOMATE, 0, depends_on};
    remember(pos, OWNER_ATTACKER, out, index);
    return out;
  }

  // Defender to move after the attacker's `last` check, `pos` last on the line.
  Outcome defend(const Position& pos, int plies_left, MoveCode last) {
    if (nodes_ >= budget_) return {Verdict::UNKNOWN, 0, NO_DEPENDENCE};
    ++nodes_;
    Outcome out;
    if (recall(pos, OWNER_DEFENDER, plies_left, out)) return out;
    const int index = static_cast<int>(line_.size()) - 1;
    const std::vector<MoveCode> replies = defender_evasions(pos);
    if (replies.empty()) {
      // Not remembered: the same squares reached by a pawn step are a mate.
      if (move_from(last) == hand_square(OWNER_ATTACKER, PAWN)) return {Verdict::NOMATE, 0, NO_DEPENDENCE};
      return {Verdict::MATE, 0, NO_DEPENDENCE};
    }
    if (plies_left < 1) return {Verdict::UNKNOWN, 0, NO_DEPENDENCE};
    bool cut = false;
    int longest = 0;
    for (MoveCode reply : replies) {
      const Position next = rules_reference::after(pos, OWNER_DEFENDER, reply);
      const int seen = repeated(next);
      if (seen >= 0) return {Verdict::NOMATE, 0, seen};
      line_.push_back(next);
      const Outcome answer = attack(next, plies_left - 1);
      line_.pop_back();
      if (answer.verdict == Verdict::NOMATE) {
        out = answer;
        remember(pos, OWNER_DEFENDER, out, index);
        return out;
      }
      if (answer.verdict == Verdict::UNKNOWN) {
        cut = true;
        continue;
      }
      longest = std::max(longest, answer.plies + 1);
    }
    if (cut) return {Verdict::UNKNOWN, 0, NO_DEPENDENCE};
    out = {Verdict::MATE, longest, NO_DEPENDENCE};
    remember(pos, OWNER_DEFENDER, out, index);
    return out;
  }

  static constexpr size_t MEMO_CAP = 1u << 20;
  uint64_t budget_;
  uint64_t nodes_ = 0;
  std::vector<Position> line_;
  std::unordered_map<std::string, int> memo_;
};

}  // namespace

Result check(const Position& pos, const Limits& limits) {
  Search search(limits.node_budget);
  Result result;
  // Deepening by two plies: short mates are found before the budget goes
  // into deep lines, and a refutation found at any bound is final.
  const int max_plies = std::max(limits.max_plies, 1);
  for (int plies = 1;; plies = std::min(plies + 2, max_plies)) {
    const Outcome out = search.root(pos, plies);
    if (out.verdict != Verdict::UNKNOWN || plies == max_plies || search.out_of_budget()) {
      result.verdict = out.verdict;
      result.mate_plies = out.verdict == Verdict::MATE ? out.plies : 0;
      break;
    }
  }
  result.nodes = search.nodes();
  return result;
}

const char* verdict_name(Verdict verdict) {
  switch (verdict) {
    case Verdict::MATE: return "mate";
    case Verdict::NOMATE: return "nomate";
    default: return "unknown";
  }
}

}  // namespace exhaustive_check

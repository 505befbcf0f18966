#include "solve/driver.h"

#include <algorithm>
#include <cstdio>

#include "movegen/generate.h"
#include "movegen/step_tables.h"
#include "position/keys.h"
#include "position/make_move.h"
#include "search/node_search.h"
#include "search/search_util.h"
#include "search/tt.h"
#include "solution/alternate.h"
#include "solution/line.h"
#include "solution/line_check.h"
#include "solution/no_mate.h"
#include "solution/record.h"
#include "solution/verify.h"
#include "solve/progress.h"
#include "search/search_state.h"
#include "solve/search_threads.h"
#include "solve/engine_options.h"

const char PROVEN_SHORTEST_LINE[] = "info string The mate is proven shortest.\n";
const char NOT_PROVEN_SHORTEST_LINE[] = "info string The mate is not proven shortest.\n";

uint8_t solve_result = RESULT_TIMEOUT;
uint8_t shortest_state = SHORTEST_UNKNOWN;
int16_t stage_mates = 0;
uint8_t previous_mode = MODE_NONE;
int16_t verify_calls = 0;
uint8_t root_proven_at_start = 0;
uint8_t answer_rejected = 0;

namespace {

bool stable_once = false;
// Set when the stage's root search is to start: no threshold step before it.
bool stage_restart = false;
// The recorded line's limit while the stage's proof is verified.
int16_t length_limit_before_verify = 0;
// Root searches in a row that the table answered at once with a repetition
// or with a proof that failed its check.
int stuck_turns = 0;
constexpr int MAX_STUCK_TURNS = 8;

// The first pass takes turns between two kinds of root search, each with a
// threshold of its own. A proof-led search has the proof-number threshold
// only and sums the replies' numbers at defender nodes: it finds mates
// quickly. A disproof-led search has both thresholds, so that a defender node
// follows its most promising escape, and counts the hardest reply plus one
// for each other (summed numbers count a subtree once for each path into
// it, and around a cycle of transpositions they grow without end). Each kind
// keeps its numbers apart in the table (the summed ones would stop the other
// kind at its root) and shares its proofs and disproofs. The later passes are
// proof-led; the stage has both thresholds from the start.
enum RootKind { PROOF_LED = 0, DISPROOF_LED = 1 };
int32_t turn_threshold[2] = {1, 1};
bool turn_capped[2] = {false, false};
unsigned turn_count = 0;
int turn_kind = PROOF_LED;
uint32_t last_proof_turn_nodes = 0;
uint64_t turn_nodes_spent = 0;  // by both kinds in this first pass

void start_turns() {
  turn_threshold[PROOF_LED] = turn_threshold[DISPROOF_LED] = 1;
  turn_capped[PROOF_LED] = turn_capped[DISPROOF_LED] = false;
  turn_count = 0;
  last_proof_turn_nodes = 0;
  turn_nodes_spent = 0;
}

bool taking_turns() { return search_modes.refine_pass == 0 && !search_modes.minimality_stage; }

// The kind of the next root search; sets root_threshold for it. The kinds
// take turns root search by root search (turns by equal expansions were
// tried: twice the nodes on mates, no gain on the no-mate set).
int next_root_kind() {
  if (!taking_turns()) return turn_kind = PROOF_LED;
  const bool disproof_turn = (turn_count++ & 1) != 0;
  if (turn_capped[PROOF_LED] || (disproof_turn && !turn_capped[DISPROOF_LED]))
    turn_kind = DISPROOF_LED;
  else
    turn_kind = PROOF_LED;
  root_threshold = turn_threshold[turn_kind];
  return turn_kind;
}

// A disproof-led search may cost many times the proof-led one at the same
// threshold: on many long mates it goes deep on its smaller numbers while the
// proof-led search walks to the mate. So each of its root searches ends after
// a share of the nodes of the proof-led search before it: half at first, one
// more for each 2^22 nodes of the first pass, so that a solve that runs long
// (no mate, or a mate the proof-led kind does not find alone) soon has both
// kinds at equal strength. A floor keeps small searches whole, and there is
// no cap once the proof-led kind has stopped. The kinds still climb their
// thresholds together: a disproof-led kind left thresholds behind lets the
// proof-led searches grow without its disproofs.
constexpr uint32_t DISPROOF_TURN_FLOOR = 2000;
constexpr int DISPROOF_SHARE_SHIFT = 22;

// Nodes a disproof-led root search may use, `spent` nodes into the first pass.
uint32_t disproof_turn_nodes(uint64_t spent) {
  const uint64_t share = (uint64_t{1} << (DISPROOF_SHARE_SHIFT - 1)) + std::min<uint64_t>(spent, uint64_t{1} << 40);
  const uint64_t allowed = std::min<uint64_t>(uint64_t{last_proof_turn_nodes} * share >> DISPROOF_SHARE_SHIFT,
                                              0x7FFFFFFFu);
  return std::max(DISPROOF_TURN_FLOOR, static_cast<uint32_t>(allowed));
}

int32_t proof_led_threshold() {
  return std::max(turn_threshold[PROOF_LED], turn_threshold[DISPROOF_LED]);
}

// The threshold after a root search that returned `pn`; false when no kind
// of search can go on (both numbers at their cap).
bool next_threshold(int32_t pn) {
  const bool capped = root_threshold >= MAX_ROOT_THRESHOLD || pn >= MAX_ROOT_THRESHOLD;
  if (!taking_turns()) {
    if (capped) return false;
    root_threshold = next_root_threshold(pn);
    return true;
  }
  if (capped && !turn_capped[turn_kind]) {
    turn_capped[turn_kind] = true;
    // Summed numbers at their cap would stop the disproof-led search too.
    if (turn_kind == PROOF_LED) {
      helpers_stop();
      tt_reset_numbers();
    }
  }
  turn_threshold[turn_kind] = next_root_threshold(pn);
  return !(turn_capped[PROOF_LED] && turn_capped[DISPROOF_LED]);
}

// The stage's root has both thresholds at the top: one search, directed by
// both numbers, until the root is proven or disproven.
void restart_root(int32_t& pn) {
  helpers_stop();
  pn = 1;
  expansions = 0;
  root_threshold = search_modes.minimality_stage ? MAX_ROOT_THRESHOLD : 1;
  stage_restart = search_modes.minimality_stage != 0;
}

// After the passes: searches below the recorded line's value with every
// cut at the limit a disproof, until the root is proven or disproven.
// False when no time is left for it (the recorded line then stands).
bool enter_minimality_stage(int32_t& pn) {
  helpers_stop();
  root_value = restore_solution(0);
  if (stop_reason == STOP_TIME || search_modes.after_mark) return false;
  stop_reason = STOP_NONE;
  search_modes.minimality_stage = 1;
  search_modes.stage_shared_numbers = 1;
  search_modes.limit_active = 1;
  length_limit = sat16(root_value - 2);
  restart_root(pn);
  return true;
}

// With Threads above 1: the helpers search the same root as the main
// thread's next root search, over the shared tables, each with its own
// threshold steps. In the first pass they start with the other kind of root
// search than the main thread, so that the two lead by different numbers.
// They run on from one root search of the main thread to the next and stop
// when the root is decided, the pass changes or the solve ends.
void start_helpers(int kind) {
  if (search_threads_count() < 2 || helpers_running()) return;
  HelperJob job;
  job.root = board;
  job.modes = search_modes;
  job.length_limit = length_limit;
  job.taking_turns = taking_turns();
  job.both_thresholds = search_modes.minimality_stage != 0;
  job.threshold_limit = search_modes.refine_pass > 0 && !search_modes.minimality_stage
                            ? static_cast<int32_t>(std::min<int64_t>(repair_limit, MAX_ROOT_THRESHOLD))
                            : MAX_ROOT_THRESHOLD;
  if (job.taking_turns) {
    job.threshold[PROOF_LED] = turn_threshold[PROOF_LED];
    job.threshold[DISPROOF_LED] = turn_threshold[DISPROOF_LED];
    job.first_kind = turn_capped[kind ^ 1] ? kind : kind ^ 1;
  } else {
    job.threshold[PROOF_LED] = job.threshold[DISPROOF_LED] = root_threshold;
    job.first_kind = PROOF_LED;
  }
  // The main thread's path marks leave the table too: its walk along the
  // path starts from the root.
  clear_path_counts();
  helpers_start(job);
}

bool root_proven_in_table() {
  uint32_t hand = 0;
  int16_t length = 0;
  int32_t pn = 0, dn = 0;
  return tt_probe(0, hand, length, pn, dn) && pn == 0;
}

// Plays the first `plies` moves of `solution` from the root, or takes them back.
void play_solution(int plies, bool make) {
  if (make) {
    for (int k = 1; k <= plies; ++k) line_make(line_mover(k), solution[k], k);
  } else {
    for (int k = plies; k >= 1; --k) line_unmake(line_mover(k), solution[k], k);
  }
}

// A mate just verified and recorded is shown at once with its line, so that
// a front end has it while the search for a shorter one goes on; the answer
// still comes at the end. The line is played by the rules first: a line that
// does not mate is never shown.
void show_recorded_mate() {
  if (inner_solve || search_modes.after_mark || root_proven_at_start) return;
  int n = 0;
  while (n + 1 < MOVE_STACK_SIZE && stored_solution[n + 1] > 0) ++n;
  if (n == 0 || stored_solution[n + 1] > 0) return;
  if (!line_mates(&stored_solution[1])) return;
  for (int k = 1; k <= n; ++k) line_make(line_mover(k), stored_solution[k], k);
  const int16_t shown = mate_length;
  mate_length = static_cast<int16_t>(n);
  write_progress(FINAL_WITH_PV);
  mate_length = shown;
  for (int k = n; k >= 1; --k) line_unmake(line_mover(k), stored_solution[k], k);
}

// Reads the proven line into `solution` and, when the rules bear it out as a
// mate, writes the final line with it while the moves stand on the board.
// A recorded line was verified move by move: it is answered as it stands,
// since other proof entries of the table (another hand's, or a false match
// of the check word) could lead the read-out off it. False when the line
// does not mate: the table's proof was not what it seemed.
bool read_out_solution(bool from_record) {
  int i = 1;
  int side = 0;
  while (i < MOVE_STACK_SIZE) {
    MoveCode m = 0;
    if (from_record) {
      if (stored_solution[i] == 0) break;
      m = stored_solution[i];
    } else {
      uint32_t hand = 0;
      int16_t length = 0;
      int32_t pn = 0, dn = 0;
      if (!tt_probe(side, hand, length, pn, dn) || pn != 0 || tt_hint_move == 0) break;
      m = tt_hint_move;
    }
    if (!table_move_valid(side, m)) break;
    solution[i] = m;
    line_make(side, solution[i], i);
    side ^= 1;
    ++i;
  }
  mate_length = static_cast<int16_t>(i - 1);
  solution[i] = -2;
  play_solution(i - 1, false);
  if (!line_mates(&solution[1])) return false;
  if (!root_proven_at_start) {
    play_solution(i - 1, true);
    write_progress(FINAL_WITH_PV);
    play_solution(i - 1, false);
  }
  return true;
}

// C3. Verifies the root's proof, repairing the line until it stands or the
// verification gives up; pn becomes nonzero when the proof did not hold.
void verify_root_proof(int32_t& pn, int32_t& dn) {
  solve_result = RESULT_MATE;
  length_limit_before_verify = length_limit;
  if (search_modes.refine_pass == 0) repair_limit = static_cast<uint32_t>(proof_led_threshold()) + 1;
  verify_calls = 0;
  int changed = verify_solution(0, pn);
  while (changed != 0) {
    if (pn != 0) {
      expansions = 0;
      break;
    }
    driver_clock_step();
    if (pass_budget_spent()) {
      stop_reason = STOP_BUDGET;
    } else if (stop_reason == STOP_TIME) {
      pn = 1;
      dn = 1;
      break;
    }
    if (verify_calls > MAX_VERIFY_CALLS) break;
    ++verify_calls;
    changed = verify_solution(0, pn);
  }
}

// C6. A refinement pass without a proof gives up at the recorded line's
// threshold, past its node allowance, after too many passes, or on its budget.
bool pass_gives_up() {
  return search_modes.refine_pass > 0 && !search_modes.minimality_stage &&
         (int64_t{root_threshold} >= repair_limit ||
          static_cast<int64_t>(expansions) >
              static_cast<int64_t>(refine_node_factor) * root_threshold + PASS_EXPANSION_SLACK ||
          search_modes.refine_pass > MAX_REFINE_PASSES || stop_reason == STOP_BUDGET);
}

// The solve's answer from the root's last pn.
MoveCode* finish_solve(int32_t pn) {
  // C8. Finish. A verified and recorded mate is the answer even when time
  // ran out in a later pass or in the stage.
  helpers_stop();
  length_limit = LENGTH_LIMIT_NONE;
  const bool recorded_mate = search_modes.refine_pass > 0;
  if (recorded_mate && (pn != 0 || stop_reason != STOP_NONE)) {
    root_value = restore_solution(0);
    pn = 0;
  }
  if (pn == 0 && !read_out_solution(recorded_mate)) {
    answer_rejected = 1;
    pn = 1;
  }
  if (pn != 0) write_progress(FINAL);
  if (recorded_mate && shortest_state != SHORTEST_PROVEN) shortest_state = SHORTEST_OPEN;
  if (recorded_mate && !answer_rejected && !inner_solve)
    std::fputs(shortest_state == SHORTEST_PROVEN ? PROVEN_SHORTEST_LINE : NOT_PROVEN_SHORTEST_LINE, stdout);
  search_modes.minimality_stage = 0;
  if (search_modes.after_mark) report_alternate_solution(0, pn);
  if (answer_rejected) {
    // Neither a mate nor a proof of none: no answer is better than a wrong one.
    solution[1] = -1;
    solve_result = RESULT_TIMEOUT;
  } else if (stop_reason == STOP_TIME && !recorded_mate) {
    solution[1] = -1;
    solve_result = RESULT_TIMEOUT;
  } else if (pn == 0) {
    solve_result = RESULT_MATE;
  } else if (pn >= PN_INFINITE || search_modes.after_mark) {
    // A round of the alternate-solution search that runs out of thresholds
    // found no other mate; its outcome prints no answer line.
    solve_result = RESULT_NOMATE;
    // After an alternate-solution search a no-mate holds only for the barred
    // line; recording it would overwrite the intended proof.
    if (!search_modes.after_mark) record_no_mate(0);
  } else {
    // Neither proven nor disproven within the search's bounds.
    solve_result = RESULT_TIMEOUT;
    solution[1] = -1;
  }
  length_limit = 0;
  return &solution[1];
}

}  // namespace

void driver_clock_step() { write_progress(PERIODIC); }

int is_symmetric() {
  for (int side = 0; side < 2; ++side) {
    const int first = side == OWNER_DEFENDER || board.attacker_has_king ? 0 : 1;
    for (int slot = first; slot <= board.last_slot[side]; ++slot) {
      const int sq = board.piece_lists[side][slot];
      const int mirror = 9 * (sq / 9) + 8 - sq % 9;
      if (board.pieces[mirror] != board.pieces[sq] || board.owners[mirror] != side) return 0;
    }
  }
  return 1;
}

MoveCode* run_solver(SolverMode mode, uint32_t limit_ms) {
  // A. Entry.
  helpers_stop();
  answer_rejected = 0;
  shortest_state = SHORTEST_UNKNOWN;
  stage_mates = 0;
  stuck_turns = 0;
  time_limit_ms = limit_ms;
  search_modes.allow_proof_overwrite = 0;
  search_modes.refine_pass = 0;
  stable_once = false;
  stage_restart = false;
  search_modes.minimality_stage = 0;
  reported_depth = 0;
  reset_search_thread(KEEP_REQUEST_COUNTS, LENGTH_LIMIT_NONE);
  build_step_tables();
  build_zobrist();
  if (!tt_allocate(engine_options.table_entries)) {
    // Without a table there is no search; the request runs out at once.
    solve_result = RESULT_TIMEOUT;
    solution[1] = -1;
    return &solution[1];
  }
  search_modes.limit_active = 0;
  rebuild_derived_state();
  root_proven_at_start = !inner_solve && root_proven_in_table() ? 1 : 0;
  search_modes.after_mark = previous_mode == MARK ? 1 : 0;
  search_modes.store_proof_hands = search_modes.after_mark ? 0 : 1;
  previous_mode = mode;
  if (mode == MARK) {
    solution[1] = mark_solution(0);
    length_limit = 0;
    return &solution[1];
  }

  // B. Set-up.
  search_modes.symmetric_root = static_cast<uint8_t>(is_symmetric());
  solve_result = RESULT_TIMEOUT;

  // C. Iteration.
  int32_t pn = 1, dn = 1;
  start_turns();
  while (true) {
    uint32_t hand = 0;
    trial_drop_piece = 0;
    const int kind = next_root_kind();
    weak_and_numbers = kind == DISPROOF_LED ? 1 : 0;
    const bool both_thresholds = kind == DISPROOF_LED || search_modes.minimality_stage;
    start_helpers(kind);
    const uint32_t nodes_before = nodes;
    const uint32_t expansions_before = expansions;
    turn_node_cap = 0;
    if (kind == DISPROOF_LED && !turn_capped[PROOF_LED])
      turn_node_cap = std::max<uint32_t>(nodes_before + disproof_turn_nodes(turn_nodes_spent), 1);
    root_value = search_attacker(root_threshold, pn, dn, hand, both_thresholds ? MAX_ROOT_THRESHOLD : PN_INFINITE);
    turn_node_cap = 0;
    if (taking_turns()) {
      turn_nodes_spent += static_cast<uint32_t>(nodes - nodes_before);
      if (kind == PROOF_LED) last_proof_turn_nodes = nodes - nodes_before;
    }
    if (stop_reason == STOP_TURN) {
      // Cut at its cap: a failure at this threshold, resumed from the table
      // at the next.
      stop_reason = STOP_NONE;
      pn = root_threshold;
    }
    weak_and_numbers = 0;
    // Verification, the read-out and every change of pass are the main
    // thread's alone.
    if (pn == 0 || pn >= PN_INFINITE || stop_reason != STOP_NONE) helpers_stop();
    bool finish = false;

    bool root_proof_failed = false;
    if (pn == 0 && stop_reason == STOP_NONE) {
      // C3. Verify the proof.
      verify_root_proof(pn, dn);
      root_proof_failed = pn != 0;
      // C4. Decide.
      if (search_modes.refine_pass > 0 && verify_calls > MAX_VERIFY_CALLS) {
        finish = true;
      } else if (pn == 0 && root_threshold <= 2 && reported_depth == 0 && root_proven_at_start) {
        finish = true;  // answered from the table
      } else if (pn == 0 && search_modes.after_mark) {
        finish = true;  // the alternate-solution search stops at its first proof
      } else if (!search_modes.minimality_stage && search_modes.refine_pass > MAX_REFINE_PASSES) {
        if (pn == 0 && read_solution(0) == 1) show_recorded_mate();
        finish = !enter_minimality_stage(pn);
      } else if (pn == 0 && search_modes.minimality_stage) {
        // A strictly shorter mate: recorded, and the stage starts over below it.
        const int16_t stage_limit = length_limit_before_verify;
        read_solution(0);
        if (length_limit < stage_limit) {
          ++stage_mates;
          show_recorded_mate();
          restart_root(pn);
        } else {
          root_value = restore_solution(0);
          finish = true;
        }
      } else if (pn == 0) {
        // C5. A refinement pass for a strictly shorter mate.
        const bool first_proof = reported_depth == 0;
        if (first_proof) reported_depth = root_threshold;
        const int changed_line = read_solution(0);
        if (first_proof || changed_line == 1) show_recorded_mate();
        if (search_modes.refine_pass >= 2 && changed_line != 1) {
          if (stable_once) {
            finish = !enter_minimality_stage(pn);
          } else {
            stable_once = true;
          }
        } else {
          ++search_modes.refine_pass;
          stable_once = false;
        }
        if (!finish && !search_modes.minimality_stage) {
          search_modes.limit_active = 1;
          restart_root(pn);
        }
      }
    } else {
      // C6. No proof, or a stop came with it.
      if (pass_gives_up()) {
        // The pass gives up: the stage settles the question, or, out of
        // time, the recorded line stands.
        if (!enter_minimality_stage(pn)) {
          pn = 0;
          finish = true;
        }
      } else if (pn == 0) {
        finish = true;
      }
    }
    // A root that the table answers at once with a repetition, or with a
    // proof that fails its check, does so at every turn: no node is searched
    // and no budget ends it. A mark left by a stopped thread reads so. The
    // marks go; should it go on all the same, the solve ends undecided.
    const bool stuck = expansions == expansions_before && !search_modes.minimality_stage &&
                       (root_proof_failed || (pn != 0 && pn < PN_INFINITE && on_path_here));
    stuck_turns = stuck ? stuck_turns + 1 : 0;
    if (stuck_turns == 1) {
      helpers_stop();
      tt_clear_path_marks();
    }
    if (stuck_turns >= MAX_STUCK_TURNS && !finish) {
      pn = 1;
      finish = true;
    }
    if (finish) break;
    if (stage_restart) {
      stage_restart = false;
      continue;
    }

    // C7. Next threshold.
    {
      if (pn >= PN_INFINITE) {
        // Disproven; in the stage: no mate below the recorded line's value.
        if (search_modes.minimality_stage) shortest_state = SHORTEST_PROVEN;
        break;
      }
      if (search_modes.minimality_stage && search_modes.stage_shared_numbers && stop_reason == STOP_NONE) {
        // The root's numbers reached their cap undecided (shared numbers
        // add up a transposed subtree once for each path into it): the stage
        // goes on with numbers per path. Its disproofs in the table hold.
        helpers_stop();
        search_modes.stage_shared_numbers = 0;
        restart_root(pn);
        continue;
      }
      if (!next_threshold(pn)) break;
      driver_clock_step();
      if (pass_budget_spent()) {
        stop_reason = STOP_BUDGET;
        break;
      }
      if (stop_reason != STOP_NONE) break;
    }
  }

  return finish_solve(pn);
}

// The main line of a mate proven shortest. The proof of the least value
// concerns the root: past some ply the answered line may follow a proof in
// which the attacker takes longer than it must, and the defender's choices
// there are then not the longest resistance. Each attacker position of the
// line is solved again as a root down to its least value; where a tail is
// longer than that, the defender reply before it is not the longest, and the
// reply that holds out longest takes its place.
#pragma once

#include <cstdint>

#include "position/types.h"

// Rewrites `line` (MoveCodes from index 0, ended by a value of 0 or below,
// with room for LINE_ARRAY_SIZE) from the board's position into a main line
// of the same value, within the request's limit. A step that cannot be
// completed (a stop, a least value not proven) ends the rewriting and keeps
// the line as settled up to there. True when the line changed.
bool settle_main_line(MoveCode* line, uint32_t limit_ms);

// Solves the board's position, attacker to move, as a root down to its least
// value within `limit_ms`: `out` (room for LINE_ARRAY_SIZE) gets the mate,
// ended by 0, and `value` its value. False when the least value is not
// proven. The board is left as it was; the request's own outcome
// (solve_result and the rest) is the caller's to keep.
bool least_mate(uint32_t limit_ms, MoveCode* out, int& value);

// The request's own outcome, which an inner solve (least_mate) overwrites:
// kept before and put back after.
struct RequestOutcome {
  uint8_t result, shortest;
  int16_t mates, stop, length;
  int32_t depth;
};
RequestOutcome keep_request_outcome();
// Puts it back; the inner solve's rejection of a line is not the request's.
void restore_request_outcome(const RequestOutcome& kept);

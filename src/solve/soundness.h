// The composer's question: is the problem sound, and if not, where? The
// problem's intended line (the file's own, or the engine's main line) is
// checked ply by ply: at each attacker move, whether another check also
// forces mate; at each defender move, whether another reply holds out as
// long or longer; at the end, whether pieces are left in hand.
//
// Every other check at a ply is searched from that position of the line, with
// the line up to there as the search's path, so that a return to a position
// of the path is a repetition and no mate. The searches share the tables with
// the solve, which has disproven most of those checks already.
#pragma once

#include <cstdint>
#include <vector>

#include "position/types.h"

enum SoundnessVerdict : uint8_t {
  VERDICT_SOUND = 0,
  VERDICT_ALTERNATE,  // another check mates at an attacker move of the line
  VERDICT_NO_MATE,
  VERDICT_INVALID,      // not a position of a shogi set
  VERDICT_SHORTER,      // a quicker mate than the line's
  VERDICT_LONGER,       // the defender holds out longer than the line
  VERDICT_PIECES_LEFT,  // the mate ends with pieces in the attacker's hand
  VERDICT_LINE_WRONG,   // the stated line fails at a ply
  VERDICT_UNDECIDED,    // the budget ended with plies still open
  VERDICT_TIME_OUT,     // not even the solve ended
};

enum FindingKind : uint8_t {
  FINDING_ALTERNATE = 0,  // another check mates: the flaw
  FINDING_TWIN,           // the main move promoted or not also mates (a note)
  FINDING_LAST_MOVE,      // another mating last move (a note)
  FINDING_DETOUR,         // another check whose mate rejoins the line (a note)
  FINDING_EQUAL,          // a defender reply of the same value, nothing left in hand (a
                          // blemish)
  FINDING_LONGER,         // a defender reply that holds out longer than the line
};

struct Finding {
  uint8_t kind = FINDING_ALTERNATE;
  int ply = 0;                 // ply of the line where the other move is played
  MoveCode move = 0;           // the other move
  std::vector<MoveCode> line;  // one mating line from that move on (with it), checked by the rules
  int rejoin_ply = 0;          // a detour: the line's ply whose position it reaches
  int value = 0;               // mate value after the move (variations)
};

// What is known of one ply of the line.
enum PlyState : uint8_t { PLY_CLEAR = 0, PLY_FOUND = 1, PLY_UNDECIDED = 2, PLY_NOT_ASKED = 3 };

struct PlyCheck {
  uint8_t state = PLY_NOT_ASKED;
  std::vector<MoveCode> open;  // moves whose question is still open
};

struct SoundnessReport {
  uint8_t verdict = VERDICT_UNDECIDED;
  int verdict_ply = 0;          // where an alternate starts or the stated line fails
  MoveCode verdict_move = 0;    // the alternate's first move
  const char* fault = "";       // how the stated line fails, or why the position is invalid
  bool stated = false;          // the line is the problem's own, not the engine's
  int line_value = 0;           // plies less two per piece left in hand
  bool least_known = false;     // the problem's least mate value is proven
  int least_value = 0;          // and is this
  std::vector<MoveCode> line;   // the intended line
  std::vector<PlyCheck> plies;  // [k] for ply k + 1
  std::vector<Finding> findings;
  int left_in_hand[8] = {};  // the attacker's hand at the end, by piece code
  uint32_t nodes = 0;
};

// Whether a finding makes the problem unsound (the rest are notes and
// blemishes, listed beside the verdict).
bool finding_is_flaw(const Finding& finding);

// Checks `line`, the intended line from the board's position (attacker to
// move), within `check_ms` (0: no limit), after a solve of this position that
// found a mate: the tables hold what it proved. A stated line (the
// problem's own) is first checked by the rules. The verdict says nothing of
// the no-mate, time-out and invalid cases, which the caller decides before.
// The board is left as it was.
SoundnessReport check_intended_line(const std::vector<MoveCode>& line, bool stated, uint32_t check_ms);

// The verdict's name in reports: "sound", "alternate", "nomate", "invalid",
// "shorter", "longer", "pieces-left", "line-wrong", "undecided", "timeout".
const char* verdict_name(uint8_t verdict);
// "alternate", "twin", "last-move", "detour", "equal", "longer".
const char* finding_name(uint8_t kind);

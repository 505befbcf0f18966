// Shared set-up of the fuzz targets: bounded solves, small tables, quiet
// output, and a fresh solver state for every input so that a crash found
// replays from its input alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Budget of generated nodes for each "go mate" of one input.
constexpr uint32_t FUZZ_NODE_BUDGET = 3000;
// Largest table block; bigger requests fail and are halved, as on a machine
// that cannot back them.
constexpr std::size_t FUZZ_ALLOC_LIMIT = 1u << 20;
// Home slots per table that target A asks for (halved to fit the limit).
constexpr uint32_t FUZZ_TABLE_ENTRIES = 1u << 15;

// Once per process: tables of steps and keys, limits, output to /dev/null.
void fuzz_init();

// Before every input: the board of a fresh process, start options, no tables, no history of
// an earlier driver call.
void fuzz_reset();

// The input cut into lines as the engine's reader cuts standard input: at
// each line feed (a CR before it dropped) and after 9,999 bytes.
std::vector<std::string> fuzz_lines(const uint8_t* data, std::size_t size);

// Oracles on the answers for the position on the board (attacker to move),
// checked with the test-only rules reference; each aborts on a wrong answer.
// `moves`: the answer's move codes in order.
void fuzz_expect_mate(const std::vector<int16_t>& moves);
// A no-mate answer is wrong when a mate in one exists.
void fuzz_expect_no_mate_in_one();

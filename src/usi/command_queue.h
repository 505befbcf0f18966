// The reader thread and the queue of input lines it fills.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

constexpr int LINE_BUFFER_SIZE = 10000;  // one read takes at most 9,999 bytes
// Fallback period of an idle pop_line; a pushed line wakes it at once.
constexpr int POLL_INTERVAL_MS = 100;

// Creates queue_lock; must run before the reader starts.
void queue_create_lock();

// Appends a copy of `line` (reader side) and returns its number: lines are
// numbered from 1 in the order they are pushed, for the life of the process.
uint64_t push_line(const std::string& line);
// Appends the end of input after the lines already queued ("quit" or the
// end of the stream); returns the number it takes in the line order.
uint64_t push_end_of_input();
// Waits while the queue is empty (woken by push_line), then removes the
// oldest line into `line` and its number into `number`. False, with the
// entry removed, when that entry is the end of input.
bool pop_line(std::string& line, uint64_t& number);
// Non-blocking variant for tests: false when empty or at the end of input.
bool try_pop_line(std::string& line);

// Reads one line of at most LINE_BUFFER_SIZE - 1 bytes from `in` (without its
// line feed and a CR before it); false at end of input with nothing read.
bool read_input_line(std::FILE* in, std::string& line);

// One input line as it arrives (reader side): queued, and "stop" and "go"
// recorded for a running solve. False for "quit", which is not queued: the
// input ends there.
bool take_input_line(const std::string& line);
// The input ends: by "quit" (`quit`), which also ends a running request, or
// by the end of the stream.
void end_input(bool quit);
// Whether a line (or the end of input) waits in the queue.
bool queue_has_line();

// Thread routine: reads standard input into the queue until "quit" or the
// end of input, and records "stop", "quit" and the end for the solve.
void reader_thread();

// The reader thread and the queue of input lines it fills.
#pragma once

#include <cstdio>
#include <string>

constexpr int LINE_BUFFER_SIZE = 10000;  // one read takes at most 9,999 bytes
// Fallback period of an idle pop_line; a pushed line wakes it at once.
constexpr int POLL_INTERVAL_MS = 100;

// Creates queue_lock; must run before the reader starts.
void queue_create_lock();

// Appends a copy of `line` (reader side).
void push_line(const std::string& line);
// Waits while the queue is empty (woken by push_line), then removes and
// returns the oldest line.
std::string pop_line();
// Non-blocking variant for tests: false when empty.
bool try_pop_line(std::string& line);

// Reads one line of at most LINE_BUFFER_SIZE - 1 bytes from `in` (without its
// line feed and a CR before it); false at end of input with nothing read.
bool read_input_line(std::FILE* in, std::string& line);

// Thread routine: reads standard input into the queue; "quit" or end of input
// ends the process with status 0.
void reader_thread();

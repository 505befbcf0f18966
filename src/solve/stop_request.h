// The front end's word to end solves early: "stop", "quit" and the end of
// input. The reader thread records them the moment they arrive; the clock
// check of the solve reads them. Input lines are numbered in arrival order,
// and a stop ends exactly the requests whose "go mate" came before it,
// however the two threads interleave: a stop that arrives just after an
// answer has nothing left to end and leaves the next request alone.
#pragma once

#include <cstdint>

// A stopped request still searches this long from its first clock check, so
// that a script that sends a quick problem and "stop" or "quit" together gets
// its mate.
constexpr uint32_t STOP_GRACE_MS = 50;

// Reader side (any thread).
// A "stop" line, or the line number a "quit" would have: every request
// before it ends.
void record_stop_line(uint64_t line_number);
// A "go" line: a request that may still be waiting in the queue.
void record_request_line(uint64_t line_number);
// No more input ("quit" or the end of the stream): a request without a time
// limit ends, since nobody is left to stop it.
void record_end_of_input();

// Main thread.
// The request of input line `line_number` starts; 0 for a request that no
// input line can stop (bench, tests).
void begin_stoppable_request(uint64_t line_number);
// Read with the clock: true when the current request is to end now. Its
// first call starts the request's grace.
bool stop_due(uint32_t now);
// The current request was ended by a stop, "quit" or the end of input.
bool request_stopped();
// The "stop" line `line_number` ended a request (it is answered by that
// request's answer, not by a reply of its own).
bool stop_line_taken(uint64_t line_number);
// The input has ended and no request follows the current one.
bool no_request_follows();
// Forgets everything recorded (tests).
void reset_stop_requests();

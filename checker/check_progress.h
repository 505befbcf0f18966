// Progress of a check on standard error. On a terminal one live line is
// rewritten twice a second: the problem's number and name, its elapsed time
// and the time left; finished problems stay as plain lines above it. Logs
// and pipes get the plain lines only.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

class CheckProgress {
 public:
  // `bound_seconds`: the most one problem can take by its limits (0 when a
  // limit is off, so no bound is known).
  CheckProgress(FILE* out, bool live, size_t total, double bound_seconds);
  ~CheckProgress();
  CheckProgress(const CheckProgress&) = delete;
  CheckProgress& operator=(const CheckProgress&) = delete;

  // Problem `index` (0-based) starts.
  void start(size_t index, const std::string& name);
  // It ended: "[i/N] name result length; elapsed ..., about ... left".
  void finish(const std::string& result, const std::string& length);

  // The live line's text at `now` (also what the tests read).
  std::string status_line(std::chrono::steady_clock::time_point now) const;

 private:
  void run();
  void draw_locked();
  void clear_locked();

  FILE* out_;
  const bool live_;
  const size_t total_;
  const double bound_;
  const std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point problem_start_;
  size_t index_ = 0;
  size_t done_ = 0;
  std::string name_;
  bool running_ = false;  // a problem is being solved
  size_t drawn_width_ = 0;
  bool stop_ = false;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::thread thread_;
};

// Whether standard error is a terminal.
bool stderr_is_terminal();

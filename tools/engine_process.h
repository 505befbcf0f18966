// Runs the engine binary as a child process and talks to it over pipes, the
// way a front end does. Every wait has a timeout, and a child that is still
// running when the object goes away is killed, so a faulty engine fails a
// test instead of hanging it.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The engine the end-to-end tests drive: the words of the environment
// variable KESTRANE_ENGINE when it is set (a command line split at blanks,
// such as "wine64 build-win/kestrane.exe", to drive another build of the
// engine with the same tests), else `built`, the path of the engine built
// with the tests.
std::vector<std::string> engine_under_test(const std::string& built);

class EngineProcess {
 public:
  static constexpr int DEFAULT_TIMEOUT_MS = 20000;

  explicit EngineProcess(const std::string& path);
  // Runs argv[0] (looked up in PATH when it has no slash) with the rest as
  // its arguments.
  explicit EngineProcess(const std::vector<std::string>& argv);
  ~EngineProcess();
  EngineProcess(const EngineProcess&) = delete;
  EngineProcess& operator=(const EngineProcess&) = delete;

  // False when the child could not be started.
  bool started() const { return pid_ > 0; }

  // Writes `bytes` as they are (the caller supplies any line feeds). False
  // when the child stopped reading or the write timed out.
  bool send(std::string_view bytes, int timeout_ms = DEFAULT_TIMEOUT_MS);
  // Sends `line` followed by a line feed.
  bool send_line(std::string_view line, int timeout_ms = DEFAULT_TIMEOUT_MS);

  // The next output line without its line feed; nullopt on timeout or when
  // the child closed its output without completing a line.
  std::optional<std::string> read_line(int timeout_ms = DEFAULT_TIMEOUT_MS);

  // Closes the child's standard input (end of input).
  void close_input();

  // Waits for the child to end. Returns its exit status, or -1 when it was
  // ended by a signal or did not end in time (then it is killed).
  int wait_exit(int timeout_ms = DEFAULT_TIMEOUT_MS);

  // True when the child has not ended yet.
  bool running();

  // Processor time the child has used so far, in seconds (all its threads);
  // -1 where the system does not tell (no /proc).
  double cpu_seconds() const;

 private:
  // Moves whatever the child has written into pending_; false at end of
  // output.
  bool drain_output();
  void kill_and_reap();

  pid_t pid_ = -1;
  int input_fd_ = -1;   // child's standard input, our write end
  int output_fd_ = -1;  // child's standard output, our read end
  bool output_closed_ = false;
  bool reaped_ = false;
  int exit_status_ = -1;
  std::string pending_;
};

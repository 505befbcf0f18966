#include "engine_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

int remaining_ms(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

void close_fd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

std::vector<std::string> engine_under_test(const std::string& built) {
  const char* command = std::getenv("KESTRANE_ENGINE");
  std::vector<std::string> words;
  std::istringstream in(command != nullptr ? command : "");
  for (std::string word; in >> word;) words.push_back(word);
  if (words.empty()) words.push_back(built);
  return words;
}

EngineProcess::EngineProcess(const std::string& path) : EngineProcess(std::vector<std::string>{path}) {}

EngineProcess::EngineProcess(const std::vector<std::string>& args) {
  if (args.empty()) return;
  // A child that has ended must turn our writes into errors, not kill the
  // test binary.
  ::signal(SIGPIPE, SIG_IGN);

  int to_child[2];
  int from_child[2];
  if (::pipe2(to_child, O_CLOEXEC) != 0) return;
  if (::pipe2(from_child, O_CLOEXEC) != 0) {
    ::close(to_child[0]);
    ::close(to_child[1]);
    return;
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // dup2 clears close-on-exec on the targets, so only these two ends reach
  // the child.
  posix_spawn_file_actions_adddup2(&actions, to_child[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, from_child[1], STDOUT_FILENO);

  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);

  ::close(to_child[0]);
  ::close(from_child[1]);
  if (rc != 0) {
    ::close(to_child[1]);
    ::close(from_child[0]);
    return;
  }
  pid_ = pid;
  input_fd_ = to_child[1];
  output_fd_ = from_child[0];
}

EngineProcess::~EngineProcess() {
  close_fd(input_fd_);
  if (pid_ > 0 && !reaped_) kill_and_reap();
  close_fd(output_fd_);
}

bool EngineProcess::drain_output() {
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(output_fd_, buffer, sizeof buffer);
    if (n > 0) {
      pending_.append(buffer, static_cast<std::size_t>(n));
      return true;
    }
    if (n == 0) {
      output_closed_ = true;
      return false;
    }
    if (errno != EINTR) {
      output_closed_ = true;
      return false;
    }
  }
}

bool EngineProcess::send(std::string_view bytes, int timeout_ms) {
  if (input_fd_ < 0) return false;
  auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  std::size_t written = 0;
  while (written < bytes.size()) {
    // Keep taking in the child's output while writing, so that a child
    // blocked on a full output pipe cannot stall a long write.
    pollfd fds[2] = {{input_fd_, POLLOUT, 0}, {output_fd_, POLLIN, 0}};
    nfds_t count = output_closed_ ? 1 : 2;
    int ready = ::poll(fds, count, remaining_ms(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    if (count == 2 && (fds[1].revents & (POLLIN | POLLHUP))) drain_output();
    if (fds[0].revents & (POLLERR | POLLHUP)) return false;
    if (fds[0].revents & POLLOUT) {
      ssize_t n = ::write(input_fd_, bytes.data() + written, bytes.size() - written);
      if (n < 0) {
        if (errno == EINTR || errno == EAGAIN) continue;
        return false;
      }
      written += static_cast<std::size_t>(n);
    }
  }
  return true;
}

bool EngineProcess::send_line(std::string_view line, int timeout_ms) {
  std::string text(line);
  text += '\n';
  return send(text, timeout_ms);
}

std::optional<std::string> EngineProcess::read_line(int timeout_ms) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    std::size_t end = pending_.find('\n');
    if (end != std::string::npos) {
      std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      return line;
    }
    if (output_closed_) return std::nullopt;
    pollfd fd = {output_fd_, POLLIN, 0};
    int ready = ::poll(&fd, 1, remaining_ms(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return std::nullopt;
    drain_output();
  }
}

void EngineProcess::close_input() { close_fd(input_fd_); }

int EngineProcess::wait_exit(int timeout_ms) {
  if (pid_ <= 0) return -1;
  if (reaped_) return exit_status_;
  auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    int status = 0;
    pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      reaped_ = true;
      exit_status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      return exit_status_;
    }
    if (done < 0 && errno != EINTR) return -1;
    if (Clock::now() >= deadline) {
      kill_and_reap();
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

double EngineProcess::cpu_seconds() const {
  std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
  std::string text;
  if (pid_ <= 0 || !std::getline(stat, text)) return -1;
  // Fields after the command name (which may hold blanks, within parentheses):
  // utime and stime are the 12th and 13th.
  std::istringstream rest(text.substr(text.rfind(')') + 2));
  std::string field;
  double ticks = 0;
  for (int i = 1; i <= 13 && rest >> field; ++i) {
    if (i >= 12) ticks += std::stod(field);
  }
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

bool EngineProcess::running() {
  if (pid_ <= 0 || reaped_) return false;
  int status = 0;
  pid_t done = ::waitpid(pid_, &status, WNOHANG);
  if (done == pid_) {
    reaped_ = true;
    exit_status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return false;
  }
  return done == 0;
}

void EngineProcess::kill_and_reap() {
  ::kill(pid_, SIGKILL);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  reaped_ = true;
  exit_status_ = -1;
}

#include "check_progress.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <algorithm>

#include "solve_session.h"

namespace {

// Characters a terminal shows for UTF-8 text, counting every non-ASCII
// character as two columns (problem names are often Japanese).
size_t display_width(const std::string& text) {
  size_t width = 0;
  for (unsigned char c : text) {
    if (c < 0x80) ++width;
    else if (c >= 0xC0) width += 2;
  }
  return width;
}

// At most `columns` display columns, cut at a character boundary.
std::string cut_to_width(const std::string& text, size_t columns) {
  if (display_width(text) <= columns) return text;
  std::string out;
  size_t width = 0;
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const size_t length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    const size_t w = c < 0x80 ? 1 : 2;
    if (width + w + 1 > columns) break;
    out.append(text, i, length);
    width += w;
    i += length;
  }
  return out + "~";
}

constexpr size_t NAME_COLUMNS = 28;

}  // namespace

bool stderr_is_terminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

CheckProgress::CheckProgress(FILE* out, bool live, size_t total, double bound_seconds)
    : out_(out), live_(live), total_(total), bound_(bound_seconds), start_(std::chrono::steady_clock::now()) {
  if (live_) thread_ = std::thread([this] { run(); });
}

CheckProgress::~CheckProgress() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    if (live_) clear_locked();
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void CheckProgress::start(size_t index, const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  index_ = index;
  name_ = name;
  problem_start_ = std::chrono::steady_clock::now();
  running_ = true;
  if (live_) draw_locked();
}

void CheckProgress::finish(const std::string& result, const std::string& length) {
  std::lock_guard<std::mutex> lock(mutex_);
  running_ = false;
  done_ = index_ + 1;
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  const double rest = elapsed / static_cast<double>(done_) * static_cast<double>(total_ - done_);
  if (live_) clear_locked();
  std::fprintf(out_, "[%zu/%zu] %s %s %s; elapsed %s, about %s left\n", done_, total_, name_.c_str(), result.c_str(),
               length.c_str(), clock_text(elapsed).c_str(), clock_text(rest).c_str());
  std::fflush(out_);
}

std::string CheckProgress::status_line(std::chrono::steady_clock::time_point now) const {
  const double spent = std::chrono::duration<double>(now - problem_start_).count();
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  const size_t after = total_ - index_ - 1;  // problems after this one
  std::string left;
  if (bound_ > 0) {
    // Every problem ends by its limits: this one's rest and the others' whole.
    double estimate = std::max(bound_ - spent, 0.0) + bound_ * static_cast<double>(after);
    if (done_ > 0) {
      // Problems mostly end well before the limits; the pace so far says by how much.
      const double pace = (elapsed - spent) / static_cast<double>(done_);
      estimate = std::min(estimate, std::max(pace - spent, 0.0) + pace * static_cast<double>(after));
    }
    left = "about " + clock_text(estimate) + " left";
  } else if (done_ > 0) {
    const double pace = (elapsed - spent) / static_cast<double>(done_);
    left = "at least " + clock_text(pace * static_cast<double>(after)) + " left";
  } else {
    left = "time left unknown (no limit)";
  }
  std::string line = "[";
  line += std::to_string(index_ + 1);
  line += '/';
  line += std::to_string(total_);
  line += "] ";
  line += cut_to_width(name_, NAME_COLUMNS);
  line += "  ";
  line += clock_text(spent);
  line += ", ";
  line += left;
  return line;
}

void CheckProgress::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stop_) {
    wake_.wait_for(lock, std::chrono::milliseconds(500));
    if (!stop_ && running_) draw_locked();
  }
}

void CheckProgress::draw_locked() {
  const std::string text = status_line(std::chrono::steady_clock::now());
  const size_t width = display_width(text);
  // Blanks over what is left of a longer line before.
  const std::string blanks(drawn_width_ > width ? drawn_width_ - width : 0, ' ');
  std::fprintf(out_, "\r%s%s", text.c_str(), blanks.c_str());
  std::fflush(out_);
  drawn_width_ = width;
}

void CheckProgress::clear_locked() {
  if (drawn_width_ == 0) return;
  std::fprintf(out_, "\r%s\r", std::string(drawn_width_, ' ').c_str());
  std::fflush(out_);
  drawn_width_ = 0;
}

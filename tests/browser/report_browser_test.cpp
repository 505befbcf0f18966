// The check report in a real browser: headless Chromium opens the report of
// the fixture folder with a script appended that steps every diagram through
// its solution; what the SVG shows after each step is compared with the
// rules reference's position at that ply. A screenshot is kept as well.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/reference_line.h"

namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
  return parts;
}

std::string chromium() {
  const char* given = std::getenv("KESTRANE_CHROMIUM");
  return given != nullptr && *given != '\0' ? given : "/usr/bin/chromium";
}

// Chromium with a profile of its own that is thrown away, and nothing that
// reaches the network.
int run_chromium(const fs::path& profile, const std::string& arguments, const fs::path& out) {
  fs::remove_all(profile);
  const std::string command = "timeout 90 " + chromium() +
                              " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
                              " --disable-background-networking --disable-component-update --disable-sync"
                              " --hide-scrollbars --user-data-dir=" +
                              profile.string() + " " + arguments + " >" + out.string() + " 2>" + out.string() +
                              ".log";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct CheckedRow {
  std::string name, sfen, result;
  std::vector<std::string> moves;
};

TEST(ReportInBrowser, EveryDiagramStepsThroughItsSolution) {
  if (access(chromium().c_str(), X_OK) != 0) {
    if (std::getenv("KESTRANE_REQUIRE_BROWSER") != nullptr) FAIL() << chromium() << " is missing";
    GTEST_SKIP() << "no Chromium at " << chromium() << " (apt-get install chromium fonts-noto-cjk)";
  }
  const fs::path dir = fs::path(KESTRANE_BROWSER_OUT);
  fs::remove_all(dir / "run");
  fs::create_directories(dir / "run");
  const fs::path report = dir / "report.html", tsv = dir / "run" / "report.tsv";
  const std::string check = std::string(KESTRANE_CHECK_BIN) + " " + KESTRANE_SOURCE_DIR +
                            "/tests/fixtures/check --html " + report.string() + " --tsv " + tsv.string() +
                            " --kif " + (dir / "run" / "kif").string() +
                            " --limit 1000 --alt-seconds 2 --hash 16 2>" + (dir / "run" / "check.log").string();
  const int status = std::system(check.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 1) << slurp(dir / "run" / "check.log");  // the broken file is skipped

  std::vector<CheckedRow> rows;
  for (const std::string& line : split(slurp(tsv), '\n')) {
    const std::vector<std::string> cells = split(line, '\t');
    if (cells.size() < 6 || cells[0] == "problem") continue;
    rows.push_back({cells[0], cells[1], cells[2], cells[2] == "mate" ? split_words(cells[5]) : std::vector<std::string>{}});
  }
  ASSERT_EQ(rows.size(), 7u);

  // The report with the stepping script appended, as a page of its own.
  std::string page = slurp(report);
  const size_t end = page.rfind("</body>");
  ASSERT_NE(end, std::string::npos);
  page.insert(end, "<script>" + slurp(fs::path(KESTRANE_SOURCE_DIR) / "tests/browser/diagram_reading.js") +
                       slurp(fs::path(KESTRANE_SOURCE_DIR) / "tests/browser/step_through.js") + "</script>\n");
  std::ofstream(dir / "run" / "stepping.html", std::ios::binary) << page;
  ASSERT_EQ(run_chromium(dir / "run" / "profile", "--virtual-time-budget=5000 --dump-dom file://" +
                                                       (dir / "run" / "stepping.html").string(),
                         dir / "run" / "dom.html"),
            0)
      << slurp(dir / "run" / "dom.html.log");
  const std::string dom = slurp(dir / "run" / "dom.html");
  const size_t start = dom.rfind("<pre id=\"kestrane-dom-test\">");
  ASSERT_NE(start, std::string::npos) << "the stepping script wrote nothing:\n" << dom.substr(0, 2000);
  const size_t stop = dom.find("</pre>", start);
  std::map<std::string, std::vector<std::vector<std::string>>> seen;  // section id -> its lines
  for (const std::string& line : split(dom.substr(start + 28, stop - start - 28), '\n')) {
    const std::vector<std::string> words = split_words(line);
    if (words.size() >= 2) seen[words[1]].push_back(words);
  }

  int finding_lines = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    const CheckedRow& row = rows[i];
    SCOPED_TRACE(row.name);
    const std::vector<std::vector<std::string>>& lines = seen["p-" + std::to_string(i + 1)];
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], (std::vector<std::string>{"diagram", "p-" + std::to_string(i + 1), "yes"}));
    const std::vector<std::string> expected = reference_boards(row.sfen, row.moves);
    ASSERT_EQ(expected.size(), row.moves.size() + 1) << "the answer is not legal by the rules reference";
    std::vector<std::vector<std::string>> plies;
    for (const auto& words : lines)
      if (words[0] == "ply" && words.size() == 6) plies.push_back(words);
    ASSERT_EQ(plies.size(), expected.size());
    for (size_t ply = 0; ply < plies.size(); ++ply) {
      EXPECT_EQ(plies[ply][3] + " " + plies[ply][4], expected[ply]) << "after ply " << ply;
      // The last move's square is marked; the start has no mark.
      EXPECT_EQ(plies[ply][5], ply == 0 ? "-" : row.moves[ply - 1].substr(2, 2)) << "after ply " << ply;
    }
    // Keys and clicks: ArrowLeft steps back from the end, Home goes to the
    // start, a click on the first move shows ply 1.
    std::vector<std::string> keys;
    for (const auto& words : lines)
      if (words[0] == "key") keys = words;
    ASSERT_FALSE(keys.empty());
    ASSERT_EQ(keys[0], "key");
    const size_t n = row.moves.size();
    EXPECT_EQ(keys[2], std::to_string(n == 0 ? 0 : n - 1) + "/" + std::to_string(n));
    EXPECT_EQ(keys[3], "0/" + std::to_string(n));
    EXPECT_EQ(keys[4], std::to_string(n == 0 ? 0 : 1) + "/" + std::to_string(n));

    // A finding's line plays on the diagram from its ply: every position is
    // the rules reference's, and the main line comes back.
    for (const auto& words : lines) {
      if (words[0] != "line") continue;
      ++finding_lines;
      ASSERT_EQ(words.size(), 5u);
      const std::vector<std::string> moves = split(words[4], ',');
      const std::vector<std::string> boards = reference_boards(row.sfen, moves);
      ASSERT_EQ(boards.size(), moves.size() + 1) << "the finding's line is not legal: " << words[4];
      std::vector<std::vector<std::string>> steps;
      for (const auto& step : lines)
        if (step[0] == "lineply" && step[2] == words[2]) steps.push_back(step);
      ASSERT_FALSE(steps.empty());
      const int from = std::stoi(steps[0][3]);
      EXPECT_GE(from, 1) << "a line starts at its finding's ply";
      EXPECT_EQ(std::stoi(steps.back()[3]), static_cast<int>(moves.size()));
      for (const auto& step : steps) EXPECT_EQ(step[4] + " " + step[5], boards[std::stoi(step[3])]) << words[4];
    }
    for (const auto& words : lines) {
      if (words[0] == "back") {
        EXPECT_EQ(words[4], "-1");
      }
    }
  }
  // The two-solution problem's alternate is there to play, and its KIF file
  // carries it as a branch from ply 1, marked on the main line's first move.
  EXPECT_GT(finding_lines, 0);
  const std::string kif = slurp(dir / "run" / "kif" / "01-two-solutions.kifu");
  const size_t branch = kif.find("変化：1手");
  ASSERT_NE(branch, std::string::npos) << kif;
  EXPECT_LT(kif.find("まで3手で詰み"), branch);
  const size_t first_move = kif.find("\n   1 ");
  ASSERT_NE(first_move, std::string::npos);
  EXPECT_EQ(kif[kif.find('\n', first_move + 1) - 1], '+') << kif;
  EXPECT_NE(kif.find("\n   1 ", branch), std::string::npos) << "the branch starts at ply 1";
  // The classic's line holds what a diagram player most easily gets wrong.
  const std::string classic = rows[2].moves.empty() ? "" : slurp(tsv);
  EXPECT_NE(classic.find("不成"), std::string::npos);
  EXPECT_NE(classic.find("同"), std::string::npos);

  // A screenshot of the report as it opens.
  const fs::path shot = dir / "report.png";
  fs::remove(shot);
  ASSERT_EQ(run_chromium(dir / "run" / "profile", "--screenshot=" + shot.string() +
                                                      " --window-size=1000,2400 file://" + report.string(),
                         dir / "run" / "screenshot.txt"),
            0);
  const std::string png = slurp(shot);
  ASSERT_GT(png.size(), 10000u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  fs::remove_all(dir / "run" / "profile");
}

}  // namespace

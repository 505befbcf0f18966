// The composer's report: verdicts, the HTML page of each kind of result, the
// board after each move as the page embeds it, and a whole run of
// kestrane-check over the fixture folder.
#include "html_report.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "solve/driver.h"
#include "support/reference_line.h"

namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

size_t occurrences(const std::string& text, const std::string& word) {
  size_t n = 0;
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + word.size())) ++n;
  return n;
}

// The section of problem `number` (1-based).
std::string section(const std::string& page, int number) {
  const size_t start = page.find("<section class=\"problem\" id=\"p-" + std::to_string(number) + "\"");
  if (start == std::string::npos) return "";
  return page.substr(start, page.find("</section>", start) - start);
}

CheckedProblem mate(const std::string& name, const std::string& sfen, const std::string& known,
                    std::vector<std::string> usi, std::vector<std::string> japanese) {
  CheckedProblem c;
  c.problem = {name, sfen, known};
  c.result = RESULT_MATE;
  c.usi_moves = std::move(usi);
  c.japanese = std::move(japanese);
  c.shortest = 1;
  c.alternate = "no";
  return c;
}

const char GOLD_SFEN[] = "4k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1";
const char TWO_SOLUTIONS_SFEN[] = "6Gbk/9/8N/7+P1/9/9/9/9/9 b - 1";

TEST(CheckReport, VerdictsFollowResultAlternateAndStatedLength) {
  CheckedProblem c = mate("m", GOLD_SFEN, "1", {"G*5b"}, {"▲５二金"});
  EXPECT_EQ(verdict_of(c), Verdict::SOUND);
  EXPECT_EQ(verdict_text(c), "Sound: mate in 1, no alternate solution, no longer defence, nothing left in hand");
  c.problem.known = "";  // nothing stated: nothing to compare
  EXPECT_EQ(verdict_of(c), Verdict::SOUND);
  c.problem.known = "3";
  EXPECT_EQ(verdict_of(c), Verdict::SHORTER);
  EXPECT_EQ(verdict_text(c), "Mate in 1, shorter than the stated 3");
  c.problem.known = "nomate";
  EXPECT_EQ(verdict_of(c), Verdict::SHORTER);
  c.problem.known = "1";
  c.alternate = "unknown";
  EXPECT_EQ(verdict_of(c), Verdict::ALTERNATE_OPEN);
  // An alternate solution outweighs a length that differs from the stated one.
  c = mate("a", TWO_SOLUTIONS_SFEN, "1", {"3a2a", "1a1b", "B*2c"}, {"▲２一金", "△１二玉", "▲２三角"});
  c.alternate = "yes";
  c.alternate_ply = 1;
  c.alternate_move = "▲２二金";
  EXPECT_EQ(verdict_of(c), Verdict::ALTERNATE);
  EXPECT_EQ(verdict_text(c), "Alternate solution from ply 1 (▲２二金)");
  c.alternate_ply = 0;
  c.alternate = "no";
  EXPECT_EQ(verdict_of(c), Verdict::LONGER);
  EXPECT_EQ(verdict_text(c), "Mate in 3, longer than the stated 1");
  CheckedProblem none;
  none.problem = {"n", GOLD_SFEN, "5"};
  none.result = RESULT_NOMATE;
  EXPECT_EQ(verdict_of(none), Verdict::NO_MATE);
  EXPECT_EQ(verdict_text(none), "No mate, though a mate in 5 is stated");
  none.result = RESULT_TIMEOUT;
  EXPECT_EQ(verdict_of(none), Verdict::TIME_OUT);
}

TEST(CheckReport, PageShowsEachKindOfResult) {
  std::vector<CheckedProblem> problems;
  problems.push_back(mate("sound-1", GOLD_SFEN, "1", {"G*5b"}, {"▲５二金"}));
  CheckedProblem alternate =
      mate("two<b>&\"'", TWO_SOLUTIONS_SFEN, "3", {"3a2a", "1a1b", "B*2c"}, {"▲２一金", "△１二玉", "▲２三角"});
  alternate.shortest = 0;
  alternate.alternate = "yes";
  alternate.alternate_ply = 3;
  alternate.alternate_move = "▲２二角";
  problems.push_back(alternate);
  CheckedProblem none;
  none.problem = {"start</script><script>alert(1)</script>", "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1", "nomate"};
  none.result = RESULT_NOMATE;
  problems.push_back(none);
  CheckedProblem late = none;
  late.problem.name = "late";
  late.result = RESULT_TIMEOUT;
  problems.push_back(late);
  const std::string page = html_report(problems, {16, 1000, 2});

  // Self-contained: no address of anything outside the page (the SVG
  // namespace is a name, not a fetch).
  std::string addresses = page;
  for (size_t at; (at = addresses.find("'http://www.w3.org/2000/svg'")) != std::string::npos;) addresses.erase(at, 28);
  EXPECT_EQ(addresses.find("http:"), std::string::npos);
  EXPECT_EQ(page.find("https:"), std::string::npos);
  EXPECT_EQ(page.find("src="), std::string::npos);
  EXPECT_EQ(page.find("@import"), std::string::npos);
  EXPECT_NE(page.find("\"Hiragino Mincho ProN\",\"Yu Mincho\""), std::string::npos);
  EXPECT_NE(page.find("name=\"viewport\""), std::string::npos);
  // The counts, and a table row linking to each section.
  EXPECT_NE(page.find("<b>1</b>sound"), std::string::npos);
  EXPECT_NE(page.find("<b>1</b>alternate solution"), std::string::npos);
  EXPECT_NE(page.find("<b>1</b>no mate"), std::string::npos);
  EXPECT_NE(page.find("<b>1</b>time-out"), std::string::npos);
  EXPECT_NE(page.find("<b>0</b>longer than stated"), std::string::npos);
  for (int i = 1; i <= 4; ++i) EXPECT_NE(page.find("<a href=\"#p-" + std::to_string(i) + "\">"), std::string::npos);
  EXPECT_NE(page.find("<a href=\"#p-2\">two&lt;b&gt;&amp;&quot;&#39;</a></td><td class=\"v-alternate\">alternate "
                      "from ply 3</td>"),
            std::string::npos);

  const std::string sound = section(page, 1);
  EXPECT_NE(sound.find("Sound: mate in 1, no alternate solution"), std::string::npos);
  EXPECT_NE(sound.find("<span class=\"mv\" data-ply=\"1\">▲５二金</span>"), std::string::npos);
  EXPECT_NE(sound.find("proven shortest"), std::string::npos);
  EXPECT_NE(sound.find("{\"sfens\":[\"4k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1\","
                       "\"4k4/4G4/4P4/9/9/9/9/9/9 w 2r2b3g4s4n4l17p 1\"],\"usi\":[\"G*5b\"]"),
            std::string::npos)
      << sound;

  const std::string two = section(page, 2);
  EXPECT_NE(two.find("<h2>2. two&lt;b&gt;&amp;&quot;&#39;</h2>"), std::string::npos) << two;
  EXPECT_NE(two.find("Alternate solution from ply 3 (▲２二角)"), std::string::npos);
  EXPECT_NE(two.find("leaves the line at ply 3 with <span class=\"jp\">▲２二角</span> instead of "
                     "<span class=\"jp\">▲２三角</span>"),
            std::string::npos);
  EXPECT_NE(two.find("<span class=\"mv alt\" data-ply=\"3\">"), std::string::npos);
  EXPECT_NE(two.find("not proven"), std::string::npos);
  EXPECT_EQ(two.find("proven shortest"), std::string::npos);

  const std::string nomate = section(page, 3);
  EXPECT_NE(nomate.find("<p class=\"verdict v-nomate\">No mate</p>"), std::string::npos);
  EXPECT_EQ(nomate.find("class=\"mv"), std::string::npos);
  EXPECT_NE(nomate.find("<span class=\"ply\">0 / 0</span>"), std::string::npos);
  // A name from a file never closes the page's script or starts one.
  EXPECT_EQ(page.find("</script><script>alert"), std::string::npos);
  EXPECT_EQ(occurrences(page, "<script>"), 1u);

  EXPECT_NE(section(page, 4).find("Time-out: no mate was found within the time limit"), std::string::npos);
  EXPECT_EQ(occurrences(page, "<svg class=\"diagram\""), 4u);
}

// Plays `moves` on the diagram of `sfen` and compares every position with
// the rules reference's.
void expect_same_as_reference(const std::string& sfen, const std::vector<std::string>& moves) {
  const std::vector<std::string> expected = reference_boards(sfen, moves);
  ASSERT_EQ(expected.size(), moves.size() + 1) << "the test line is not legal";
  Diagram d;
  std::string why;
  ASSERT_TRUE(diagram_from_sfen(sfen, d, why)) << why;
  for (size_t i = 0; i <= moves.size(); ++i) {
    if (i > 0) {
      ASSERT_TRUE(play_usi_move(d, moves[i - 1])) << moves[i - 1];
    }
    const std::vector<std::string> fields = split_words(diagram_to_sfen(d));
    EXPECT_EQ(fields[0] + " " + fields[2], expected[i]) << "after " << i << " plies of " << sfen;
  }
}

TEST(CheckReport, BoardAfterEachMoveMatchesTheRules) {
  // A drop, a capture by the king and a promotion.
  expect_same_as_reference("5p1Sk/7P1/6Prl/9/9/9/9/9/9 b P 1", {"P*1b", "1a2b", "3c3b+"});
  // A promoted piece taken goes to the hand unpromoted; recaptures on one
  // square.
  expect_same_as_reference("3gk4/9/4+P4/9/9/9/9/9/4K4 b G 1", {"5c5b", "6a5b", "G*5c", "5b5c"});
  // Declined promotions into and out of the zone, then a promotion.
  expect_same_as_reference("4k4/9/9/3S5/4N4/9/9/9/4K4 b - 1", {"6d5c", "5a4a", "5c6d", "4a5a", "5e4c+"});
  // White to move: its promotion, its drop and Black's recaptures.
  expect_same_as_reference("4k4/9/9/9/9/9/2b6/9/3GK4 w p 1", {"7g6h+", "5i6h", "P*5h", "6h5h"});
}

TEST(CheckReport, MovesThatDoNotFitTheBoardLeaveItAlone) {
  Diagram d;
  std::string why;
  ASSERT_TRUE(diagram_from_sfen("4k4/9/4P4/9/9/9/9/9/4K4 b G 1", d, why));
  const Diagram before = d;
  for (const char* move : {"", "G*", "G*5", "G*5c", "R*4b", "K*4b", "x*4b", "5c5a", "5c5b++", "5c5b+x", "5i5c",
                           "5c6j", "0c5b", "5a5b", "4b4a", "5c5c", "5i4h+", "G*0a", "5c5b\xff"}) {
    EXPECT_FALSE(play_usi_move(d, move)) << move;
    EXPECT_TRUE(d == before) << move;
  }
  // A gold does not promote.
  ASSERT_TRUE(diagram_from_sfen("4k4/9/4G4/9/9/9/9/9/9 b - 1", d, why));
  EXPECT_FALSE(play_usi_move(d, "5c5b+"));
  EXPECT_TRUE(play_usi_move(d, "5c5b"));
}

TEST(CheckReport, FolderRunWritesThePageAndSkipsTheBrokenFile) {
  const fs::path dir = fs::path(testing::TempDir()) / "kestrane_check_report";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path html = dir / "report.html", err = dir / "stderr.txt";
  const std::string command = std::string(KESTRANE_CHECK_BIN) + " " + KESTRANE_SOURCE_DIR +
                              "/tests/fixtures/check --html " + html.string() +
                              " --limit 1000 --alt-seconds 2 --hash 16 >" + (dir / "stdout.txt").string() + " 2>" +
                              err.string();
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  const std::string messages = slurp(err);
  EXPECT_NE(messages.find("kestrane-check: " + std::string(KESTRANE_SOURCE_DIR) +
                          "/tests/fixtures/check/06-broken.kifu:3: the board diagram is not closed"),
            std::string::npos)
      << messages;
  EXPECT_NE(messages.find("kestrane-check: 1 problem file skipped"), std::string::npos);
  // With a page asked for, no table on stdout.
  EXPECT_EQ(slurp(dir / "stdout.txt"), "");

  const std::string page = slurp(html);
  EXPECT_EQ(occurrences(page, "<section class=\"problem\""), 7u);
  EXPECT_EQ(page.find("06-broken"), std::string::npos);
  EXPECT_NE(page.find("<b>1</b>alternate solution"), std::string::npos);
  EXPECT_NE(page.find("<b>1</b>no mate"), std::string::npos);
  EXPECT_NE(page.find("<b>1</b>time-out"), std::string::npos);
  EXPECT_NE(page.find("<b>1</b>longer than stated"), std::string::npos);
  const std::string two = section(page, 1);
  EXPECT_NE(two.find("Alternate solution from ply 1 (▲"), std::string::npos) << two;
  EXPECT_NE(section(page, 2).find("Sound: mate in 3, no alternate solution"), std::string::npos);
  EXPECT_NE(section(page, 2).find("proven shortest"), std::string::npos);
  EXPECT_NE(section(page, 4).find("data-name=\"white-1\""), std::string::npos);
  EXPECT_NE(section(page, 5).find("Mate in 3, longer than the stated 1"), std::string::npos);
  EXPECT_NE(section(page, 7).find("Time-out"), std::string::npos);
}

TEST(CheckReport, HelpSpeaksToComposersAndBadOptionsFail) {
  const std::string bin = KESTRANE_CHECK_BIN;
  const fs::path out = fs::path(testing::TempDir()) / "kestrane_check_help.txt";
  int status = std::system((bin + " --help >" + out.string() + " 2>&1").c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  const std::string help = slurp(out);
  for (const char* word : {"--html FILE", "--tsv FILE", "--md FILE", "--kif DIR", "--limit MS", "--alt-seconds S",
                           "--hash MB", "Example:", "kestrane-check my_problems/ --html report.html"}) {
    EXPECT_NE(help.find(word), std::string::npos) << word;
  }
  // The developers' knobs stay the bench's.
  EXPECT_EQ(help.find("--stage-budget"), std::string::npos);
  EXPECT_EQ(help.find("signature"), std::string::npos);
  for (const std::string& args : {std::string(""), std::string("x --hash 0"), std::string("x --frobnicate"),
                                  std::string("x --limit"), std::string("/nonexistent/folder")}) {
    status = std::system((bin + " " + args + " >" + out.string() + " 2>&1").c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2) << args << ": " << slurp(out);
    EXPECT_EQ(slurp(out).rfind("kestrane-check: ", 0), 0u) << args;
  }
}

}  // namespace

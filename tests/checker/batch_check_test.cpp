// The batch checker over a directory of mixed problem files, run as a
// composer runs it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "problem_formats.h"
#include "support/cp932.h"

namespace {

std::string slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> cells;
  std::stringstream in(line);
  for (std::string cell; std::getline(in, cell, '\t');) cells.push_back(cell);
  return cells;
}

TEST(BatchCheck, DirectoryOfMixedFilesGivesJapaneseLinesAndKifSolutions) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(testing::TempDir()) / "kestrane_batch_check";
  fs::remove_all(dir);
  fs::create_directories(dir / "in");
  // A mate in 3 with two solutions, in Shift-JIS with CR LF as Windows GUIs save it.
  std::ofstream(dir / "in" / "a.kif", std::ios::binary) << to_cp932(
      "手合割：平手\r\n後手の持駒：なし\r\n  ９ ８ ７ ６ ５ ４ ３ ２ １\r\n+---------------------------+\r\n"
      "| ・ ・ ・ ・ ・ ・ 金v角v玉|一\r\n| ・ ・ ・ ・ ・ ・ ・ ・ ・|二\r\n| ・ ・ ・ ・ ・ ・ ・ ・ 桂|三\r\n"
      "| ・ ・ ・ ・ ・ ・ ・ と ・|四\r\n| ・ ・ ・ ・ ・ ・ ・ ・ ・|五\r\n| ・ ・ ・ ・ ・ ・ ・ ・ ・|六\r\n"
      "| ・ ・ ・ ・ ・ ・ ・ ・ ・|七\r\n| ・ ・ ・ ・ ・ ・ ・ ・ ・|八\r\n| ・ ・ ・ ・ ・ ・ ・ ・ ・|九\r\n"
      "+---------------------------+\r\n先手の持駒：なし\r\n");
  // A sound mate in 3 with a pawn drop and a promotion.
  std::ofstream(dir / "in" / "b.csa") << "P1 *  *  *  *  * -FU * +GI-OU\nP2 *  *  *  *  *  *  * +FU * \n"
                                          "P3 *  *  *  *  *  * +FU-HI-KY\nP+00FU\n+\n";
  // A White-to-move mate in one, and a broken file between the good ones.
  std::ofstream(dir / "in" / "c.sfen") << "9/9/9/9/9/9/4p4/9/4K4 w 2R2BG4S4N4L3g17p 1\t1\twhite-1\n";
  std::ofstream(dir / "in" / "b2.kifu") << "後手の持駒：なし\n+---------------------------+\n| ・ ・ ・ ・ ・ ・ ・ ・v玉|一\n";

  const fs::path tsv = dir / "report.tsv", md = dir / "report.md", kif = dir / "kif", err = dir / "stderr.txt";
  const std::string command = std::string(KESTRANE_CHECK_BIN) + " " + (dir / "in").string() + " --tsv " +
                              tsv.string() + " --md " + md.string() + " --kif " + kif.string() +
                              " --hash 16 --alt-seconds 10 2>" + err.string();
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  // Something was skipped: status 1, and the message names the file and line.
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(slurp(err).find((dir / "in" / "b2.kifu").string() + ":3: the board diagram is not closed"),
            std::string::npos)
      << slurp(err);

  std::vector<std::vector<std::string>> rows;
  std::stringstream report(slurp(tsv));
  for (std::string line; std::getline(report, line);) rows.push_back(fields(line));
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0][6], "japanese");
  EXPECT_EQ(rows[1][0], "a");
  EXPECT_EQ(rows[1][5], "3a2a 1a1b B*2c");
  EXPECT_EQ(rows[1][6], "▲２一金 △１二玉 ▲２三角");
  EXPECT_EQ(rows[1][7], "yes");
  EXPECT_EQ(rows[2][0], "b");
  EXPECT_EQ(rows[2][5], "P*1b 1a2b 3c3b+");
  EXPECT_EQ(rows[2][6], "▲１二歩 △２二玉 ▲３二歩成");
  EXPECT_EQ(rows[2][7], "no");
  EXPECT_EQ(rows[3][0], "white-1");
  EXPECT_EQ(rows[3][6], "△５八金");
  const std::string markdown = slurp(md);
  EXPECT_NE(markdown.find("| ▲１二歩 △２二玉 ▲３二歩成 |"), std::string::npos) << markdown;

  // Each solution file opens as the problem's diagram with its moves.
  for (size_t r = 1; r < rows.size(); ++r) {
    const std::string text = slurp(kif / (rows[r][0] + ".kifu"));
    Diagram diagram;
    int known = -1;
    ReadError error;
    ASSERT_TRUE(read_kif(text, diagram, known, error)) << rows[r][0] << ": " << error.message;
    EXPECT_EQ(diagram_to_sfen(diagram), rows[r][1]);
    EXPECT_EQ(std::to_string(known), rows[r][3]);
  }
  EXPECT_NE(slurp(kif / "b.kifu").find("   1 １二歩打\n   2 ２二玉(11)\n   3 ３二歩成(33)\nまで3手で詰み\n"),
            std::string::npos);
  EXPECT_NE(slurp(kif / "white-1.kifu").find("後手番\n"), std::string::npos);
  fs::remove_all(dir);
}

}  // namespace

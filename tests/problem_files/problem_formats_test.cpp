#include "problem_formats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/cp932.h"

namespace {

// A composer's file: headers, a comment, the diagram with a promoted piece
// and a horse of the defender, hands with counts, and a move section.
const std::string KIF_LINES[] = {
    "# ---- Kifu for Windows 棋譜ファイル ----",
    "手合割：平手",
    "作者：テスト",
    "後手の持駒：飛二　角　金三　銀三　桂三　香三　歩十六　",
    "  ９ ８ ７ ６ ５ ４ ３ ２ １",
    "+---------------------------+",
    "| ・ ・ ・ ・ ・ ・ ・v桂v香|一",
    "| ・ ・ ・ ・ ・ ・ ・ ・v玉|二",
    "| ・ ・ ・ ・ ・ ・ 全 ・v歩|三",
    "| ・ ・ ・ ・ ・ ・ ・ ・ ・|四",
    "| ・ ・ ・ ・ ・ ・ ・ ・ ・|五",
    "| ・ ・ ・ ・ ・ ・ ・ ・ ・|六",
    "| ・ ・ ・ ・ ・ ・ ・ ・ ・|七",
    "| ・ ・ ・ ・ ・ ・ ・ ・ ・|八",
    "| ・ ・ ・ ・ ・v馬 ・ ・ ・|九",
    "+---------------------------+",
    "先手の持駒：金　歩　",
    "手数----指手---------消費時間--",
    "   1 ２一銀不成(32)   ( 0:00/00:00:00)",
    "*作意",
    "まで3手で詰み",
};
const char KIF_SFEN[] = "7nl/8k/6+S1p/9/9/9/9/9/5+b3 b GP2rb3g3s3n3l16p 1";

std::string join(const std::string* lines, size_t count, const char* end) {
  std::string text;
  for (size_t i = 0; i < count; ++i) text += lines[i] + end;
  return text;
}

std::string kif_text(const char* end = "\n") { return join(KIF_LINES, std::size(KIF_LINES), end); }

std::string read_kif_sfen(const std::string& bytes, int* known = nullptr) {
  Diagram d;
  int length = -2;
  ReadError error;
  if (!read_kif(text_to_utf8(bytes), d, length, error)) return "error " + std::to_string(error.line) + ": " + error.message;
  if (known) *known = length;
  return diagram_to_sfen(d);
}

std::string read_csa_sfen(const std::string& text) {
  Diagram d;
  ReadError error;
  if (!read_csa(text, d, error)) return "error " + std::to_string(error.line) + ": " + error.message;
  return diagram_to_sfen(d);
}

// A problem with a move section: a promotion, recaptures by 同, a drop, a
// declined promotion, a comment and the times of a GUI.
const std::string MOVES_LINES[] = {
    "後手の持駒：なし",
    "  ９ ８ ７ ６ ５ ４ ３ ２ １",
    "+---------------------------+",
    "| ・ ・ ・ ・ ・ ・ ・ ・v香|一",
    "| ・ ・ ・ ・ ・ ・ ・ ・v玉|二",
    "| ・ ・ ・ ・ ・ ・ ・ ・ ・|三",
    "| ・ ・ ・ ・ ・ ・ ・ ・ ・|四",
    "| ・ ・ ・ ・ ・ ・ 桂 ・ ・|五",
    "| ・ ・ ・ ・ ・ 角 ・ ・ ・|六",
    "| ・ ・ ・ ・ ・ ・ ・ ・ ・|七",
    "| ・ ・ ・ ・ ・ ・ ・ ・ ・|八",
    "| ・ ・ ・ ・ ・ ・ ・ ・ ・|九",
    "+---------------------------+",
    "先手の持駒：金",
    "手数----指手---------消費時間--",
    "   1 ２三桂成(35)   ( 0:00/00:00:00)",
    "   2 同　玉(12)   ( 0:01/00:00:01)",
    "   3 ３四金打   ( 0:00/00:00:01)+",
    "*合駒なし",
    "   4 ２二玉(23)",
    "   5 １三角不成(46)",
    "   6 同　香(11)",
    "   7 ２三金(34)",
    "   8 詰み",
    "まで7手で詰み",
};
const std::vector<std::string> MOVES_USI = {"3e2c+", "1b2c", "G*3d", "2c2b", "4f1c", "1a1c", "3d2c"};
constexpr size_t FIRST_MOVE_LINE = 15;

// The stated line of a KIF file, with its position and known length.
std::vector<std::string> kif_stated(const std::string& bytes, std::string* sfen = nullptr, int* known = nullptr) {
  Diagram d;
  int length = -2;
  ReadError error;
  std::vector<std::string> stated = {"not cleared"};
  if (!read_kif(text_to_utf8(bytes), d, length, error, &stated)) return {"error: " + error.message};
  if (sfen) *sfen = diagram_to_sfen(d);
  if (known) *known = length;
  return stated;
}

TEST(KifReader, BothEncodingsAndLineEndsGiveOnePosition) {
  int known = 0;
  EXPECT_EQ(read_kif_sfen(kif_text(), &known), KIF_SFEN);
  EXPECT_EQ(known, 3);
  bool shift_jis = true;
  text_to_utf8(kif_text(), &shift_jis);
  EXPECT_FALSE(shift_jis);
  EXPECT_EQ(read_kif_sfen("\xEF\xBB\xBF" + kif_text("\r\n")), KIF_SFEN);
  const std::string sjis = to_cp932(kif_text("\r\n"));
  ASSERT_FALSE(sjis.empty());
  text_to_utf8(sjis, &shift_jis);
  EXPECT_TRUE(shift_jis);
  EXPECT_EQ(read_kif_sfen(sjis, &known), KIF_SFEN);
  EXPECT_EQ(known, 3);
  EXPECT_EQ(read_kif_sfen(to_cp932(kif_text("\n"))), KIF_SFEN);
  // A lone CR as the line end.
  EXPECT_EQ(read_kif_sfen(kif_text("\r")), KIF_SFEN);
}

TEST(KifReader, WhiteToMoveAndTheRestOfTheSet) {
  // White attacks; the defender's (Black's) hand is "the rest".
  const std::string lines[] = {
      "後手の持駒：金　",
      "+---------------------------+",
      "| ・ ・ ・ ・ ・ ・ ・ ・ ・|一",
      "| ・ ・ ・ ・ ・ ・ ・ ・ ・|二",
      "| ・ ・ ・ ・ ・ ・ ・ ・ ・|三",
      "| ・ ・ ・ ・ ・ ・ ・ ・ ・|四",
      "| ・ ・ ・ ・ ・ ・ ・ ・ ・|五",
      "| ・ ・ ・ ・ ・ ・ ・ ・ ・|六",
      "| ・ ・ ・ ・v歩 ・ ・ ・ ・|七",
      "| ・ ・ ・ ・ ・ ・ ・ ・ ・|八",
      "| ・ ・ ・ ・ 玉 ・ ・ ・ ・|九",
      "+---------------------------+",
      "先手の持駒：残り全部",
      "後手番",
  };
  const std::string text = join(lines, std::size(lines), "\n");
  EXPECT_EQ(read_kif_sfen(text), "9/9/9/9/9/9/4p4/9/4K4 w 2R2B3G4S4N4L17Pg 1");
  // Without the defender's line the defender holds the rest as well.
  EXPECT_EQ(read_kif_sfen(join(lines, std::size(lines), "\n").replace(text.find("先手の持駒"), 
                                                                       std::string("先手の持駒：残り全部").size(), "")),
            "9/9/9/9/9/9/4p4/9/4K4 w 2R2B3G4S4N4L17Pg 1");
  // Counts up to eighteen.
  std::string full = text;
  full.replace(full.find("金　"), std::string("金　").size(), "歩十七");
  EXPECT_EQ(read_kif_sfen(full), "9/9/9/9/9/9/4p4/9/4K4 w 2R2B4G4S4N4L17p 1");
}

TEST(KifReader, MalformedFilesNameTheLine) {
  const auto with = [](size_t index, const std::string& line) {
    std::vector<std::string> lines(std::begin(KIF_LINES), std::end(KIF_LINES));
    lines[index] = line;
    return join(lines.data(), lines.size(), "\n");
  };
  EXPECT_EQ(read_kif_sfen(with(8, "| ・ ・ ・ ・ ・ ・ 全 ・|三")), "error 9: board row 3: the board row has 8 squares, not 9");
  EXPECT_EQ(read_kif_sfen(with(8, "| ・ ・ ・ ・ ・ ・ 全 ・v歩 ・|三")),
            "error 9: board row 3: the board row has more than 9 squares");
  EXPECT_EQ(read_kif_sfen(with(8, "| ・ ・ ・ ・ ・ ・ 猫 ・v歩|三")),
            "error 9: board row 3: square 7 of the row holds '猫', not a piece");
  EXPECT_EQ(read_kif_sfen(with(8, "| ・ ・ ・ ・ ・ ・x全 ・v歩|三")),
            "error 9: board row 3: square 7 of the row starts with 'x', not a blank or 'v'");
  EXPECT_EQ(read_kif_sfen(with(3, "後手の持駒：玉")),
            "error 4: a hand holds '玉', not a piece that can be in hand");
  EXPECT_EQ(read_kif_sfen(with(16, "先手の持駒：角三")), "error 17: a hand holds 3 角, more than a set has");
  EXPECT_EQ(read_kif_sfen(with(16, "先手の持駒：飛")),
            "error 21: the board and the hands hold more 飛 (HI) than a set has");
  EXPECT_EQ(read_kif_sfen(with(9, "+---------------------------+")), "error 10: the board has 3 rows, not 9");
  EXPECT_EQ(read_kif_sfen(with(15, "| ・ ・ ・ ・ ・ ・ ・ ・ ・|十")), "error 16: the board has more than 9 rows");
  std::vector<std::string> lines(std::begin(KIF_LINES), std::begin(KIF_LINES) + 4);
  EXPECT_EQ(read_kif_sfen(join(lines.data(), lines.size(), "\n")),
            "error 4: no board diagram (nine rows between +---+ lines)");
  lines.assign(std::begin(KIF_LINES), std::begin(KIF_LINES) + 10);
  EXPECT_EQ(read_kif_sfen(join(lines.data(), lines.size(), "\n")),
            "error 10: the board diagram is not closed by a +---+ line");
}

TEST(KifStatedLine, TheMoveSectionInUsiInBothEncodings) {
  const std::string text = join(MOVES_LINES, std::size(MOVES_LINES), "\n");
  int known = 0;
  EXPECT_EQ(kif_stated(text, nullptr, &known), MOVES_USI);
  EXPECT_EQ(known, 7);
  EXPECT_EQ(kif_stated(to_cp932(join(MOVES_LINES, std::size(MOVES_LINES), "\r\n"))), MOVES_USI);
  // Other endings of the main line, also read from Shift-JIS.
  for (const char* ending : {"   8 投了", "   8 中断", "   8 千日手"}) {
    std::vector<std::string> lines(std::begin(MOVES_LINES), std::end(MOVES_LINES));
    lines[FIRST_MOVE_LINE + 8] = ending;
    EXPECT_EQ(kif_stated(to_cp932(join(lines.data(), lines.size(), "\r\n"))), MOVES_USI) << ending;
  }
  // Promoted pieces by their two-character names, and 同 without a blank.
  std::vector<std::string> lines(std::begin(MOVES_LINES), std::begin(MOVES_LINES) + FIRST_MOVE_LINE);
  lines[7] = "| ・ ・ ・ ・ ・ ・ 全 ・ ・|五";
  lines.insert(lines.end(), {"   1 ２四成銀(35)", "   2 同玉(23)"});
  lines[4] = "| ・ ・ ・ ・ ・ ・ ・ ・ ・|二";
  lines[5] = "| ・ ・ ・ ・ ・ ・ ・v玉 ・|三";
  EXPECT_EQ(kif_stated(join(lines.data(), lines.size(), "\n")), (std::vector<std::string>{"3e2d", "2c2d"}));
}

TEST(KifStatedLine, OnlyTheMainLineBeforeItsBranches) {
  std::vector<std::string> lines(std::begin(MOVES_LINES), std::end(MOVES_LINES));
  lines.insert(lines.end(), {"", "変化：4手", "   4 １二玉(23)", "   5 ２二金(34)", "まで5手で詰み"});
  int known = 0;
  EXPECT_EQ(kif_stated(join(lines.data(), lines.size(), "\n"), nullptr, &known), MOVES_USI);
  EXPECT_EQ(known, 7);
  EXPECT_EQ(kif_stated(to_cp932(join(lines.data(), lines.size(), "\r\n")), nullptr, &known), MOVES_USI);
  EXPECT_EQ(known, 7);
}

TEST(KifStatedLine, AMoveThatCannotBeReadLeavesNoLineButThePosition) {
  std::string position;
  kif_stated(join(MOVES_LINES, std::size(MOVES_LINES), "\n"), &position);
  // Each replaces the move of its number.
  const std::pair<int, const char*> broken[] = {
      {1, "   1 ２三猫成(35)"},   // not a piece
      {1, "   1 同　桂成(35)"},   // 同 before any move
      {1, "   1 ２三桂成(36)"},   // nothing on the origin
      {1, "   1 ２三桂成(3"},     // the origin cut short
      {1, "   1 ２三桂成(35)x"},  // something after the move
      {1, "   1 ２三桂成"},       // a board move without its origin
      {3, "   3 ３四銀打"},       // not in hand
      {3, "   3 ２三金打"},       // onto the king
      {3, "   4 ３四金打"},       // a number out of turn
      {5, "   5 ３七角成(46)"},   // promoting outside the zone
      {5, "   5 ３四角(46)"},     // onto its own gold
      {6, "   6 同　玉成(22)"},   // a king does not promote
      {7, "   7 ２三金成(34)"},   // nor does a gold
  };
  for (const auto& [number, line] : broken) {
    std::vector<std::string> lines(std::begin(MOVES_LINES), std::end(MOVES_LINES));
    const std::string prefix = "   " + std::to_string(number) + " ";
    *std::find_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }) = line;
    std::string sfen;
    EXPECT_EQ(kif_stated(join(lines.data(), lines.size(), "\n"), &sfen), std::vector<std::string>{}) << line;
    EXPECT_EQ(sfen, position) << line;
  }
}

TEST(KifReader, GarbageNeverReadsOutOfBounds) {
  // Cut at every length, in both encodings, and with stray bytes: each
  // either reads or names a line; the sanitizers watch the bounds.
  const std::string texts[] = {kif_text(), to_cp932(kif_text("\r\n")), join(MOVES_LINES, std::size(MOVES_LINES), "\n"),
                               to_cp932(join(MOVES_LINES, std::size(MOVES_LINES), "\r\n"))};
  for (const std::string& text : texts) {
    for (size_t cut = 0; cut <= text.size(); ++cut) {
      Diagram d;
      int known;
      ReadError error;
      std::vector<std::string> stated;
      if (!read_kif(text_to_utf8(text.substr(0, cut)), d, known, error, &stated)) {
        EXPECT_GT(error.line, 0) << cut;
        EXPECT_TRUE(stated.empty()) << cut;
      }
      EXPECT_LE(stated.size(), MOVES_USI.size()) << cut;
    }
  }
  std::string noise;
  for (int i = 0; i < 4096; ++i) noise += static_cast<char>((i * 7919 + 13) & 0xFF);
  Diagram d;
  int known;
  ReadError error;
  EXPECT_FALSE(read_kif(text_to_utf8(noise), d, known, error));
  std::vector<std::string> stated;
  EXPECT_FALSE(read_csa(noise, d, error, &stated));
  EXPECT_TRUE(stated.empty());
  EXPECT_EQ(text_to_utf8("\x82"), "\xEF\xBF\xBD");  // a lead byte at the very end
}

TEST(CsaReader, RowsHandsTheRestAndTheSide) {
  const std::string csa =
      "V2.2\n"
      "N+composer\n"
      "'a comment\n"
      "P1 *  *  *  *  *  *  * -KE-KY\n"
      "P2 *  *  *  *  *  *  *  * -OU\n"
      "P3 *  *  *  *  *  * +NG * -FU\n"
      "P4 *  *  *  *  *  *  *  *  * \n"
      "P5 *  *  *  *  *  *  *  *  *\n"
      "P6 *  *  *  *  *  *  *  *  * \n"
      "P7 *  *  *  *  *  *  *  *  * \n"
      "P8 *  *  *  *  *  *  *  *  * \n"
      "P9 *  *  *  *  * -UM *  *  * \n"
      "P+00KI00FU\n"
      "P-00AL\n"
      "+\n"
      "+3221GI\n";
  EXPECT_EQ(read_csa_sfen(csa), KIF_SFEN);
  EXPECT_EQ(read_csa_sfen(csa.substr(0, csa.find("P+00KI")) + "P+00KI,P+00FU\r\nP-00AL\r\n+\r\n"), KIF_SFEN);
  // Single pieces on squares, and White to move.
  EXPECT_EQ(read_csa_sfen("P-57FU\nP+59OU\nP-00KI\nP+00AL\n-\n"), "9/9/9/9/9/9/4p4/9/4K4 w 2R2B3G4S4N4L17Pg 1");
  // The starting position less the pieces listed.
  EXPECT_EQ(read_csa_sfen("PI82HI22KA\n+\n"),
            "lnsgkgsnl/9/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1");
}

TEST(CsaReader, MovesWithADropAndAPromotion) {
  // The position of the KIF move section above, its moves in CSA.
  const std::string position =
      "P1 *  *  *  *  *  *  *  * -KY\n"
      "P2 *  *  *  *  *  *  *  * -OU\n"
      "P5 *  *  *  *  *  * +KE *  * \n"
      "P6 *  *  *  *  * +KA *  *  * \n"
      "P+00KI\n"
      "+\n";
  const std::string moves = "+3523NK,T3\n-1223OU\nT1\n'a comment\n+0034KI\n-2322OU\n+4613KA\n-1113KY\n+3423KI\n";
  const auto stated = [](const std::string& text) {
    Diagram d;
    ReadError error;
    std::vector<std::string> line = {"not cleared"};
    if (!read_csa(text, d, error, &line)) return std::vector<std::string>{"error: " + error.message};
    return line;
  };
  EXPECT_EQ(stated(position + moves + "%TSUMI\n-2223OU\n"), MOVES_USI);
  EXPECT_EQ(stated(position + moves), MOVES_USI);
  EXPECT_EQ(stated(position), std::vector<std::string>{});
  // The knight taken on 2c is White's to drop, and only that.
  const std::string capture = position + "+3523NK\n-1223OU\n+0034KI\n";
  EXPECT_EQ(stated(capture + "-0033KE\n"), (std::vector<std::string>{"3e2c+", "1b2c", "G*3d", "N*3c"}));
  EXPECT_EQ(stated(capture + "-0033NK\n"), std::vector<std::string>{});
  EXPECT_EQ(stated(capture + "-0033KY\n"), std::vector<std::string>{});
  const std::string sfen = read_csa_sfen(position);
  for (const char* broken : {"+3523TO\n",             // a knight does not become a tokin
                             "-3523NK\n",             // not White's turn
                             "+3623NK\n",             // nothing on the origin
                             "+0034GI\n",             // not in hand
                             "+3523NKX\n",            // not a move
                             "+3523NK\n-1223OU\n+0034KI\n-2322OU\n+4622KA\n",  // onto the king
                             "+3523NK\n-1211OU\n"}) {  // onto its own lance
    EXPECT_EQ(stated(position + broken), std::vector<std::string>{}) << broken;
    EXPECT_EQ(read_csa_sfen(position + broken), sfen) << broken;
  }
}

TEST(CsaReader, MalformedFilesNameTheLine) {
  EXPECT_EQ(read_csa_sfen("P1 *  * +XX\n+\n"), "error 1: square 3 of row P1 is '+XX', not ' * ', '+XX' or '-XX'");
  EXPECT_EQ(read_csa_sfen("P1 *  *  *  *  *  *  *  *  * -FU\n+\n"), "error 1: row P1 has more than 9 squares");
  EXPECT_EQ(read_csa_sfen("P+00OU\n+\n"), "error 1: '00OU' is not a square or hand (00) and a piece");
  EXPECT_EQ(read_csa_sfen("P+00K\n+\n"), "error 1: 'P+00K' is not made of four-character pieces such as 00FU");
  EXPECT_EQ(read_csa_sfen("P-51OU\nP+00KI\n"), "error 2: no side-to-move line ('+' or '-')");
  EXPECT_EQ(read_csa_sfen("V2.2\n+\n"), "error 2: the side to move comes before any position line");
  EXPECT_EQ(read_csa_sfen("hello\n"), "error 1: 'hello' is not a CSA position line");
  EXPECT_EQ(read_csa_sfen(""), "error 1: no position (P1..P9, PI or P+/P- lines)");
  EXPECT_EQ(read_csa_sfen("P+00KI00KI00KI\nP-00KI00KI\n+\n"),
            "error 3: the board and the hands hold more 金 (KI) than a set has");
}

TEST(KifWriter, SfenToKifAndBackGivesTheSamePosition) {
  const char* sfens[] = {
      KIF_SFEN,
      "9/9/9/9/9/9/4p4/9/4K4 w 2R2B3G4S4N4L17Pg 1",
      "ln1g+R3+P/2sk5/ppppp+Bppp/9/4N4/9/PPPPPPPP1/9/LNSGKGS1L b Rp 1",
      "4k4/9/9/9/9/9/9/9/9 b 18P2r2b4g4s4n4l 1",
      "4k4/9/9/9/9/9/9/9/9 b - 1",
  };
  for (const char* sfen : sfens) {
    Diagram d;
    std::string why;
    ASSERT_TRUE(diagram_from_sfen(sfen, d, why)) << sfen << ": " << why;
    EXPECT_EQ(diagram_to_sfen(d), sfen);
    const std::string kif = kif_solution(d, "t", {"５二金打", "同　玉(51)"});
    EXPECT_NE(kif.find("\n   1 ５二金打\n   2 同　玉(51)\nまで2手で詰み\n"), std::string::npos) << kif;
    int known = -2;
    EXPECT_EQ(read_kif_sfen(kif, &known), sfen);
    EXPECT_EQ(known, 2);
    // The same file saved by a Windows GUI: Shift-JIS, CR LF.
    std::string crlf;
    for (char c : kif) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(read_kif_sfen(to_cp932(crlf)), sfen);
  }
  Diagram d;
  std::string why;
  EXPECT_FALSE(diagram_from_sfen("9/9/9 b - 1", d, why));
  EXPECT_FALSE(diagram_from_sfen("4k4/9/9/9/9/9/9/9/9 b 19p 1", d, why));
  EXPECT_FALSE(diagram_from_sfen("4k4/9/9/9/9/9/9/9/+G8 b - 1", d, why));
  EXPECT_FALSE(diagram_from_sfen("4k4/9/9/9/9/9/9/9/9 x - 1", d, why));
}

TEST(KifWriter, BranchesFollowTheMainLineDeepestFirstAndReadBackAsIt) {
  Diagram d;
  std::string why;
  ASSERT_TRUE(diagram_from_sfen("6Gbk/9/8N/7+P1/9/9/9/9/9 b - 1", d, why)) << why;
  const std::vector<std::string> main_line = {"２一金(31)", "１二玉(11)", "２三角打"};
  // Two branches at ply 1 and one at ply 3, given out of order; one beyond
  // the line's end and one without moves are left out.
  const std::vector<KifBranch> branches = {{1, {"２一桂成(13)", "１二玉(11)", "２三角打"}},
                                           {3, {"１三角打"}},
                                           {1, {"２一桂不成(13)", "１二玉(11)", "２三角打"}},
                                           {9, {"１三角打"}},
                                           {2, {}}};
  const std::string kif = kif_solution(d, "t", main_line, branches);
  const size_t ply3 = kif.find("変化：3手"), first = kif.find("変化：1手"), second = kif.find("変化：1手", first + 1);
  ASSERT_NE(ply3, std::string::npos) << kif;
  ASSERT_NE(second, std::string::npos) << kif;
  EXPECT_LT(kif.find("まで3手で詰み"), ply3);
  EXPECT_LT(ply3, first);
  EXPECT_EQ(kif.find("変化：9手"), std::string::npos);
  EXPECT_EQ(kif.find("変化：2手"), std::string::npos);
  // The main line's moves that a branch follows carry "+", and so does the
  // first of two branches of one ply.
  EXPECT_NE(kif.find("   1 ２一金(31)+\n"), std::string::npos) << kif;
  EXPECT_NE(kif.find("   3 ２三角打+\n"), std::string::npos) << kif;
  EXPECT_NE(kif.find("   1 ２一桂成(13)+\n", first), std::string::npos) << kif;
  EXPECT_NE(kif.find("   1 ２一桂不成(13)\n", second), std::string::npos) << kif;
  // Read back, the file is the main line as the stated line.
  Diagram back;
  int known = -1;
  ReadError error;
  std::vector<std::string> stated;
  ASSERT_TRUE(read_kif(kif, back, known, error, &stated)) << error.message;
  EXPECT_EQ(known, 3);
  EXPECT_EQ(stated, (std::vector<std::string>{"3a2a", "1a1b", "B*2c"}));
}

TEST(ProblemDirectory, MixedFilesInNameOrderWithTheBrokenOneReported) {
  const std::filesystem::path dir = std::filesystem::path(testing::TempDir()) / "kestrane_problem_dir";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const auto write = [&](const char* name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
  };
  write("c.kif", to_cp932(kif_text("\r\n")));
  write("a.csa", "P-57FU\nP+59OU\nP-00KI\nP+00AL\n-\n-0058KI\n%TORYO\n");
  write("b.sfen", "# two lines\n4k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1\t1\tregression-1\n"
                  "position sfen 8k/9/9/9/9/9/9/9/9 b G 1\n");
  write("d.kifu", "後手の持駒：なし\n+---------------------------+\n| ・ ・|一\n");
  write("notes.txt", "not a problem");
  std::vector<ProblemEntry> problems;
  std::vector<std::string> errors;
  ASSERT_TRUE(load_problems(dir.string(), problems, errors));
  ASSERT_EQ(problems.size(), 4u);
  EXPECT_EQ(problems[0].name, "a");
  EXPECT_EQ(problems[0].sfen, "9/9/9/9/9/9/4p4/9/4K4 w 2R2B3G4S4N4L17Pg 1");
  EXPECT_EQ(problems[0].stated, std::vector<std::string>{"G*5h"});
  EXPECT_TRUE(problems[1].stated.empty());
  EXPECT_EQ(problems[1].name, "regression-1");
  EXPECT_EQ(problems[2].name, "b-2");
  EXPECT_EQ(problems[2].sfen, "8k/9/9/9/9/9/9/9/9 b G 1");
  EXPECT_EQ(problems[3].name, "c");
  EXPECT_EQ(problems[3].sfen, KIF_SFEN);
  EXPECT_EQ(problems[3].known, "3");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], (dir / "d.kifu").string() + ":3: board row 1: the board row has 2 squares, not 9");
  EXPECT_FALSE(load_problems((dir / "missing").string(), problems, errors));
  std::filesystem::remove_all(dir);
}

}  // namespace

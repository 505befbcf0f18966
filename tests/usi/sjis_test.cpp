// The Japanese sentences are stored as Shift-JIS bytes; check them against
// the system's own code page 932 conversion of the readable text.
#include <gtest/gtest.h>

#include "support/cp932.h"
#include <iconv.h>

#include <string>

#include "usi/command_loop.h"

namespace {


TEST(ShiftJis, SorrySentencesAreCodePage932) {
  struct Case {
    const char* stored;
    const char* utf8;
  };
  const Case cases[] = {
      {SORRY_POSITION_SJIS, "Kestraneは指し将棋の局面指定は非対応です。"},
      {SORRY_GO_SJIS, "Kestraneは指し将棋の思考は非対応です。"},
      {SORRY_GO_PONDER_SJIS, "Kestraneは指し将棋の先読みは非対応です。"},
      {SORRY_STOP_SJIS, "Kestraneは指し将棋の思考中断は非対応です。"},
      {SORRY_PONDERHIT_SJIS, "Kestraneは指し将棋の予想手は非対応です。"},
  };
  for (const Case& c : cases) {
    std::string expected = to_cp932(c.utf8);
    EXPECT_FALSE(expected.empty());
    EXPECT_EQ(std::string(c.stored), expected) << c.utf8;
  }
}

}  // namespace

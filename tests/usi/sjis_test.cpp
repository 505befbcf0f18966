// The Japanese sentences are stored as Shift-JIS bytes; check them against
// the system's own code page 932 conversion of the readable text.
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

#include "usi/command_loop.h"

namespace {

std::string to_cp932(const std::string& utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    ADD_FAILURE() << "no UTF-8 to CP932 conversion available";
    return {};
  }
  std::string in = utf8;
  std::string out(in.size() * 2 + 16, '\0');
  char* in_ptr = in.data();
  std::size_t in_left = in.size();
  char* out_ptr = out.data();
  std::size_t out_left = out.size();
  std::size_t rc = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
  iconv_close(cd);
  if (rc == static_cast<std::size_t>(-1) || in_left != 0) {
    ADD_FAILURE() << "conversion failed for " << utf8;
    return {};
  }
  out.resize(out.size() - out_left);
  return out;
}

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

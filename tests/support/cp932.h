// The system's own UTF-8 to code page 932 (Shift-JIS) conversion, for tests
// that check the engine's stored Japanese bytes.
#pragma once

#include <iconv.h>

#include <string>

#include <gtest/gtest.h>

inline std::string to_cp932(const std::string& utf8) {
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

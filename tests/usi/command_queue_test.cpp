#include "usi/command_queue.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"

namespace {

// Writes `bytes` to a temporary file and reads it back line by line.
std::vector<std::string> read_all(const std::string& bytes) {
  std::FILE* in = std::tmpfile();
  EXPECT_NE(in, nullptr);
  if (in == nullptr) return {};
  std::fwrite(bytes.data(), 1, bytes.size(), in);
  std::rewind(in);
  std::vector<std::string> lines;
  std::string line;
  while (read_input_line(in, line)) lines.push_back(line);
  // End of input stays the end.
  EXPECT_FALSE(read_input_line(in, line));
  std::fclose(in);
  return lines;
}

using Lines = std::vector<std::string>;

TEST(ReadInputLine, LineEndings) {
  EXPECT_EQ(read_all("usi\nisready\n"), (Lines{"usi", "isready"}));
  EXPECT_EQ(read_all("usi\r\nisready\r\n"), (Lines{"usi", "isready"}));
  EXPECT_EQ(read_all("\n\r\n"), (Lines{"", ""}));
  EXPECT_EQ(read_all("go mate 5000"), (Lines{"go mate 5000"}));
  EXPECT_EQ(read_all("stop\r"), (Lines{"stop"}));
  EXPECT_EQ(read_all(""), Lines{});
  // Only one CR, and only directly before the line feed, belongs to the
  // ending; any other CR is part of the line.
  EXPECT_EQ(read_all("a\rb\n"), (Lines{"a\rb"}));
  EXPECT_EQ(read_all("a\r\r\n"), (Lines{"a\r"}));
  EXPECT_EQ(read_all("\rusi\n"), (Lines{"\rusi"}));
}

TEST(ReadInputLine, ControlBytesKept) {
  std::string text("is\0ready\n\x01\x1b\xff\n", 13);
  Lines lines = read_all(text);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], std::string("is\0ready", 8));
  EXPECT_EQ(lines[1], "\x01\x1b\xff");
  EXPECT_EQ(read_all(std::string("\0\n", 2)), (Lines{std::string(1, '\0')}));
}

TEST(ReadInputLine, LongLinesArriveInPieces) {
  const std::size_t piece = LINE_BUFFER_SIZE - 1;
  ASSERT_EQ(piece, 9999u);

  std::string body;
  for (int i = 0; i < 20000; ++i) body.push_back(static_cast<char>('a' + i % 26));
  Lines lines = read_all(body + "\nisready\n");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], body.substr(0, piece));
  EXPECT_EQ(lines[1], body.substr(piece, piece));
  EXPECT_EQ(lines[2], body.substr(2 * piece));
  EXPECT_EQ(lines[3], "isready");

  // The line feed counts against the read, so 9,998 bytes fit in one piece
  // and 9,999 bytes are followed by an empty line; CR LF cuts the same way.
  std::string fits(piece - 1, 'x');
  std::string full(piece, 'y');
  EXPECT_EQ(read_all(fits + "\n"), (Lines{fits}));
  EXPECT_EQ(read_all(fits + "\r\n"), (Lines{fits}));
  EXPECT_EQ(read_all(full + "\n"), (Lines{full, ""}));
  EXPECT_EQ(read_all(full + "\r\n"), (Lines{full, ""}));
  // A CR that is not followed by a line feed stays in the piece.
  EXPECT_EQ(read_all(fits + "\rz\n"), (Lines{fits + "\r", "z"}));
}

TEST(ReadInputLine, WorksOnMemoryStream) {
  char text[] = "position sfen 9/9/9/9/9/9/9/9/9 b - 1\r\ngo mate 1\n";
  std::FILE* in = fmemopen(text, sizeof text - 1, "r");
  ASSERT_NE(in, nullptr);
  std::string line;
  ASSERT_TRUE(read_input_line(in, line));
  EXPECT_EQ(line, "position sfen 9/9/9/9/9/9/9/9/9 b - 1");
  ASSERT_TRUE(read_input_line(in, line));
  EXPECT_EQ(line, "go mate 1");
  EXPECT_FALSE(read_input_line(in, line));
  std::fclose(in);
}

// The next queued line; fails the test at the end of input.
std::string pop() {
  std::string line;
  uint64_t number = 0;
  EXPECT_TRUE(pop_line(line, number)) << "end of input where a line was expected";
  return line;
}

void drain() {
  queue_create_lock();
  std::string line;
  while (try_pop_line(line)) {
  }
}

TEST(CommandQueue, FirstInFirstOut) {
  drain();
  std::string line;
  EXPECT_FALSE(try_pop_line(line));

  push_line("usi");
  push_line("");
  push_line(std::string("a\0b", 3));
  push_line("isready");
  EXPECT_EQ(pop(), "usi");
  ASSERT_TRUE(try_pop_line(line));
  EXPECT_EQ(line, "");
  EXPECT_EQ(pop(), std::string("a\0b", 3));
  push_line("stop");
  EXPECT_EQ(pop(), "isready");
  EXPECT_EQ(pop(), "stop");
  EXPECT_FALSE(try_pop_line(line));
}

TEST(CommandQueue, EndOfInputComesAfterTheLinesBeforeIt) {
  drain();
  // Lines are numbered in the order pushed, the end of input included, and
  // each line is popped with its own number.
  const uint64_t first = push_line("usi");
  const uint64_t second = push_line("go mate 1000");
  const uint64_t end = push_end_of_input();
  EXPECT_EQ(second, first + 1);
  EXPECT_EQ(end, second + 1);
  std::string line;
  uint64_t number = 0;
  ASSERT_TRUE(pop_line(line, number));
  EXPECT_EQ(line, "usi");
  EXPECT_EQ(number, first);
  ASSERT_TRUE(pop_line(line, number));
  EXPECT_EQ(line, "go mate 1000");
  EXPECT_EQ(number, second);
  EXPECT_FALSE(pop_line(line, number));
  EXPECT_EQ(number, end);
  // The end is taken out with that pop: the queue is empty again.
  EXPECT_FALSE(try_pop_line(line));
}

TEST(CommandQueue, PopWaitsForLineFromAnotherThread) {
  drain();
  std::string line;
  std::thread producer([] {
    platform_sleep_ms(50);
    for (int i = 0; i < 1000; ++i) push_line(std::to_string(i));
    push_end_of_input();
  });
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(pop(), std::to_string(i));
  uint64_t number = 0;
  EXPECT_FALSE(pop_line(line, number));
  producer.join();
  EXPECT_FALSE(try_pop_line(line));
}

}  // namespace

// Which requests a "stop", "quit" or the end of input ends, whatever the
// moment the reader records it.
#include "solve/stop_request.h"

#include <gtest/gtest.h>

#include "search/search_state.h"

namespace {

constexpr uint32_t START = 5000;

class StopRequest : public testing::Test {
 protected:
  void SetUp() override {
    reset_stop_requests();
    time_limit_ms = 1000;
  }
  void TearDown() override {
    reset_stop_requests();
    time_limit_ms = 0;
  }
  // The request's first clock check at START starts its grace; later checks
  // come well past it.
  static void begin(uint64_t line_number) {
    begin_stoppable_request(line_number);
    stop_due(START);
  }
  static bool due() { return stop_due(START + STOP_GRACE_MS + 1000); }
};

TEST_F(StopRequest, AStopEndsTheRequestsBeforeItOnly) {
  // Line 7 is "go mate", line 8 "stop": the running request ends.
  begin(7);
  EXPECT_FALSE(due());
  record_stop_line(8);
  EXPECT_TRUE(due());
  EXPECT_TRUE(request_stopped());
  EXPECT_TRUE(stop_line_taken(8));

  // The stop came after that answer and before the next request (line 9):
  // nothing for it to end there.
  begin(9);
  EXPECT_FALSE(due());
  EXPECT_FALSE(request_stopped());

  // A stop line that no request took gets its own reply.
  record_stop_line(10);
  EXPECT_FALSE(stop_line_taken(10));
  // Numbers only grow: a late record of an older line changes nothing.
  record_stop_line(8);
  EXPECT_TRUE(due());
  EXPECT_TRUE(stop_line_taken(10));
}

TEST_F(StopRequest, ARequestIsGivenItsGraceFirst) {
  begin_stoppable_request(3);
  record_stop_line(4);
  // The first check starts the grace, however late it comes.
  EXPECT_FALSE(stop_due(START));
  EXPECT_FALSE(stop_due(START + STOP_GRACE_MS - 1));
  EXPECT_FALSE(request_stopped());
  EXPECT_TRUE(stop_due(START + STOP_GRACE_MS));
  // The clock wraps at 32 bits; the grace is a difference. Each request has
  // its own.
  begin_stoppable_request(5);
  record_stop_line(6);
  EXPECT_FALSE(stop_due(0xFFFFFFF0u));
  EXPECT_FALSE(stop_due(0xFFFFFFF0u + 20));
  EXPECT_TRUE(stop_due(0xFFFFFFF0u + STOP_GRACE_MS));
}

TEST_F(StopRequest, EndOfInputEndsOnlyWhatHasNoLimit) {
  begin(3);
  record_end_of_input();
  EXPECT_FALSE(due());  // a limited request keeps its limit
  time_limit_ms = 0;
  EXPECT_TRUE(due());
  EXPECT_TRUE(request_stopped());
  EXPECT_FALSE(stop_line_taken(4));  // no stop line was taken for it
}

TEST_F(StopRequest, UnnumberedRequestsAreNeverStopped) {
  // The bench and in-process callers have no input lines.
  record_stop_line(100);
  record_end_of_input();
  time_limit_ms = 0;
  begin(0);
  EXPECT_FALSE(due());
  EXPECT_FALSE(stop_line_taken(0));
}

TEST_F(StopRequest, WhetherARequestFollows) {
  begin_stoppable_request(5);
  record_request_line(5);
  EXPECT_FALSE(no_request_follows());  // more input may come
  record_request_line(9);
  record_end_of_input();
  EXPECT_FALSE(no_request_follows());  // line 9 is still queued
  begin_stoppable_request(9);
  EXPECT_TRUE(no_request_follows());
}

}  // namespace

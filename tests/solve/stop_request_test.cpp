// Which requests a "stop", "quit" or the end of input ends, whatever the
// moment the reader records it.
#include "solve/stop_request.h"

#include <gtest/gtest.h>

#include "solve/search_state.h"

namespace {

constexpr uint32_t START = 5000;

class StopRequest : public testing::Test {
 protected:
  void SetUp() override {
    reset_stop_requests();
    search_start_ms = START;
    time_limit_ms = 1000;
  }
  void TearDown() override {
    reset_stop_requests();
    time_limit_ms = 0;
  }
  // Well past the grace of a request that began at START.
  static bool due() { return stop_due(START + STOP_GRACE_MS + 1000); }
};

TEST_F(StopRequest, AStopEndsTheRequestsBeforeItOnly) {
  // Line 7 is "go mate", line 8 "stop": the running request ends.
  begin_stoppable_request(7);
  EXPECT_FALSE(due());
  record_stop_line(8);
  EXPECT_TRUE(due());
  EXPECT_TRUE(request_stopped());
  EXPECT_TRUE(stop_line_taken(8));

  // The stop came after that answer and before the next request (line 9):
  // nothing for it to end there.
  begin_stoppable_request(9);
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
  EXPECT_FALSE(stop_due(START));
  EXPECT_FALSE(stop_due(START + STOP_GRACE_MS - 1));
  EXPECT_FALSE(request_stopped());
  EXPECT_TRUE(stop_due(START + STOP_GRACE_MS));
  // The clock wraps at 32 bits; the grace is a difference.
  search_start_ms = 0xFFFFFFF0u;
  EXPECT_FALSE(stop_due(0xFFFFFFF0u + 20));
  EXPECT_TRUE(stop_due(0xFFFFFFF0u + STOP_GRACE_MS));
}

TEST_F(StopRequest, EndOfInputEndsOnlyWhatHasNoLimit) {
  begin_stoppable_request(3);
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
  begin_stoppable_request(0);
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

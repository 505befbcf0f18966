#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "solve/progress.h"
#include "search/search_state.h"
#include "support/gen_helpers.h"

namespace {

class Progress : public testing::Test {
 protected:
  void SetUp() override {
    fresh_search_tables();
    setup_position("4k4/9/9/9/9/9/9/9/9 b G 1");
    platform_freeze_clock(true, 100000);
    search_start_ms = 99000;
    limit_start_ms = 99000;
    time_limit_ms = 0;
    stop_reason = STOP_NONE;
    reported_depth = 0;
    root_threshold = 5;
    search_modes.refine_pass = 0;
    expansions = reexpansions = 0;
    nodes = 812;
    hashfull_max = 0;  // process-wide; each test starts from an empty figure
    board.ply = 3;
    board.move_stack[1].move = static_cast<MoveCode>(black_square(7, 7) * 256 + black_square(7, 6));
  }
  void TearDown() override {
    platform_freeze_clock(false);
    board.ply = 0;
    search_modes.refine_pass = 0;
    stop_reason = STOP_NONE;
  }
  std::string line(ProgressKind kind) {
    testing::internal::CaptureStdout();
    write_progress(kind);
    return testing::internal::GetCapturedStdout();
  }
};

TEST_F(Progress, PeriodicLinesAreThrottledToOnePerSecond) {
  last_report_ms = 99001;  // 999 ms ago
  EXPECT_EQ(line(PERIODIC), "");
  EXPECT_EQ(last_report_ms, 99001u);
  last_report_ms = 99000;  // 1000 ms ago
  EXPECT_EQ(line(PERIODIC), "info currmove 7g7f depth 5 seldepth 3 nodes 812 nps 812 hashfull 0 \n");
  EXPECT_EQ(last_report_ms, 100000u);
  // The next one within the second is held back; a final line never is.
  EXPECT_EQ(line(PERIODIC), "");
  EXPECT_NE(line(FINAL), "");
}

TEST_F(Progress, FinalLineWithTheSolution) {
  reported_depth = 1;
  board.ply = 1;
  mate_length = 1;
  board.move_stack[1].move = static_cast<MoveCode>(hand_square(0, GOLD) * 256 + black_square(5, 2));
  search_start_ms = 100000;  // the same millisecond: nps 0
  EXPECT_EQ(line(FINAL_WITH_PV),
            "info currmove G*5b depth 1 seldepth 1 nodes 812 nps 0 hashfull 0 time 0 score mate 1 pv G*5b \n");
}

TEST_F(Progress, FillFigureIsCappedAndNeverGoesDown) {
  expansions = 1u << 20;  // far more than the 4096 slots
  EXPECT_NE(line(FINAL).find("hashfull 990 "), std::string::npos);
  expansions = 0;
  EXPECT_NE(line(FINAL).find("hashfull 990 "), std::string::npos);
  // A counter reset below reexpansions cannot make the figure negative.
  reexpansions = 5;
  EXPECT_NE(line(FINAL).find("hashfull 990 "), std::string::npos);
}

TEST_F(Progress, ClockAndBudgetChecks) {
  time_limit_ms = 1000;
  limit_start_ms = 99000;  // exactly 1000 ms: not yet over
  line(PERIODIC);
  EXPECT_EQ(stop_reason, STOP_NONE);
  limit_start_ms = 98999;
  line(PERIODIC);
  EXPECT_EQ(stop_reason, STOP_TIME);

  stop_reason = STOP_NONE;
  time_limit_ms = 0;
  search_modes.refine_pass = 1;
  expansions = PASS_EXPANSION_BUDGET;
  line(PERIODIC);
  EXPECT_EQ(stop_reason, STOP_NONE);
  expansions = PASS_EXPANSION_BUDGET + 1;
  line(PERIODIC);
  EXPECT_EQ(stop_reason, STOP_BUDGET);
}

TEST_F(Progress, ClockWrapsAt32Bits) {
  platform_freeze_clock(true, 500);
  search_start_ms = 0xFFFFFC18u;  // 1500 ms before, across the wrap
  last_report_ms = 0xFFFFFC18u;
  limit_start_ms = 0xFFFFFC18u;
  time_limit_ms = 2000;
  EXPECT_EQ(line(PERIODIC), "info currmove 7g7f depth 5 seldepth 3 nodes 812 nps 541 hashfull 0 \n");
  EXPECT_EQ(stop_reason, STOP_NONE);
}

}  // namespace

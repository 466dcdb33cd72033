// When each tick of a drift-free timer was due, from the times its ticks actually ran.
#include <gtest/gtest.h>

#include <vector>

#include "playback/tick_schedule.h"

namespace kestu {
namespace {

constexpr std::int64_t kMs = 1'000'000;

struct TickRun {
  const char* name;
  std::vector<double> ranMs;  // when each tick ran, ms after arming at 0 with a 20 ms interval
  std::vector<double> dueMs;  // when each was due
};

class TickScheduleRuns : public ::testing::TestWithParam<TickRun> {};

TEST_P(TickScheduleRuns, GiveEachTickItsDueTime) {
  const TickRun& run = GetParam();
  TickSchedule schedule;
  schedule.Arm(0, 20);
  for (std::size_t i = 0; i < run.ranMs.size(); ++i) {
    const auto ran = static_cast<std::int64_t>(run.ranMs[i] * kMs);
    EXPECT_EQ(schedule.OnTick(ran), static_cast<std::int64_t>(run.dueMs[i] * kMs)) << "tick " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    TickSchedule, TickScheduleRuns,
    ::testing::Values(
        TickRun{"OnTimeOrALittleLate", {20.2, 40.9, 60.0, 83.5}, {20, 40, 60, 80}},
        // The timer's own reading at arming may be a little ahead of ours.
        TickRun{"ALittleEarly", {19.5, 39.2}, {20, 40}},
        // Late by less than an interval: the next is still due on the grid.
        TickRun{"LateTickKeepsTheGrid", {20.1, 55.0, 60.2}, {20, 40, 60}},
        // A whole interval late: the timer counts again from the late tick; none is made up.
        TickRun{"VeryLateTickStartsAGrid", {20.0, 75.0, 95.3, 115.1}, {20, 75, 95, 115}},
        // Far earlier than due: not the tick we expect, so it is its own time.
        TickRun{"FarTooEarly", {10.0, 30.4}, {10, 30}}),
    [](const ::testing::TestParamInfo<TickRun>& info) { return info.param.name; });

TEST(TickSchedule, ReArmingCountsFromTheNewInterval) {
  TickSchedule schedule;
  schedule.Arm(0, 20);
  EXPECT_EQ(schedule.OnTick(20 * kMs), 20 * kMs);
  schedule.Arm(31 * kMs, 42);
  EXPECT_EQ(schedule.OnTick(73 * kMs + 200'000), 73 * kMs);
  EXPECT_EQ(schedule.OnTick(115 * kMs), 115 * kMs);
}

}  // namespace
}  // namespace kestu

#include "playback/tick_schedule.h"

#include <algorithm>

namespace kestu {

void TickSchedule::Arm(std::int64_t nowNs, int intervalMs) {
  // A window timer does not go below a millisecond.
  intervalNs_ = std::max(intervalMs, 1) * std::int64_t{1'000'000};
  nextDueNs_ = nowNs + intervalNs_;
}

std::int64_t TickSchedule::OnTick(std::int64_t nowNs) {
  // The timer's own clock reading at arming may differ from ours by a little.
  constexpr std::int64_t kEarlyToleranceNs = 2'000'000;
  std::int64_t due = nextDueNs_;
  // Never armed, well before its time, or a whole interval late: the timer
  // no longer keeps the time we think it does, so this tick is its own time.
  if (intervalNs_ == 0 || nowNs < due - kEarlyToleranceNs || nowNs - due >= intervalNs_) due = nowNs;
  nextDueNs_ = due + intervalNs_;
  if (nextDueNs_ < nowNs) nextDueNs_ = nowNs + intervalNs_;
  dueNs_ = due;
  return due;
}

}  // namespace kestu

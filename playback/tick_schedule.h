#pragma once
// When each tick of the playback timer was due. The timer is drift-free: each
// tick is due one interval after the last one was due, unless a tick came so
// late that the next due time had passed, in which case the timer counts
// again from that late tick (ticks are never made up). The sound of a tick is
// placed at the time it was due, so that a tick that runs a little late on a
// busy GUI thread still sounds on the score's grid. GUI thread only.
#include <cstdint>

namespace kestu {

class TickSchedule {
 public:
  // The timer was started, or re-armed by a new interval, at `nowNs`.
  void Arm(std::int64_t nowNs, int intervalMs);
  // A tick runs at `nowNs`: returns when it was due, and keeps when the next one is.
  std::int64_t OnTick(std::int64_t nowNs);
  // When the last tick was due; 0 before the first.
  std::int64_t DueNs() const { return dueNs_; }

 private:
  std::int64_t dueNs_ = 0;
  std::int64_t intervalNs_ = 0;
  std::int64_t nextDueNs_ = 0;
};

}  // namespace kestu

// Where the output stream stands in time: a second-order delay-locked loop
// over the times at which an output's blocks are due, as audio servers keep
// for their cycles. Each reading is noisy (a callback wakes late, a server
// reports its latency in steps); the loop follows the stream's real rate and
// phase and ignores the noise, so that a stamped command lands on the frame
// its time gives, not on the block grid. One reading far off the prediction
// (a callback woken very late) is ignored; two in a row that agree (the
// stream itself moved: an underrun, a stalled device) seat the loop anew.
//
// Start on the GUI thread before the stream runs; everything else on the
// audio thread. No locks, allocations or system calls.
#pragma once

#include <atomic>
#include <cstdint>

#include "sound/output/audio_output.h"

namespace kestu {

class ClockModel {
 public:
  // Safety margin beyond two blocks: the audio thread waking late, and a
  // stamp taken when a tick was due rather than when it ran.
  static constexpr std::int64_t kLeadMarginNs = 8'000'000;

  // `rate` frames per second, blocks of about `blockFrames` frames.
  // `readingDelayNs` is how long after its reading a block's first frame
  // comes out (0 when the readings are callback times; the latency where they
  // already include it does not count again). The lead covers two blocks and
  // the margin.
  void Start(std::uint32_t rate, std::uint32_t blockFrames, std::int64_t readingDelayNs = 0);

  // Audio thread. `readingNs`: when this block's first frame is due, as read
  // now; `callNs`: now, when known. Returns the block's time as the loop sees it.
  BlockTime OnBlock(std::int64_t readingNs, std::uint32_t frames, std::int64_t callNs = 0) noexcept;
  // Audio thread. The next block does not follow on from the last one.
  void Reseat() noexcept { seated_ = false; }

  std::int64_t LeadNs() const { return leadNs_; }
  // Any thread: how often the loop had to seat itself anew after its first seating.
  std::uint64_t Reseats() const { return reseats_.load(std::memory_order_relaxed); }

 private:
  void Seat(std::int64_t readingNs) noexcept;

  double nominalPeriodNs_ = 0;  // per frame
  double blockSeconds_ = 0;
  std::int64_t leadNs_ = 0;

  // Audio thread only.
  bool seated_ = false;
  bool everSeated_ = false;
  bool suspect_ = false;       // the last reading was far off
  double suspectErrorNs_ = 0;
  double predictedNs_ = 0;  // when the next block is due
  double periodNs_ = 0;     // per frame, as measured
  std::uint32_t blocksSinceSeat_ = 0;
  std::atomic<std::uint64_t> reseats_{0};
};

}  // namespace kestu

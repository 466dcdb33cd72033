// Where the output stream stands in time: a second-order delay-locked loop
// over the times at which an output's blocks are due, as audio servers keep
// for their cycles. Each reading is noisy (a callback wakes late, a server
// reports its latency in steps); the loop follows the stream's real rate and
// phase and ignores the noise, so that a stamped command lands on the frame
// its time gives, not on the block grid. One reading far off the prediction
// (a callback woken very late) is ignored; two in a row that agree (the
// stream itself moved: an underrun, a stalled device) seat the loop anew.
// Just after a seating anew the loop follows readings that agree, a few in a
// row, on another phase, as the one it sat on may have been stale.
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
  // The lead moves in steps of this much, so that a wait that creeps does not move it often.
  static constexpr std::int64_t kLeadStepNs = 1'000'000;

  // How the output asks for blocks: in a server's steady cycles (JACK,
  // PipeWire), where a stamp waits at most one block for the next request,
  // or whenever its buffer has room (PulseAudio, ALSA), where requests come
  // unevenly and a stamp may wait up to two.
  enum class Cycles { kRegular, kIrregular };

  // `rate` frames per second, blocks of about `blockFrames` frames.
  // `readingDelayNs` is how long after its reading a block's first frame
  // comes out (0 when the readings are callback times; the latency where they
  // already include it does not count again). The lead covers the blocks a
  // stamp may wait, that delay and the margin. A delay above 0 also says
  // that the readings are of when a block is heard, which lies after the
  // request for it.
  void Start(std::uint32_t rate, std::uint32_t blockFrames, std::int64_t readingDelayNs = 0,
             Cycles cycles = Cycles::kIrregular);

  // Audio thread. `readingNs`: when this block's first frame is due, as read
  // now. Returns the block's time as the loop sees it, with no call time.
  BlockTime OnBlock(std::int64_t readingNs, std::uint32_t frames) noexcept;
  // The same, where the server reports its latency as the stream runs:
  // `nowNs` is when the block is being rendered. The lead grows to cover
  // what the server really keeps ahead of us (a larger quantum in steady
  // cycles, a sink further away than it granted), so that no stamp falls
  // behind the block that should play it. A single late wake-up does not
  // move it; once the waits have stayed well below it for a few seconds (a
  // stale episode has passed) it comes back down, never below what the
  // stream began with. The block's time carries `nowNs` as its call time: no
  // frame is heard before it.
  BlockTime OnBlock(std::int64_t readingNs, std::uint32_t frames, std::int64_t nowNs) noexcept;
  // Audio thread. The next block does not follow on from the last one.
  void Reseat() noexcept { seated_ = false; }

  // Any thread.
  std::int64_t LeadNs() const { return leadNs_.load(std::memory_order_relaxed); }
  // Any thread: how often the loop had to seat itself anew after its first seating.
  std::uint64_t Reseats() const { return reseats_.load(std::memory_order_relaxed); }

 private:
  void Seat(std::int64_t readingNs) noexcept;
  double CorrectSeat(double error) noexcept;
  void FollowWait(std::int64_t waitNs, std::uint32_t frames) noexcept;

  double nominalPeriodNs_ = 0;  // per frame
  double blockSeconds_ = 0;
  Cycles cycles_ = Cycles::kIrregular;
  double blocksWaited_ = 2.0;
  bool readingsAreHeardTimes_ = false;
  std::atomic<std::int64_t> leadNs_{0};

  // Audio thread only.
  bool seated_ = false;
  bool everSeated_ = false;
  bool suspect_ = false;       // the last reading was far off
  double suspectErrorNs_ = 0;
  double predictedNs_ = 0;  // when the next block is due
  double periodNs_ = 0;     // per frame, as measured
  std::uint32_t blocksSinceSeat_ = 0;
  // After a seating anew (not a stream's first): readings off the prediction on the same side, in a
  // row, and the least off.
  bool correctingSeat_ = false;
  std::uint32_t offReadings_ = 0;
  double leastOffNs_ = 0;
  // What the lead covers beyond its margin: the blocks a stamp waits and
  // the way to being heard.
  std::int64_t coveredNs_ = 0;
  std::int64_t startCoveredNs_ = 0;  // what the stream began with: the lead never goes below it
  // The least wait seen over the blocks of the current window: a wait that
  // holds for a whole window is the server's, not a late wake-up.
  std::int64_t windowMinWaitNs_ = 0;
  std::uint32_t windowBlocks_ = 0;
  // The most any short window's least wait reached over a long window, how many short windows and
  // how long it has run: a lead grown by an episode that passed comes back down.
  std::int64_t shrinkMaxWaitNs_ = 0;
  std::uint32_t shrinkWindows_ = 0;
  std::int64_t shrinkWindowNs_ = 0;
  std::atomic<std::uint64_t> reseats_{0};
};

}  // namespace kestu

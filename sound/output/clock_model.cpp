#include "sound/output/clock_model.h"

#include <algorithm>
#include <cmath>

namespace kestu {

namespace {

// The loop settles fast after a seating, then narrows to ignore the jitter.
constexpr double kSettlingBandwidthHz = 2.0;
constexpr double kSteadyBandwidthHz = 0.5;
constexpr std::uint32_t kSettlingBlocks = 128;
// A real device's clock is within a fraction of a percent of its nominal rate.
constexpr double kMaxRateDeviation = 0.005;
// A reading this far from the prediction is not jitter: the stream broke off.
constexpr double kMinReseatErrorNs = 4e6;
// Blocks in which a longer wait must hold before the lead follows it.
constexpr std::uint32_t kDelayWindowBlocks = 16;
// A lead grown by a passing episode (a stalled server's stale reports) comes back down once the
// waits have stayed this long this much below it.
constexpr double kShrinkWindowSeconds = 2.0;
constexpr std::int64_t kShrinkByAtLeastNs = 2 * ClockModel::kLeadStepNs;
// Just after a seating, readings this much off the prediction, on the same side for a few blocks
// in a row, are taken as the stream's own phase, not as jitter: earlier after two, later after four.
constexpr double kSeatCorrectionNs = 500'000;
constexpr std::uint32_t kEarlyReadingsToMove = 2;
constexpr std::uint32_t kLateReadingsToMove = 4;
// A request at least this long, and a block's length, after the time its block was to be heard
// finds a stream that ran dry; less is a callback woken a little late.
constexpr double kRanDryAfterNs = 1'000'000;

}  // namespace

void ClockModel::Start(std::uint32_t rate, std::uint32_t blockFrames, std::int64_t readingDelayNs, Cycles cycles) {
  nominalPeriodNs_ = 1e9 / std::max<std::uint32_t>(rate, 1);
  blockSeconds_ = std::max<std::uint32_t>(blockFrames, 1) * nominalPeriodNs_ / 1e9;
  cycles_ = cycles;
  readingsAreHeardTimes_ = readingDelayNs > 0;
  blocksWaited_ = cycles == Cycles::kRegular ? 1.0 : 2.0;
  coveredNs_ = static_cast<std::int64_t>(blocksWaited_ * blockSeconds_ * 1e9) + std::max<std::int64_t>(readingDelayNs, 0);
  startCoveredNs_ = coveredNs_;
  leadNs_.store(coveredNs_ + kLeadMarginNs, std::memory_order_relaxed);
  windowBlocks_ = 0;
  shrinkWindowNs_ = 0;
  shrinkWindows_ = 0;
  seated_ = false;
  everSeated_ = false;
  reseats_.store(0, std::memory_order_relaxed);
}

void ClockModel::Seat(std::int64_t readingNs) noexcept {
  if (everSeated_) reseats_.fetch_add(1, std::memory_order_relaxed);
  // Only a seating after the stream broke off may have read a stale time; a new stream's first
  // reading is as good as any, and the loop alone smooths the jitter of those after it.
  correctingSeat_ = everSeated_;
  everSeated_ = true;
  seated_ = true;
  predictedNs_ = static_cast<double>(readingNs);
  periodNs_ = nominalPeriodNs_;
  blocksSinceSeat_ = 0;
  offReadings_ = 0;
  suspect_ = false;
}

BlockTime ClockModel::OnBlock(std::int64_t readingNs, std::uint32_t frames, std::int64_t nowNs) noexcept {
  // A block cannot be heard before it is asked for. Asked for after the time the loop gave it, the
  // stream ran dry, and the sink played silence meanwhile: this block is heard when the reading
  // says, not when the loop predicted, whether or not the output has been told of the underrun
  // yet. Left to the loop, a reading a few milliseconds off is smoothed away as jitter, and the
  // notes of the next second are off by what it missed.
  const double ranDryAfterNs = std::max(kRanDryAfterNs, frames * nominalPeriodNs_);
  if (readingsAreHeardTimes_ && seated_ && static_cast<double>(nowNs) > predictedNs_ + ranDryAfterNs) Reseat();
  BlockTime time = OnBlock(readingNs, frames);
  time.callNs = nowNs;
  // A stamp waits for the block before the one that renders it, and then for this block's way
  // to being heard. In steady cycles the block is the server's quantum, as long as this one; where
  // requests come unevenly, their sizes vary from one to the next and the two blocks the lead
  // began with stand for them.
  const double blockFrames = cycles_ == Cycles::kRegular ? frames : blockSeconds_ / (nominalPeriodNs_ / 1e9);
  const auto waitNs = static_cast<std::int64_t>(blocksWaited_ * blockFrames * nominalPeriodNs_);
  FollowWait(time.firstFrameNs - nowNs + waitNs, frames);
  time.leadNs = LeadNs();
  return time;
}

void ClockModel::FollowWait(std::int64_t waitNs, std::uint32_t frames) noexcept {
  // Rounded up to the step: a little more than needed, seldom moved.
  const auto roundedUp = [](std::int64_t ns) { return (ns + kLeadStepNs - 1) / kLeadStepNs * kLeadStepNs; };
  const auto cover = [&](std::int64_t ns) {
    coveredNs_ = ns;
    leadNs_.store(coveredNs_ + kLeadMarginNs, std::memory_order_relaxed);
    shrinkWindowNs_ = 0;
    shrinkWindows_ = 0;
  };
  // Up: a wait that holds for a whole short window.
  windowMinWaitNs_ = windowBlocks_ == 0 ? waitNs : std::min(windowMinWaitNs_, waitNs);
  shrinkWindowNs_ += static_cast<std::int64_t>(frames * nominalPeriodNs_);
  if (++windowBlocks_ < kDelayWindowBlocks) return;
  windowBlocks_ = 0;
  if (windowMinWaitNs_ > coveredNs_) {
    cover(roundedUp(windowMinWaitNs_));
    return;
  }
  // Down: by the same measure, the most that any short window over a long one held, well below
  // what the lead covers, not below what the stream began with. One wake-up a little late in the
  // long window does not pull the lead down only for the next short window to push it back up. A
  // shrink moves what is heard earlier once, as a growth moves it later.
  shrinkMaxWaitNs_ = shrinkWindows_ == 0 ? windowMinWaitNs_ : std::max(shrinkMaxWaitNs_, windowMinWaitNs_);
  ++shrinkWindows_;
  if (shrinkWindowNs_ < static_cast<std::int64_t>(kShrinkWindowSeconds * 1e9)) return;
  const std::int64_t needed = std::max(startCoveredNs_, roundedUp(shrinkMaxWaitNs_));
  if (needed <= coveredNs_ - kShrinkByAtLeastNs) {
    cover(needed);
  } else {
    shrinkWindowNs_ = 0;
    shrinkWindows_ = 0;
  }
}

// The reading a seating took may have been stale: the first after an underrun is read while the
// server refills its buffer, a callback woken late reads late. A stream is never heard before its
// blocks are due, and readings come late far more often than early, so just after a seating the
// loop follows the readings that agree: two in a row earlier than its prediction move the phase by
// the lesser of them; readings that all come later for a few blocks in a row, by the least. One
// reading alone is the jitter any stream has.
// Left to the loop alone, a phase seated a few milliseconds off takes most of a second to settle,
// and every note in that time is off by what is left. Returns what is left of `error`.
double ClockModel::CorrectSeat(double error) noexcept {
  if (std::abs(error) <= kSeatCorrectionNs) {
    offReadings_ = 0;
    return error;
  }
  const bool early = error < 0;
  if (offReadings_ > 0 && (leastOffNs_ < 0) != early) offReadings_ = 0;  // the other side: a new run
  if (offReadings_ == 0 || std::abs(error) < std::abs(leastOffNs_)) leastOffNs_ = error;
  if (++offReadings_ < (early ? kEarlyReadingsToMove : kLateReadingsToMove)) return error;
  predictedNs_ += leastOffNs_;
  offReadings_ = 0;
  return error - leastOffNs_;
}

BlockTime ClockModel::OnBlock(std::int64_t readingNs, std::uint32_t frames) noexcept {
  const double blockNs = frames * (periodNs_ > 0 ? periodNs_ : nominalPeriodNs_);
  if (seated_) {
    const double error = static_cast<double>(readingNs) - predictedNs_;
    const double limit = std::max(kMinReseatErrorNs, 2.0 * blockNs);
    if (std::abs(error) <= limit) {
      suspect_ = false;
    } else if (!suspect_ || std::abs(error - suspectErrorNs_) > limit) {
      // Far off once: trust the prediction for this block and wait for the next reading.
      suspect_ = true;
      suspectErrorNs_ = error;
      const double blockStart = predictedNs_;
      predictedNs_ += blockNs;
      return BlockTime{static_cast<std::int64_t>(std::llround(blockStart)), LeadNs(), readingNs, 0};
    } else {
      // Twice far off, and by about the same: the stream moved. Keep the
      // measured rate and move the phase by the mean of the two readings.
      const double jump = 0.5 * (error + suspectErrorNs_);
      const double period = periodNs_;
      Seat(static_cast<std::int64_t>(std::llround(predictedNs_ + jump)));
      periodNs_ = period;
    }
  }
  if (!seated_) Seat(readingNs);

  double error = static_cast<double>(readingNs) - predictedNs_;
  if (correctingSeat_ && blocksSinceSeat_ > 0 && blocksSinceSeat_ < kSettlingBlocks) error = CorrectSeat(error);
  const double bandwidth = blocksSinceSeat_ < kSettlingBlocks ? kSettlingBandwidthHz : kSteadyBandwidthHz;
  const double omega = 2.0 * M_PI * bandwidth * frames * nominalPeriodNs_ / 1e9;
  const double blockStart = predictedNs_ + std::sqrt(2.0) * omega * error;
  if (frames > 0) {
    periodNs_ += omega * omega * error / frames;
    periodNs_ = std::clamp(periodNs_, nominalPeriodNs_ * (1 - kMaxRateDeviation),
                           nominalPeriodNs_ * (1 + kMaxRateDeviation));
  }
  predictedNs_ = blockStart + frames * periodNs_;
  if (blocksSinceSeat_ < kSettlingBlocks) ++blocksSinceSeat_;
  return BlockTime{static_cast<std::int64_t>(std::llround(blockStart)), LeadNs(), readingNs, 0};
}

}  // namespace kestu

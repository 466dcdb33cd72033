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
// The lead moves in steps of this much, so that a wait that creeps does not move it often.
constexpr std::int64_t kLeadStepNs = 1'000'000;
// A lead grown by a passing episode (a stalled server's stale reports) comes back down once the
// waits have stayed this long this much below it.
constexpr double kShrinkWindowSeconds = 2.0;
constexpr std::int64_t kShrinkByAtLeastNs = 2 * kLeadStepNs;
// Just after a seating, a reading this much off the prediction is taken as the stream's own
// phase, not as jitter: earlier at once, later once it has held this many blocks in a row.
constexpr double kSeatCorrectionNs = 500'000;
constexpr std::uint32_t kLateReadingsToMove = 4;
// A request this long after the time its block was to be heard finds a stream that ran dry.
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
  seated_ = false;
  everSeated_ = false;
  reseats_.store(0, std::memory_order_relaxed);
}

void ClockModel::Seat(std::int64_t readingNs) noexcept {
  if (everSeated_) reseats_.fetch_add(1, std::memory_order_relaxed);
  everSeated_ = true;
  seated_ = true;
  predictedNs_ = static_cast<double>(readingNs);
  periodNs_ = nominalPeriodNs_;
  blocksSinceSeat_ = 0;
  lateReadings_ = 0;
  suspect_ = false;
}

BlockTime ClockModel::OnBlock(std::int64_t readingNs, std::uint32_t frames, std::int64_t nowNs) noexcept {
  // A block cannot be heard before it is asked for. Asked for after the time the loop gave it, the
  // stream ran dry, and the sink played silence meanwhile: this block is heard when the reading
  // says, not when the loop predicted, whether or not the output has been told of the underrun
  // yet. Left to the loop, a reading a few milliseconds off is smoothed away as jitter, and the
  // notes of the next second are off by what it missed.
  if (readingsAreHeardTimes_ && seated_ && static_cast<double>(nowNs) > predictedNs_ + kRanDryAfterNs) Reseat();
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
  };
  // Down: the least wait of a long window, well below what the lead covers, not below what the
  // stream began with. A shrink moves what is heard earlier once, as a growth moves it later.
  shrinkMinWaitNs_ = shrinkWindowNs_ == 0 ? waitNs : std::min(shrinkMinWaitNs_, waitNs);
  shrinkWindowNs_ += static_cast<std::int64_t>(frames * nominalPeriodNs_);
  if (shrinkWindowNs_ >= static_cast<std::int64_t>(kShrinkWindowSeconds * 1e9)) {
    const std::int64_t needed = std::max(startCoveredNs_, roundedUp(shrinkMinWaitNs_));
    if (needed <= coveredNs_ - kShrinkByAtLeastNs) {
      cover(needed);
    } else {
      shrinkWindowNs_ = 0;
    }
  }
  // Up: a wait that holds for a whole short window.
  windowMinWaitNs_ = windowBlocks_ == 0 ? waitNs : std::min(windowMinWaitNs_, waitNs);
  if (++windowBlocks_ < kDelayWindowBlocks) return;
  windowBlocks_ = 0;
  if (windowMinWaitNs_ > coveredNs_) cover(roundedUp(windowMinWaitNs_));
}

// The reading a seating took may have been stale: the first after an underrun is read while the
// server refills its buffer, a callback woken late reads late. A stream is never heard before its
// blocks are due, and readings come late far more often than early, so just after a seating the
// loop follows the earliest readings: one earlier than its prediction moves the phase there at
// once; readings that all come later for a few blocks in a row move it by the least of them.
// Left to the loop alone, a phase seated a few milliseconds off takes most of a second to settle,
// and every note in that time is off by what is left. Returns what is left of `error`.
double ClockModel::CorrectSeat(double error) noexcept {
  if (error < -kSeatCorrectionNs) {
    predictedNs_ += error;
    lateReadings_ = 0;
    return 0;
  }
  if (error <= kSeatCorrectionNs) {
    lateReadings_ = 0;
    return error;
  }
  leastLateNs_ = lateReadings_ == 0 ? error : std::min(leastLateNs_, error);
  if (++lateReadings_ < kLateReadingsToMove) return error;
  predictedNs_ += leastLateNs_;
  lateReadings_ = 0;
  return error - leastLateNs_;
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
  if (blocksSinceSeat_ > 0 && blocksSinceSeat_ < kSettlingBlocks) error = CorrectSeat(error);
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

#include "sound/output/rate_converter.h"

#include <algorithm>
#include <cmath>

namespace kestu {

void RateConverter::Configure(std::uint32_t sourceRate, std::uint32_t targetRate,
                              std::uint32_t maxFramesPerPull) {
  sourceRate_ = sourceRate;
  targetRate_ = targetRate;
  maxFrames_ = std::max<std::uint32_t>(1, maxFramesPerPull);
  step_ = targetRate > 0 ? static_cast<double>(sourceRate) / targetRate : 1.0;
  table_ = &ds::SincTables::Shared().ForStep(step_);
  // Silence before the first frame, as far back as the filter reaches.
  held_ = table_->taps / 2 - 1;
  position_ = held_;
  const auto fetched = static_cast<std::size_t>(std::ceil(maxFrames_ * step_)) + 2;
  left_.assign(fetched + table_->taps + 2, 0.0f);
  right_.assign(left_.size(), 0.0f);
  fetched_.assign(2 * fetched + 2 * table_->taps, 0);
}

void RateConverter::Pull(FrameSource& source, std::int16_t* stereo, std::uint32_t frames,
                         const BlockTime& time) noexcept {
  if (IsIdentity()) {
    source.RenderFrames(stereo, frames, time);
    return;
  }
  BlockTime chunkTime = time;
  const double targetFrameNs = 1e9 / targetRate_;
  while (frames > 0) {
    const std::uint32_t chunk = std::min(frames, maxFrames_);
    PullChunk(source, stereo, chunk, chunkTime);
    stereo += 2 * chunk;
    frames -= chunk;
    if (chunkTime.firstFrameNs != 0) chunkTime.firstFrameNs += std::llround(chunk * targetFrameNs);
  }
}

void RateConverter::PullChunk(FrameSource& source, std::int16_t* stereo, std::uint32_t frames,
                              const BlockTime& time) noexcept {
  const std::uint32_t taps = table_->taps;
  // The last target frame reads up to taps/2 frames past its whole source frame.
  const double last = position_ + (frames - 1) * step_;
  const auto needed = static_cast<std::uint32_t>(std::floor(last)) + taps / 2 + 1;
  if (needed > held_) {
    const std::uint32_t fetch = needed - held_;
    // The first fetched frame is heard when the target reaches its position,
    // (held - position) / step target frames after the chunk's first.
    BlockTime fetchTime = time;
    if (time.firstFrameNs != 0) {
      fetchTime.firstFrameNs += std::llround((held_ - position_) / step_ * 1e9 / targetRate_);
    }
    source.RenderFrames(fetched_.data(), fetch, fetchTime);
    for (std::uint32_t i = 0; i < fetch; ++i) {
      left_[held_ + i] = fetched_[2 * i];
      right_[held_ + i] = fetched_[2 * i + 1];
    }
    held_ = needed;
  }
  for (std::uint32_t i = 0; i < frames; ++i) {
    const double position = position_ + i * step_;
    const auto whole = static_cast<std::uint32_t>(position);
    const double phase = (position - whole) * table_->phases;
    const auto row = static_cast<std::uint32_t>(phase);
    const float* coefficients = table_->rows + static_cast<std::size_t>(row) * taps;
    const auto between = static_cast<float>(phase - row);
    const std::uint32_t first = whole - (taps / 2 - 1);
    stereo[2 * i] = ds::SaturateToInt16(ds::FilterBetweenRows(left_.data() + first, coefficients, taps, between));
    stereo[2 * i + 1] = ds::SaturateToInt16(ds::FilterBetweenRows(right_.data() + first, coefficients, taps, between));
  }
  position_ += frames * step_;
  // Forget the frames no later target frame reaches.
  const auto keepFrom = static_cast<std::uint32_t>(position_) - (taps / 2 - 1);
  std::copy(left_.begin() + keepFrom, left_.begin() + held_, left_.begin());
  std::copy(right_.begin() + keepFrom, right_.begin() + held_, right_.begin());
  held_ -= keepFrom;
  position_ -= keepFrom;
}

}  // namespace kestu

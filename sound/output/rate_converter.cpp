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
  phase_ = 0.0;
  const auto fetched = static_cast<std::size_t>(std::ceil(maxFrames_ * step_)) + 2;
  scratch_.assign(2 * (fetched + 2), 0);
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
  // Positions run from -1 (scratch frame 0) upward; fetch what the last
  // target frame needs as its upper neighbour.
  const double last = phase_ + (frames - 1) * step_;
  const auto fetch = static_cast<std::uint32_t>(std::max(0.0, std::floor(last) + 1));
  // The first fetched frame stands at position 1, (1 - phase) / step target
  // frames after the chunk's first.
  BlockTime fetchTime = time;
  if (time.firstFrameNs != 0) fetchTime.firstFrameNs += std::llround((1.0 - phase_) / step_ * 1e9 / targetRate_);
  if (fetch > 0) source.RenderFrames(scratch_.data() + 4, fetch, fetchTime);
  for (std::uint32_t i = 0; i < frames; ++i) {
    const double position = phase_ + i * step_ + 1.0;  // index into scratch frames
    const auto index = static_cast<std::uint32_t>(position);
    const auto fraction = static_cast<float>(position - index);
    for (int channel = 0; channel < 2; ++channel) {
      const float a = scratch_[2 * index + channel];
      const float b = scratch_[2 * (index + 1) + channel];
      stereo[2 * i + channel] = static_cast<std::int16_t>(std::lrintf(a + (b - a) * fraction));
    }
  }
  // Keep the two newest frames as positions -1 and 0 for the next chunk.
  std::copy_n(scratch_.data() + 2 * fetch, 4, scratch_.data());
  phase_ = phase_ + frames * step_ - fetch;
}

}  // namespace kestu

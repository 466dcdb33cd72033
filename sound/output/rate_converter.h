// Converts the mixer's frames to a device that runs at another rate, through
// the same band-limited windowed-sinc tables as the mixer's voices, so that
// the conversion adds neither images nor aliases. Configure on the GUI thread
// while no one pulls; Pull on the audio thread (never allocates).
#pragma once

#include <cstdint>
#include <vector>

#include "sound/mixer/sinc_table.h"
#include "sound/output/audio_output.h"

namespace kestu {

class RateConverter {
 public:
  void Configure(std::uint32_t sourceRate, std::uint32_t targetRate, std::uint32_t maxFramesPerPull);
  bool IsIdentity() const { return sourceRate_ == targetRate_; }
  // Source frames taken ahead of the one being heard, for the filter's reach:
  // what the conversion adds to the latency (none without conversion).
  std::uint32_t LookaheadFrames() const { return IsIdentity() || table_ == nullptr ? 0 : table_->taps / 2; }
  // Fills `frames` interleaved stereo frames at the target rate.
  // `time` is the target block's; the source's blocks get theirs from it.
  void Pull(FrameSource& source, std::int16_t* stereo, std::uint32_t frames, const BlockTime& time = {}) noexcept;

 private:
  void PullChunk(FrameSource& source, std::int16_t* stereo, std::uint32_t frames, const BlockTime& time) noexcept;

  std::uint32_t sourceRate_ = 0;
  std::uint32_t targetRate_ = 0;
  std::uint32_t maxFrames_ = 0;
  double step_ = 1.0;  // source frames per target frame
  const ds::SincTables::Table* table_ = nullptr;
  // Source frames as floats, one plane per channel; frame 0 is the oldest the
  // filter still reaches. `position_` is the source position of the next
  // target frame, counted from frame 0.
  std::vector<float> left_, right_;
  std::uint32_t held_ = 0;
  double position_ = 0.0;
  std::vector<std::int16_t> fetched_;
};

}  // namespace kestu

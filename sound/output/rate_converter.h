// Converts the mixer's frames to a device that runs at another rate, by
// linear interpolation. Configure on the GUI thread while no one pulls; Pull
// on the audio thread (never allocates).
#pragma once

#include <cstdint>
#include <vector>

#include "sound/output/audio_output.h"

namespace kestu {

class RateConverter {
 public:
  void Configure(std::uint32_t sourceRate, std::uint32_t targetRate, std::uint32_t maxFramesPerPull);
  bool IsIdentity() const { return sourceRate_ == targetRate_; }
  // Fills `frames` interleaved stereo frames at the target rate.
  // `time` is the target block's; the source's blocks get theirs from it.
  void Pull(FrameSource& source, std::int16_t* stereo, std::uint32_t frames, const BlockTime& time = {}) noexcept;

 private:
  void PullChunk(FrameSource& source, std::int16_t* stereo, std::uint32_t frames, const BlockTime& time) noexcept;

  std::uint32_t sourceRate_ = 0;
  std::uint32_t targetRate_ = 0;
  std::uint32_t maxFrames_ = 0;
  double step_ = 1.0;   // source frames per target frame
  double phase_ = 0.0;  // source position of the next target frame; 0 is the newest frame kept
  // Two kept frames (positions -1 and 0), then the frames fetched for one chunk.
  std::vector<std::int16_t> scratch_;
};

}  // namespace kestu

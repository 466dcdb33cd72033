// An output without a device: the caller pulls exactly N frames when it wants
// them, running the same mixer synchronously. Used by tests and the offline
// renderer. Call it from the thread that drives the sound component.
#pragma once

#include <cstdint>
#include <vector>

#include "sound/output/audio_output.h"

namespace kestu {

class OfflineOutput : public AudioOutput {
 public:
  bool Open(FrameSource& source, std::uint32_t rate) override;
  void ChangeRate(std::uint32_t rate) override { rate_ = rate; }
  void Close() override { source_ = nullptr; }

  // Renders `frames` frames of interleaved int16 stereo at Rate(); silence
  // when no sound device is attached.
  std::vector<std::int16_t> Render(std::uint32_t frames);
  // `time` places the block in time as a device output's clock model would
  // (tests of stamped commands); by default the block stands nowhere in time
  // and every command takes effect at its start.
  void RenderInto(std::int16_t* stereo, std::uint32_t frames, const BlockTime& time = {});

  // Frames per second the attached mixer produces (its primary format's rate).
  std::uint32_t Rate() const { return rate_; }
  bool IsOpen() const { return source_ != nullptr; }
  // Frames between the start of a sound and its first frame in Render's
  // output (the mixer's look-ahead); 0 without a source.
  std::uint32_t LatencyFrames() const { return source_ != nullptr ? source_->LatencyFrames() : 0; }

  // Makes the next Open calls fail, as a machine without a sound device would.
  void SetRefuseOpen(bool refuse) { refuseOpen_ = refuse; }

 private:
  FrameSource* source_ = nullptr;
  std::uint32_t rate_ = 0;
  bool refuseOpen_ = false;
};

}  // namespace kestu

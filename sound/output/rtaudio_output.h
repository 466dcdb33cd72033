// The device output: the default output of PulseAudio, or else ALSA, through
// RtAudio, with 256-frame buffers. Opening is bounded in time: a server that
// does not answer counts as no device. GUI thread only, except the callback.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "sound/output/audio_output.h"

namespace kestu {

class RtAudioOutput : public AudioOutput {
 public:
  static constexpr std::uint32_t kBufferFrames = 256;

  explicit RtAudioOutput(std::chrono::milliseconds openTimeout = std::chrono::milliseconds(3000));
  ~RtAudioOutput() override;

  bool Open(FrameSource& source, std::uint32_t rate) override;
  void ChangeRate(std::uint32_t rate) override;
  void Close() override;

  bool IsPulling() const override;
  bool IsOpen() const;
  // "pulse" or "alsa" while open.
  std::string ApiName() const;
  std::uint32_t DeviceRate() const;
  std::uint32_t BufferFrames() const;
  // The stream's own latency in device frames, as the device reports it.
  long StreamLatencyFrames() const;
  std::uint64_t Underruns() const override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kestu

// A device output through RtAudio: the default output of the APIs it is given,
// tried in order (a running JACK server, PulseAudio, ALSA), with 256-frame
// buffers where the device lets us choose; JACK runs at its own rate and
// period. A JACK server is never started. Opening is bounded in time: a
// server that does not answer counts as no device. GUI thread only, except
// the callback.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sound/output/audio_output.h"

namespace kestu {

class RtAudioOutput : public AudioOutput {
 public:
  static constexpr std::uint32_t kBufferFrames = 256;
  enum class Api { kJack, kPulse, kAlsa };

  explicit RtAudioOutput(std::chrono::milliseconds openTimeout = std::chrono::milliseconds(3000),
                         std::vector<Api> apis = {Api::kPulse, Api::kAlsa});
  ~RtAudioOutput() override;

  bool Open(FrameSource& source, std::uint32_t rate) override;
  void ChangeRate(std::uint32_t rate) override;
  void Close() override;

  bool IsPulling() const override;
  bool IsOpen() const;
  // "jack", "pulse" or "alsa" while open.
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

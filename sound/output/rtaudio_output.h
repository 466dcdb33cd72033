// A device output through RtAudio: the default output of a running JACK server
// or of ALSA, with 256-frame buffers where the device lets us choose; JACK runs
// at its own rate and period. A JACK server is never started. Opening is bounded in time: a
// server that does not answer counts as no device. GUI thread only, except
// the callback.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "sound/output/device_stream.h"

namespace kestu {

class RtAudioOutput : public DeviceStream {
 public:
  static constexpr std::uint32_t kBufferFrames = 256;
  enum class Api { kJack, kAlsa };

  RtAudioOutput(std::chrono::milliseconds openTimeout, Api api);
  ~RtAudioOutput() override;

  bool Open(FrameSource& source, std::uint32_t rate) override;
  void ChangeRate(std::uint32_t rate) override;
  void Close() override;

  bool IsPulling() const override;
  bool IsOpen() const;
  std::string ApiName() const override;
  std::uint32_t DeviceRate() const override;
  std::uint32_t BufferFrames() const override;
  // The stream's own latency, as the device reports it.
  long StreamLatencyFrames() const override;
  std::uint64_t Underruns() const override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kestu

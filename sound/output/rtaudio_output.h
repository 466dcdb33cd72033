// A device output through RtAudio's ALSA: the default device, with 256-frame
// buffers where it lets us choose, at the mixer's rate where it takes it and
// at the rate it took otherwise (read back, and the mixer's frames converted
// to it). Its thread runs at real-time priority where the system allows it,
// and as an ordinary thread where not. Opening is bounded in time: a device
// that does not answer counts as none. GUI thread only, except the callback.
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
  // Below the sound servers' own threads, above everything ordinary.
  static constexpr int kRealtimePriority = 3;

  explicit RtAudioOutput(std::chrono::milliseconds openTimeout);
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
  // Whether the stream's thread got real-time scheduling (known once it ran). Any thread.
  bool Realtime() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kestu

// A PulseAudio playback stream of our own, on libpulse's asynchronous API.
// It asks the server for a small, fixed buffer (the server resamples from the
// mixer's rate), places each block in time by the server's own timing
// reports, and counts the times the server ran dry.
//
// Opening is bounded in time: a server that does not answer counts as no
// device. Closing never waits for the server: a server that is stopped or
// gone cannot hold up the window. GUI thread only, unless said otherwise.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include "sound/output/device_stream.h"

namespace kestu {

class PulseOutput : public DeviceStream {
 public:
  // What the stream asks the server for, in milliseconds. The server keeps
  // the target length filled, asking for about a request's worth at a time,
  // and splits the target between our stream's buffer and its sink. A frame
  // written now is heard 7 to 10 ms later; smaller targets ran dry on a busy
  // machine far more often, larger ones did not run dry less.
  static constexpr double kTargetMs = 12.0;
  static constexpr double kRequestMs = 3.0;

  explicit PulseOutput(std::chrono::milliseconds openTimeout = std::chrono::milliseconds(3000));
  ~PulseOutput() override;
  PulseOutput(const PulseOutput&) = delete;
  PulseOutput& operator=(const PulseOutput&) = delete;

  bool Open(FrameSource& source, std::uint32_t rate) override;
  void ChangeRate(std::uint32_t rate) override;
  void Close() override;

  // False once the server went away or refused the stream.
  bool IsPulling() const override;
  bool IsOpen() const { return stream_ != nullptr; }
  std::string ApiName() const override { return IsOpen() ? "pulse" : ""; }
  // The stream's rate: the mixer's own.
  std::uint32_t DeviceRate() const override;
  // What the server granted: frames it asks for at a time, and the target length.
  std::uint32_t BufferFrames() const override;
  std::uint32_t TargetFrames() const;
  // The server's latest word on how long a frame written now waits before it
  // is heard, in frames. Any thread.
  long StreamLatencyFrames() const override;
  // Any thread.
  std::uint64_t Underruns() const override;
  // Whether the audio thread got real-time scheduling.
  bool Realtime() const;

  // How long Close waits at most for the audio thread to let go of the
  // server; a thread that takes longer is left to end by itself.
  static constexpr std::chrono::milliseconds kCloseBound{1000};

  struct Stream;  // shared with the audio thread

 private:
  std::chrono::milliseconds openTimeout_;
  FrameSource* source_ = nullptr;
  std::uint32_t rate_ = 0;
  std::shared_ptr<Stream> stream_;
};

}  // namespace kestu

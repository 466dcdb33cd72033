// A PipeWire playback stream of our own. The desktop's server runs one
// graph cycle per quantum; the stream asks for a short node latency, so the
// graph runs small cycles while we play, and renders in the server's
// real-time cycle, straight into the buffer the graph hands it. Each block is
// placed in time by the stream's own timing (when the cycle began and how far
// the device is from it), through the clock model's loop.
//
// Opening is bounded in time: no server, or one that does not answer, counts
// as no device. GUI thread only, unless said otherwise.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "sound/output/device_stream.h"

namespace kestu {

class PipeWireOutput : public DeviceStream {
 public:
  // The node latency we ask for, as a time: 256 frames at 48 kHz, 5.3 ms a
  // cycle. A frame handed over is heard about a cycle later.
  static constexpr std::uint32_t kLatencyFrames = 256;
  static constexpr std::uint32_t kLatencyRate = 48000;

  explicit PipeWireOutput(std::chrono::milliseconds openTimeout = std::chrono::milliseconds(3000));
  ~PipeWireOutput() override;
  PipeWireOutput(const PipeWireOutput&) = delete;
  PipeWireOutput& operator=(const PipeWireOutput&) = delete;

  bool Open(FrameSource& source, std::uint32_t rate) override;
  void ChangeRate(std::uint32_t rate) override;
  void Close() override;

  // False once the server went away or dropped the stream.
  bool IsPulling() const override;
  bool IsOpen() const;
  std::string ApiName() const override { return IsOpen() ? "pipewire" : ""; }
  // The stream's rate: the mixer's own; the server converts it to the graph's.
  std::uint32_t DeviceRate() const override;
  // Frames of the last cycle, at the stream's rate.
  std::uint32_t BufferFrames() const override;
  // The server's latest word on how long a frame handed over now waits
  // before it is heard, in the stream's frames. Any thread.
  long StreamLatencyFrames() const override;
  // Cycles in which the graph ran on without our frames. Any thread.
  std::uint64_t Underruns() const override;
  // The lead the clock model now keeps. Any thread.
  std::int64_t LeadNs() const;

  struct Stream;  // shared with the server's threads

 private:
  std::chrono::milliseconds openTimeout_;
  FrameSource* source_ = nullptr;
  std::uint32_t rate_ = 0;
  std::unique_ptr<Stream> stream_;
};

}  // namespace kestu

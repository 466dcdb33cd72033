// A PipeWire playback stream of our own. The desktop's server runs one
// graph cycle per quantum; the stream asks for a short node latency, so the
// graph runs small cycles while we play, and renders in the server's
// real-time cycle, straight into the buffer the graph hands it. Each block is
// placed in time by the stream's own timing (when the cycle began and how far
// the device is from it), through the clock model's loop. No server counts as
// no device. The stream runs at the mixer's own rate (the server converts it
// to the graph's); its buffer frames are those of the last cycle, and its
// underruns the cycles in which the graph ran on without our frames. GUI
// thread only, unless said otherwise.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "sound/output/server_stream.h"

namespace kestu {

class PipeWireOutput : public ServerStream {
 public:
  // The node latency we ask for, as a time: 256 frames at 48 kHz, 5.3 ms a
  // cycle. A frame handed over is heard about a cycle later.
  static constexpr std::uint32_t kLatencyFrames = 256;
  static constexpr std::uint32_t kLatencyRate = 48000;

  explicit PipeWireOutput(std::chrono::milliseconds openBound = BoundedOpen::kDefaultBound);
  ~PipeWireOutput() override;

 private:
  struct Stream;  // shared with the server's threads
  std::unique_ptr<Stream> stream_;

  const StreamFigures* OpenStream(FrameSource& source, std::uint32_t rate) override;
  void CloseStream() override;
};

}  // namespace kestu

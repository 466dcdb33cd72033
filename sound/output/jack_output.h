// A JACK client of our own on a running server (never started for us): two
// output ports linked to the system's playback ports, the mixer's frames
// converted to the server's rate and period. Each cycle is placed in time by
// the server's own cycle times and our ports' playback latency range, which
// is followed as the graph changes.
//
// The server may go away at any moment; it then tells us on a thread of its
// own, which only marks the stream as gone. Closing and freeing the client
// happen on the GUI thread alone, so a server's shutdown and our close never
// run at the same time. Its figures are the server's: its rate and period,
// our ports' playback latency (the larger end of the range) and its xruns
// while we were connected. GUI thread only, unless said otherwise.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "sound/output/server_stream.h"

namespace kestu {

class JackOutput : public ServerStream {
 public:
  // The node latency asked for where the JACK server is PipeWire's (it
  // reads PIPEWIRE_LATENCY); a JACK server of its own runs its own period.
  static constexpr const char* kPipeWireLatency = "256/48000";

  explicit JackOutput(std::chrono::milliseconds openBound = BoundedOpen::kDefaultBound);
  ~JackOutput() override;

 private:
  struct Stream;  // shared with the server's threads
  std::shared_ptr<Stream> stream_;

  const StreamFigures* OpenStream(FrameSource& source, std::uint32_t rate) override;
  void CloseStream() override;
};

}  // namespace kestu

// A JACK client of our own on a running server (never started for us): two
// output ports linked to the system's playback ports, the mixer's frames
// converted to the server's rate and period. Each cycle is placed in time by
// the server's own cycle times and our ports' playback latency range, which
// is followed as the graph changes.
//
// The server may go away at any moment; it then tells us on a thread of its
// own, which only marks the stream as gone. Closing and freeing the client
// happen on the GUI thread alone, so a server's shutdown and our close never
// run at the same time. Opening is bounded in time: a server that does not
// answer counts as no device. GUI thread only, unless said otherwise.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "sound/output/device_stream.h"

namespace kestu {

class JackOutput : public DeviceStream {
 public:
  // The node latency asked for where the JACK server is PipeWire's (it
  // reads PIPEWIRE_LATENCY); a JACK server of its own runs its own period.
  static constexpr const char* kPipeWireLatency = "256/48000";

  explicit JackOutput(std::chrono::milliseconds openTimeout = std::chrono::milliseconds(3000));
  ~JackOutput() override;
  JackOutput(const JackOutput&) = delete;
  JackOutput& operator=(const JackOutput&) = delete;

  bool Open(FrameSource& source, std::uint32_t rate) override;
  void ChangeRate(std::uint32_t rate) override;
  void Close() override;

  // False once the server shut down or stopped calling us.
  bool IsPulling() const override;
  bool IsOpen() const { return stream_ != nullptr; }
  std::string ApiName() const override { return IsOpen() ? "jack" : ""; }
  std::uint32_t DeviceRate() const override;
  // The server's period.
  std::uint32_t BufferFrames() const override;
  // Our ports' playback latency (the larger end of the range), in the
  // server's frames. Any thread.
  long StreamLatencyFrames() const override;
  // The server's xruns while we were connected. Any thread.
  std::uint64_t Underruns() const override;
  // The lead the clock model now keeps. Any thread.
  std::int64_t LeadNs() const;

  struct Stream;  // shared with the server's threads

 private:
  std::chrono::milliseconds openTimeout_;
  FrameSource* source_ = nullptr;
  std::uint32_t rate_ = 0;
  std::shared_ptr<Stream> stream_;
};

}  // namespace kestu

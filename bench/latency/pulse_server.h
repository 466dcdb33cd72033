#pragma once
// The PulseAudio server the measurement plays into: a private one on a null sink, the tests' own
// (tests/support/private_pulse.h) started as a child of this process in a folder of its own and
// stopped again, or one the environment already names. Every wait here is bounded. Main thread only.
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "tests/support/private_pulse.h"

namespace kestu::latency {

// What the server says about the null sink: its latency now and the one it was configured for
// (the block it renders ahead), in microseconds.
struct SinkLatency {
  long nowUs = -1;
  long configuredUs = -1;
};

// What the server says about one playback stream: how much of it waits in the server's buffer,
// and the sink's share, in microseconds.
struct StreamLatency {
  long bufferUs = -1;
  long sinkUs = -1;
};

class PulseServer {
 public:
  // Starts `pulseaudio` with a null sink named "null" at `rate` Hz. This process (and so RtAudio
  // and pactl) is pointed at it through PULSE_RUNTIME_PATH. Null, with `error`, when it cannot
  // start or does not answer within a few seconds.
  static std::unique_ptr<PulseServer> StartPrivate(std::uint32_t rate, std::string& error);
  // The server the environment points at, which must have a sink named `sink`.
  static std::unique_ptr<PulseServer> UseExisting(const std::string& sink, std::string& error);

  // Stops a private server and removes its folder.
  ~PulseServer();
  PulseServer(const PulseServer&) = delete;
  PulseServer& operator=(const PulseServer&) = delete;

  const std::string& Sink() const { return sink_; }
  std::uint32_t SinkRate() const { return sinkRate_; }
  bool IsPrivate() const { return private_ != nullptr; }
  // The private server's process, for a watchdog that must end it from another thread; 0 if none.
  pid_t ChildPid() const { return private_ ? private_->Pid() : 0; }

  // A null sink with nothing to play sleeps in 2-second blocks; a stream that starts then loses
  // its first second. True once the sink's latency is below 100 ms (a client woke it).
  bool WaitUntilAwake(std::chrono::milliseconds limit) const;
  std::optional<SinkLatency> QuerySink() const;
  // The first playback stream whose application is `application`.
  std::optional<StreamLatency> QueryStream(const std::string& application) const;

 private:
  PulseServer() = default;
  bool ReadSinkRate(std::string& error);

  std::string sink_;
  std::uint32_t sinkRate_ = 0;
  std::string folder_;
  std::unique_ptr<test::PrivatePulse> private_;
};

// The microsecond figure after `key` on a line of pactl's listing, e.g. "Latency: 1999 usec,
// configured 2000 usec" gives 1999 for "Latency:" and 2000 for "configured". -1 when absent.
long MicrosecondsAfter(const std::string& line, const std::string& key);

}  // namespace kestu::latency

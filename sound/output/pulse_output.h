// A PulseAudio playback stream of our own, on libpulse's asynchronous API.
// It asks the server for a small, fixed buffer (the server resamples from the
// mixer's rate), places each block in time by the server's own timing
// reports, and counts the times the server ran dry.
//
// Closing never waits for the server: a server that is stopped or gone
// cannot hold up the window. GUI thread only, unless said otherwise.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include "sound/output/server_stream.h"

namespace kestu {

class PulseOutput : public ServerStream {
 public:
  // What the stream asks the server for, in milliseconds. The server keeps
  // the target length filled, asking for about a request's worth at a time,
  // and splits the target between our stream's buffer and its sink. A frame
  // written now is heard 7 to 10 ms later; smaller targets ran dry on a busy
  // machine far more often, larger ones did not run dry less.
  static constexpr double kTargetMs = 12.0;
  static constexpr double kRequestMs = 3.0;

  explicit PulseOutput(std::chrono::milliseconds openBound = BoundedOpen::kDefaultBound);
  ~PulseOutput() override;

  // The stream runs at the mixer's own rate. Besides the frames the server
  // asks for at a time (BufferFrames), what it granted as the target length.
  std::uint32_t TargetFrames() const;
  // Whether the audio thread got real-time scheduling.
  bool Realtime() const;

  // How long Close waits at most for the audio thread to let go of the
  // server; a thread that takes longer is left to end by itself.
  static constexpr std::chrono::milliseconds kCloseBound{1000};

 private:
  struct Stream;  // shared with the audio thread
  std::shared_ptr<Stream> stream_;

  const StreamFigures* OpenStream(FrameSource& source, std::uint32_t rate) override;
  void CloseStream() override;
};

}  // namespace kestu

// What pulls the mixer's frames: the block's place in time, the source an
// output pulls from (the mixer is one) and the output itself, which the
// device outputs in sound/output/ and the offline output implement.
#pragma once

#include <cstdint>

namespace kestu {

// Where a block of frames stands in time, as the output's clock model sees it.
struct BlockTime {
  // steady_clock nanoseconds at which the block's first frame is due at the
  // output. 0: the output keeps no time (the offline output), and commands
  // stamped with a time start at the next block like any other.
  std::int64_t firstFrameNs = 0;
  // How long after its stamp a stamped command sounds. It covers the wait for
  // the output's next request, so that every stamp still lies ahead of the
  // block that renders it; while a stream is open it follows what the server
  // reports: it grows at once and comes back down after a few seconds.
  std::int64_t leadNs = 0;
  // When the first frame is due as read for this very block, before the clock
  // model smoothed it; 0: not known. Far later than firstFrameNs, the stream
  // stood still (a paused server), or its callback woke late.
  std::int64_t readingNs = 0;
  // steady_clock nanoseconds at which the output asked for this block; 0: not
  // known. Unlike the readings, it cannot be stale: a stamped command is never
  // started in a block asked for before the command's own time.
  std::int64_t callNs = 0;
};

class FrameSource {
 public:
  virtual ~FrameSource() = default;
  // Audio thread (or the offline output's caller). Fills `frames` interleaved
  // int16 stereo frames at the rate last given to the output. Never blocks,
  // locks, allocates, frees or logs.
  virtual void RenderFrames(std::int16_t* stereo, std::uint32_t frames, const BlockTime& time) noexcept = 0;
  // The same for a block that stands nowhere in time.
  void RenderFrames(std::int16_t* stereo, std::uint32_t frames) noexcept {
    RenderFrames(stereo, frames, BlockTime{});
  }
  // Only for outputs that render on the thread that drives the sound device
  // (the offline output): hands over every command still waiting for room,
  // so that a render sees all that was asked before it.
  virtual void DeliverPending() {}
  // Any thread. How many frames after the frame in which a sound is started
  // it comes out of RenderFrames (a look-ahead in the source's last stage).
  virtual std::uint32_t LatencyFrames() const noexcept { return 0; }
};

class AudioOutput {
 public:
  virtual ~AudioOutput() = default;
  // GUI thread. Start pulling frames from `source` at `rate` frames per second;
  // false when no device can be opened. Must return in bounded time.
  virtual bool Open(FrameSource& source, std::uint32_t rate) = 0;
  // GUI thread. The mixer now produces `rate` frames per second.
  virtual void ChangeRate(std::uint32_t rate) = 0;
  // GUI thread. After it returns the source is never called again.
  virtual void Close() = 0;
  // GUI thread. False once the output has stopped pulling for good (its
  // device went away); the sound device then closes it and goes silent.
  virtual bool IsPulling() const { return true; }
  // Any thread. Times the output ran dry (the device asked and nothing was
  // ready in time), counted since Open.
  virtual std::uint64_t Underruns() const { return 0; }
};

}  // namespace kestu

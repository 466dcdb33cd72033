// A device output's stream made up in a test: its n-th block is truly due at a start time plus n
// blocks (moved by Shift after a jump), its callbacks read that time with whatever jitter the test
// gives, and the reading goes through the same clock model a device output keeps. The blocks are
// rendered through the offline output, so stamped commands land where a real stream puts them.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "sound/output/clock_model.h"
#include "sound/output/offline_output.h"
#include "tests/support/listening.h"

namespace kestu::test {

class MadeUpStream {
 public:
  MadeUpStream(OfflineOutput& output, std::uint32_t rate, std::uint32_t blockFrames, std::int64_t startNs)
      : output_(output), rate_(rate), block_(blockFrames), startNs_(startNs) {
    clock_.Start(rate, blockFrames);
  }

  std::int64_t TrueTimeOfFrame(std::uint64_t frame) const {
    return startNs_ + shiftNs_ + static_cast<std::int64_t>(std::llround(frame * 1e9 / rate_));
  }
  // The frame whose time holds `ns` on the stream's true line.
  std::int64_t FrameAt(std::int64_t ns) const {
    return static_cast<std::int64_t>(std::floor((ns - startNs_ - shiftNs_) * 1e-9 * rate_));
  }
  // When the next block's callback runs, before any jitter.
  std::int64_t NextBlockNs() const { return TrueTimeOfFrame(left_.size()); }
  std::int64_t LeadNs() const { return clock_.LeadNs(); }
  // The stream stopped for `ns` (a paused server): from now on its frames are due that much later.
  void Shift(std::int64_t ns) { shiftNs_ += ns; }
  // The output learned that its stream ran dry (as PulseAudio tells it): the next reading seats it.
  void Reseat() { clock_.Reseat(); }

  // The callback wakes `jitterNs` late; its reading of when the block is due is `readingErrorNs`
  // off besides (a server's stale timing report). `frames`: the block's size when not the usual.
  void Render(std::int64_t jitterNs = 0, std::int64_t readingErrorNs = 0, std::uint32_t frames = 0) {
    if (frames == 0) frames = block_;
    const std::int64_t call = NextBlockNs() + jitterNs;
    const BlockTime time = clock_.OnBlock(call + readingErrorNs, frames, call);
    std::vector<std::int16_t> stereo(2 * static_cast<std::size_t>(frames));
    output_.RenderInto(stereo.data(), frames, time);
    for (std::uint32_t i = 0; i < frames; ++i) left_.push_back(stereo[2 * i]);
  }
  // Renders every block whose callback comes by `ns`.
  void RenderUntil(std::int64_t ns) {
    while (NextBlockNs() <= ns) Render();
  }

  const std::vector<std::int16_t>& Left() const { return left_; }
  const ClockModel& Clock() const { return clock_; }

 private:
  OfflineOutput& output_;
  std::uint32_t rate_;
  std::uint32_t block_;
  std::int64_t startNs_;
  ClockModel clock_;
  std::int64_t shiftNs_ = 0;
  std::vector<std::int16_t> left_;
};

}  // namespace kestu::test

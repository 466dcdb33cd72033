#pragma once
// A frame source for output tests: it plays silence, counts what it is asked for and keeps the
// times of its first blocks.
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>

#include "sound/output/audio_output.h"

namespace kestu::test {

// Counts what it is asked for and remembers the times of its blocks. Audio thread, no locks.
class ProbeSource : public FrameSource {
 public:
  void RenderFrames(std::int16_t* stereo, std::uint32_t frames, const BlockTime& time) noexcept override {
    std::fill_n(stereo, 2 * static_cast<std::size_t>(frames), std::int16_t{0});
    const std::int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch()).count();
    const std::uint64_t block = blocks.load(std::memory_order_relaxed);
    if (block < kKept) kept[block] = {now, time, frames};
    frames_.fetch_add(frames, std::memory_order_relaxed);
    blocks.store(block + 1, std::memory_order_release);
  }
  std::uint64_t Frames() const { return frames_.load(std::memory_order_relaxed); }

  struct Block {
    std::int64_t calledNs;
    BlockTime time;
    std::uint32_t frames;
  };
  static constexpr std::size_t kKept = 4096;
  std::array<Block, kKept> kept{};
  std::atomic<std::uint64_t> blocks{0};

 private:
  std::atomic<std::uint64_t> frames_{0};
};

}  // namespace kestu::test

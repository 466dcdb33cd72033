#pragma once
// Shared pieces of the device output tests: a frame source that plays silence, counts what it is
// asked for and keeps the times of its first blocks; and a fixture with a sound server of the
// test's own, the only one this process can find.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

#include "sound/output/audio_output.h"
#include "sound/output/device_output.h"
#include "sound/steady_clock.h"
#include "tests/sound/sound_fixture.h"

namespace kestu::test {

// Counts what it is asked for and remembers the times of its blocks. Audio thread, no locks.
class ProbeSource : public FrameSource {
 public:
  void RenderFrames(std::int16_t* stereo, std::uint32_t frames, const BlockTime& time) noexcept override {
    std::fill_n(stereo, 2 * static_cast<std::size_t>(frames), std::int16_t{0});
    const std::int64_t now = SteadyNowNs();
    const std::uint64_t block = blocks.load(std::memory_order_relaxed);
    if (block < kKept) kept[block] = {now, time, frames};
    frames_.fetch_add(frames, std::memory_order_relaxed);
    blocks.store(block + 1, std::memory_order_release);
  }
  std::uint64_t Frames() const { return frames_.load(std::memory_order_relaxed); }
  // How many blocks were kept, and whether kept block i is due where the one before ends by its
  // frames at the mixer's rate (within a millisecond). Read once the output is closed.
  std::size_t Kept() const { return std::min<std::size_t>(blocks.load(), kKept); }
  bool FollowsOn(std::size_t i) const {
    const Block& before = kept[i - 1];
    return std::abs(kept[i].time.firstFrameNs - (before.time.firstFrameNs + before.frames * 1e9 / 23160)) < 1e6;
  }

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

// `Server` (PrivatePulse, PrivatePipeWire) started for each test, which is skipped, saying why,
// where it cannot start. No JACK server of anyone else's may take the sound away from it.
template <class Server>
class ServerTest : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    ::setenv("JACK_DEFAULT_SERVER", ("kestu-none-" + std::to_string(::getpid())).c_str(), 1);
    server_ = std::make_unique<Server>(folder_);
    std::string why;
    if (!server_->Start(why)) GTEST_SKIP() << Server::kName << " could not start here: " << why;
  }
  void TearDown() override {
    server_.reset();
    ::unsetenv("JACK_DEFAULT_SERVER");
    SoundTest::TearDown();
  }

  // `output` opened on `source` at the mixer's rate goes to the server under test, at that rate.
  void OpenOnTheServer(DeviceOutput& output, ProbeSource& source, const std::string& api) {
    ASSERT_TRUE(output.Open(source, 23160));
    EXPECT_EQ(output.ApiName(), api);
    EXPECT_EQ(output.DeviceRate(), 23160u);
  }

  std::unique_ptr<Server> server_;
};

}  // namespace kestu::test

// The GUI thread and an audio thread on the same mixer at full speed: stamped and immediate
// channel calls, samples attached and detached (voices created and retired), while the audio
// thread renders blocks placed in time. Built with ThreadSanitizer, this is the race check of the
// sound layer; in every build it checks that nothing is lost or left behind.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "sound/ddsd.h"
#include "sound/output/clock_model.h"
#include "sound/steady_clock.h"
#include "sound/wave.h"
#include "tests/sound/sound_fixture.h"

namespace kestu::test {
namespace {

// Pulls blocks on a thread of its own as fast as it can, timing them with the clock model.
class ThreadedOutput : public AudioOutput {
 public:
  bool Open(FrameSource& source, std::uint32_t rate) override {
    clock_.Start(rate, kBlock);
    stop_.store(false);
    thread_ = std::thread([this, &source] {
      std::int16_t stereo[2 * kBlock];
      while (!stop_.load(std::memory_order_acquire)) {
        source.RenderFrames(stereo, kBlock, clock_.OnBlock(SteadyNowNs(), kBlock));
        blocks_.fetch_add(1, std::memory_order_relaxed);
        std::this_thread::yield();
      }
    });
    return true;
  }
  void ChangeRate(std::uint32_t) override {}
  void Close() override {
    stop_.store(true, std::memory_order_release);
    if (thread_.joinable()) thread_.join();
  }
  std::uint64_t Blocks() const { return blocks_.load(); }
  bool Pulling() const { return thread_.joinable(); }

 private:
  static constexpr std::uint32_t kBlock = 64;
  ClockModel clock_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<std::uint64_t> blocks_{0};
};

using MixerThreads = SoundTest;

TEST_F(MixerThreads, CallsFromTheGuiThreadWhileTheAudioThreadRenders) {
  ThreadedOutput output;
  {
    auto device = ProgramDevice(output, dsoDebugMessage);
    ASSERT_TRUE(device->DeviceOpen());
    std::vector<std::unique_ptr<TDDSDWaveData>> samples;
    for (int i = 0; i < 3; ++i) {
      const std::string path = Write("s" + std::to_string(i) + ".wav", MonoWave16(22050, Ramp(300 + 200 * i)));
      samples.push_back(std::make_unique<TDDSDWaveData>(device.get(), path));
    }
    for (int round = 0; round < 3000; ++round) {
      for (const std::uint32_t index : {1u, 2u, 3u, 5u, 6u, 7u}) {
        TDDSDChannel* channel = device->GetChannel(index);
        // Attaching makes a new voice and retires the old one, as every column does.
        channel->setWaveData(samples[(round + index) % samples.size()].get());
        channel->SetRateRatio(0.5 + 0.1 * (index % 5));
        // At once, due now, or voiced ahead as playback does.
        const std::int64_t stamp = round % 3 == 0 ? 0 : SteadyNowNs() + (round % 3 == 2 ? 100'000'000 : 0);
        const TimedSoundCalls timed(*device, stamp);
        channel->PlayFromStart();
      }
      // Taken back, as Stop or a tempo change does: their releases still come.
      if (round % 11 == 0) device->WithdrawCommandsAfter(SteadyNowNs());
      device->GetChannel(0)->setWaveData(samples[round % samples.size()].get());
      device->GetChannel(0)->PlayFromStart();
      if (round % 7 == 0) device->GetChannel(5)->Stop();
    }
    EXPECT_GT(output.Blocks(), 0u);
    samples.clear();
  }
  // The device is gone: its output stopped, and every voice was freed (the leak checker agrees).
  EXPECT_FALSE(output.Pulling());
}

}  // namespace
}  // namespace kestu::test

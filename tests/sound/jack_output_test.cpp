// The device output on a running JACK server: chosen before PulseAudio, at the server's own rate
// and period, with the mixer's frames converted to it; a server that goes away is noticed; one
// killed in the middle of playback leaves the component to close while the server's own threads
// tell it the news (run under ThreadSanitizer by the test command).
#include <gtest/gtest.h>

#include <thread>

#include "sound/ddsd.h"
#include "sound/output/clock_model.h"
#include "sound/output/device_output.h"
#include "sound/wave.h"
#include "tests/sound/device_fixture.h"
#include "tests/sound/sound_fixture.h"
#include "tests/support/private_jack.h"

namespace kestu::test {
namespace {

using namespace std::chrono_literals;

class JackOutputTest : public SoundTest {};

TEST_F(JackOutputTest, ARunningServerIsChosenAndPulledAtItsOwnRate) {
  PrivateJack jack(folder_);
  std::string why;
  if (!jack.Start(48000, 256, why)) GTEST_SKIP() << "JACK could not start here: " << why;

  ProbeSource source;
  DeviceOutput output;
  ASSERT_TRUE(output.Open(source, 23160));
  EXPECT_EQ(output.ApiName(), "jack");
  EXPECT_EQ(output.DeviceRate(), 48000u);
  EXPECT_EQ(output.BufferFrames(), 256u);
  ASSERT_TRUE(WaitFor([&] { return source.blocks.load() > 300; }, 10s));
  EXPECT_TRUE(output.IsPulling());

  // The mixer is asked for its own frames: a 256-frame cycle at 48000 Hz is 123.5 of them, and the
  // blocks' times step on by their frames at 23160 Hz. The settled lead holds; a wait that creeps
  // across a step on a loaded machine may move it once, by one step.
  std::uint64_t frames = 0;
  std::size_t following = 0;
  int leadMoves = 0;
  const std::size_t count = source.Kept();
  for (std::size_t i = 100; i < count; ++i) {
    frames += source.kept[i].frames;
    following += source.FollowsOn(i);
    const std::int64_t moved = source.kept[i].time.leadNs - source.kept[i - 1].time.leadNs;
    EXPECT_LE(std::abs(moved), ClockModel::kLeadStepNs) << "block " << i;
    leadMoves += moved != 0;
  }
  EXPECT_LE(leadMoves, 1);
  EXPECT_NEAR(static_cast<double>(frames) / (count - 100), 123.5, 1.0);
  EXPECT_GT(following, (count - 100) * 3 / 4);

  jack.Stop();
  EXPECT_TRUE(WaitFor([&] { return !output.IsPulling(); }, 5s)) << "a server that went away still counts as pulling";
  output.Close();
}

TEST_F(JackOutputTest, AServerKilledMidPlaybackIsNoticedAndTheComponentClosesCleanly) {
  PrivateJack jack(folder_);
  std::string why;
  if (!jack.Start(48000, 128, why)) GTEST_SKIP() << "JACK could not start here: " << why;

  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    if (round > 0) {
      ASSERT_TRUE(jack.Start(48000, 128, why)) << why;
    }
    DeviceOutput output(std::chrono::milliseconds(3000), {OutputWay::kJack});
    auto device = ProgramDevice(output);
    ASSERT_TRUE(device->DeviceOpen());
    ASSERT_EQ(output.ApiName(), "jack");
    TDDSDWaveData tone(device.get(), Write("tone.wav", MonoWave16(22050, std::vector<std::int16_t>(22050, 5000))));
    for (const std::uint32_t channel : {0u, 1u, 5u}) {
      device->GetChannel(channel)->setWaveData(&tone);
      device->GetChannel(channel)->PlayFromStart();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(150 + 70 * round));
    jack.Kill();
    // Playing on while the server's threads find out: the GUI thread keeps sending.
    for (int i = 0; i < 20; ++i) {
      device->GetChannel(1 + i % 3)->PlayFromStart();
      std::this_thread::sleep_for(5ms);
    }
    EXPECT_TRUE(WaitFor([&] { return !output.IsPulling(); }, 5s)) << "a killed server still counts as pulling";
    EXPECT_FALSE(device->RestoreOutput()) << "no server to open";
    device.reset();  // closes the output with the client the server left behind
  }
}

}  // namespace
}  // namespace kestu::test

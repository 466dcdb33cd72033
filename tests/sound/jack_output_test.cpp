// The device output on a running JACK server: chosen before PulseAudio, at the server's own rate
// and period, with the mixer's frames converted to it; a server that goes away is noticed.
#include <gtest/gtest.h>

#include <thread>

#include "sound/output/device_output.h"
#include "tests/sound/probe_source.h"
#include "tests/sound/sound_fixture.h"
#include "tests/support/private_jack.h"

namespace kestu::test {
namespace {

using namespace std::chrono_literals;
using support::WaitFor;

class JackOutputTest : public SoundTest {};

TEST_F(JackOutputTest, ARunningServerIsChosenAndPulledAtItsOwnRate) {
  support::PrivateJack jack(folder_);
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
  // blocks' times step on by their frames at 23160 Hz.
  std::uint64_t frames = 0;
  std::size_t following = 0;
  const std::size_t count = std::min<std::size_t>(source.blocks.load(), source.kept.size());
  for (std::size_t i = 100; i < count; ++i) {
    frames += source.kept[i].frames;
    const auto& before = source.kept[i - 1];
    const double expected = before.time.firstFrameNs + before.frames * 1e9 / 23160;
    following += std::abs(source.kept[i].time.firstFrameNs - expected) < 1e6;
    EXPECT_EQ(source.kept[i].time.leadNs, before.time.leadNs);
  }
  EXPECT_NEAR(static_cast<double>(frames) / (count - 100), 123.5, 1.0);
  EXPECT_GT(following, (count - 100) * 3 / 4);

  jack.Stop();
  EXPECT_TRUE(WaitFor([&] { return !output.IsPulling(); }, 5s)) << "a server that went away still counts as pulling";
  output.Close();
}

}  // namespace
}  // namespace kestu::test

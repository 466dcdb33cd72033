// Our own PipeWire stream, against a private headless PipeWire (wireplumber, a null sink): chosen
// first where the server runs, pulled in the graph's short cycles with each block placed ahead of
// its call; notes stamped a column apart are heard that far apart in the sink's monitor; a server
// that is killed leaves the output not pulling and closes at once.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "sound/ddsd.h"
#include "sound/output/device_output.h"
#include "sound/steady_clock.h"
#include "sound/wave.h"
#include "tests/sound/device_fixture.h"
#include "tests/support/private_pipewire.h"
#include "tests/support/listening.h"

namespace kestu::test {
namespace {

using namespace std::chrono_literals;

using PipeWireOutputTest = ServerTest<PrivatePipeWire>;

TEST_F(PipeWireOutputTest, IsChosenFirstAndPlacesEachBlockAheadOfItsCall) {
  ProbeSource source;
  DeviceOutput output;
  ASSERT_NO_FATAL_FAILURE(OpenOnTheServer(output, source, "pipewire"));
  ASSERT_TRUE(WaitFor([&] { return source.blocks.load() > 400; }, 10s));
  EXPECT_TRUE(output.IsPulling());
  output.Close();
  const std::uint64_t pulled = source.Frames();
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(source.Frames(), pulled) << "pulled after Close";

  // The graph runs the short cycles we asked for (256 frames at 48 kHz: 123.5 of ours), each
  // block is due after its call and by less than the lead, and the blocks follow on.
  const std::size_t count = source.Kept();
  std::uint64_t frames = 0;
  std::size_t ahead = 0, following = 0;
  for (std::size_t i = 100; i < count; ++i) {
    const ProbeSource::Block& block = source.kept[i];
    frames += block.frames;
    const std::int64_t dueIn = block.time.firstFrameNs - block.calledNs;
    ahead += dueIn > -1'000'000 && dueIn < block.time.leadNs;
    following += source.FollowsOn(i);
  }
  EXPECT_NEAR(static_cast<double>(frames) / (count - 100), 123.5, 2.0);
  EXPECT_GT(ahead, (count - 100) * 3 / 4);
  EXPECT_GT(following, (count - 100) * 3 / 4);
}

// Notes stamped 120 ms apart, as ticks of tempo 250 send them, come out of the sink 120 ms apart.
TEST_F(PipeWireOutputTest, StampedNotesAreHeardAsFarApartAsTheirStamps) {
  DeviceOutput output;
  const auto device = ProgramDevice(output);
  ASSERT_TRUE(device->DeviceOpen());
  ASSERT_EQ(output.ApiName(), "pipewire");
  // A short flat burst: its first frame is its onset.
  TDDSDWaveData burst(device.get(), Write("burst.wav", MonoWave16(22050, std::vector<std::int16_t>(600, 9000))));
  for (const std::uint32_t channel : {1u, 2u, 3u}) device->GetChannel(channel)->setWaveData(&burst);

  const std::string recording = (folder_ / "notes.wav").string();
  ASSERT_TRUE(server_->StartRecording(recording));
  std::this_thread::sleep_for(300ms);
  constexpr int kNotes = 12;
  constexpr std::int64_t kApartNs = 120'000'000;
  const std::int64_t first = SteadyNowNs() + 50'000'000;
  for (int n = 0; n < kNotes; ++n) {
    const std::int64_t stamp = first + n * kApartNs;
    // Sent as the tick comes, a little late as ticks are.
    std::this_thread::sleep_until(std::chrono::steady_clock::time_point(std::chrono::nanoseconds(stamp + 2'000'000)));
    const TimedSoundCalls timed(*device, stamp);
    device->GetChannel(1 + n % 3)->PlayFromStart();
  }
  std::this_thread::sleep_for(400ms);
  server_->StopRecording();
  EXPECT_EQ(device->LateStarts(), 0u);

  const WavSound recorded = ReadWav(recording);
  const double rate = recorded.rate;
  ASSERT_EQ(recorded.rate, 48000u);
  const std::vector<std::int64_t> onsets = Onsets(recorded.Channel(0), 480, 1500);
  ASSERT_EQ(onsets.size(), static_cast<std::size_t>(kNotes)) << "every note heard once";
  for (int n = 1; n < kNotes; ++n) {
    // Within a millisecond (the resampler's rise over the threshold is a fraction of that).
    EXPECT_NEAR(static_cast<double>(onsets[n] - onsets[n - 1]), 0.120 * rate, 0.001 * rate) << "note " << n;
  }
}

TEST_F(PipeWireOutputTest, AServerThatIsKilledLeavesTheOutputNotPullingAndClosesAtOnce) {
  ProbeSource source;
  auto output = std::make_shared<DeviceOutput>();
  ASSERT_TRUE(output->Open(source, 23160));
  ASSERT_EQ(output->ApiName(), "pipewire");
  ASSERT_TRUE(WaitFor([&] { return source.blocks.load() > 50; }, 10s));
  server_->Kill();
  EXPECT_TRUE(WaitFor([&] { return !output->IsPulling(); }, 5s));
  auto closed = std::async(std::launch::async, [output] { output->Close(); });
  EXPECT_EQ(closed.wait_for(3s), std::future_status::ready) << "Close waited for a server that is gone";
  closed.wait();
}

// A server that stops answering holds up neither an open (it gives up in its time) nor a close.
TEST_F(PipeWireOutputTest, AStoppedServerHoldsUpNeitherAnOpenNorAClose) {
  ProbeSource source;
  auto output = std::make_shared<DeviceOutput>(std::chrono::milliseconds(1500), std::vector<OutputWay>{OutputWay::kPipeWire});
  ASSERT_TRUE(output->Open(source, 23160));
  ASSERT_TRUE(WaitFor([&] { return source.blocks.load() > 20; }, 10s));
  server_->Freeze();
  std::this_thread::sleep_for(200ms);
  auto closed = std::async(std::launch::async, [output] { output->Close(); });
  const bool closedInTime = closed.wait_for(3s) == std::future_status::ready;

  auto opened = std::async(std::launch::async, [output, &source] { return output->Open(source, 23160); });
  const bool openedInTime = opened.wait_for(5s) == std::future_status::ready;
  server_->Thaw();
  closed.wait();
  EXPECT_TRUE(closedInTime) << "Close waited for the stopped server";
  EXPECT_TRUE(openedInTime) << "Open waited past its time for the stopped server";
  EXPECT_FALSE(opened.get()) << "a server that does not answer counts as none";
  output->Close();
}

}  // namespace
}  // namespace kestu::test

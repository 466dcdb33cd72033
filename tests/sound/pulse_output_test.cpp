// Our own PulseAudio stream and the choice of output, against a private server that the tests
// kill, start again and stop: the stream pulls and places its blocks in time; a server that goes
// away leaves the output not pulling, and one that comes back is found again and heard; a server
// that is stopped never holds up a close.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <future>
#include <iostream>
#include <thread>

#include "sound/ddsd.h"
#include "sound/output/device_output.h"
#include "sound/output/pulse_output.h"
#include "sound/wave.h"
#include "tests/sound/device_fixture.h"
#include "tests/sound/sound_fixture.h"
#include "tests/support/private_pulse.h"
#include "tests/support/listening.h"

namespace kestu::test {
namespace {

using namespace std::chrono_literals;

class PulseOutputTest : public ServerTest<PrivatePulse> {
 protected:
  // A tone the component can load: `seconds` of `hz` at 22050 Hz.
  std::string ToneFile(double hz, double seconds) {
    return Write("tone" + std::to_string(static_cast<int>(hz)) + ".wav",
                 MonoWave16(22050, SineTone(22050, hz, static_cast<std::size_t>(22050 * seconds), 12000.0)));
  }
};

TEST_F(PulseOutputTest, OpensAtTheMixersRateAndPlacesEachBlockWhereItWillBeHeard) {
  ProbeSource source;
  DeviceOutput output;
  ASSERT_NO_FATAL_FAILURE(OpenOnTheServer(output, source, "pulse"));
  EXPECT_GT(output.BufferFrames(), 0u);
  ASSERT_TRUE(WaitFor([&] { return source.blocks.load() > 200; }, 10s));
  EXPECT_TRUE(output.IsPulling());
  EXPECT_GT(output.StreamLatencyFrames(), 0);
  const std::uint64_t underruns = output.Underruns();
  output.Close();
  const std::uint64_t pulled = source.Frames();
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(source.Frames(), pulled) << "pulled after Close";

  // Each block is due after it was rendered, by no more than the stream's buffers hold, and the
  // blocks follow on from each other as their frames say; the lead does not come down within a
  // couple of seconds, and it covers the time from a block's rendering to its sound with two
  // blocks to spare.
  const std::size_t count = source.Kept();
  const std::int64_t lead = source.kept[count - 1].time.leadNs;
  EXPECT_GT(lead, 0);
  std::size_t ahead = 0, following = 0, covered = 0;
  for (std::size_t i = 20; i < count; ++i) {
    const ProbeSource::Block& block = source.kept[i];
    EXPECT_GE(block.time.leadNs, source.kept[i - 1].time.leadNs);
    const std::int64_t dueIn = block.time.firstFrameNs - block.calledNs;
    covered += dueIn < lead;
    ahead += dueIn > 0 && dueIn < 100'000'000;
    following += source.FollowsOn(i);
  }
  // Allow for the blocks around a run dry on a busy machine, where the loop seats itself anew.
  EXPECT_GT(ahead, (count - 20) * 3 / 4);
  EXPECT_GT(following, (count - 20) * 3 / 4);
  EXPECT_GT(covered, (count - 20) * 3 / 4);
  std::cout << "[ stream   ] " << count << " blocks, lead " << lead / 1e6 << " ms, " << underruns
            << " underruns\n";
}

double ProcessCpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The frequency of the tone just after the first onset in a recording; 0 when nothing is heard.
double HeardHz(const std::string& path) {
  const WavSound recorded = ReadWav(path);
  const std::vector<double> left = recorded.Channel(0);
  const std::size_t begin = FirstSound(left, 0, 1999) + recorded.rate / 50, length = recorded.rate / 5;
  if (recorded.rate == 0 || begin + length > left.size()) return 0.0;
  return ToneFrequency(left, recorded.rate, begin, length);
}

TEST_F(PulseOutputTest, AServerThatGoesAwayAndComesBackIsHeardAgain) {
  DeviceOutput output;
  const auto device = ProgramDevice(output);
  ASSERT_TRUE(device->DeviceOpen());
  ASSERT_EQ(output.ApiName(), "pulse");
  TDDSDWaveData tone(device.get(), ToneFile(660, 0.5));
  device->GetChannel(0)->setWaveData(&tone);
  device->GetChannel(0)->PlayFromStart();

  server_->Kill();
  // The output notices by itself, and does not spin on a server that is not there.
  EXPECT_TRUE(WaitFor([&] { return !output.IsPulling(); }, 5s));
  const double before = ProcessCpuSeconds();
  std::this_thread::sleep_for(1s);
  EXPECT_LT(ProcessCpuSeconds() - before, 0.3);
  EXPECT_FALSE(device->RestoreOutput()) << "no server to open";
  device->GetChannel(0)->PlayFromStart();  // silent, and no harm done

  std::string why;
  ASSERT_TRUE(server_->Start(why)) << why;
  const std::string recording = (folder_ / "again.wav").string();
  ASSERT_TRUE(server_->StartRecording(recording));
  ASSERT_TRUE(device->RestoreOutput());
  EXPECT_TRUE(output.IsPulling());
  // Every channel starts silent on the new stream; a sample attached before still plays.
  EXPECT_FALSE(device->GetChannel(0)->Buffer()->IsPlaying());
  device->GetChannel(0)->SetRateRatio(1.5);
  device->GetChannel(0)->PlayFromStart();
  std::this_thread::sleep_for(700ms);
  server_->StopRecording();
  const double hz = HeardHz(recording);
  ASSERT_GT(hz, 0.0) << "nothing heard after the server came back";
  EXPECT_NEAR(hz, 990.0, 15.0);
}

// Each note in a recording: when it begins, in seconds, and its loudest sample over `window`.
struct Note {
  double seconds;
  int peak;
};

std::vector<Note> NotesIn(const std::string& path, double window) {
  const WavSound sound = ReadWav(path);
  const std::uint32_t rate = sound.rate;
  const std::vector<double> left = sound.Channel(0);
  std::vector<Note> notes;
  for (const std::int64_t onset : Onsets(left, rate / 20)) {
    const auto end = std::min<std::size_t>(left.size(), onset + static_cast<std::size_t>(window * rate));
    int peak = 0;
    for (auto i = static_cast<std::size_t>(onset); i < end; ++i) peak = std::max(peak, static_cast<int>(std::abs(left[i])));
    notes.push_back({static_cast<double>(onset) / rate, peak});
  }
  return notes;
}

// Playback goes on while the server is killed and started again: the notes voiced meanwhile never
// reach the new stream, and the first note heard on it is as loud as any before, and on its time.
TEST_F(PulseOutputTest, TheFirstNoteAfterTheServerCameBackIsNoLouderThanBefore) {
  DeviceOutput output;
  const auto device = ProgramDevice(output);
  ASSERT_TRUE(device->DeviceOpen());
  TDDSDWaveData tone(device.get(), ToneFile(440, 0.1));
  for (const std::uint32_t channel : {1u, 2u, 3u}) device->GetChannel(channel)->setWaveData(&tone);
  // Notes 200 ms apart, voiced 200 ms ahead as playback voices them.
  int column = 0;
  const auto voice = [&](int notes) {
    for (int i = 0; i < notes; ++i, ++column) {
      {
        const TimedSoundCalls timed(*device, SteadyNowNs() + 200'000'000);
        device->GetChannel(1 + column % 3)->PlayFromStart();
      }
      std::this_thread::sleep_for(200ms);
    }
  };
  const std::string before = (folder_ / "before.wav").string();
  ASSERT_TRUE(server_->StartRecording(before));
  voice(4);
  std::this_thread::sleep_for(300ms);
  server_->StopRecording();

  server_->Kill();
  voice(3);  // the ticks go on while no server is there
  std::string why;
  ASSERT_TRUE(server_->Start(why)) << why;
  const std::string after = (folder_ / "after.wav").string();
  ASSERT_TRUE(server_->StartRecording(after));
  voice(1);  // a tick before the window's own check finds the server again
  ASSERT_TRUE(WaitFor([&] { return !output.IsPulling(); }, 5s));
  ASSERT_TRUE(device->RestoreOutput());
  voice(4);
  std::this_thread::sleep_for(300ms);
  server_->StopRecording();

  const std::vector<Note> normal = NotesIn(before, 0.05);
  const std::vector<Note> again = NotesIn(after, 0.05);
  ASSERT_GE(normal.size(), 3u);
  ASSERT_EQ(again.size(), 4u) << "the notes voiced once the output was found again, no more";
  int loudest = 0;
  for (const Note& note : normal) loudest = std::max(loudest, note.peak);
  std::cout << "[ restart  ] first note after the restart at " << again.front().peak << ", notes before at most "
            << loudest << " (" << 20 * std::log10(static_cast<double>(again.front().peak) / loudest) << " dB)\n";
  for (std::size_t i = 0; i < again.size(); ++i) {
    EXPECT_LE(again[i].peak, loudest * 1.05) << "note " << i;
    if (i > 0) {
      EXPECT_NEAR(again[i].seconds - again[i - 1].seconds, 0.2, 0.005) << "notes " << i - 1 << ", " << i;
    }
  }
}

TEST_F(PulseOutputTest, AStoppedServerNeverHoldsUpAClose) {
  ProbeSource source;
  auto output = std::make_shared<DeviceOutput>();
  ASSERT_TRUE(output->Open(source, 23160));
  ASSERT_TRUE(WaitFor([&] { return source.blocks.load() > 10; }, 10s));
  server_->Freeze();
  std::this_thread::sleep_for(200ms);
  EXPECT_TRUE(output->IsPulling()) << "a stopped server is not a gone one";

  // On a thread of its own, so that a close that hangs fails the test instead of hanging it.
  auto closed = std::async(std::launch::async, [output] { output->Close(); });
  const bool inTime = closed.wait_for(5s) == std::future_status::ready;
  const std::uint64_t pulled = source.Frames();
  server_->Thaw();
  if (!inTime) closed.wait();
  EXPECT_TRUE(inTime) << "Close waited for the stopped server";
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(source.Frames(), pulled) << "pulled after Close";

  // The component on a stopped server: its whole tear-down returns too.
  auto done = std::async(std::launch::async, [this] {
    DeviceOutput deviceOutput;
    const auto device = ProgramDevice(deviceOutput);
    TDDSDWaveData tone(device.get(), ToneFile(440, 0.3));
    device->GetChannel(0)->setWaveData(&tone);
    device->GetChannel(0)->PlayFromStart();
    std::this_thread::sleep_for(100ms);
    server_->Freeze();
    std::this_thread::sleep_for(100ms);
  });
  const bool tornDown = done.wait_for(8s) == std::future_status::ready;
  server_->Thaw();
  if (!tornDown) done.wait();
  EXPECT_TRUE(tornDown) << "the component's tear-down waited for the stopped server";
}

TEST_F(PulseOutputTest, OpeningOnAStoppedServerGivesUpInTime) {
  server_->Freeze();
  ProbeSource source;
  PulseOutput output(300ms);
  auto opened = std::async(std::launch::async, [&] { return output.Open(source, 23160); });
  const bool inTime = opened.wait_for(5s) == std::future_status::ready;
  server_->Thaw();
  ASSERT_TRUE(inTime);
  EXPECT_FALSE(opened.get());
  EXPECT_FALSE(output.IsPulling());
  EXPECT_EQ(source.Frames(), 0u);
}

}  // namespace
}  // namespace kestu::test

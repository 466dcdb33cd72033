// The program's device output: silent when there is no server, bounded when
// the server does not answer, and real sound through a private PulseAudio server.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <thread>

#include "sound/ddsd.h"
#include "sound/mixer/master_stage.h"
#include "sound/output/device_output.h"
#include "sound/output/pulse_output.h"
#include "sound/wave.h"
#include "tests/sound/device_fixture.h"
#include "tests/support/private_pulse.h"
#include "tests/support/listening.h"

namespace kestu::test {
namespace {

using namespace std::chrono_literals;

// This process is pointed at a PulseAudio server of the test's own, started only where a test
// starts it; no JACK server or PipeWire of anyone else's is found.
class DeviceOutputTest : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    pulse_ = std::make_unique<PrivatePulse>(folder_);
    ::setenv("JACK_DEFAULT_SERVER", ("kestu-none-" + std::to_string(::getpid())).c_str(), 1);
  }
  void TearDown() override {
    pulse_.reset();
    ::unsetenv("JACK_DEFAULT_SERVER");
    SoundTest::TearDown();
  }
  std::unique_ptr<PrivatePulse> pulse_;
};

TEST_F(DeviceOutputTest, WithoutAServerTheOutputFailsAndTheComponentRunsSilent) {
  ::setenv("PULSE_SERVER", ("unix:" + (folder_ / "no-server").string()).c_str(), 1);
  OfflineOutput unused;
  DeviceOutput output(3000ms);
  ProbeSource nothing;  // plays silence
  EXPECT_FALSE(output.Open(nothing, 23160));
  EXPECT_FALSE(output.IsOpen());

  TDDSD device(nullptr);  // the program's own choice of output
  device.SetDebugOption(dsoHaltOnError | dsoDebugMessage);
  device.Loaded();
  EXPECT_FALSE(device.DeviceOpen());
  device.SetPrimaryFormat(23160, 16, true);
  device.GetChannel(0)->PlayFromStart();
  EXPECT_EQ(LogLineCount, 0);
}

TEST_F(DeviceOutputTest, AServerThatNeverAnswersCountsAsNoDevice) {
  // A socket that accepts connections and then says nothing.
  const std::string path = (folder_ / "mute-server").string();
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof address.sun_path);
  std::copy(path.begin(), path.end(), address.sun_path);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 4), 0);
  ::setenv("PULSE_SERVER", ("unix:" + path).c_str(), 1);
  ::setenv("PIPEWIRE_REMOTE", path.c_str(), 1);  // PipeWire finds a mute server too

  PulseOutput output(300ms);
  DeviceOutput choice(300ms);
  ProbeSource nothing;  // plays silence
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(output.Open(nothing, 23160));
  EXPECT_FALSE(output.IsPulling());
  EXPECT_FALSE(choice.Open(nothing, 23160));
  RecordProperty("open_ms", static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                 std::chrono::steady_clock::now() - start).count()));
  ::close(listener);
}

std::string Shell(const std::string& command) { return RunProgram({"/bin/sh", "-c", command}).out; }

TEST_F(DeviceOutputTest, ASamplePlayedThroughPulseAudioIsHeardInTheRecording) {
  std::string why;
  if (!pulse_->Start(why)) GTEST_SKIP() << "PulseAudio could not start here: " << why;
  const std::string recording = (folder_ / "recording.wav").string();
  ASSERT_TRUE(pulse_->StartRecording(recording)) << "the null sink stays idle";

  // Half a second of 660 Hz at 22050 Hz, played at ratio 1.5: 990 Hz for a third of a second.
  const std::string wavePath = Write("tone.wav", MonoWave16(22050, SineTone(22050, 660.0, 11025, 12000.0)));
  std::string api, sinkInputs;
  std::uint32_t deviceRate = 0, bufferFrames = 0;
  long streamLatency = 0;
  {
    DeviceOutput output;
    const auto device = ProgramDevice(output, dsoDebugMessage);
    ASSERT_TRUE(device->DeviceOpen());
    api = output.ApiName();
    deviceRate = output.DeviceRate();
    bufferFrames = output.BufferFrames();
    TDDSDWaveData wave(device.get(), wavePath);
    ASSERT_NE(wave.Buffer(), nullptr);
    std::this_thread::sleep_for(200ms);
    device->GetChannel(0)->setWaveData(&wave);
    device->GetChannel(0)->SetRateRatio(1.5);
    device->GetChannel(0)->PlayFromStart();
    std::this_thread::sleep_for(200ms);
    streamLatency = output.StreamLatencyFrames();
    sinkInputs = Shell("pactl list sink-inputs 2>/dev/null | grep -i latency");
    std::this_thread::sleep_for(600ms);
    EXPECT_FALSE(device->GetChannel(0)->Buffer()->IsPlaying());
  }
  pulse_->StopRecording();
  EXPECT_EQ(LogLineCount, 0);
  EXPECT_EQ(api, "pulse");
  EXPECT_EQ(deviceRate, 23160u);
  std::cout << "[ latency  ] buffer " << bufferFrames << " frames at " << deviceRate << " Hz"
            << (streamLatency > 0 ? ", stream " + std::to_string(streamLatency) + " frames" : std::string())
            << "; server:\n" << sinkInputs;

  const WavSound recorded = ReadWav(recording);
  const std::vector<double> left = recorded.Channel(0);
  const std::uint32_t rate = recorded.rate;
  ASSERT_EQ(rate, 48000u);
  const std::size_t onset = FirstSound(left, 0, 1999);
  ASSERT_LT(onset, left.size()) << "no sound in " << left.size() << " recorded frames";
  // A quarter second from just after the onset: the tone at 990 Hz and its level.
  const std::size_t begin = onset + rate / 50, length = rate / 4;
  ASSERT_LE(begin + length, left.size());
  EXPECT_NEAR(ToneFrequency(left, rate, begin, length), 990.0, 15.0);
  EXPECT_NEAR(Rms(left, begin, begin + length), 12000.0 * ds::MasterStage::kHeadroomGain / std::sqrt(2.0),
              1500.0 * ds::MasterStage::kHeadroomGain);
  // And it ends: a third of a second after the onset there is silence again.
  EXPECT_GE(FirstSound(left, onset + rate / 3 + rate / 20, 200), std::min(left.size(), onset + rate));
}

}  // namespace
}  // namespace kestu::test

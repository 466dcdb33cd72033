// Shared pieces of the sound tests: a private folder for the debug log and
// test files, the process-wide switches reset, WAV files built byte by byte,
// and a device on the offline output.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "sound/ddsd.h"
#include "sound/diagnostics.h"
#include "sound/output/offline_output.h"
#include "sound/riff.h"
#include "sound/wave.h"
#include "tests/support/listening.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/text_files.h"
#include "tests/support/wav_files.h"

namespace kestu::test {

// A note at one level whose sign flips every frame: it carries no DC, so the master stage's DC
// blocker leaves it whole and no slow tail follows it, and each frame is as loud as the first.
inline std::vector<std::int16_t> FlatNote(std::size_t frames, std::int16_t level = 8000) {
  std::vector<std::int16_t> samples(frames);
  for (std::size_t i = 0; i < frames; ++i) samples[i] = static_cast<std::int16_t>(i % 2 == 0 ? level : -level);
  return samples;
}

// A sawtooth-like ramp that makes every frame distinct.
inline std::vector<std::int16_t> Ramp(std::size_t frames, int step = 7) {
  std::vector<std::int16_t> samples(frames);
  for (std::size_t i = 0; i < frames; ++i) samples[i] = static_cast<std::int16_t>((i * step) % 20000 + 100);
  return samples;
}

// The onsets in `left` after the first `skip` of them are at `expected`, each within `tolerance`
// frames.
inline void ExpectOnsetsAt(const std::vector<std::int16_t>& left, std::size_t skip,
                           const std::vector<std::int64_t>& expected, double tolerance) {
  std::vector<std::int64_t> onsets = Onsets(left);
  onsets.erase(onsets.begin(), onsets.begin() + static_cast<std::ptrdiff_t>(std::min(skip, onsets.size())));
  ASSERT_EQ(onsets.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(onsets[i], expected[i], tolerance) << "note " << i;
}

class SoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetDebugLogFolder(folder_.string());
    ApplyDebugOption(0);
    LogLineCount = 0;
  }
  void TearDown() override {
    SetDebugLogFolder("");
    ApplyDebugOption(0);
    LogLineCount = 0;
  }

  std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = (folder_ / name).string();
    WriteBytes(path, bytes);
    return path;
  }
  std::string LogPath() const { return (folder_ / "ddsd.debug").string(); }
  bool LogExists() const { return std::filesystem::exists(LogPath()); }
  // The log as written, CR LF and all.
  std::string LogText() const { return ReadText(LogPath()); }
  // Forgets the log, so the next message is number 1 again.
  void ClearLog() {
    std::filesystem::remove(LogPath());
    LogLineCount = 0;
  }

  // A device on `output`, loaded as the program loads it, with these options.
  std::unique_ptr<TDDSD> MakeDevice(AudioOutput& output, TDDSDDebugOption options = 0,
                                    std::shared_ptr<ds::FaultPlan> faults = nullptr, bool blockDc = true) {
    auto device =
        std::make_unique<TDDSD>(nullptr, ds::SoundSystemConfig{UseOutput(output), std::move(faults), blockDc});
    device->SetDebugOption(options);
    device->Loaded();
    return device;
  }
  // The same in the program's primary format.
  std::unique_ptr<TDDSD> ProgramDevice(AudioOutput& output, TDDSDDebugOption options = dsoHaltOnError) {
    auto device = MakeDevice(output, options);
    device->SetPrimaryFormat(23160, 16, true);
    return device;
  }

  ScratchFolder scratch_{"sound"};  // a helper thread may still be writing there when it goes
  const std::filesystem::path folder_ = scratch_.Path();
};

// A device on `Output` (the offline output, or one made from it) in the primary format, and the
// samples a test loads on it, let go before the device is.
template <class Output = OfflineOutput>
class OfflineDeviceTest : public SoundTest {
 protected:
  static constexpr std::uint32_t kFlatNoteRate = 23160;

  void SetUpDevice(std::uint32_t rate, TDDSDDebugOption options = dsoDebugMessage,
                   std::shared_ptr<ds::FaultPlan> faults = nullptr) {
    SoundTest::SetUp();
    device_ = MakeDevice(output_, options, std::move(faults));
    device_->SetPrimaryFormat(rate, 16, true);
  }
  // The device at the program's rate, with a short flat note on some of its channels: the note's
  // first frame is its onset, and it ends long before the next one.
  void SetUpFlatNotes(std::initializer_list<std::uint32_t> channels) {
    SetUpDevice(kFlatNoteRate);
    TDDSDWaveData& note = Load(MonoWave16(kFlatNoteRate, FlatNote(200)));
    for (const std::uint32_t channel : channels) {
      device_->GetChannel(channel)->setWaveData(&note);
      device_->GetChannel(channel)->SetRateRatio(1.0);
    }
  }
  void TearDown() override {
    samples_.clear();
    device_.reset();
    SoundTest::TearDown();
  }
  TDDSDWaveData& Load(const std::vector<std::uint8_t>& bytes) {
    const std::string path = Write("s" + std::to_string(samples_.size()) + ".wav", bytes);
    samples_.push_back(std::make_unique<TDDSDWaveData>(device_.get(), path));
    EXPECT_NE(samples_.back()->Buffer(), nullptr);
    return *samples_.back();
  }
  // Plays `channel` as a playback tick due at `stampNs` does.
  void PlayStamped(std::uint32_t channel, std::int64_t stampNs) {
    const TimedSoundCalls timed(*device_, stampNs);
    device_->GetChannel(channel)->PlayFromStart();
  }
  // Sends `notes` stamped 40 ms apart from `firstNs` on channels 1 to 3 in turn, each as its tick
  // comes (by the stream's next callback), and renders the stream, each callback woken `wake()`
  // late, until the last note has been heard and 2000 frames more. The frames the notes are due
  // at, as `frameOf` gives them from their stamps.
  template <class Stream, class Wake, class FrameOf>
  std::vector<std::int64_t> PlayTicks(Stream& stream, std::int64_t firstNs, int notes, Wake wake, FrameOf frameOf) {
    constexpr std::int64_t kTickNs = 40'000'000;
    std::vector<std::int64_t> expected;
    int sent = 0;
    while (sent < notes || static_cast<std::int64_t>(stream.Left().size()) < expected.back() + 2000) {
      for (; sent < notes && firstNs + sent * kTickNs <= stream.NextBlockNs(); ++sent) {
        PlayStamped(1 + sent % 3, firstNs + sent * kTickNs);
        expected.push_back(frameOf(firstNs + sent * kTickNs));
      }
      stream.Render(wake());
    }
    return expected;
  }

  Output output_;
  std::unique_ptr<TDDSD> device_;
  std::vector<std::unique_ptr<TDDSDWaveData>> samples_;
};

}  // namespace kestu::test

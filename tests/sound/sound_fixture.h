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

// The onsets in `left` after the first `skip` of them.
inline std::vector<std::int64_t> OnsetsAfter(const std::vector<std::int16_t>& left, std::size_t skip) {
  std::vector<std::int64_t> onsets = Onsets(left);
  onsets.erase(onsets.begin(), onsets.begin() + static_cast<std::ptrdiff_t>(std::min(skip, onsets.size())));
  return onsets;
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

// A device on the offline output at the program's rate, with a short flat note on some of its
// channels: the note's first frame is its onset, and it ends long before the next one. `Output`:
// the offline output, or one made from it.
template <class Output = OfflineOutput>
class FlatNoteTest : public SoundTest {
 protected:
  static constexpr std::uint32_t kFlatNoteRate = 23160;

  void SetUpFlatNotes(std::initializer_list<std::uint32_t> channels) {
    SoundTest::SetUp();
    device_ = MakeDevice(output_, dsoDebugMessage);
    device_->SetPrimaryFormat(kFlatNoteRate, 16, true);
    const std::string path = Write("flat.wav", MonoWave16(kFlatNoteRate, FlatNote(200)));
    sample_ = std::make_unique<TDDSDWaveData>(device_.get(), path);
    for (const std::uint32_t channel : channels) {
      device_->GetChannel(channel)->setWaveData(sample_.get());
      device_->GetChannel(channel)->SetRateRatio(1.0);
    }
  }
  void TearDown() override {
    sample_.reset();
    device_.reset();
    SoundTest::TearDown();
  }
  // Plays `channel` as a playback tick due at `stampNs` does.
  void PlayStamped(std::uint32_t channel, std::int64_t stampNs) {
    const TimedSoundCalls timed(*device_, stampNs);
    device_->GetChannel(channel)->PlayFromStart();
  }

  Output output_;
  std::unique_ptr<TDDSD> device_;
  std::unique_ptr<TDDSDWaveData> sample_;
};

}  // namespace kestu::test

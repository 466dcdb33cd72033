// Shared pieces of the playback tests: a private folder holding our own test samples as
// waves/SoundN.wav (cosine tones, a distinct pitch per sample number, so the sound tells which
// sample played), the current directory moved into it, and measurements of the rendered sound.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "playback/sample_bank.h"
#include "sound/diagnostics.h"
#include "tests/support/listening.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/wav_files.h"

namespace kestu::test {

inline constexpr std::uint32_t kSampleRate = 22050;
inline constexpr double kOutputRate = 23160.0;

// The pitch of test sample n at its own rate.
inline double ToneHz(int n) { return 100.0 + 10.0 * n; }

// A mono 16-bit file at kSampleRate: a cosine, so the first frame is already at full level.
inline void WriteTone(const std::string& path, double hz, double seconds, double amplitude = 8000.0) {
  std::vector<std::int16_t> samples(static_cast<std::uint32_t>(seconds * kSampleRate));
  for (std::size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<std::int16_t>(std::lround(amplitude * std::cos(2.0 * M_PI * hz * i / kSampleRate)));
  WriteWav(path, kSampleRate, 1, samples);
}

// A note and how it is voiced: the sample it plays and the rate ratio it plays it at.
struct VoiceCase {
  int instrument, row, sample;
  double ratio;
};

class SampleFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    std::filesystem::create_directories(folder_ / "waves");
    std::filesystem::current_path(folder_);
    SetDebugLogFolder(folder_.string());
    ApplyDebugOption(0);
  }
  void TearDown() override {
    std::filesystem::current_path(previous_);
    SetDebugLogFolder("");
    ApplyDebugOption(0);
  }

  // Writes all 29 samples as tones of `seconds` each.
  void WriteAllTones(double seconds) {
    for (int n = 1; n <= kSampleCount; ++n) WriteTone(SampleBank::FileName(n), ToneHz(n), seconds);
  }

  ScratchFolder scratch_{"playback"};
  const std::filesystem::path folder_ = scratch_.Path();
  std::filesystem::path previous_;
};

}  // namespace kestu::test

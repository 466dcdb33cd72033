// Shared pieces of the playback tests: a private folder holding our own test samples as
// waves/SoundN.wav (cosine tones, a distinct pitch per sample number, so the sound tells which
// sample played), the current directory moved into it, and measurements of the rendered sound.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "playback/sample_bank.h"
#include "sound/diagnostics.h"

namespace kestu::test {

inline constexpr std::uint32_t kSampleRate = 22050;
inline constexpr double kOutputRate = 23160.0;

// The pitch of test sample n at its own rate.
inline double ToneHz(int n) { return 100.0 + 10.0 * n; }

inline void PutLe(std::ofstream& out, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.put(static_cast<char>(v >> (8 * i)));
}

// A mono 16-bit file at kSampleRate: a cosine, so the first frame is already at full level.
inline void WriteTone(const std::string& path, double hz, double seconds, double amplitude = 8000.0) {
  const auto frames = static_cast<std::uint32_t>(seconds * kSampleRate);
  std::ofstream out(path, std::ios::binary);
  out.write("RIFF", 4);
  PutLe(out, 36 + 2 * frames, 4);
  out.write("WAVEfmt ", 8);
  PutLe(out, 16, 4);
  PutLe(out, 1, 2);
  PutLe(out, 1, 2);
  PutLe(out, kSampleRate, 4);
  PutLe(out, 2 * kSampleRate, 4);
  PutLe(out, 2, 2);
  PutLe(out, 16, 2);
  out.write("data", 4);
  PutLe(out, 2 * frames, 4);
  for (std::uint32_t i = 0; i < frames; ++i) {
    const double v = amplitude * std::cos(2.0 * M_PI * hz * i / kSampleRate);
    PutLe(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v))), 2);
  }
}

class SampleFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    previous_ = std::filesystem::current_path();
    folder_ = std::filesystem::temp_directory_path() /
              ("kestu-playback-" + std::to_string(::getpid()) + "-" + info->test_suite_name() + "-" + info->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_ / "waves");
    std::filesystem::current_path(folder_);
    SetDebugLogFolder(folder_.string());
    ApplyDebugOption(0);
  }
  void TearDown() override {
    std::filesystem::current_path(previous_);
    SetDebugLogFolder("");
    ApplyDebugOption(0);
    std::filesystem::remove_all(folder_);
  }

  // Writes all 29 samples as tones of `seconds` each.
  void WriteAllTones(double seconds) {
    for (int n = 1; n <= kSampleCount; ++n) WriteTone(SampleBank::FileName(n), ToneHz(n), seconds);
  }

  std::filesystem::path folder_;
  std::filesystem::path previous_;
};

// The left side of interleaved stereo, as doubles.
inline std::vector<double> LeftOf(const std::vector<std::int16_t>& stereo) {
  std::vector<double> left(stereo.size() / 2);
  for (std::size_t i = 0; i < left.size(); ++i) left[i] = stereo[2 * i];
  return left;
}

// Amplitude of the component at `hz` in [begin, begin + length), by correlation with a Hann-windowed
// complex tone; a full-scale cosine of amplitude A reads as about A.
inline double AmplitudeAt(const std::vector<double>& x, std::size_t begin, std::size_t length, double hz,
                          double rate = kOutputRate) {
  double re = 0, im = 0, weight = 0;
  for (std::size_t i = 0; i < length && begin + i < x.size(); ++i) {
    const double w = 0.5 - 0.5 * std::cos(2.0 * M_PI * i / length);
    const double phase = 2.0 * M_PI * hz * static_cast<double>(i) / rate;
    re += w * x[begin + i] * std::cos(phase);
    im += w * x[begin + i] * std::sin(phase);
    weight += w;
  }
  return weight > 0 ? 2.0 * std::hypot(re, im) / weight : 0.0;
}

// The frequency of a single tone in [begin, begin + length), from the spacing of its rising zero
// crossings (interpolated between frames).
inline double ToneFrequency(const std::vector<double>& x, std::size_t begin, std::size_t length,
                            double rate = kOutputRate) {
  double first = -1, last = -1;
  int crossings = 0;
  for (std::size_t i = begin + 1; i < begin + length && i < x.size(); ++i) {
    if (x[i - 1] < 0 && x[i] >= 0) {
      const double at = static_cast<double>(i - 1) + x[i - 1] / (x[i - 1] - x[i]);
      if (first < 0) first = at;
      last = at;
      ++crossings;
    }
  }
  return crossings < 2 ? 0.0 : (crossings - 1) * rate / (last - first);
}

// Silent: no louder than `quiet`, which lets a test pass over the DC blocker's faint tail.
// The first frame at or after `from` whose left side is not silent; x.size() when none is.
inline std::size_t FirstSound(const std::vector<double>& x, std::size_t from = 0, double quiet = 0.0) {
  while (from < x.size() && std::fabs(x[from]) <= quiet) ++from;
  return from;
}

// The first frame at or after `from` that begins a run of `run` silent frames; x.size() when none does.
inline std::size_t FirstSilence(const std::vector<double>& x, std::size_t from, std::size_t run = 64,
                                double quiet = 0.0) {
  std::size_t zeros = 0;
  for (std::size_t i = from; i < x.size(); ++i) {
    zeros = std::fabs(x[i]) <= quiet ? zeros + 1 : 0;
    if (zeros == run) return i + 1 - run;
  }
  return x.size();
}

}  // namespace kestu::test

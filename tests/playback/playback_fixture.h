// Shared pieces of the playback tests: a private folder holding our own test samples as
// waves/SoundN.wav (cosine tones, a distinct pitch per sample number, so the sound tells which
// sample played), the current directory moved into it, measurements of the rendered sound, and
// the window's timer and view as the transport sees them.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "playback/offline_render.h"
#include "playback/sample_bank.h"
#include "playback/transport.h"
#include "sound/diagnostics.h"
#include "tests/support/listening.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/wav_files.h"

namespace kestu::test {

inline constexpr std::uint32_t kSampleRate = 22050;
inline constexpr double kOutputRate = 23160.0;

// Semitones from row 9, as the rows step the scale.
inline constexpr std::array<int, kRows + 1> kSemitones = {0, 14, 12, 11, 9, 7, 6, 4, 2, 0, -1, -3, -5, -6};

// The pitch of test sample n at its own rate.
inline double ToneHz(int n) { return 100.0 + 10.0 * n; }

// A mono 16-bit file at kSampleRate: a cosine, so the first frame is already at full level.
inline void WriteTone(const std::string& path, double hz, double seconds, double amplitude = 8000.0) {
  std::vector<std::int16_t> samples(static_cast<std::uint32_t>(seconds * kSampleRate));
  for (std::size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<std::int16_t>(std::lround(amplitude * std::cos(2.0 * M_PI * hz * i / kSampleRate)));
  WriteWav(path, kSampleRate, 1, samples);
}

// All that `player` renders of `doc` in `loops` passes, as interleaved stereo frames.
inline std::vector<std::int16_t> RenderedFrames(OfflinePlayer& player, const ScoreDocument& doc, int loops,
                                                OfflineResult* result = nullptr) {
  std::vector<std::int16_t> out;
  const OfflineResult r = player.Play(doc, loops, [&out](const std::int16_t* s, std::uint32_t n) {
    out.insert(out.end(), s, s + 2 * static_cast<std::size_t>(n));
  });
  if (result != nullptr) *result = r;
  return out;
}

// A note and how it is voiced: the sample it plays and the rate ratio it plays it at.
struct VoiceCase {
  int instrument, row, sample;
  double ratio;
};

// The window's timer on the test's clock. The tick tests fire it by hand at `next` (milliseconds);
// given a steady-clock time in `nowNs` it keeps real time, and `wake` is when the transport asks
// to be called next.
class FakeTimer : public TransportTimer {
 public:
  void SetInterval(int milliseconds) override {
    ++intervalSets;
    if (milliseconds == interval_) return;
    interval_ = milliseconds;
    if (enabled_) next = now + interval_;  // re-armed
  }
  int Interval() const override { return interval_; }
  void SetEnabled(bool enabled) override {
    enabled_ = enabled;
    if (enabled) next = now + interval_;
  }
  bool Enabled() const override { return enabled_; }
  std::int64_t NowNs() const override { return nowNs; }
  void WakeAt(std::int64_t ns) override { wake = ns; }

  std::int64_t now = 0, next = 0;
  std::int64_t nowNs = 0, wake = 0;
  int intervalSets = 0;

 private:
  int interval_ = 0;
  bool enabled_ = false;
};

// The window's side of the transport: records what it is asked to do, and runs `onRenderPlain` as
// each picture is drawn.
class FakeView : public TransportView {
 public:
  void SetScrollPosition(int position) override {
    const int clamped = std::clamp(position, 0, kScrollBarMax);
    if (clamped != scroll) ++redrawsByScroll;
    scroll = clamped;
  }
  int ScrollPosition() const override { return scroll; }
  void RenderPlain() override {
    ++plainRenders;
    if (onRenderPlain) onRenderPlain();
  }
  void SetTransportFaces(int play, int stop) override {
    playFace = play;
    stopFace = stop;
  }
  void SetStopDown() override { stopDown = true; }
  bool LightMode() const override { return light; }

  std::function<void()> onRenderPlain;
  int scroll = 0, redrawsByScroll = 0, plainRenders = 0, playFace = -1, stopFace = -1;
  bool stopDown = false, light = false;
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

// The 29 sample files the build writes into waves/, loaded as the program loads them: their
// format, length and level, clean ends, the tuning of the pitched ones, and that each is a sound
// of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <iostream>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "sound/ddsd.h"
#include "sound/output/offline_output.h"
#include "sound/riff.h"
#include "sound/wave.h"
#include "sound/wave_writer.h"
#include "tests/support/listening.h"
#include "tests/support/loaded_device.h"
#include "tests/support/sound_analysis.h"
#include "tests/support/wav_files.h"
#include "tools/synth/finish.h"
#include "tools/synth/loudness.h"
#include "tools/synth/sample_set.h"
#include "tools/synth/signal.h"

namespace kestu::test {
namespace {

constexpr int kCount = 29;
constexpr double kRate = 22050.0;
constexpr double kF4 = synth::kBasePitchHz, kE5 = synth::kHighPitchHz;

std::string PathOf(int number) {
  return std::string(KESTU_BUILD_DIR) + "/waves/Sound" + std::to_string(number) + ".wav";
}

// A sample file loaded the way the program loads it, through the sound component's loader on a
// device with the offline output, with its sound data read back out of the buffer.
struct LoadedSample {
  bool loaded = false;  // the loader filled a buffer
  ds::WAVEFORMATEX format;  // as the loader read it (packed: compare its fields by value)
  std::uint32_t format_chunk_size = 0;
  std::vector<std::int16_t> frames;  // the buffer's data as 16-bit words
  Samples x;                         // the frames at full scale +-1
};

std::uint32_t FormatChunkSize(const std::string& path) {
  RiffReader reader;
  RiffChunk riff, format;
  if (!reader.Open(path) || !reader.FindRiff(MakeFourCC('W', 'A', 'V', 'E'), riff) ||
      !reader.FindChunk(MakeFourCC('f', 'm', 't', ' '), riff, format)) {
    return 0;
  }
  return format.size;
}

LoadedSample LoadAsTheProgramDoes(const std::string& path) {
  // One device for the whole test program, set up as the main window sets it up.
  static OfflineOutput output;
  static const std::unique_ptr<TDDSD> device = LoadedDevice(output);
  LoadedSample sample;
  TDDSDWaveData wave(device.get(), path);
  sample.format = wave.Format();
  sample.format_chunk_size = FormatChunkSize(path);
  ds::IDirectSoundBuffer* buffer = wave.Buffer();
  if (buffer == nullptr) return sample;
  // The buffer can be locked again once the mixer has taken the loader's last settings, which
  // it does as it renders.
  output.Render(1);
  void* first = nullptr;
  void* second = nullptr;
  std::uint32_t first_bytes = 0, second_bytes = 0;
  if (buffer->Lock(0, wave.DataSize(), &first, &first_bytes, &second, &second_bytes, 0) !=
      ds::DS_OK)
    return sample;
  sample.frames.resize((first_bytes + second_bytes) / 2);
  auto* out = reinterpret_cast<unsigned char*>(sample.frames.data());
  std::memcpy(out, first, first_bytes / 2 * 2);
  if (second_bytes != 0) std::memcpy(out + first_bytes, second, second_bytes / 2 * 2);
  buffer->Unlock(first, first_bytes, second, second_bytes);
  sample.loaded = true;
  return sample;
}

// Loaded once for the whole program. A file the loader cannot take has no frames, which fails
// EveryFileLoadsAsMono16BitPcmAt22050Hz by name and every other check on it.
const std::vector<LoadedSample>& AllSamples() {
  static const std::vector<LoadedSample> all = [] {
    std::vector<LoadedSample> loaded(kCount + 1);
    for (int n = 1; n <= kCount; ++n) {
      loaded[n] = LoadAsTheProgramDoes(PathOf(n));
      for (std::int16_t s : loaded[n].frames) loaded[n].x.push_back(s / 32768.0);
      // Two silent frames stand in for a file that did not load, so the checks report it
      // rather than read past an empty sound.
      if (loaded[n].x.empty()) loaded[n].x.assign(2, 0.0);
    }
    return loaded;
  }();
  return all;
}

const Samples& SoundOf(int number) { return AllSamples().at(number).x; }

double Seconds(const Samples& x) { return static_cast<double>(x.size()) / kRate; }

std::size_t Frames(double seconds) { return static_cast<std::size_t>(seconds * kRate); }

TEST(SampleFiles, EveryFileLoadsAsMono16BitPcmAt22050Hz) {
  for (int n = 1; n <= kCount; ++n) {
    SCOPED_TRACE(PathOf(n));
    const LoadedSample& sample = AllSamples()[n];
    ASSERT_TRUE(sample.loaded);
    EXPECT_EQ(sample.format.wFormatTag + 0, 1);
    EXPECT_EQ(sample.format.nChannels + 0, 1);
    EXPECT_EQ(sample.format.nSamplesPerSec + 0u, 22050u);
    EXPECT_EQ(sample.format.nAvgBytesPerSec + 0u, 44100u);
    EXPECT_EQ(sample.format.nBlockAlign + 0, 2);
    EXPECT_EQ(sample.format.wBitsPerSample + 0, 16);
    // A plain 16-byte format chunk, which fits the loader's format record and leaves cbSize 0.
    EXPECT_EQ(sample.format_chunk_size, 16u);
    EXPECT_EQ(sample.format.cbSize + 0, 0);
  }
}

TEST(SampleFiles, LastFrom0Point2To3Seconds) {
  for (int n = 1; n <= kCount; ++n) {
    SCOPED_TRACE(PathOf(n));
    EXPECT_GE(Seconds(SoundOf(n)), 0.2);
    EXPECT_LE(Seconds(SoundOf(n)), 3.0);
  }
}

// Every file is made equally loud in what a note holds when the next column cuts it at tempo 250
// (its first 240 ms, K-weighted), with its peaks at -1 dBFS at most; a sound too spiky for both
// may stay a little quieter.
TEST(SampleFiles, LevelledByTheirFirst240MsWithPeaksUnderMinus1Dbfs) {
  for (int n = 1; n <= kCount; ++n) {
    SCOPED_TRACE(PathOf(n));
    const auto& frames = AllSamples()[n].frames;
    ASSERT_FALSE(frames.empty());
    const auto [low, high] = std::minmax_element(frames.begin(), frames.end());
    const int peak = std::max(-static_cast<int>(*low), static_cast<int>(*high));
    EXPECT_LE(20.0 * std::log10(peak / 32767.0), -0.99);
    const double lufs = synth::OnsetLoudness(SoundOf(n), kRate, synth::kOnsetSeconds);
    EXPECT_LE(lufs, synth::kOnsetLufs + 0.1);
    EXPECT_GE(lufs, synth::kOnsetLufs - 1.0);
  }
}

// An instrument's last note ends as a real one does: it has died away to 60 dB under its loudest
// 20 ms before the file's last 30 ms fade, not been faded out while still ringing.
TEST(SampleFiles, InstrumentsDieAwayTo60DbBeforeTheirLastFade) {
  for (int n = 1; n <= kCount; ++n) {
    if (n >= 16 && n <= 20) continue;  // the tools' sounds and the spare files
    SCOPED_TRACE(PathOf(n));
    const Samples& x = SoundOf(n);
    const std::size_t window = Frames(0.02);
    double loudest = 0.0;
    for (std::size_t start = 0; start + window <= x.size(); start += window / 2) {
      double sum = 0.0;
      for (std::size_t i = start; i < start + window; ++i) sum += x[i] * x[i];
      loudest = std::max(loudest, sum);
    }
    double before = 0.0;
    for (std::size_t i = x.size() - Frames(0.03) - window; i < x.size() - Frames(0.03); ++i) before += x[i] * x[i];
    EXPECT_LE(10.0 * std::log10(std::max(before, 1e-30) / loudest), -60.0);
  }
}

// Bowed and sung notes speak within 60 ms: their first frame at half their peak comes by then.
TEST(SampleFiles, StringsAndChoirReachHalfTheirPeakWithin60Ms) {
  for (int n : {13, 14, 26, 29}) {
    SCOPED_TRACE(PathOf(n));
    const Samples& x = SoundOf(n);
    const double peak = Peak(x, 0, x.size());
    std::size_t half = 0;
    while (half < x.size() && std::fabs(x[half]) < 0.5 * peak) ++half;
    EXPECT_LE(half, Frames(0.06)) << half * 1000.0 / kRate << " ms";
  }
}

// The bass drum keeps a fifth of its energy above 150 Hz, where small speakers still play it.
TEST(SampleFiles, BassDrumKeepsAFifthOfItsEnergyAbove150Hz) {
  // By Parseval: the energy of the bins up to 150 Hz, from a plain transform of the whole sound,
  // against the energy of all of it.
  const Samples& x = SoundOf(3);
  const double length = static_cast<double>(x.size());
  const double total = std::inner_product(x.begin(), x.end(), x.begin(), 0.0);
  double below = 0.0;
  for (std::size_t k = 0; k * kRate / length <= 150.0; ++k) {
    std::complex<double> bin = 0.0;
    for (std::size_t n = 0; n < x.size(); ++n) bin += x[n] * std::polar(1.0, -2.0 * M_PI * k * n / length);
    below += (k == 0 ? 1.0 : 2.0) * std::norm(bin) / length;
  }
  const double above = total - below;
  std::cout << "  bass drum: " << 100.0 * above / total << " % of its energy above 150 Hz\n";
  EXPECT_GE(above / total, 0.2);
}

// A click is a jump from silence: every file starts at rest and rises over at least a
// millisecond or so, ends in silence, and has no DC offset that a cut-off note would jump from.
TEST(SampleFiles, StartAndEndWithoutClicks) {
  for (int n = 1; n <= kCount; ++n) {
    SCOPED_TRACE(PathOf(n));
    const Samples& x = SoundOf(n);
    const double peak = Peak(x, 0, x.size());
    EXPECT_LE(std::fabs(x.front()), 0.001);
    EXPECT_LE(Peak(x, 0, Frames(0.0005)), 0.3 * peak) << "attack faster than half a millisecond";
    EXPECT_LE(Peak(x, x.size() - Frames(0.002), x.size()), 0.01) << "still sounding at the end";
    EXPECT_EQ(x.back(), 0.0);
    const double sum = std::accumulate(x.begin(), x.end(), 0.0);
    EXPECT_LT(std::fabs(sum / static_cast<double>(x.size())), 0.001) << "DC offset above -60 dBFS";
  }
}

struct PitchCase {
  int sample;
  double hz;
  const char* what;
};

// Base samples sound F4 at their own rate (row 9), high-register samples E5 (row 3). The bass
// sounds F2, two octaves down, as a bass part written on this staff is meant.
const PitchCase kPitched[] = {
    {1, kF4, "piano"},           {2, kF4, "music box"},     {4, kF4, "trumpet"},
    {5, kF4, "flute"},           {6, kF4, "guitar"},        {9, kF4 / 4.0, "bass"},
    {10, kF4, "marimba"},        {11, kF4, "boing"},        {12, kF4, "organ"},        {13, kF4, "strings"},
    {14, kF4, "choir"},          {15, kF4, "chip lead"},    {21, kE5, "piano high"},
    {22, kE5, "trumpet high"},   {23, kE5, "flute high"},   {24, kE5, "guitar high"},
    {25, kE5, "organ high"},     {26, kE5, "choir high"},   {27, kE5, "chip lead high"},
    {28, kE5, "music box high"}, {29, kE5, "strings high"},
};

TEST(SampleFiles, PitchedSamplesInTuneWithin5Cents) {
  for (const PitchCase& c : kPitched) {
    SCOPED_TRACE(std::string(c.what) + " in " + PathOf(c.sample));
    const Samples& x = SoundOf(c.sample);
    // The held part: past the attack, before the release.
    const std::size_t begin = Frames(0.1);
    const std::size_t length = x.size() - begin - Frames(0.15);
    const double hz = MeasureFundamentalHz(x, kRate, begin, length, 50.0, 1500.0);
    ASSERT_GT(hz, 0.0) << "no pitch found";
    EXPECT_NEAR(CentsBetween(hz, c.hz), 0.0, 5.0) << "measured " << hz << " Hz";
  }
}

// Each instrument's base sample and its high-register sample.
const std::pair<int, int> kRegisterPairs[] = {{1, 21},  {4, 22},  {5, 23}, {6, 24}, {12, 25},
                                              {14, 26}, {15, 27}, {2, 28}, {13, 29}};

// Whether the sound dies away, as struck and plucked sounds do, rather than being held, as blown,
// bowed, sung and keyed ones are: its level at 60% of its length against that at 20%.
bool DiesAway(const Samples& x) {
  const auto level_at = [&x](double fraction) {
    const auto frame = Frames(0.02);
    const auto start = static_cast<std::size_t>(fraction * static_cast<double>(x.size()));
    double sum = 1e-20;
    for (std::size_t n = start; n < start + frame && n < x.size(); ++n) sum += x[n] * x[n];
    return 10.0 * std::log10(sum);
  };
  return level_at(0.6) - level_at(0.2) < -5.0;
}

// The high sample is the same instrument played higher: it sounds the same way in time, and is
// no longer than the base sample, as real instruments ring shorter up there.
TEST(SampleFiles, HighRegisterSamplesBehaveLikeTheirInstrument) {
  for (const auto& [instrument, highSample] : kRegisterPairs) {
    SCOPED_TRACE("instrument " + std::to_string(instrument) + ", high sample " + std::to_string(highSample));
    const Samples& base = SoundOf(instrument);
    const Samples& high = SoundOf(highSample);
    EXPECT_EQ(DiesAway(base), DiesAway(high));
    EXPECT_LE(high.size(), base.size());
  }
}

// No two files are the same sound: each pair differs clearly in its spectrum or in its loudness
// over time. The smallest difference between two of our instruments is about 10 dB; a copy, or
// a copy at another level, gives 0.
TEST(SampleFiles, NoTwoAlike) {
  std::vector<std::vector<double>> spectra(kCount + 1), contours(kCount + 1);
  for (int n = 1; n <= kCount; ++n) {
    spectra[n] = ThirdOctaveProfileDb(SoundOf(n), kRate);
    contours[n] = LoudnessContourDb(SoundOf(n), kRate);
  }
  for (int a = 1; a <= kCount; ++a) {
    for (int b = a + 1; b <= kCount; ++b) {
      const double difference =
          RmsDifference(spectra[a], spectra[b]) + RmsDifference(contours[a], contours[b]);
      EXPECT_GT(difference, 6.0) << "Sound" << a << " and Sound" << b << " are alike";
    }
  }
}

// The files are what the synthesizer makes now, and it makes them the same every time.
TEST(SampleFiles, BuiltFilesAreTheSynthesizersReproducibleOutput) {
  for (int n = 1; n <= kCount; ++n) {
    SCOPED_TRACE(PathOf(n));
    const std::vector<std::uint8_t> on_disk = ReadBytes(PathOf(n));
    const auto first = WavFileBytes(synth::kSampleRate, 1, synth::RenderSample(n));
    const auto second = WavFileBytes(synth::kSampleRate, 1, synth::RenderSample(n));
    EXPECT_TRUE(first == second) << "two renderings differ";
    EXPECT_TRUE(first == on_disk) << "the file is not the synthesizer's current output";
  }
}

}  // namespace
}  // namespace kestu::test

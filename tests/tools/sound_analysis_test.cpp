// The measurements the sample tests rely on, tried on tones whose answers are known.
#include "tests/support/sound_analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>

namespace kestu::test {
namespace {

constexpr double kRate = 22050.0;
constexpr double kPi = std::numbers::pi;

struct Tone {
  const char* what;
  double hz;
  double fundamental_level;  // the other harmonics have 1/k
  double vibrato_cents;
  double tolerance_cents;
};

Samples Render(const Tone& tone, double seconds) {
  Samples x(static_cast<std::size_t>(seconds * kRate));
  double phase = 0.0;
  for (std::size_t n = 0; n < x.size(); ++n) {
    const double t = static_cast<double>(n) / kRate;
    phase += 2.0 * kPi * tone.hz *
             std::exp2(tone.vibrato_cents * std::sin(2.0 * kPi * 5.5 * t) / 1200.0) / kRate;
    double v = tone.fundamental_level * std::sin(phase);
    for (int k = 2; k * tone.hz < 9000.0; ++k) v += std::sin(k * phase) / k;
    x[n] = 0.3 * v;
  }
  return x;
}

TEST(MeasureFundamental, FindsKnownPitches) {
  const Tone tones[] = {
      {"sawtooth 3 cents above F4", 349.2282 * std::exp2(3.0 / 1200.0), 1.0, 0.0, 0.2},
      {"sawtooth 6 cents below E5", 659.2551 * std::exp2(-6.0 / 1200.0), 1.0, 0.0, 0.2},
      {"low bass note", 87.307, 1.0, 0.0, 0.2},
      {"weak fundamental under a strong octave", 300.0, 0.05, 0.0, 0.2},
      {"vibrato of 15 cents about A4", 440.0, 1.0, 15.0, 2.0},
  };
  for (const Tone& tone : tones) {
    SCOPED_TRACE(tone.what);
    const Samples x = Render(tone, 0.8);
    const double hz = MeasureFundamentalHz(x, kRate, 2205, x.size() - 4410, 50.0, 1500.0);
    EXPECT_NEAR(CentsBetween(hz, tone.hz), 0.0, tone.tolerance_cents) << hz << " Hz";
  }
}

TEST(MeasureFundamental, NoiseAndShortSegmentsHaveNoPitch) {
  Samples noise(22050);
  std::uint32_t state = 12345;
  for (double& v : noise) {
    state = state * 1664525u + 1013904223u;
    v = static_cast<double>(state >> 8) / 8388608.0 - 1.0;
  }
  EXPECT_EQ(MeasureFundamentalHz(noise, kRate, 0, noise.size(), 50.0, 1500.0), 0.0);
  const Samples tone = Render({"", 440.0, 1.0, 0.0, 0.0}, 0.05);
  EXPECT_EQ(MeasureFundamentalHz(tone, kRate, 0, tone.size(), 50.0, 1500.0), 0.0);
  EXPECT_EQ(MeasureFundamentalHz(tone, kRate, 100, tone.size(), 50.0, 1500.0), 0.0)
      << "segment past the end";
}

TEST(SoundProfiles, IgnoreLevelButTellSoundsApart) {
  const Samples a = Render({"", 440.0, 1.0, 0.0, 0.0}, 0.5);
  Samples quieter = a;
  for (double& v : quieter) v *= 0.25;
  const Samples b = Render({"", 880.0, 1.0, 0.0, 0.0}, 0.5);
  EXPECT_NEAR(RmsDifference(ThirdOctaveProfileDb(a, kRate), ThirdOctaveProfileDb(quieter, kRate)),
              0.0, 1e-9);
  EXPECT_NEAR(RmsDifference(LoudnessContourDb(a, kRate), LoudnessContourDb(quieter, kRate)), 0.0,
              1e-9);
  EXPECT_GT(RmsDifference(ThirdOctaveProfileDb(a, kRate), ThirdOctaveProfileDb(b, kRate)), 6.0);
  const Samples shorter(a.begin(), a.begin() + a.size() / 2);
  EXPECT_GT(RmsDifference(LoudnessContourDb(a, kRate), LoudnessContourDb(shorter, kRate)), 6.0);
}

}  // namespace
}  // namespace kestu::test

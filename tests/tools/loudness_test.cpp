// The loudness meter the synthesizer levels its samples with, against what ITU-R BS.1770 and the
// reference signals of its users give.
#include "tools/synth/loudness.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kestu::test {
namespace {

std::vector<double> Sine(double hz, double dbfs, double seconds, double rate) {
  std::vector<double> x(static_cast<std::size_t>(seconds * rate));
  const double amplitude = std::pow(10.0, dbfs / 20.0);
  for (std::size_t n = 0; n < x.size(); ++n) x[n] = amplitude * std::sin(2.0 * M_PI * hz * n / rate);
  return x;
}

TEST(Loudness, KWeightingAt48kHzIsTheRecommendationsFilter) {
  const synth::SectionCoefficients shelf = synth::KWeightingShelf(48000.0);
  EXPECT_NEAR(shelf.b0, 1.53512485958697, 1e-9);
  EXPECT_NEAR(shelf.b1, -2.69169618940638, 1e-9);
  EXPECT_NEAR(shelf.b2, 1.19839281085285, 1e-9);
  EXPECT_NEAR(shelf.a1, -1.69065929318241, 1e-9);
  EXPECT_NEAR(shelf.a2, 0.73248077421585, 1e-9);
  const synth::SectionCoefficients highPass = synth::KWeightingHighPass(48000.0);
  EXPECT_EQ(highPass.b0, 1.0);
  EXPECT_EQ(highPass.b1, -2.0);
  EXPECT_EQ(highPass.b2, 1.0);
  EXPECT_NEAR(highPass.a1, -1.99004745483398, 1e-9);
  EXPECT_NEAR(highPass.a2, 0.99007225036621, 1e-9);
}

// A 1 kHz sine reads its own level in LUFS in both channels (EBU's reference: -23 dBFS reads
// -23 LUFS) and 3 dB less alone, at any rate the meter is given; the high shelf lifts 8 kHz by
// about 3.3 dB more than 1 kHz, the high-pass takes 20 Hz more than 10 dB down.
TEST(Loudness, ReferenceTonesReadTheirKnownLevels) {
  for (double rate : {48000.0, 23160.0, 22050.0}) {
    SCOPED_TRACE(rate);
    const std::vector<double> tone = Sine(997.0, -23.0, 3.0, rate);
    EXPECT_NEAR(synth::IntegratedLoudness({tone, tone}, rate), -23.0, 0.05);
    EXPECT_NEAR(synth::IntegratedLoudness(tone, rate), -26.01, 0.05);
    const double high = synth::IntegratedLoudness(Sine(8000.0, -23.0, 3.0, rate), rate);
    EXPECT_NEAR(high - synth::IntegratedLoudness(tone, rate), 3.3, 0.3);  // +4 dB over the +0.7 at 1 kHz
    EXPECT_LT(synth::IntegratedLoudness(Sine(20.0, -23.0, 3.0, rate), rate), -36.0);
  }
}

// Gating: blocks 10 LU under the rest do not count, and silence is no loudness at all.
TEST(Loudness, QuietStretchesAreGatedAway) {
  const double rate = 22050.0;
  std::vector<double> x = Sine(997.0, -20.0, 2.0, rate);
  const std::vector<double> quiet = Sine(997.0, -45.0, 6.0, rate);
  x.insert(x.end(), quiet.begin(), quiet.end());
  EXPECT_NEAR(synth::IntegratedLoudness(x, rate), -23.0, 0.5);  // the blocks across the step count
  EXPECT_EQ(synth::IntegratedLoudness(std::vector<double>(22050, 0.0), rate), -HUGE_VAL);
  // Shorter than a block: measured as one block from its start.
  const std::vector<double> blip = Sine(997.0, -20.0, 0.2, rate);
  EXPECT_NEAR(synth::IntegratedLoudness(blip, rate), -23.0 - 3.01, 0.05);
}

}  // namespace
}  // namespace kestu::test

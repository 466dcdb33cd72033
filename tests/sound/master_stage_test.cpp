// The master stage on made-up sums: what passes (all but DC), what the limiter holds under its
// ceiling and how, and that it lets go completely afterwards.
#include "sound/mixer/master_stage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace kestu::test {
namespace {

using ds::MasterStage;
constexpr std::uint32_t kRate = 23160;
constexpr std::size_t kLag = MasterStage::kLookaheadFrames;

// Interleaved stereo: a 440 Hz sine of `amplitude`, with a burst of `burst` from frame 4000 for
// 300 frames.
std::vector<float> Sum(std::size_t frames, float amplitude, float burst) {
  std::vector<float> x(2 * frames);
  for (std::size_t i = 0; i < frames; ++i) {
    const float level = i >= 4000 && i < 4300 ? burst : amplitude;
    x[2 * i] = level * static_cast<float>(std::sin(2.0 * M_PI * 440.0 * i / kRate));
    x[2 * i + 1] = -0.5f * x[2 * i];
  }
  return x;
}

// The sum at the headroom gain through a first-order high-pass at the DC blocker's corner, in
// double: what the stage gives wherever its limiter leaves the sum alone.
std::vector<double> Unlimited(const std::vector<float>& in) {
  const double pole = std::exp(-2.0 * M_PI * MasterStage::kDcCornerHz / kRate);
  std::vector<double> out(in.size());
  for (std::size_t side = 0; side < 2; ++side) {
    double previousIn = 0.0, previousOut = 0.0;
    for (std::size_t i = side; i < in.size(); i += 2) {
      const double x = in[i] * MasterStage::kHeadroomGain;
      out[i] = previousOut = x - previousIn + pole * previousOut;
      previousIn = x;
    }
  }
  return out;
}

std::vector<float> ThroughStage(const std::vector<float>& in, std::size_t piece) {
  MasterStage stage;
  stage.SetRate(kRate);
  std::vector<float> out(in.size());
  for (std::size_t at = 0; at < in.size() / 2; at += piece) {
    const std::size_t n = std::min(piece, in.size() / 2 - at);
    stage.Process(in.data() + 2 * at, out.data() + 2 * at, static_cast<std::uint32_t>(n));
  }
  return out;
}

TEST(MasterStage, QuietSumsPassAtTheHeadroomGainOnlyDelayed) {
  const std::vector<float> in = Sum(6000, 20000.0f, 60000.0f);  // 60000 x 0.5 is under the ceiling
  const std::vector<float> out = ThroughStage(in, 256);
  const std::vector<double> unlimited = Unlimited(in);
  for (std::size_t i = 0; i < kLag; ++i) ASSERT_EQ(out[2 * i], 0.0f);
  for (std::size_t i = 2 * kLag; i < out.size(); ++i) ASSERT_NEAR(out[i], unlimited[i - 2 * kLag], 0.01) << i / 2;
}

// A kick cut every 40 ms never swings back: its sum has a DC offset, which the stage takes out,
// and a second after the input falls silent its output is digital zero, exactly.
TEST(MasterStage, TakesOutDCAndFallsToDigitalZeroAfter) {
  constexpr std::size_t kPeriod = kRate / 25, kFrames = 2 * kRate;
  std::vector<float> in(2 * (kFrames + 2 * kRate), 0.0f);
  for (std::size_t i = 0; i < kFrames; ++i) {
    const float kick = 20000.0f * static_cast<float>(std::sin(2.0 * M_PI * 60.0 * (i % kPeriod) / kRate));
    in[2 * i] = in[2 * i + 1] = kick;
  }
  const std::vector<float> out = ThroughStage(in, 256);
  double inputMean = 0.0, outputMean = 0.0, inputSquares = 0.0, outputSquares = 0.0;
  for (std::size_t i = kRate; i < kFrames; ++i) {  // the second second, once the blocker has settled
    inputMean += in[2 * i] * MasterStage::kHeadroomGain / kRate;
    outputMean += out[2 * (i + kLag)] / kRate;
  }
  for (std::size_t i = kRate; i < kFrames; ++i) {
    inputSquares += std::pow(in[2 * i] * MasterStage::kHeadroomGain - inputMean, 2.0);
    outputSquares += std::pow(out[2 * (i + kLag)], 2.0);
  }
  EXPECT_NEAR(10.0 * std::log10(outputSquares / inputSquares), 0.0, 0.1) << "all but the DC passes";
  EXPECT_GT(std::fabs(inputMean), 0.02 * 32768.0) << "the made-up kick should carry DC";
  EXPECT_LT(std::fabs(outputMean), 0.001 * 32768.0) << "-60 dBFS";
  for (std::size_t i = 2 * (kFrames + kRate + kLag); i < out.size(); ++i) ASSERT_EQ(out[i], 0.0f) << i / 2;
}

TEST(MasterStage, WithoutItsDcBlockerAFlatSumPassesExactly) {
  MasterStage stage(/*blockDc=*/false);
  stage.SetRate(kRate);
  const std::vector<float> flat(2 * 2000, 3000.0f);
  std::vector<float> out(flat.size());
  stage.Process(flat.data(), out.data(), 2000);
  for (std::size_t i = kLag; i < 2000; ++i) ASSERT_EQ(out[2 * i], 1500.0f) << i;
}

TEST(MasterStage, ABurstIsHeldUnderTheCeilingSmoothlyAndThenLetGo) {
  const std::vector<float> in = Sum(20000, 20000.0f, 150000.0f);  // the burst is 7.7 dB too loud
  const std::vector<float> out = ThroughStage(in, 256);
  const std::vector<double> unlimited = Unlimited(in);
  float peak = 0.0f;
  for (float v : out) peak = std::max(peak, std::fabs(v));
  EXPECT_LE(peak, MasterStage::kCeiling);
  EXPECT_GE(peak, 0.97f * MasterStage::kCeiling) << "held lower than it needs";
  // The gain, where the input is large enough to read it: it comes down before the burst and
  // never jumps by more than what the look-ahead ramp allows.
  double previous = 1.0;
  for (std::size_t i = 3000 + kLag; i < 12000; ++i) {
    const double dry = unlimited[2 * (i - kLag)];
    if (std::fabs(dry) < 2000.0) continue;
    const double gain = out[2 * i] / dry;
    if (i - kLag < 4000 - kLag) {
      EXPECT_NEAR(gain, 1.0, 1e-6) << "limited before the look-ahead reaches the burst";
    }
    EXPECT_LT(std::fabs(gain - previous), 0.05) << i;
    previous = gain;
  }
  // Half a second later the limiter has let go completely.
  for (std::size_t i = 16000; i < out.size() / 2; ++i) ASSERT_NEAR(out[2 * i], unlimited[2 * (i - kLag)], 0.01) << i;
}

TEST(MasterStage, PiecesOfAnySizeGiveTheSameFrames) {
  const std::vector<float> in = Sum(9000, 30000.0f, 120000.0f);
  const std::vector<float> whole = ThroughStage(in, 9000);
  for (std::size_t piece : {1u, 7u, 100u, 256u}) EXPECT_EQ(ThroughStage(in, piece), whole) << piece;
}

TEST(MasterStage, ResetForgetsWhatWasInFlight) {
  MasterStage stage;
  stage.SetRate(kRate);
  const std::vector<float> loud = Sum(1000, 100000.0f, 100000.0f);
  std::vector<float> out(loud.size());
  stage.Process(loud.data(), out.data(), 1000);
  stage.Reset();
  const std::vector<float> quiet = Sum(1000, 1000.0f, 1000.0f);
  stage.Process(quiet.data(), out.data(), 1000);
  for (std::size_t i = 0; i < kLag; ++i) EXPECT_EQ(out[2 * i], 0.0f);
  const std::vector<double> unlimited = Unlimited(quiet);
  for (std::size_t i = kLag; i < 1000; ++i) ASSERT_NEAR(out[2 * i], unlimited[2 * (i - kLag)], 0.01) << i;
}

}  // namespace
}  // namespace kestu::test

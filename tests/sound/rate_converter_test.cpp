#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <vector>

#include "sound/output/rate_converter.h"
#include "tests/support/listening.h"

namespace kestu::test {
namespace {

// A tone source that counts how many frames it was asked for.
class ToneSource : public FrameSource {
 public:
  ToneSource(double hz, double rate) : step_(2.0 * M_PI * hz / rate) {}
  using FrameSource::RenderFrames;
  void RenderFrames(std::int16_t* stereo, std::uint32_t frames, const BlockTime&) noexcept override {
    for (std::uint32_t i = 0; i < frames; ++i, ++count_) {
      const auto v = static_cast<std::int16_t>(std::lrint(10000.0 * std::sin(step_ * count_)));
      stereo[2 * i] = v;
      stereo[2 * i + 1] = static_cast<std::int16_t>(-v);
    }
  }
  std::uint64_t count_ = 0;

 private:
  double step_;
};

int ZeroCrossings(const std::vector<std::int16_t>& stereo) {
  int crossings = 0;
  for (std::size_t i = 2; i < stereo.size(); i += 2) crossings += (stereo[i - 2] < 0) != (stereo[i] < 0);
  return crossings;
}

TEST(RateConverter, SameRatePassesFramesThrough) {
  RateConverter converter;
  converter.Configure(23160, 23160, 256);
  ToneSource source(500, 23160), reference(500, 23160);
  std::vector<std::int16_t> a(2 * 300), b(2 * 300);
  converter.Pull(source, a.data(), 300);
  reference.RenderFrames(b.data(), 300);
  EXPECT_EQ(a, b);
}

TEST(RateConverter, KeepsPitchAndPaceAcrossUnevenPulls) {
  struct Case {
    std::uint32_t from, to;
  } cases[] = {{23160, 48000}, {48000, 23160}, {22050, 44100}};
  for (const Case& c : cases) {
    RateConverter converter;
    converter.Configure(c.from, c.to, 256);
    ToneSource source(441, c.from);
    std::vector<std::int16_t> out;
    std::uint32_t pulled = 0;
    for (std::uint32_t size : {1u, 256u, 7u, 255u, 100u}) {
      for (int repeat = 0; repeat < 40 && pulled < c.to; ++repeat) {
        std::vector<std::int16_t> chunk(2 * size);
        converter.Pull(source, chunk.data(), size);
        out.insert(out.end(), chunk.begin(), chunk.end());
        pulled += size;
      }
    }
    const double seconds = static_cast<double>(pulled) / c.to;
    EXPECT_NEAR(ZeroCrossings(out), 2 * 441 * seconds, 3) << c.from << "->" << c.to;
    // The source runs ahead by the filter's reach, and no further.
    EXPECT_NEAR(static_cast<double>(source.count_), seconds * c.from + converter.LookaheadFrames(), 3.0)
        << c.from << "->" << c.to;
    // No seams: neighbouring frames of a 441 Hz tone differ little (past the onset, which the
    // band limit rounds off).
    const double maxStep = 10000.0 * 2.0 * M_PI * 441.0 / c.to * 1.1 + 2;
    for (std::size_t i = 2 * 64; i < out.size(); i += 2) ASSERT_LE(std::abs(out[i] - out[i - 2]), maxStep) << i;
    for (std::size_t i = 0; i < out.size(); i += 2) ASSERT_NEAR(out[i], -out[i + 1], 1);
  }
}

// A device at another rate gets the tone and nothing else: no image of the mixer's rate when the
// device runs faster, no alias when it runs slower.
TEST(RateConverter, AddsNoImagesOrAliases) {
  struct Case {
    std::uint32_t from, to;
    double toneHz, unwantedHz;
  } cases[] = {{23160, 48000, 8000.0, 23160.0 - 8000.0},
               {23160, 44100, 10000.0, 23160.0 - 10000.0},
               {48000, 23160, 15000.0, 23160.0 - 15000.0},
               {48000, 23160, 7000.0, 48000.0 - 7000.0 - 23160.0}};
  for (const Case& c : cases) {
    RateConverter converter;
    converter.Configure(c.from, c.to, 256);
    ToneSource source(c.toneHz, c.from);
    std::vector<std::int16_t> out(2 * 48 * 256);
    for (std::size_t at = 0; at < out.size() / 2; at += 256) converter.Pull(source, out.data() + 2 * at, 256);
    const std::vector<double> left = ChannelOf(out);
    const double tone = LevelAtDb(left, c.to, 2000, 8192, c.toneHz, 10000.0);
    const double unwanted = LevelAtDb(left, c.to, 2000, 8192, Folded(c.unwantedHz, c.to), 10000.0);
    std::cout << "  " << c.from << " -> " << c.to << ": " << c.toneHz << " Hz at " << tone << " dB, "
              << Folded(c.unwantedHz, c.to) << " Hz at " << unwanted << " dB\n";
    // Flat where the lower of the two rates keeps its pass band.
    if (c.toneHz < std::min(c.from, c.to) / 2.0 * 0.7) {
      EXPECT_NEAR(tone, 0.0, 0.5) << c.from << "->" << c.to;
    }
    EXPECT_LE(unwanted, -60.0) << c.from << "->" << c.to << " at " << Folded(c.unwantedHz, c.to) << " Hz";
  }
}

}  // namespace
}  // namespace kestu::test

// What resampling does to a tone, measured in the offline output: the tone keeps its level
// wherever it lands below 8 kHz, and nothing of it appears where it does not belong: no alias of
// what would land above the output's Nyquist frequency, no image of the sample's own rate.
#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <numeric>

#include "sound/ddsd.h"
#include "sound/wave.h"
#include "tests/sound/sound_fixture.h"
#include "tests/support/listening.h"

namespace kestu::test {
namespace {

constexpr std::uint32_t kSampleRate = 22050;
constexpr double kOutputRate = 23160.0;
constexpr double kAmplitude = 8000.0;  // -12 dBFS: three of these never reach full scale

// `seconds` of a sine of `hz` at the sample rate.
std::vector<std::int16_t> Sine(double hz, double seconds) {
  return SineTone(kSampleRate, hz, static_cast<std::size_t>(seconds * kSampleRate), kAmplitude);
}

class Resampling : public OfflineDeviceTest<> {
 protected:
  void SetUp() override { SetUpDevice(static_cast<std::uint32_t>(kOutputRate), 0); }

  // The left channel of `frames` frames with `tone` played on channel `index` at `ratio`.
  std::vector<double> PlayTone(const std::vector<std::int16_t>& tone, double ratio, std::uint32_t frames,
                               std::uint32_t index = 0) {
    TDDSDChannel& channel = *device_->GetChannel(index);
    channel.setWaveData(&Load(MonoWave16(kSampleRate, tone)));
    channel.SetRateRatio(ratio);
    channel.PlayFromStart();
    return ChannelOf(output_.Render(frames));
  }
};

struct ToneCase {
  double ratio;
  double toneHz;  // in the sample, at its own rate
};

// The top row (2.245) with a tone that would land far above the Nyquist frequency and one that
// stays below 8 kHz; row 9 (1.0: only the sample-to-output rate) and row 13 (0.707) with tones
// near the top of the sample's band; the high register's lowest ratio and two rows between.
const ToneCase kToneCases[] = {
    {2.245, 9000.0}, {2.245, 3000.0}, {2.0, 6000.0},   {1.498, 5340.0},
    {1.0, 8000.0},   {1.0, 1000.0},   {0.707, 8000.0}, {0.707, 10000.0}, {0.667, 10500.0},
};

TEST_F(Resampling, ToneKeepsItsLevelAndLeavesNoAliasOrImage) {
  constexpr std::size_t kBegin = 1500, kLength = 8192;
  for (const ToneCase& c : kToneCases) {
    const double frequency = std::trunc(kSampleRate * c.ratio);  // as the channel sets it
    const double outHz = c.toneHz * frequency / kSampleRate;
    SCOPED_TRACE("ratio " + std::to_string(c.ratio) + ", " + std::to_string(c.toneHz) + " Hz");
    // A low tone at the same ratio is the reference level: what the mixer gives a tone that no
    // filter touches.
    const double referenceHz = 400.0 * frequency / kSampleRate;
    const double reference = AmplitudeAt(PlayTone(Sine(400.0, 1.0), c.ratio, 12000), kOutputRate,
                                                  kBegin, kLength, referenceHz);
    ASSERT_GT(reference, 0.25 * kAmplitude);
    device_->GetChannel(0)->Stop();
    output_.Render(200);

    const std::vector<double> out = PlayTone(Sine(c.toneHz, 1.0), c.ratio, 12000);
    const auto levelDb = [&](double hz) { return LevelAtDb(out, kOutputRate, kBegin, kLength, hz, reference); };
    std::vector<double> unwanted = {Folded(frequency - outHz, kOutputRate), Folded(frequency + outHz, kOutputRate)};
    if (outHz < kOutputRate / 2) {
      const double passband = levelDb(outHz);
      std::cout << "  ratio " << c.ratio << ", " << c.toneHz << " Hz -> " << outHz << " Hz: " << passband << " dB\n";
      // Flat up to 8 kHz, wherever the sample itself has the tone within its own 8 kHz.
      if (outHz <= 8000.0 && c.toneHz <= 8000.0) {
        EXPECT_NEAR(passband, 0.0, 0.5) << "passband at " << outHz << " Hz";
      }
    } else {
      unwanted.push_back(Folded(outHz, kOutputRate));
    }
    for (double hz : unwanted) {
      if (std::fabs(hz - outHz) < 50.0) continue;
      const double level = levelDb(hz);
      std::cout << "  ratio " << c.ratio << ", " << c.toneHz << " Hz: unwanted at " << hz << " Hz: " << level
                << " dB\n";
      EXPECT_LE(level, -60.0) << "alias or image at " << hz << " Hz";
    }
    device_->GetChannel(0)->Stop();
    output_.Render(200);
  }
}

// Rendering in pieces of any size gives the same frames as rendering at once, so where the
// blocks fall never changes the sound.
TEST_F(Resampling, OutputDoesNotDependOnHowRenderingIsSplit) {
  TDDSDWaveData& wave = Load(MonoWave16(kSampleRate, Sine(3100.0, 0.4)));
  constexpr std::uint32_t kTotal = 9000;
  const auto render = [&](const std::vector<std::uint32_t>& pieces) {
    const double ratios[] = {2.245, 0.707, 1.123};
    for (std::uint32_t i = 0; i < 3; ++i) {
      TDDSDChannel& channel = *device_->GetChannel(1 + i);
      channel.setWaveData(&wave);
      channel.SetRateRatio(ratios[i]);
      channel.PlayFromStart();
    }
    std::vector<std::int16_t> out;
    const auto renderInPieces = [&](std::uint32_t total) {
      for (std::uint32_t done = 0, p = 0; done < total; ++p) {
        const std::uint32_t n = std::min(pieces[p % pieces.size()], total - done);
        const std::vector<std::int16_t> part = output_.Render(n);
        out.insert(out.end(), part.begin(), part.end());
        done += n;
      }
    };
    renderInPieces(3000);
    device_->GetChannel(2)->Stop();  // the fade is as split-proof as the rest
    renderInPieces(kTotal - 3000);
    for (std::uint32_t i = 0; i < 3; ++i) device_->GetChannel(1 + i)->setWaveData(nullptr);
    output_.Render(2 * 23160);  // let every fade and the DC blocker's tail die out before the next run
    return out;
  };
  const std::vector<std::int16_t> whole = render({3000});
  EXPECT_NE(std::accumulate(whole.begin(), whole.end(), 0LL,
                            [](long long s, std::int16_t v) { return s + std::abs(v); }),
            0);
  for (const std::vector<std::uint32_t>& pieces :
       std::vector<std::vector<std::uint32_t>>{{1}, {7}, {255, 256, 257}, {1000, 3, 64}}) {
    EXPECT_EQ(render(pieces), whole) << "pieces of " << pieces.front();
  }
}

}  // namespace
}  // namespace kestu::test

// The sound as it comes out of the offline output.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <optional>

#include "sound/ddsd.h"
#include "sound/mixer/master_stage.h"
#include "sound/wave.h"
#include "tests/sound/sound_fixture.h"

namespace kestu::test {
namespace {

using Frames = std::vector<std::int16_t>;

// A frame leaves the mixer this many frames after the one its sound started in.
constexpr std::size_t kLag = ds::MasterStage::kLookaheadFrames;

std::int16_t Left(const Frames& f, std::size_t i) { return f[2 * i]; }
std::int16_t Right(const Frames& f, std::size_t i) { return f[2 * i + 1]; }

// Where the last sound ended: the first frame from which the output only drifts back to zero, as
// the DC blocker's tail does, a few tens of the 16-bit scale a frame at most.
std::size_t QuietFrom(const Frames& f) {
  const auto step = [&f](std::size_t i) {
    return std::max(std::abs(Left(f, i) - Left(f, i - 1)), std::abs(Right(f, i) - Right(f, i - 1)));
  };
  std::size_t frames = f.size() / 2;
  while (frames > 1 && step(frames - 1) <= 64) --frames;
  return frames - 1;
}

// What leaves the mixer when the voices make the sum a test expects: that sum through a master
// stage of its own, the same as the mixer's, then 16 bits. Fed block by block as the test
// renders, so the DC blocker's memory runs along as the mixer's does.
class Expected {
 public:
  explicit Expected(std::uint32_t rate) { stage_.SetRate(rate); }
  // `sum(i)` gives the left and right sum of frame i of the block.
  template <class Sum>
  Frames Block(std::size_t frames, Sum sum) {
    std::vector<float> in(2 * frames), out(2 * frames);
    for (std::size_t i = 0; i < frames; ++i) {
      const auto [left, right] = sum(i);
      in[2 * i] = static_cast<float>(left);
      in[2 * i + 1] = static_cast<float>(right);
    }
    stage_.Process(in.data(), out.data(), static_cast<std::uint32_t>(frames));
    Frames heard(out.size());
    std::transform(out.begin(), out.end(), heard.begin(), ds::SaturateToInt16);
    return heard;
  }
  // The same sum on both sides.
  template <class Sum>
  Frames Mono(std::size_t frames, Sum sum) {
    return Block(frames, [&sum](std::size_t i) { return std::pair<double, double>(sum(i), sum(i)); });
  }

 private:
  ds::MasterStage stage_;
};

// The raised-cosine gain of a cut's fade at frame i after the cut.
double FadeGain(std::size_t i) {
  const std::size_t fade = 6 * 23160 / 1000;
  return i >= fade ? 0.0 : 0.5 + 0.5 * std::cos(M_PI * static_cast<double>(i + 1) / static_cast<double>(fade));
}

class Mixing : public OfflineDeviceTest<> {
 protected:
  void SetUp() override { SetUpDevice(kRate); }
  TDDSDChannel& Channel(std::uint32_t i) { return *device_->GetChannel(i); }
  // `ratio`: set before the start, when given.
  void Start(std::uint32_t channel, TDDSDWaveData* wave, std::optional<double> ratio = std::nullopt) {
    Channel(channel).setWaveData(wave);
    if (ratio) Channel(channel).SetRateRatio(*ratio);
    Channel(channel).PlayFromStart();
  }

  static constexpr std::uint32_t kRate = 23160;
  Expected expected_{kRate};
};

TEST_F(Mixing, AtItsOwnRateAVoiceReproducesTheSampleFrameForFrame) {
  const auto samples = Ramp(3000, 13);
  Start(0, &Load(MonoWave16(kRate, samples)), 1.0);
  const Frames out = output_.Render(3100 + kLag);
  const Frames heard = expected_.Mono(3100 + kLag, [&](std::size_t i) { return i < samples.size() ? samples[i] : 0; });
  for (std::size_t i = 0; i < kLag; ++i) ASSERT_EQ(Left(out, i), 0) << i;
  for (std::size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], heard[i]) << i / 2;
  EXPECT_EQ(QuietFrom(out), kLag + samples.size());
  EXPECT_FALSE(Channel(0).Buffer()->IsPlaying());
}

TEST_F(Mixing, StereoAndEightBitSamplesKeepTheirValues) {
  std::vector<std::int16_t> stereo;
  for (int i = 0; i < 100; ++i) {
    stereo.push_back(static_cast<std::int16_t>(i * 100));
    stereo.push_back(static_cast<std::int16_t>(-i * 50));
  }
  TDDSDWaveData& two = Load(WaveOf(RiffBytes::Format(1, 2, kRate, 16), RiffBytes::Pcm16(stereo)));
  std::vector<std::uint8_t> bytes8;
  for (int i = 0; i < 100; ++i) bytes8.push_back(static_cast<std::uint8_t>(128 + i));
  TDDSDWaveData& eight = Load(WaveOf(RiffBytes::Format(1, 1, kRate, 8), bytes8));

  Start(1, &two);
  Frames out = output_.Render(120 + kLag);
  Frames heard = expected_.Block(120 + kLag, [](std::size_t i) {
    return i < 100 ? std::pair(i * 100.0, i * -50.0) : std::pair(0.0, 0.0);
  });
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(Left(out, kLag + i), Left(heard, kLag + i));
    ASSERT_EQ(Right(out, kLag + i), Right(heard, kLag + i));
  }
  Start(2, &eight);
  out = output_.Render(120 + kLag);
  heard = expected_.Mono(120 + kLag, [](std::size_t i) { return i < 100 ? i * 256.0 : 0.0; });
  for (int i = 0; i < 100; ++i) ASSERT_EQ(Left(out, kLag + i), Left(heard, kLag + i));
}

TEST_F(Mixing, AtRatioTwoAVoiceEndsInHalfTheTimeAndStaysInTune) {
  // A 200 Hz square wave at the primary rate; at ratio 2 it must sound at 400 Hz.
  std::vector<std::int16_t> square(kRate / 2);
  for (std::size_t i = 0; i < square.size(); ++i) square[i] = (i * 400 / kRate) % 2 ? -8000 : 8000;
  TDDSDWaveData& wave = Load(MonoWave16(kRate, square));
  Channel(0).setWaveData(&wave);
  Channel(0).SetRateRatio(2.0);
  EXPECT_EQ(Channel(0).Buffer()->Frequency(), 2 * kRate);
  Channel(0).PlayFromStart();
  const Frames out = output_.Render(kRate);
  const std::size_t end = QuietFrom(out);
  EXPECT_NEAR(static_cast<double>(end), kLag + square.size() / 2.0, 2.0);
  int crossings = 0;
  for (std::size_t i = 1; i < end; ++i) crossings += (Left(out, i - 1) < 0) != (Left(out, i) < 0);
  EXPECT_NEAR(crossings, 2 * 400 * 0.25, 2);  // a quarter second of 400 Hz
}

TEST_F(Mixing, TwoDuplicatesOfOneSamplePlayIndependently) {
  const auto samples = Ramp(2000, 3);
  TDDSDWaveData& wave = Load(MonoWave16(kRate, samples));
  Channel(1).setWaveData(&wave);
  Channel(5).setWaveData(&wave);
  ds::IDirectSoundBuffer* a = Channel(1).Buffer();
  ds::IDirectSoundBuffer* b = Channel(5).Buffer();
  ASSERT_NE(a, b);
  EXPECT_TRUE(a->SharesDataWith(*b));
  EXPECT_TRUE(a->SharesDataWith(*wave.Buffer()));
  EXPECT_FALSE(a->IsPlaying());
  EXPECT_EQ(a->Frequency(), kRate);

  Channel(5).SetRateRatio(0.5);
  EXPECT_EQ(a->Frequency(), kRate);
  Channel(1).PlayFromStart();
  output_.Render(500);
  Channel(5).PlayFromStart();
  output_.Render(300);
  EXPECT_EQ(a->Position(), 800u * 2);  // bytes
  EXPECT_EQ(b->Position(), 150u * 2);
  Channel(1).Stop();
  output_.Render(100);
  EXPECT_FALSE(a->IsPlaying());
  EXPECT_TRUE(b->IsPlaying());
  EXPECT_EQ(a->Position(), 800u * 2);  // stays where it stopped
  EXPECT_EQ(b->Position(), 200u * 2);
}

// Two loud voices fit in the headroom as they are; three would pass full scale and are held
// under the limiter's ceiling instead of being clipped.
TEST_F(Mixing, VoicesSumWithinTheHeadroomOrUnderTheLimiter) {
  TDDSDWaveData& loud = Load(MonoWave16(kRate, std::vector<std::int16_t>(400, 30000)));
  TDDSDWaveData& low = Load(MonoWave16(kRate, std::vector<std::int16_t>(400, -30000)));
  for (std::uint32_t c : {1u, 2u}) Start(c, &loud);
  Frames out = output_.Render(300);
  EXPECT_EQ(Left(out, kLag + 10), Left(expected_.Mono(300, [](std::size_t) { return 60000.0; }), kLag + 10));
  for (std::uint32_t c : {1u, 2u, 3u}) Start(c, &low);
  out = output_.Render(300);
  const auto ceiling = static_cast<int>(ds::MasterStage::kCeiling);
  for (std::size_t i = 0; i < out.size(); ++i) ASSERT_LE(std::abs(out[i]), ceiling) << i;
  EXPECT_LE(Left(out, kLag + 100), -ceiling + 2) << "held at the ceiling, not lower";
}

// After a cut the sound must not drop at once (a click) but fall along a raised cosine and be
// gone within 6 ms: half way down at half the fade, a slow start and a slow end.
TEST_F(Mixing, StopReattachAndReleaseFadeOutAlongARaisedCosineWithin6Ms) {
  const std::int16_t level = 20000;
  TDDSDWaveData& wave = Load(MonoWave16(kRate, std::vector<std::int16_t>(kRate, level)));
  TDDSDWaveData& other = Load(MonoWave16(kRate, std::vector<std::int16_t>(kRate, 0)));
  using Cut = void (*)(TDDSDChannel&, TDDSDWaveData&, TDDSDWaveData&);
  const Cut cuts[] = {
      [](TDDSDChannel& c, TDDSDWaveData&, TDDSDWaveData&) { c.Stop(); },
      [](TDDSDChannel& c, TDDSDWaveData& same, TDDSDWaveData&) { c.setWaveData(&same); },
      [](TDDSDChannel& c, TDDSDWaveData&, TDDSDWaveData& silent) { c.setWaveData(&silent); c.PlayFromStart(); },
      [](TDDSDChannel& c, TDDSDWaveData&, TDDSDWaveData&) { c.setWaveData(nullptr); },
  };
  for (const Cut cut : cuts) {
    Start(0, &wave);
    output_.Render(100);
    expected_.Mono(100, [&](std::size_t) { return level; });
    cut(Channel(0), wave, other);
    const Frames heard = expected_.Mono(200, [&](std::size_t i) { return level * FadeGain(i); });
    const Frames out = output_.Render(200);
    for (std::size_t i = kLag; i < out.size() / 2; ++i) {
      EXPECT_NEAR(Left(out, i), Left(heard, i), 2.0) << "frame " << i - kLag << " after the cut";
    }
  }
}

TEST_F(Mixing, RestartWhileSoundingFadesTheOldPositionAndStartsAgain) {
  const auto samples = Ramp(5000, 5);
  TDDSDWaveData& wave = Load(MonoWave16(kRate, samples));
  Start(0, &wave);
  output_.Render(1000);
  expected_.Mono(1000, [&](std::size_t i) { return samples[i]; });
  Channel(0).PlayFromStart();
  const Frames out = output_.Render(200);
  // Restarted voice plus the fading tail of the old position; after 6 ms, the new voice alone.
  const Frames heard = expected_.Mono(200, [&](std::size_t i) { return samples[i] + samples[1000 + i] * FadeGain(i); });
  EXPECT_NEAR(Left(out, kLag), Left(heard, kLag), 2.0);
  EXPECT_NEAR(Left(out, kLag + 150), Left(heard, kLag + 150), 1.0);
  EXPECT_TRUE(Channel(0).Buffer()->IsPlaying());
}

TEST_F(Mixing, ReattachingTheSameSampleGivesAFreshStoppedDuplicate) {
  TDDSDWaveData& wave = Load(MonoWave16(kRate, Ramp(4000)));
  Start(3, &wave, 1.5);
  output_.Render(100);
  ds::IDirectSoundBuffer* before = Channel(3).Buffer();
  before->AddRef();
  Channel(3).setWaveData(&wave);
  EXPECT_NE(Channel(3).Buffer(), before);
  EXPECT_FALSE(Channel(3).Buffer()->IsPlaying());
  EXPECT_EQ(Channel(3).Buffer()->Frequency(), kRate);
  EXPECT_EQ(Channel(3).Buffer()->Position(), 0u);
  // The channel let go of its one reference: only ours is left. The buffer
  // was still alive, so that release reported 1.
  EXPECT_EQ(LogText(), "debug#00001 ... setWaveData サウンドバッファの解放に失敗しました(Error Code(1))\r\n");
  EXPECT_EQ(before->Release(), 0u);
}

TEST_F(Mixing, AttachingNoneOrAnEmptySampleSilencesTheChannel) {
  TDDSDWaveData& wave = Load(MonoWave16(kRate, Ramp(4000)));
  TDDSDWaveData empty(device_.get(), (folder_ / "missing.wav").string());
  ClearLog();
  for (TDDSDWaveData* replacement : {static_cast<TDDSDWaveData*>(nullptr), &empty}) {
    Start(0, &wave);
    Channel(0).setWaveData(replacement);
    EXPECT_EQ(Channel(0).Buffer(), nullptr);
    EXPECT_EQ(Channel(0).WaveData(), nullptr);
    Channel(0).PlayFromStart();
    Channel(0).SetRateRatio(2.0);
    const Frames out = output_.Render(400);
    EXPECT_LE(QuietFrom(out), kLag + 6 * kRate / 1000);  // only the fade of what was cut
  }
  EXPECT_FALSE(LogExists());
}

TEST_F(Mixing, AnEmptySampleDoesNotHaltTheProgram) {
  device_->SetDebugOption(dsoHaltOnError);
  TDDSDWaveData empty(device_.get(), "waves/none.wav");
  Channel(0).setWaveData(&empty);
  SUCCEED();
}

TEST_F(Mixing, FailedDuplicationIsStillReported) {
  auto faults = std::make_shared<ds::FaultPlan>();
  OfflineOutput output;
  auto device = MakeDevice(output, dsoDebugMessage, faults);
  TDDSDWaveData wave(device.get(), Write("d.wav", MonoWave16(8000, Ramp(10))));
  faults->Fail(ds::SoundCall::DuplicateSoundBuffer, ds::DSERR_OUTOFMEMORY, 1);
  device->GetChannel(0)->setWaveData(&wave);
  EXPECT_EQ(device->GetChannel(0)->Buffer(), nullptr);
  EXPECT_EQ(device->GetChannel(0)->WaveData(), &wave);
  EXPECT_EQ(device->GetChannel(0)->BaseFrequency(), 8000u);
  EXPECT_EQ(LogText(), "debug#00001 ... setWaveData サウンドバッファの複製に失敗しました(Error Code(8007000E))\r\n");
}

TEST_F(Mixing, SampleReleaseLeavesPlayingDuplicatesAlone) {
  const auto samples = Ramp(1000);
  auto wave = std::make_unique<TDDSDWaveData>(device_.get(), Write("w.wav", MonoWave16(kRate, samples)));
  Start(0, wave.get());
  output_.Render(100);
  expected_.Mono(100, [&](std::size_t i) { return samples[i]; });
  wave.reset();  // released with no reference left, while its duplicate sounds
  const Frames out = output_.Render(100);
  EXPECT_EQ(Left(out, kLag), Left(expected_.Mono(100, [&](std::size_t i) { return samples[100 + i]; }), kLag));
  EXPECT_FALSE(LogExists());
}

TEST_F(Mixing, MonoEightBitPrimaryFormatIsHonoured) {
  device_->SetPrimaryFormat(kRate, 8, false);
  std::vector<std::int16_t> stereo = {1000, 3000, 1000, 3000};
  TDDSDWaveData& wave = Load(WaveOf(RiffBytes::Format(1, 2, kRate, 16), RiffBytes::Pcm16(stereo)));
  Start(0, &wave);
  const Frames out = output_.Render(2 + kLag);
  EXPECT_EQ(Left(out, kLag), Right(out, kLag));
  EXPECT_EQ(Left(out, kLag), 1024);  // 2000 at the headroom, 1000, kept to 8 bits
}

TEST_F(Mixing, FrequenciesOutsideTheRangeAreRefused) {
  TDDSDWaveData& wave = Load(MonoWave16(kRate, Ramp(100)));
  Channel(0).setWaveData(&wave);
  ds::IDirectSoundBuffer* buffer = Channel(0).Buffer();
  EXPECT_NE(buffer->SetFrequency(99), ds::DS_OK);
  EXPECT_NE(buffer->SetFrequency(200001), ds::DS_OK);
  EXPECT_NE(buffer->SetFrequency(0), ds::DS_OK);
  EXPECT_EQ(buffer->Frequency(), kRate);
  EXPECT_EQ(buffer->SetFrequency(100), ds::DS_OK);
  EXPECT_EQ(buffer->SetFrequency(200000), ds::DS_OK);
  Channel(0).SetRateRatio(100.0);  // refused, silently
  EXPECT_EQ(buffer->Frequency(), 200000u);
  EXPECT_FALSE(LogExists());
}

TEST_F(Mixing, ManyCommandsWithoutRenderingAreAllKept) {
  const auto samples = Ramp(600);
  TDDSDWaveData& wave = Load(MonoWave16(kRate, samples));
  // Far more than the command ring holds, with no render in between.
  for (int i = 0; i < 3000; ++i) {
    Channel(i % 8).setWaveData(&wave);
    Channel(i % 8).SetRateRatio(1.0 + (i % 3) * 0.1);
    Channel(i % 8).PlayFromStart();
  }
  for (std::uint32_t c = 1; c < 8; ++c) Channel(c).setWaveData(nullptr);
  Start(0, &wave);
  Frames out;
  for (int i = 0; i < 20; ++i) out = output_.Render(2);  // drain what is waiting
  out = output_.Render(800);
  EXPECT_EQ(QuietFrom(out), kLag + samples.size() - 40);
}

}  // namespace
}  // namespace kestu::test

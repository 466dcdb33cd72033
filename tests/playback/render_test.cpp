// Offline playback measured in its output, with our own cosine samples: onsets at their ticks,
// pitch by row and register, notes cut and ringing on by the bank rules, the end mark, loops.
#include "playback/offline_render.h"

#include <gtest/gtest.h>

#include <cmath>

#include "sound/mixer/master_stage.h"
#include "tests/playback/playback_fixture.h"

namespace kestu::test {
namespace {

// The test tones' amplitude as it comes out: through the master stage's headroom.
constexpr double kAmplitude = 8000.0 * ds::MasterStage::kHeadroomGain;

class Render : public SampleFolderTest {
 protected:
  std::vector<std::int16_t> Play(const ScoreDocument& doc, int loops = 1) {
    if (!player_) player_ = std::make_unique<OfflinePlayer>();
    OfflineResult result;
    std::vector<std::int16_t> out = RenderedFrames(*player_, doc, loops, &result);
    EXPECT_EQ(result.frames, out.size() / 2);
    EXPECT_EQ(result.ticks, OfflinePlayer::TicksOf(doc, loops));
    return out;
  }
  // The frame at which tick t comes for interval I: 23160 x t x I / 1000.
  static std::size_t TickFrame(int t, int interval) {
    return static_cast<std::size_t>(static_cast<std::uint64_t>(t) * interval * 23160 / 1000);
  }
  // A tone of `seconds` at its own rate lasts this many output frames.
  static std::size_t ToneFrames(double seconds, double ratio = 1.0) {
    return static_cast<std::size_t>(std::floor(seconds * kSampleRate) * 23160.0 /
                                    std::trunc(kSampleRate * ratio));
  }

  std::unique_ptr<OfflinePlayer> player_;
};

TEST_F(Render, EachVoicedColumnStartsAtItsTick) {
  WriteAllTones(0.05);  // shorter than the shortest column here: each onset follows silence
  for (int tempo : {100, 250, 700}) {
    ScoreDocument doc;
    doc.SetTempo(tempo);
    const int columns[] = {1, 2, 4, 7, 8};
    for (int c : columns) doc.PlaceNote(9, c, 3);
    doc.MoveEndMark(9);  // the stop comes in the tick of column 8
    const std::vector<double> left = ChannelOf(Play(doc));
    const int interval = Transport::IntervalForTempo(tempo);
    // A cut-off cosine leaves the DC blocker a tail far under a tenth of the tone, which never
    // stays that low for 64 frames while it sounds.
    const double quiet = kAmplitude / 10.0;
    std::size_t from = 0;
    for (int c : columns) {
      const std::size_t onset = FirstSound(left, from, quiet);
      EXPECT_NEAR(static_cast<double>(onset), static_cast<double>(TickFrame(2 * c, interval)), 1.0)
          << "tempo " << tempo << " column " << c;
      from = FirstSilence(left, onset, 64, quiet);
      EXPECT_NEAR(static_cast<double>(from - onset), static_cast<double>(ToneFrames(0.05)), 2.0);
    }
    EXPECT_EQ(FirstSound(left, from, quiet), left.size()) << tempo;
    // Loop off: the render ends one mixer block at most after the last sound has died away, the
    // DC blocker's faint tail included, and that tail is short.
    std::size_t end = left.size();
    while (end > from && left[end - 1] == 0) --end;
    EXPECT_LE(left.size() - end, 256u) << tempo;
    EXPECT_LT(end - from, static_cast<std::size_t>(kOutputRate / 2)) << tempo;
  }
}

TEST_F(Render, EachNoteSoundsItsSampleAtItsRowsRatio) {
  WriteAllTones(1.0);
  const VoiceCase cases[] = {
      {3, 9, 3, 1.0},     {3, 1, 3, 2.245},   {1, 2, 21, 1.059},  {1, 6, 1, 1.414},
      {13, 7, 29, 0.667}, {13, 8, 13, 1.123}, {5, 5, 23, 0.794},  {7, 13, 7, 0.707},
      {2, 1, 28, 1.189},  {15, 4, 27, 0.891}, {10, 12, 10, 0.749}, {6, 3, 24, 1.0},
  };
  // Every other column, one bank: each note is cut by the next one re-attaching the channel.
  const auto column = [&cases](const VoiceCase& c) { return 1 + 2 * static_cast<int>(&c - cases); };
  ScoreDocument doc;
  for (const VoiceCase& c : cases) doc.PlaceNote(c.row, column(c), c.instrument);
  const std::vector<double> left = ChannelOf(Play(doc));
  for (const VoiceCase& c : cases) {
    const std::size_t onset = TickFrame(2 * column(c), 120);
    const double expected = ToneHz(c.sample) * std::trunc(kSampleRate * c.ratio) / kSampleRate;
    const double measured = ToneFrequency(left, kOutputRate, onset + 200, 8000);
    EXPECT_NEAR(measured / expected, 1.0, 0.002)
        << "instrument " << c.instrument << " row " << c.row << ": " << measured << " Hz";
    EXPECT_NEAR(AmplitudeAt(left, kOutputRate, onset + 200, 8000, expected), kAmplitude, 0.05 * kAmplitude);
  }
}

TEST_F(Render, ANoteRingsThroughEmptyColumnsUntilTheOtherBankStarts) {
  WriteAllTones(1.0);
  ScoreDocument doc;
  doc.PlaceNote(9, 1, 3);  // A, 130 Hz
  doc.PlaceNote(9, 4, 8);  // B, 180 Hz, the next non-empty column, even
  const std::vector<double> left = ChannelOf(Play(doc));
  const double a = ToneHz(3), b = ToneHz(8);
  for (int c : {1, 2, 3}) {
    const std::size_t at = TickFrame(2 * c, 120) + 500;
    EXPECT_NEAR(AmplitudeAt(left, kOutputRate, at, 4096, a), kAmplitude, 0.05 * kAmplitude) << "column " << c;
  }
  const std::size_t cut = TickFrame(8, 120);
  EXPECT_LT(AmplitudeAt(left, kOutputRate, cut + 64, 4096, a), 0.01 * kAmplitude);
  EXPECT_NEAR(AmplitudeAt(left, kOutputRate, cut + 64, 4096, b), kAmplitude, 0.05 * kAmplitude);
}

TEST_F(Render, NotesAtOrAfterTheEndMarkNeverSound) {
  WriteAllTones(0.05);
  ScoreDocument doc;
  doc.PlaceNote(9, 1, 3);
  doc.PlaceNote(9, 3, 8);
  doc.PlaceNote(9, 4, 9);
  doc.MoveEndMark(3);
  const std::vector<double> off = ChannelOf(Play(doc));
  EXPECT_EQ(FirstSound(off), TickFrame(2, 120));
  EXPECT_EQ(FirstSound(off, FirstSilence(off, TickFrame(2, 120))), off.size());

  doc.SetLoop(true);
  const std::vector<double> looped = ChannelOf(Play(doc, 3));
  std::size_t from = 0;
  for (int pass = 0; pass < 3; ++pass) {
    // Seamless: column 1 comes again every 2 x I x (E - 1) = 480 ms.
    const std::size_t onset = FirstSound(looped, from);
    EXPECT_NEAR(static_cast<double>(onset), static_cast<double>(TickFrame(2 + 4 * pass, 120)), 1.0) << pass;
    from = FirstSilence(looped, onset);
    EXPECT_NEAR(ToneFrequency(looped, kOutputRate, onset, from - onset) / ToneHz(3), 1.0, 0.01) << pass;
  }
  EXPECT_EQ(FirstSound(looped, from), looped.size());  // stopped after the third pass
}

TEST_F(Render, EndColumnOneLoopsSilentlyForItsPasses) {
  WriteAllTones(0.05);
  ScoreDocument doc;
  doc.PlaceNote(9, 1, 3);
  doc.MoveEndMark(1);
  doc.SetLoop(true);
  const std::vector<std::int16_t> out = Play(doc, 4);
  EXPECT_EQ(out.size() / 2, OfflinePlayer::FramesBeforeRingOut(doc, 4));
  EXPECT_EQ(out.size() / 2, TickFrame(4, 120));
  EXPECT_EQ(FirstSound(ChannelOf(out)), out.size() / 2);
}

TEST_F(Render, AMissingSampleFileSilencesOnlyItsNotes) {
  WriteAllTones(0.05);
  std::filesystem::remove(SampleBank::FileName(8));
  ScoreDocument doc;
  doc.PlaceNote(9, 1, 8);
  doc.PlaceNote(9, 2, 3);
  player_ = std::make_unique<OfflinePlayer>();
  EXPECT_EQ(player_->Rate(), 23160u);
  EXPECT_EQ(player_->Samples().WithoutSoundData(), (std::vector<int>{8}));
  const std::vector<double> left = ChannelOf(Play(doc));
  EXPECT_EQ(FirstSound(left), TickFrame(4, 120));
}

TEST_F(Render, APlayerPlaysTheSameScoreTheSameWayTwice) {
  WriteAllTones(0.3);
  ScoreDocument doc;
  for (int c = 1; c <= 12; ++c) {
    doc.PlaceNote(1 + c % 13, c, 1 + c % 15);
    doc.PlaceNote(13 - c % 5, c, 1 + (c * 7) % 15);
  }
  const std::vector<std::int16_t> first = Play(doc);
  const std::vector<std::int16_t> second = Play(doc);
  EXPECT_EQ(first, second);
}

}  // namespace
}  // namespace kestu::test

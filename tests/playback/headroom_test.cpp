// The program's own samples through the mixer, as the program plays them: no clipped frame for any
// column of up to three notes with a preview on top, nor in the examples. (How the single notes
// balance is instruments_as_played_test's.) Runs in the build folder, where waves/ holds the synthesizer's files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iostream>

#include "playback/column_voicing.h"
#include "playback/pitch_tables.h"
#include "score/sequence_text.h"
#include "sound/ddsd.h"
#include "tests/playback/playback_fixture.h"
#include "tests/support/loaded_device.h"
#include "tests/support/text_files.h"

namespace kestu::test {
namespace {

struct Note {
  int instrument, row;
};

std::size_t ClippedSamples(const std::vector<std::int16_t>& stereo) {
  return static_cast<std::size_t>(std::count_if(stereo.begin(), stereo.end(),
                                                [](std::int16_t v) { return v >= 32767 || v <= -32768; }));
}

class Headroom : public ::testing::Test {
 protected:
  void SetUp() override {
    device_ = LoadedDevice(output_, static_cast<std::uint32_t>(kOutputRate), 0);
    tables_.Fill();
    samples_.LoadAll(device_.get());
    ASSERT_FALSE(samples_.AnyWithoutSoundData()) << "run in the build folder, with waves/ built";
  }

  // Starts the chord in one render frame: its first three notes on bank A, the fourth on the preview channel.
  void Start(const std::array<Note, 4>& chord) {
    const std::uint32_t channels[] = {kBankAFirstChannel, kBankAFirstChannel + 1, kBankAFirstChannel + 2,
                                      kPreviewChannel};
    for (std::size_t i = 0; i < chord.size(); ++i) {
      const Voice voice = VoiceOf(tables_, chord[i].instrument, chord[i].row);
      TDDSDChannel& channel = *device_->GetChannel(channels[i]);
      channel.setWaveData(samples_.Sample(voice.sample));
      channel.SetRateRatio(voice.ratio);
      channel.PlayFromStart();
    }
  }
  // Renders `seconds` and then lets everything stop and fade.
  std::vector<std::int16_t> RenderAndSilence(double seconds) {
    std::vector<std::int16_t> out = output_.Render(static_cast<std::uint32_t>(seconds * kOutputRate));
    for (std::uint32_t c = 0; c < 8; ++c) device_->GetChannel(c)->Stop();
    output_.Render(2048);
    return out;
  }

  OfflineOutput output_;
  std::unique_ptr<TDDSD> device_;
  PitchTables tables_;
  SampleBank samples_;
};

// Three notes started in the same frame, so that their attacks add up, with a preview note on the
// preview channel in that frame too: every instrument in chords of itself high, middle and low,
// every instrument with two others, and the spikiest sounds (piano, guitar, drums) together.
TEST_F(Headroom, NoChordWithAPreviewOnTopClips) {
  std::vector<std::array<Note, 4>> chords;
  const auto wrap = [](int i) { return (i - 1) % 15 + 1; };
  for (int a = 1; a <= 15; ++a) {
    chords.push_back({{{a, 1}, {a, 2}, {a, 3}, {a, 4}}});
    chords.push_back({{{a, 5}, {a, 7}, {a, 9}, {a, 6}}});
    chords.push_back({{{a, 9}, {a, 11}, {a, 13}, {a, 12}}});
    chords.push_back({{{a, 1}, {wrap(a + 5), 6}, {wrap(a + 10), 11}, {wrap(a + 2), 8}}});
    chords.push_back({{{a, 3}, {wrap(a + 1), 9}, {wrap(a + 7), 13}, {wrap(a + 3), 2}}});
  }
  const int spiky[] = {1, 3, 6, 7, 8, 11};
  for (int a : spiky) {
    for (int b : spiky) chords.push_back({{{a, 8}, {b, 9}, {a, 10}, {b, 1}}});
  }
  std::size_t clipped = 0;
  for (const auto& chord : chords) {
    Start(chord);
    const std::size_t count = ClippedSamples(RenderAndSilence(0.6));
    EXPECT_EQ(count, 0u) << "instruments " << chord[0].instrument << ", " << chord[1].instrument << ", "
                         << chord[2].instrument << " and preview " << chord[3].instrument;
    clipped += count;
  }
  std::cout << "  " << chords.size() << " chords, " << clipped << " clipped samples\n";
}

TEST_F(Headroom, NoExampleClips) {
  OfflinePlayer player;
  ASSERT_TRUE(player.DeviceOpen());
  int examples = 0;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(KESTU_SOURCE_DIR) + "/examples")) {
    if (entry.path().extension() != ".ksq") continue;
    ++examples;
    ScoreDocument doc;
    ASSERT_EQ(ReadSequenceText(doc, ReadText(entry.path()), [](const std::string&) {}), ReadResult::Loaded) << entry.path();
    std::size_t clipped = 0, frames = 0;
    player.Play(doc, 2, [&](const std::int16_t* stereo, std::uint32_t n) {
      clipped += ClippedSamples(std::vector<std::int16_t>(stereo, stereo + 2 * n));
      frames += n;
    });
    std::cout << "  " << entry.path().filename() << ": " << frames << " frames, " << clipped << " clipped\n";
    EXPECT_GT(frames, 0u);
    EXPECT_EQ(clipped, 0u) << entry.path();
  }
  EXPECT_GT(examples, 0);
}

// At the fastest tempo each note is cut 40 ms in, before a kick or a snare has swung back: the
// sum of such cuts averages off zero. Every instrument, lowest and highest row, in every column:
// the render's mean stays under -60 dBFS.
TEST_F(Headroom, NotesCutEvery40MsLeaveNoDC) {
  OfflinePlayer player;
  ASSERT_TRUE(player.DeviceOpen());
  double worst = -200.0;
  for (int instrument = 1; instrument <= kInstrumentCount; ++instrument) {
    for (const int row : {1, kRows}) {
      ScoreDocument doc;
      doc.SetTempo(kMaxTempo);
      for (int column = 1; column <= 100; ++column) doc.PlaceNote(row, column, instrument);
      // While the notes go on, from half a second in (the first note has no cut before it).
      const std::vector<std::int16_t> stereo = RenderedFrames(player, doc, 1);
      const std::size_t to = std::min<std::size_t>(OfflinePlayer::FramesBeforeRingOut(doc, 1), stereo.size() / 2);
      double sum = 0.0;
      std::size_t samples = 0;
      for (std::size_t frame = static_cast<std::size_t>(kOutputRate / 2); frame < to; ++frame, samples += 2) {
        sum += stereo[2 * frame] + stereo[2 * frame + 1];
      }
      ASSERT_GT(samples, static_cast<std::size_t>(kOutputRate)) << "instrument " << instrument;
      const double dc = 20.0 * std::log10(std::max(std::fabs(sum / samples), 1e-9) / 32768.0);
      worst = std::max(worst, dc);
      EXPECT_LT(dc, -60.0) << "instrument " << instrument << " on row " << row;
    }
  }
  std::cout << "  the largest DC: " << worst << " dBFS\n";
}

}  // namespace
}  // namespace kestu::test

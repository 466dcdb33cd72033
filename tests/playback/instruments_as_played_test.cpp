// The program's own instruments as they are played: every instrument on every row through the
// mixer, one note at a time, as a musician hears it. Loudness keeps to the instrument's own row 9,
// the 15 balance on row 9, every note speaks quickly and sounds its row's note (and the key the
// MIDI export writes for it), the register seams do not jump, and a note cut by the next column
// does not click. Runs in the build folder, where waves/ holds the synthesizer's files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <iostream>
#include <map>

#include "midi_file.h"
#include "playback/column_voicing.h"
#include "playback/pitch_tables.h"
#include "sound/ddsd.h"
#include "tests/playback/playback_fixture.h"
#include "tests/support/loaded_device.h"
#include "tests/support/sound_analysis.h"
#include "tools/synth/loudness.h"
#include "tools/synth/signal.h"

namespace kestu::test {
namespace {

const char* const kNames[kInstrumentCount + 1] = {"",       "piano",   "music box", "bass drum", "trumpet", "flute",
                                                  "guitar", "snare",   "hi-hat",    "bass",      "marimba", "boing",
                                                  "organ",  "strings", "choir",     "chip lead"};

bool Pitched(int instrument) { return instrument != 3 && instrument != 7 && instrument != 8; }

// The frequency the row's note has for the instrument: F4 on row 9, the bass two octaves down.
double NoteHz(int instrument, int row) {
  return synth::kBasePitchHz * std::exp2(kSemitones[row] / 12.0) / (instrument == 9 ? 4.0 : 1.0);
}

struct Measured {
  Samples sound;           // the left channel from the first sounding frame, full scale +-1
  double onsetLufs = 0.0;  // the first 240 ms, K-weighted
  double loudestLufs = 0.0;
  double attackSeconds = 0.0;
  double centroidHz = 0.0;  // over the first 240 ms
};

// Every note once, rendered alone on the first channel of bank A and measured; shared by the tests.
class Instruments {
 public:
  static const Measured& Note(int instrument, int row) {
    static Instruments instance;
    return instance.notes_.at({instrument, row});
  }

 private:
  Instruments() {
    OfflineOutput output;
    auto device = LoadedDevice(output, static_cast<std::uint32_t>(kOutputRate), 0);
    PitchTables tables;
    tables.Fill();
    SampleBank samples;
    samples.LoadAll(device.get());
    const bool ready = !samples.AnyWithoutSoundData();
    for (int instrument = 1; instrument <= kInstrumentCount && ready; ++instrument) {
      for (int row = 1; row <= kRows; ++row) {
        const Voice voice = VoiceOf(tables, instrument, row);
        TDDSDWaveData* sample = samples.Sample(voice.sample);
        TDDSDChannel& channel = *device->GetChannel(kBankAFirstChannel);
        channel.setWaveData(sample);
        channel.SetRateRatio(voice.ratio);
        channel.PlayFromStart();
        const double seconds = static_cast<double>(sample->DataSize() / 2) / sample->Format().nSamplesPerSec / voice.ratio;
        const std::vector<std::int16_t> out = output.Render(static_cast<std::uint32_t>((seconds + 0.2) * kOutputRate));
        channel.Stop();
        output.Render(2048);
        Measured m;
        const std::vector<double> left = ChannelOf(out);
        for (std::size_t i = FirstSound(left); i < left.size(); ++i) m.sound.push_back(left[i] / 32768.0);
        m.onsetLufs = synth::OnsetLoudness(m.sound, kOutputRate, 0.24);
        m.loudestLufs = synth::LoudestStretchLoudness(m.sound, kOutputRate, 0.4);
        m.attackSeconds = AttackSeconds(m.sound, kOutputRate);
        m.centroidHz = SpectralCentroidHz(m.sound, kOutputRate, 0, static_cast<std::size_t>(0.24 * kOutputRate));
        notes_[{instrument, row}] = std::move(m);
      }
    }
  }

  std::map<std::pair<int, int>, Measured> notes_;
};

class InstrumentsAsPlayed : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_THROW(Instruments::Note(1, 9)) << "run in the build folder, with waves/ built";
  }
};

// What a note holds when the next column cuts it at tempo 250 stays within 6 dB of the same
// instrument's row 9 on every row: the drums too, whose spectra are made for the whole range of
// rates the rows play them at.
TEST_F(InstrumentsAsPlayed, EveryInstrumentKeepsItsLoudnessOnEveryRow) {
  for (int instrument = 1; instrument <= kInstrumentCount; ++instrument) {
    const double rowNine = Instruments::Note(instrument, 9).onsetLufs;
    std::printf("  %-10s", kNames[instrument]);
    for (int row = 1; row <= kRows; ++row) {
      const double change = Instruments::Note(instrument, row).onsetLufs - rowNine;
      std::printf(" %+5.1f", change);
      EXPECT_LE(std::fabs(change), 6.0) << kNames[instrument] << " on row " << row;
    }
    std::printf("  dB against row 9\n");
  }
}

// On row 9 the 15 instruments are within 6 dB of each other, both in what a note holds when it
// is cut at tempo 250 and in its loudest 400 ms.
TEST_F(InstrumentsAsPlayed, TheFifteenBalanceOnRow9) {
  double onsetLow = 0.0, onsetHigh = -200.0, loudestLow = 0.0, loudestHigh = -200.0;
  for (int instrument = 1; instrument <= kInstrumentCount; ++instrument) {
    const Measured& m = Instruments::Note(instrument, 9);
    std::printf("  %-10s first 240 ms %6.1f LUFS, loudest 400 ms %6.1f LUFS\n", kNames[instrument], m.onsetLufs,
                m.loudestLufs);
    onsetLow = std::min(onsetLow, m.onsetLufs);
    onsetHigh = std::max(onsetHigh, m.onsetLufs);
    loudestLow = std::min(loudestLow, m.loudestLufs);
    loudestHigh = std::max(loudestHigh, m.loudestLufs);
  }
  EXPECT_LE(onsetHigh - onsetLow, 6.0);
  EXPECT_LE(loudestHigh - loudestLow, 6.0);
}

// Every note reaches 3 dB under its peak within 60 ms, on every row: slowed down on the low rows
// too, no instrument lags behind the beat.
TEST_F(InstrumentsAsPlayed, EveryNoteSpeaksWithin60Ms) {
  for (int instrument = 1; instrument <= kInstrumentCount; ++instrument) {
    for (int row = 1; row <= kRows; ++row) {
      EXPECT_LE(Instruments::Note(instrument, row).attackSeconds, 0.06) << kNames[instrument] << " on row " << row;
    }
  }
}

// Every pitched instrument sounds its row's note within 50 cents on every row, and the MIDI export
// writes that key for it.
TEST_F(InstrumentsAsPlayed, PitchedInstrumentsSoundTheirRowsNoteAndTheMidiKey) {
  for (int instrument = 1; instrument <= kInstrumentCount; ++instrument) {
    if (!Pitched(instrument)) continue;
    std::printf("  %-10s", kNames[instrument]);
    for (int row = 1; row <= kRows; ++row) {
      const Samples& x = Instruments::Note(instrument, row).sound;
      const double expected = NoteHz(instrument, row);
      // The held part: past the attack, while every note still sounds.
      const std::size_t begin = static_cast<std::size_t>(0.08 * kOutputRate);
      const std::size_t length = std::min<std::size_t>(static_cast<std::size_t>(0.3 * kOutputRate), x.size() - begin);
      const double hz = MeasureFundamentalHz(x, kOutputRate, begin, length, expected / 1.5, expected * 1.5);
      const double cents = hz > 0.0 ? CentsBetween(hz, expected) : 9999.0;
      std::printf(" %+4.0f", cents);
      EXPECT_LE(std::fabs(cents), 50.0) << kNames[instrument] << " on row " << row << ": " << hz << " Hz";
      const double key = 69.0 + 12.0 * std::log2(std::max(hz, 1.0) / 440.0);
      EXPECT_NEAR(midi::SoundingKey(instrument, row), key, 0.5) << kNames[instrument] << " on row " << row;
    }
    std::printf("  cents\n");
  }
}

// Where an instrument changes from its base sample to its high-register one, the next note up is
// as loud (within 3 dB) and as bright (spectral centroid within 25 %) as the last one down.
TEST_F(InstrumentsAsPlayed, RegisterSeamsDoNotJump) {
  const std::pair<int, int> seams[] = {{1, 5}, {2, 5}, {4, 5}, {5, 5}, {6, 5}, {12, 5}, {13, 7}, {14, 5}, {15, 5}};
  for (const auto& [instrument, highest] : seams) {
    const Measured& high = Instruments::Note(instrument, highest);
    const Measured& base = Instruments::Note(instrument, highest + 1);
    const double jump = std::max(high.centroidHz, base.centroidHz) / std::min(high.centroidHz, base.centroidHz) - 1.0;
    std::printf("  %-10s rows %d/%d: %+4.1f dB, centroid %4.0f -> %4.0f Hz (%2.0f %%)\n", kNames[instrument],
                highest + 1, highest, high.onsetLufs - base.onsetLufs, base.centroidHz, high.centroidHz, 100 * jump);
    EXPECT_LE(std::fabs(high.onsetLufs - base.onsetLufs), 3.0) << kNames[instrument];
    EXPECT_LE(jump, 0.25) << kNames[instrument];
  }
}

// A low bass note cut by the next column fades out smoothly: what the cut puts above 1 kHz stays
// under -75 dBFS (a straight 1.5 ms fade put -48 dBFS there). Measured as playback plays it: the
// score with the bass note, less the same score without it.
TEST(CutNotes, ALowBassNoteCutByTheNextColumnDoesNotClick) {
  OfflinePlayer player;
  ASSERT_TRUE(player.DeviceOpen());
  ASSERT_FALSE(player.Samples().AnyWithoutSoundData()) << "run in the build folder, with waves/ built";
  const auto render = [&player](bool withBass) {
    ScoreDocument doc;
    doc.SetTempo(250);
    if (withBass) doc.PlaceNote(13, 1, 9);  // the lowest bass note, on bank A
    doc.PlaceNote(1, 2, 15);                // column 2 starts bank B and stops bank A
    doc.MoveEndMark(3);
    std::vector<double> left = ChannelOf(RenderedFrames(player, doc, 1));
    for (double& v : left) v /= 32768.0;
    return left;
  };
  const std::vector<double> both = render(true), cutter = render(false);
  const std::size_t cut = FirstSound(cutter);
  ASSERT_LT(cut, cutter.size());
  std::vector<double> bass(std::min(both.size(), cutter.size()));
  for (std::size_t i = 0; i < bass.size(); ++i) bass[i] = both[i] - cutter[i];
  const auto from = cut - static_cast<std::size_t>(0.05 * kOutputRate);
  const auto to = cut + static_cast<std::size_t>(0.1 * kOutputRate);
  ASSERT_GT(PeakDbfs(bass, from, cut), -30.0) << "the bass note was not sounding";
  const double click = PeakDbfs(HighPassed(bass, kOutputRate, 1000.0), from, to);
  std::cout << "  the cut above 1 kHz: " << click << " dBFS\n";
  EXPECT_LE(click, -75.0);
}

}  // namespace
}  // namespace kestu::test

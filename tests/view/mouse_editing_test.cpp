// Presses on the score view: what they do to the document and what the preview channel plays,
// checked on the channel and on the sound that comes out of the offline output.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <vector>

#include "playback/pitch_tables.h"
#include "score/sequence_text.h"
#include "sound/channel.h"
#include "sound/mixer/master_stage.h"
#include "sound/wave.h"
#include "tests/sound/sound_fixture.h"
#include "view/mouse_editing.h"

namespace kestu::test {
using namespace view;
namespace {

constexpr std::uint32_t kRate = 23160;
constexpr std::uint32_t kSampleFrames = 2320;
// Sample n is a constant level of 500 * n, so the output tells which sample sounds, and its length
// at the output rate tells the playback rate.
constexpr int Level(int sample) { return 500 * sample; }

int ViewX(int column, int scroll) { return 32 * column - scroll + 50; }
int ViewY(int row) { return 8 * row + 32; }

class MouseEditing : public kestu::test::SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    device_ = MakeDevice(output_, 0, nullptr, /*blockDc=*/false);  // samples told apart by their flat levels
    device_->SetPrimaryFormat(kRate, 16, true);
    for (int n = 1; n <= kSampleCount; ++n) {
      const std::vector<std::int16_t> level(kSampleFrames, static_cast<std::int16_t>(Level(n)));
      const std::string path = Write("Sound" + std::to_string(n) + ".wav", kestu::test::MonoWave16(kRate, level));
      samples_.push_back(std::make_unique<TDDSDWaveData>(device_.get(), path));
      ASSERT_NE(samples_.back()->Buffer(), nullptr);
    }
    pitch_.Fill();
  }
  void TearDown() override {
    samples_.clear();
    device_.reset();
    SoundTest::TearDown();
  }

  EditContext Context(bool playing = false, int scroll = 0) {
    return EditContext{doc_, playing, scroll, device_.get(),
                       [this](int n) { return n >= 1 && n <= kSampleCount ? samples_[n - 1].get() : nullptr; },
                       pitch_};
  }
  void Press(int column, int row, int scroll = 0) {
    MainImageMouseDown(Qt::LeftButton, ViewX(column, scroll), ViewY(row), Context(false, scroll));
  }
  TDDSDChannel& Preview() { return *device_->GetChannel(0); }

  // Channel 0 plays sample `n` from its start at `ratio` of its rate, and the output is that
  // sample's level for as long as that rate makes it last.
  void ExpectPreview(int n, double ratio) {
    TDDSDChannel& channel = Preview();
    ASSERT_EQ(channel.WaveData(), samples_[n - 1].get()) << "sample " << n;
    ASSERT_NE(channel.Buffer(), nullptr);
    EXPECT_EQ(channel.Buffer()->Frequency(), RateRatioFrequency(kRate, ratio));
    EXPECT_TRUE(channel.Buffer()->IsPlaying());
    const std::vector<std::int16_t> out = output_.Render(8000);
    const double expectedFrames = kSampleFrames * kRate / static_cast<double>(RateRatioFrequency(kRate, ratio));
    std::size_t last = 0;
    for (std::size_t i = 0; i < out.size() / 2; ++i) {
      if (out[2 * i] != 0) last = i + 1;
    }
    // Heard the master stage's look-ahead after the press, at its headroom.
    const std::size_t lag = output_.LatencyFrames();
    const double level = Level(n) * ds::MasterStage::kHeadroomGain;
    EXPECT_NEAR(static_cast<double>(last), lag + expectedFrames, 3.0) << "sample " << n << " at " << ratio;
    EXPECT_NEAR(out[2 * (lag + 200)], level, 2) << "sample " << n;  // past the 6 ms fade of what was cut
    EXPECT_NEAR(out[2 * ((lag + last) / 2)], level, 2) << "sample " << n;
  }
  void ExpectSilence() {
    EXPECT_EQ(Preview().WaveData(), nullptr);
    const std::vector<std::int16_t> out = output_.Render(3000);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](std::int16_t v) { return v == 0; })) << "not silent";
  }

  OfflineOutput output_;
  std::unique_ptr<TDDSD> device_;
  std::vector<std::unique_ptr<TDDSDWaveData>> samples_;
  PitchTables pitch_;
  ScoreDocument doc_;
};

struct VoiceCase {
  int instrument, row, sample;
  bool high;
};
std::ostream& operator<<(std::ostream& out, const VoiceCase& c) {
  return out << "instrument " << c.instrument << " in row " << c.row;
}

class InstrumentPress : public MouseEditing, public testing::WithParamInterface<VoiceCase> {};

TEST_P(InstrumentPress, PlacesTheNoteAndSoundsItsVoice) {
  const VoiceCase& c = GetParam();
  doc_.CurrentTool = c.instrument;
  Press(4, c.row);
  EXPECT_EQ(doc_.Cell(c.row, 4), c.instrument);
  EXPECT_EQ(doc_.NoteCount(4), 1);
  EXPECT_TRUE(doc_.Modified);
  ExpectPreview(c.sample, c.high ? pitch_.HighPitchRatio[c.row] : pitch_.PitchRatio[c.row]);
}

INSTANTIATE_TEST_SUITE_P(
    Voices, InstrumentPress,
    testing::Values(VoiceCase{1, 5, 21, true}, VoiceCase{1, 6, 1, false}, VoiceCase{13, 7, 29, true},
                    VoiceCase{13, 8, 13, false}, VoiceCase{3, 1, 3, false}, VoiceCase{2, 1, 28, true},
                    VoiceCase{15, 13, 15, false}, VoiceCase{12, 3, 25, true}, VoiceCase{9, 2, 9, false}));

struct IgnoredCase {
  const char* name;
  Qt::MouseButton button;
  bool playing;
  int x, y;
};

class IgnoredPress : public MouseEditing, public testing::WithParamInterface<IgnoredCase> {};

TEST_P(IgnoredPress, ChangesNothingAndIsSilent) {
  const IgnoredCase& c = GetParam();
  for (int tool : {1, 16, 17}) {
    doc_.CurrentTool = tool;
    doc_.PlaceNote(6, 1, 4);
    doc_.Modified = false;
    const std::string before = WriteSequenceText(doc_);
    MainImageMouseDown(c.button, c.x, c.y, Context(c.playing));
    EXPECT_EQ(WriteSequenceText(doc_), before) << "tool " << tool;
    EXPECT_FALSE(doc_.Modified) << "tool " << tool;
    ExpectSilence();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IgnoredPress,
    testing::Values(IgnoredCase{"RightButton", Qt::RightButton, false, 82, 80},
                    IgnoredCase{"MiddleButton", Qt::MiddleButton, false, 82, 80},
                    IgnoredCase{"DuringPlayback", Qt::LeftButton, true, 82, 80},
                    IgnoredCase{"BandEdge", Qt::LeftButton, false, 82, 36},
                    IgnoredCase{"BandTop", Qt::LeftButton, false, 82, 0},
                    IgnoredCase{"BottomRows", Qt::LeftButton, false, 82, 140},
                    IgnoredCase{"LastPixelRow", Qt::LeftButton, false, 82, 143},
                    IgnoredCase{"LeftOfColumnOne", Qt::LeftButton, false, 65, 80}),
    [](const testing::TestParamInfo<IgnoredCase>& info) { return info.param.name; });

TEST_F(MouseEditing, HalfWayPressesGoToTheColumnWhoseNumberMinusOneIsEven) {
  doc_.CurrentTool = 3;
  MainImageMouseDown(Qt::LeftButton, 98, 80, Context());   // s + X - 82 = 16
  MainImageMouseDown(Qt::LeftButton, 130, 80, Context());  // 48
  MainImageMouseDown(Qt::LeftButton, 66, 96, Context());   // -16: column 1, not 0
  EXPECT_EQ(doc_.Cell(6, 1), 3);
  EXPECT_EQ(doc_.Cell(6, 2), 0);
  EXPECT_EQ(doc_.Cell(6, 3), 3);
  EXPECT_EQ(doc_.Cell(8, 1), 3);
}

TEST_F(MouseEditing, TheSameInstrumentAgainChangesNothingButSounds) {
  doc_.PlaceNote(8, 2, 5);
  doc_.Modified = false;
  doc_.CurrentTool = 5;
  Press(2, 8);
  EXPECT_EQ(doc_.Cell(8, 2), 5);
  EXPECT_FALSE(doc_.Modified);
  ExpectPreview(5, pitch_.PitchRatio[8]);
}

TEST_F(MouseEditing, AFullColumnTakesNoFourthNoteButAReplacement) {
  doc_.PlaceNote(2, 3, 1);
  doc_.PlaceNote(7, 3, 2);
  doc_.PlaceNote(12, 3, 3);
  doc_.Modified = false;
  // A fourth note in an empty row is refused; one over a note already there replaces it.
  struct Step {
    int tool, row, cell;
    bool modified;
  };
  for (const Step& step : {Step{4, 9, 0, false}, Step{6, 7, 6, true}}) {
    doc_.CurrentTool = step.tool;
    Press(3, step.row);
    EXPECT_EQ(doc_.Cell(step.row, 3), step.cell);
    EXPECT_EQ(doc_.NoteCount(3), 3);
    EXPECT_EQ(doc_.Modified, step.modified);
    ExpectPreview(step.tool, pitch_.PitchRatio[step.row]);
  }
}

TEST_F(MouseEditing, NoNoteAtOrAfterTheEndMarkButTheSoundAnyway) {
  doc_.MoveEndMark(10);
  doc_.Modified = false;
  doc_.CurrentTool = 2;
  for (int column : {10, 11}) {
    Press(column, 9);
    EXPECT_EQ(doc_.Cell(9, column), 0);
    EXPECT_FALSE(doc_.Modified);
    ExpectPreview(2, pitch_.PitchRatio[9]);
  }
}

TEST_F(MouseEditing, PressesPastTheGridPlaceNothingAndStillSound) {
  doc_.CurrentTool = 7;
  // X = 384 at the largest offset maps to column 962; X = 367 to 961.
  MainImageMouseDown(Qt::LeftButton, 384, ViewY(9), Context(false, 30435));
  ExpectPreview(7, pitch_.PitchRatio[9]);
  MainImageMouseDown(Qt::LeftButton, 367, ViewY(9), Context(false, 30435));
  ExpectPreview(7, pitch_.PitchRatio[9]);
  EXPECT_EQ(doc_.NoteCount(960), 0);
  EXPECT_FALSE(doc_.Modified);
}

TEST_F(MouseEditing, TheEndMarkToolMovesTheMarkInAnyRowAndSoundsItsSample) {
  doc_.CurrentTool = kEndMarkTool;
  for (int row : {1, 7, 13}) {
    Press(7 + row, row);
    EXPECT_EQ(doc_.EndColumn(), 7 + row);
    ExpectPreview(kEndMarkSample, 1.0);
  }
  doc_.Modified = false;
  Press(20, 4);  // where it already is
  EXPECT_EQ(doc_.EndColumn(), 20);
  EXPECT_TRUE(doc_.Modified);
  ExpectPreview(kEndMarkSample, 1.0);

  MainImageMouseDown(Qt::LeftButton, 384, ViewY(5), Context(false, 30435));  // column 962
  EXPECT_EQ(doc_.EndColumn(), 961);
  ExpectPreview(kEndMarkSample, 1.0);
}

TEST_F(MouseEditing, TheEraserRemovesANoteAndSoundsItsSample) {
  doc_.PlaceNote(6, 4, 9);
  doc_.PlaceNote(2, 4, 1);
  doc_.Modified = false;
  doc_.CurrentTool = kEraserTool;
  Press(4, 6);
  EXPECT_EQ(doc_.Cell(6, 4), 0);
  EXPECT_EQ(doc_.Cell(2, 4), 1);
  EXPECT_EQ(doc_.NoteCount(4), 1);
  EXPECT_TRUE(doc_.Modified);
  ExpectPreview(kEraserSample, 1.0);
}

TEST_F(MouseEditing, TheEraserIsSilentWhereItDoesNothing) {
  doc_.PlaceNote(6, 4, 9);
  doc_.CurrentTool = kEraserTool;
  doc_.Modified = false;
  Press(4, 7);  // an empty cell
  ExpectSilence();
  doc_.MoveEndMark(4);
  doc_.Modified = false;
  Press(4, 6);  // a note at the end mark
  EXPECT_EQ(doc_.Cell(6, 4), 9);
  ExpectSilence();
  doc_.MoveEndMark(961);
  doc_.Modified = false;
  for (int x : {367, 384}) MainImageMouseDown(Qt::LeftButton, x, ViewY(6), Context(false, 30435));
  EXPECT_FALSE(doc_.Modified);
  ExpectSilence();
}

TEST_F(MouseEditing, OnlyTheLatestPreviewSounds) {
  doc_.CurrentTool = 1;
  Press(1, 9);
  output_.Render(200);
  doc_.CurrentTool = 3;
  Press(2, 9);
  ExpectPreview(3, pitch_.PitchRatio[9]);
  doc_.CurrentTool = kEraserTool;
  Press(2, 9);
  ExpectPreview(kEraserSample, 1.0);
}

TEST_F(MouseEditing, AMissingSampleOrDeviceStillEdits) {
  doc_.CurrentTool = 4;
  EditContext noSample = Context();
  noSample.sampleOf = [](int) -> TDDSDGenWave* { return nullptr; };
  MainImageMouseDown(Qt::LeftButton, ViewX(2, 0), ViewY(9), noSample);
  EXPECT_EQ(doc_.Cell(9, 2), 4);
  ExpectSilence();

  EditContext noBank = Context();
  noBank.sampleOf = nullptr;
  MainImageMouseDown(Qt::LeftButton, ViewX(3, 0), ViewY(9), noBank);
  EXPECT_EQ(doc_.Cell(9, 3), 4);
  ExpectSilence();

  EditContext noDevice = Context();
  noDevice.sound = nullptr;
  doc_.CurrentTool = kEraserTool;
  MainImageMouseDown(Qt::LeftButton, ViewX(2, 0), ViewY(9), noDevice);
  EXPECT_EQ(doc_.Cell(9, 2), 0);
}

TEST_F(MouseEditing, AToolNumberOutsideThePaletteDoesNothing) {
  for (int tool : {0, 18, -1}) {
    doc_.CurrentTool = tool;
    Press(2, 9);
    EXPECT_EQ(doc_.NoteCount(2), 0);
    EXPECT_EQ(doc_.EndColumn(), 961);
    EXPECT_FALSE(doc_.Modified);
    ExpectSilence();
  }
}

}  // namespace
}  // namespace kestu::test

// The sample bank and VoiceColumn on a real sound component over the offline output, with our own
// test samples: which sample sounds on which channel at which frequency.
#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "playback/column_voicing.h"
#include "playback/sample_bank.h"
#include "sound/ddsd.h"
#include "sound/output/offline_output.h"
#include "tests/playback/playback_fixture.h"
#include "tests/support/loaded_device.h"

namespace kestu::test {
namespace {

class Voicing : public SampleFolderTest {
 protected:
  void SetUp() override {
    SampleFolderTest::SetUp();
    WriteAllTones(0.5);
    device_ = LoadedDevice(output_);
    tables_.Fill();
  }

  void Voice(std::int32_t column) {
    std::int32_t playColumn = column;
    VoiceColumn(*device_, bank_, tables_, doc_, playColumn);
    EXPECT_EQ(playColumn, column + 1);
  }
  TDDSDChannel& Channel(std::uint32_t i) { return *device_->GetChannel(i); }
  bool Playing(std::uint32_t i) { return Channel(i).Buffer() != nullptr && Channel(i).Buffer()->IsPlaying(); }
  // Sample number attached to channel i, 0 for none.
  int SampleOn(std::uint32_t i) {
    for (int n = 1; n <= kSampleCount; ++n) {
      if (Channel(i).WaveData() == bank_.Sample(n)) return n;
    }
    return 0;
  }
  std::uint32_t FrequencyOn(std::uint32_t i) { return Channel(i).Buffer()->Frequency(); }
  void ExpectVoice(std::uint32_t i, int sample, double ratio) {
    EXPECT_EQ(SampleOn(i), sample) << "channel " << i;
    EXPECT_EQ(FrequencyOn(i), RateRatioFrequency(kSampleRate, ratio)) << "channel " << i;
  }
  void Play(std::uint32_t i, int sample) {
    Channel(i).setWaveData(bank_.Sample(sample));
    Channel(i).PlayFromStart();
  }
  // Loads the bank and sets something sounding on every bank channel, and on the preview's when given.
  void LoadAndPlayAll(int previewSample = 0) {
    bank_.LoadAll(device_.get());
    for (std::uint32_t i : {1u, 2u, 3u, 5u, 6u, 7u}) Play(i, 10);
    if (previewSample != 0) Play(0, previewSample);
  }

  OfflineOutput output_;
  std::unique_ptr<TDDSD> device_;
  SampleBank bank_;
  PitchTables tables_;
  ScoreDocument doc_;
};

TEST_F(Voicing, BankLoadsTwentyNineSamplesInOrderAndNamesTheMissingOnes) {
  EXPECT_EQ(SampleBank::FileName(1), "waves/Sound1.wav");
  EXPECT_EQ(SampleBank::FileName(29), "waves/Sound29.wav");
  std::filesystem::remove(SampleBank::FileName(4));
  std::filesystem::remove(SampleBank::FileName(27));
  bank_.LoadAll(device_.get());
  for (int n = 1; n <= kSampleCount; ++n) {
    ASSERT_NE(bank_.Sample(n), nullptr) << n;
    if (n != 4 && n != 27) {
      EXPECT_EQ(bank_.Sample(n)->Format().nSamplesPerSec, kSampleRate) << n;
    }
  }
  EXPECT_EQ(bank_.Sample(0), nullptr);
  EXPECT_EQ(bank_.Sample(30), nullptr);
  EXPECT_EQ(bank_.WithoutSoundData(), (std::vector<int>{4, 27}));
  EXPECT_TRUE(bank_.AnyWithoutSoundData());
  bank_.FreeAll();
  EXPECT_EQ(bank_.Sample(1), nullptr);
  EXPECT_FALSE(bank_.AnyWithoutSoundData());
}

TEST_F(Voicing, AnExceptionStopsTheLoadingAndReachesTheCaller) {
  std::filesystem::remove(SampleBank::FileName(6));
  device_->SetDebugOption(dsoExceptOnError);  // the missing file's message is raised
  EXPECT_THROW(bank_.LoadAll(device_.get()), EDDSD);
  for (int n = 1; n <= 5; ++n) EXPECT_NE(bank_.Sample(n), nullptr) << n;
  for (int n = 6; n <= kSampleCount; ++n) EXPECT_EQ(bank_.Sample(n), nullptr) << n;
  EXPECT_FALSE(bank_.AnyWithoutSoundData());
}

TEST_F(Voicing, OddColumnUsesBankAHighestRowFirstWithTheVoiceOfEachNote) {
  LoadAndPlayAll();
  doc_.PlaceNote(2, 7, 1);
  doc_.PlaceNote(9, 7, 1);
  Voice(7);
  ExpectVoice(1, 21, 1.059);
  EXPECT_EQ(SampleOn(2), 1);
  EXPECT_EQ(FrequencyOn(2), kSampleRate);
  EXPECT_TRUE(Playing(1));
  EXPECT_TRUE(Playing(2));
  EXPECT_TRUE(Playing(3));  // not re-attached, not stopped: rings on
  for (std::uint32_t i : {5u, 6u, 7u}) EXPECT_FALSE(Playing(i)) << i;
}

TEST_F(Voicing, EvenColumnUsesBankBAndStopsBankA) {
  LoadAndPlayAll(16);
  doc_.PlaceNote(7, 2, 13);   // sample 29 at 0.667
  doc_.PlaceNote(8, 2, 13);   // sample 13 at 1.123
  doc_.PlaceNote(13, 2, 3);   // sample 3 at 0.707
  Voice(2);
  ExpectVoice(5, 29, 0.667);
  ExpectVoice(6, 13, 1.123);
  ExpectVoice(7, 3, 0.707);
  for (std::uint32_t i : {5u, 6u, 7u}) EXPECT_TRUE(Playing(i)) << i;
  for (std::uint32_t i : {1u, 2u, 3u}) EXPECT_FALSE(Playing(i)) << i;
  EXPECT_TRUE(Playing(0));  // the preview is never touched
}

TEST_F(Voicing, AnEmptyColumnStopsAndStartsNothing) {
  LoadAndPlayAll();
  Voice(3);
  Voice(4);
  for (std::uint32_t i : {1u, 2u, 3u, 5u, 6u, 7u}) EXPECT_TRUE(Playing(i)) << i;
}

TEST_F(Voicing, AShorterColumnOfTheSameParityLeavesTheOtherChannelsRinging) {
  bank_.LoadAll(device_.get());
  for (int row : {1, 5, 9}) doc_.PlaceNote(row, 1, 5);
  doc_.PlaceNote(6, 3, 5);
  Voice(1);
  ExpectVoice(1, 23, 1.189);
  Voice(2);
  Voice(3);
  ExpectVoice(1, 5, 1.414);
  EXPECT_EQ(SampleOn(2), 23);
  EXPECT_EQ(SampleOn(3), 5);
  for (std::uint32_t i : {1u, 2u, 3u}) EXPECT_TRUE(Playing(i)) << i;
}

TEST_F(Voicing, AnAbsentSampleLeavesItsChannelEmptyAndKeepsTheCount) {
  bank_.LoadAll(device_.get());
  bank_.Put(7, nullptr);
  doc_.PlaceNote(9, 1, 1);
  doc_.PlaceNote(10, 1, 7);
  doc_.PlaceNote(11, 1, 3);
  Voice(1);
  EXPECT_EQ(SampleOn(1), 1);
  EXPECT_EQ(Channel(2).WaveData(), nullptr);
  EXPECT_EQ(Channel(2).Buffer(), nullptr);
  EXPECT_EQ(SampleOn(3), 3);
  EXPECT_TRUE(Playing(1));
  EXPECT_TRUE(Playing(3));
}

TEST_F(Voicing, NoNoteEverAttachesTheUnusedSamplesOrLeavesItsBank) {
  bank_.LoadAll(device_.get());
  std::set<int> attached;
  for (int instrument = 1; instrument <= kInstrumentCount; ++instrument) {
    for (int row = 1; row <= kRows; ++row) {
      const int column = 2 * instrument + (row % 2);  // both parities
      doc_.ClearColumn(column);
      doc_.PlaceNote(row, column, instrument);
      Voice(column);
      const std::uint32_t channel = column % 2 != 0 ? 1 : 5;
      attached.insert(SampleOn(channel));
      EXPECT_EQ(Channel(4).WaveData(), nullptr);
    }
  }
  EXPECT_EQ(attached.count(0), 0u);
  for (int unused : {16, 17, 18, 19, 20}) EXPECT_EQ(attached.count(unused), 0u) << unused;
  EXPECT_EQ(attached.size(), 24u);  // 15 instruments and 9 high registers
}

TEST_F(Voicing, StopBothBanksLeavesThePreviewAlone) {
  LoadAndPlayAll(20);
  StopBothBanks(*device_);
  for (std::uint32_t i : {1u, 2u, 3u, 5u, 6u, 7u}) EXPECT_FALSE(Playing(i)) << i;
  EXPECT_TRUE(Playing(0));
}

}  // namespace
}  // namespace kestu::test

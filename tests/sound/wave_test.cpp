#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "sound/wave.h"
#include "tests/sound/sound_fixture.h"

namespace kestu::test {
namespace {

class WaveLoading : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    device_ = MakeDevice(output_, dsoDebugMessage, faults_);
    device_->SetPrimaryFormat(22050, 16, true);
  }
  void TearDown() override {
    device_.reset();
    SoundTest::TearDown();
  }
  std::string OnlyLogLine() const {
    std::string text = LogText();
    return text.rfind("debug#00001 ... ", 0) == 0 ? text.substr(16) : text;
  }

  OfflineOutput output_;
  std::shared_ptr<ds::FaultPlan> faults_ = std::make_shared<ds::FaultPlan>();
  std::unique_ptr<TDDSD> device_;
};

TEST_F(WaveLoading, ALoadedSampleHasItsFormatDataAndFrequency) {
  const auto samples = Ramp(1000);
  const std::string path = Write("ok.wav", MonoWave16(11025, samples));
  TDDSDWaveData wave(device_.get(), path);
  ASSERT_NE(wave.Buffer(), nullptr);
  EXPECT_EQ(wave.Format().wFormatTag, 1);
  EXPECT_EQ(wave.Format().nChannels, 1);
  EXPECT_EQ(wave.Format().nSamplesPerSec, 11025u);
  EXPECT_EQ(wave.Format().cbSize, 0);
  EXPECT_EQ(wave.DataSize(), 2000u);
  EXPECT_EQ(wave.Buffer()->Bytes(), 2000u);
  EXPECT_EQ(wave.Buffer()->Frequency(), 11025u);
  // Plain sample flags with sticky focus.
  EXPECT_EQ(wave.Buffer()->Flags(), 0x40E2u);
  EXPECT_FALSE(LogExists());
}

TEST_F(WaveLoading, BufferFlagsFollowTheKindAndStickyFocus) {
  const std::string path = Write("ok.wav", MonoWave16(11025, Ramp(10)));
  TDDSDWave3D wave3D(device_.get(), path);
  ASSERT_NE(wave3D.Buffer(), nullptr);
  EXPECT_EQ(wave3D.Buffer()->Flags(), 178u + 0x4000u);
  device_->StickyFocus = false;
  TDDSDWaveData plain(device_.get(), path);
  EXPECT_EQ(plain.Buffer()->Flags(), 226u);
}

TEST_F(WaveLoading, FormatRecordTakesTheChunkAsItStands) {
  struct Case {
    std::size_t chunkSize;
    std::uint16_t cbSize;
    std::uint16_t expectedCbSize;
  } cases[] = {{16, 0, 0}, {18, 0, 0}, {18, 22, 22}};
  for (const Case& c : cases) {
    const auto bytes = RiffBytes()
                           .Chunk("fmt ", RiffBytes::Format(1, 2, 8000, 16, c.chunkSize, c.cbSize))
                           .Chunk("data", RiffBytes::Pcm16(Ramp(8)))
                           .Form();
    TDDSDWaveData wave(device_.get(), Write("fmt.wav", bytes));
    EXPECT_NE(wave.Buffer(), nullptr) << c.chunkSize;
    EXPECT_EQ(wave.Format().cbSize, c.expectedCbSize) << c.chunkSize;
    EXPECT_EQ(wave.Format().nChannels, 2);
  }
}

TEST_F(WaveLoading, ExtensibleFormatFillsTheRecordAndIsRefusedByTheBuffer) {
  const auto bytes = RiffBytes()
                         .Chunk("fmt ", RiffBytes::Format(0xFFFE, 1, 8000, 16, 40, 22))
                         .Chunk("data", RiffBytes::Pcm16(Ramp(8)))
                         .Form();
  TDDSDWaveData wave(device_.get(), Write("ext.wav", bytes));
  EXPECT_EQ(wave.Format().wFormatTag, 0xFFFE);
  EXPECT_EQ(wave.Format().cbSize, 22);
  EXPECT_EQ(wave.DataSize(), 16u);
  EXPECT_EQ(wave.Buffer(), nullptr);
  EXPECT_EQ(OnlyLogLine(), "サウンドバッファの作成に失敗しました(Error Code(88780064))\r\n");
}

TEST_F(WaveLoading, OnlyPcmOfEightOrSixteenBitsAndOneOrTwoChannelsGetsABuffer) {
  struct Case {
    std::uint16_t tag, channels, bits;
    bool loads;
  } cases[] = {{1, 1, 8, true},  {1, 2, 8, true},  {1, 1, 16, true}, {1, 2, 16, true},
               {1, 1, 24, false}, {1, 3, 16, false}, {3, 1, 32, false}, {1, 0, 16, false}};
  for (const Case& c : cases) {
    const auto bytes = RiffBytes()
                           .Chunk("fmt ", RiffBytes::Format(c.tag, c.channels, 8000, c.bits))
                           .Chunk("data", std::vector<std::uint8_t>(48, 0x40))
                           .Form();
    TDDSDWaveData wave(device_.get(), Write("kind.wav", bytes));
    EXPECT_EQ(wave.Buffer() != nullptr, c.loads) << c.tag << "/" << c.channels << "/" << c.bits;
  }
}

TEST_F(WaveLoading, FileErrorsGiveTheirMessageAndAnEmptySample) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    const char* text;
  };
  auto cutFormat = RiffBytes().Chunk("fmt ", RiffBytes::Format(1, 1, 8000, 16)).Form();
  cutFormat.resize(cutFormat.size() - 5);
  const Case cases[] = {
      {"avi.wav", RiffBytes().Chunk("fmt ", RiffBytes::Format(1, 1, 8000, 16)).Form("AVI "),
       "は、WAVEファイルではありません"},
      {"text.wav", {'h', 'e', 'l', 'l', 'o'}, "は、WAVEファイルではありません"},
      {"nofmt.wav", RiffBytes().Chunk("data", {1, 2}).Form(), "には、fmtチャンクが有りません"},
      {"cut.wav", cutFormat, "のfmtチャンクが不正です"},
      {"nodata.wav", RiffBytes().Chunk("fmt ", RiffBytes::Format(1, 1, 8000, 16)).Form(),
       "には、dataチャンクが有りません"},
      {"dataFirst.wav",
       RiffBytes().Chunk("data", {1, 2}).Chunk("fmt ", RiffBytes::Format(1, 1, 8000, 16)).Form(),
       "には、dataチャンクが有りません"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(LogPath());
    LogLineCount = 0;
    const std::string path = Write(c.name, c.bytes);
    TDDSDWaveData wave(device_.get(), path);
    EXPECT_EQ(wave.Buffer(), nullptr) << c.name;
    EXPECT_EQ(OnlyLogLine(), path + c.text + "\r\n") << c.name;
  }
}

TEST_F(WaveLoading, ADataChunkLongerThanTheFileGetsWhatTheFileHolds) {
  // A damaged header claiming almost 4 GB must not make the program allocate them.
  std::vector<std::uint8_t> bytes = MonoWave16(11025, Ramp(50));
  const std::uint8_t data[] = {'d', 'a', 't', 'a'};
  const auto at = std::search(bytes.begin(), bytes.end(), std::begin(data), std::end(data));
  ASSERT_NE(at, bytes.end());
  for (int i = 0; i < 4; ++i) at[4 + i] = 0xFF;
  TDDSDWaveData wave(device_.get(), Write("long.wav", bytes));
  ASSERT_NE(wave.Buffer(), nullptr);
  EXPECT_EQ(wave.DataSize(), 100u);
}

TEST_F(WaveLoading, MissingFileMessageIsThePathAsGiven) {
  // Relative to a folder that has no waves/ of its own (the build folder has the real samples).
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(folder_);
  TDDSDWaveData wave(device_.get(), "waves/Sound3.wav");
  std::filesystem::current_path(previous);
  EXPECT_EQ(wave.Buffer(), nullptr);
  EXPECT_EQ(OnlyLogLine(), "waves/Sound3.wavが、見つかりません\r\n");
}

TEST_F(WaveLoading, AFolderOrAPipeCountsAsMissingAndNeverBlocks) {
  const std::string fifo = (folder_ / "pipe.wav").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  TDDSDWaveData fromPipe(device_.get(), fifo);
  TDDSDWaveData fromFolder(device_.get(), folder_.string());
  EXPECT_EQ(fromPipe.Buffer(), nullptr);
  EXPECT_EQ(fromFolder.Buffer(), nullptr);
  EXPECT_EQ(LogLineCount, 2);
}

TEST_F(WaveLoading, ExtraChunksAnywhereAreSkipped) {
  const auto samples = Ramp(20);
  const auto bytes = RiffBytes()
                         .Chunk("LIST", {'I', 'N', 'F', 'O', 1})
                         .Chunk("fmt ", RiffBytes::Format(1, 1, 8000, 16))
                         .Chunk("fact", {0, 0, 0, 0})
                         .Chunk("data", RiffBytes::Pcm16(samples))
                         .Chunk("LIST", {'a', 'd', 't', 'l'})
                         .Form();
  TDDSDWaveData wave(device_.get(), Write("extra.wav", bytes));
  ASSERT_NE(wave.Buffer(), nullptr);
  EXPECT_EQ(wave.DataSize(), 40u);
  EXPECT_FALSE(LogExists());
}

TEST_F(WaveLoading, RaisedFileErrorsEndTheConstruction) {
  device_->SetDebugOption(dsoExceptOnError);
  EXPECT_THROW(TDDSDWaveData(device_.get(), "nowhere.wav"), EDDSD);
}

TEST_F(WaveLoading, RefusedLockOrUnlockLeavesTheSampleEmpty) {
  struct Case {
    ds::SoundCall call;
    const char* text;
  } cases[] = {{ds::SoundCall::Lock, "LoadWAV中に、サウンドバッファのロックが失敗しました(Error Code(80004005))\r\n"},
               {ds::SoundCall::Unlock, "LoadWAV中に、サウンドバッファのアンロックが失敗しました(Error Code(80004005))\r\n"},
               {ds::SoundCall::CreateSecondaryBuffer, "サウンドバッファの作成に失敗しました(Error Code(80004005))\r\n"}};
  const std::string path = Write("ok.wav", MonoWave16(8000, Ramp(30)));
  for (const Case& c : cases) {
    std::filesystem::remove(LogPath());
    LogLineCount = 0;
    faults_->Fail(c.call, ds::DSERR_GENERIC, 1);
    TDDSDWaveData wave(device_.get(), path);
    EXPECT_EQ(wave.Buffer(), nullptr);
    EXPECT_EQ(OnlyLogLine(), c.text);
  }
}

TEST_F(WaveLoading, ReleaseThatLeavesReferencesIsReported) {
  const std::string path = Write("ok.wav", MonoWave16(8000, Ramp(30)));
  ds::IDirectSoundBuffer* kept = nullptr;
  {
    TDDSDWaveData wave(device_.get(), path);
    kept = wave.Buffer();
    kept->AddRef();
  }
  EXPECT_EQ(OnlyLogLine(), "二次バッファの解放に失敗しました(Error Code(1))\r\n");
  EXPECT_EQ(kept->Release(), 0u);
}

TEST_F(WaveLoading, ASampleMayOutliveItsDevice) {
  const std::string path = Write("ok.wav", MonoWave16(8000, Ramp(30)));
  auto wave = std::make_unique<TDDSDWaveData>(device_.get(), path);
  device_.reset();
  EXPECT_EQ(wave->Device(), nullptr);
  wave.reset();
  EXPECT_FALSE(LogExists());
}

TEST_F(WaveLoading, WithTheDeviceClosedNoFileIsTouchedAndNothingReported) {
  OfflineOutput refusing;
  refusing.SetRefuseOpen(true);
  auto silent = MakeDevice(refusing, dsoDebugMessage | dsoExceptOnError);
  ASSERT_FALSE(silent->DeviceOpen());
  TDDSDWaveData wave(silent.get(), "does/not/exist.wav");
  EXPECT_EQ(wave.Buffer(), nullptr);
  EXPECT_FALSE(LogExists());
}

}  // namespace
}  // namespace kestu::test

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <sys/stat.h>
#include <tuple>

#include "sound/wave.h"
#include "sound/wave_conversion.h"
#include "tests/support/listening.h"
#include "tests/sound/sound_fixture.h"

namespace kestu::test {
namespace {

class WaveLoading : public OfflineDeviceTest<> {
 protected:
  void SetUp() override { SetUpDevice(22050, dsoDebugMessage, faults_); }
  std::string OnlyLogLine() const {
    std::string text = LogText();
    return text.rfind("debug#00001 ... ", 0) == 0 ? text.substr(16) : text;
  }
  // The loaded sample's frames, read back through a lock of its buffer.
  void ReadFrames(TDDSDWaveData& wave, std::vector<std::int16_t>& frames) {
    output_.Render(1);  // the mixer takes the loader's last settings; then the buffer locks again
    void* p1 = nullptr;
    void* p2 = nullptr;
    std::uint32_t b1 = 0, b2 = 0;
    ASSERT_EQ(wave.Buffer()->Lock(0, wave.DataSize(), &p1, &b1, &p2, &b2, 0), ds::DS_OK);
    frames.resize(b1 / 2);
    std::memcpy(frames.data(), p1, b1);
    wave.Buffer()->Unlock(p1, b1, p2, b2);
  }

  std::shared_ptr<ds::FaultPlan> faults_ = std::make_shared<ds::FaultPlan>();
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
    const auto bytes = WaveOf(RiffBytes::Format(1, 2, 8000, 16, c.chunkSize, c.cbSize), RiffBytes::Pcm16(Ramp(8)));
    TDDSDWaveData wave(device_.get(), Write("fmt.wav", bytes));
    EXPECT_NE(wave.Buffer(), nullptr) << c.chunkSize;
    EXPECT_EQ(wave.Format().cbSize, c.expectedCbSize) << c.chunkSize;
    EXPECT_EQ(wave.Format().nChannels, 2);
  }
}

TEST_F(WaveLoading, ExtensibleFormatWithoutAKnownSubFormatFillsTheRecordAndIsRefused) {
  const auto bytes = WaveOf(RiffBytes::Format(0xFFFE, 1, 8000, 16, 40, 22), RiffBytes::Pcm16(Ramp(8)));
  const std::string path = Write("ext.wav", bytes);
  TDDSDWaveData wave(device_.get(), path);
  EXPECT_EQ(wave.Format().wFormatTag, 0xFFFE);
  EXPECT_EQ(wave.Format().cbSize, 22);
  EXPECT_EQ(wave.DataSize(), 16u);
  EXPECT_EQ(wave.Buffer(), nullptr);
  EXPECT_EQ(OnlyLogLine(), path + "：この形式のサウンドは使えません（形式 65534、1チャンネル、16ビット、8000Hz）\r\n");
}

TEST_F(WaveLoading, PcmUpToThirtyTwoBitsAndFloatInOneOrTwoChannelsGetABuffer) {
  struct Case {
    std::uint16_t tag, channels, bits;
    bool loads;
  } cases[] = {{1, 1, 8, true},  {1, 2, 8, true},   {1, 1, 16, true},  {1, 2, 16, true},
               {1, 1, 24, true}, {1, 2, 32, true},  {3, 1, 32, true},  {3, 2, 32, true},
               {1, 3, 16, false}, {1, 6, 16, false}, {3, 1, 64, false}, {1, 0, 16, false},
               {1, 1, 12, false}, {2, 1, 16, false}};
  for (const Case& c : cases) {
    const auto bytes = WaveOf(RiffBytes::Format(c.tag, c.channels, 8000, c.bits), std::vector<std::uint8_t>(48, 0x40));
    TDDSDWaveData wave(device_.get(), Write("kind.wav", bytes));
    EXPECT_EQ(wave.Buffer() != nullptr, c.loads) << c.tag << "/" << c.channels << "/" << c.bits;
  }
}

// The extensible format's chunk: the plain fields, then valid bits, channel mask and sub-format.
std::vector<std::uint8_t> ExtensibleFormat(std::uint16_t subTag, std::uint16_t channels, std::uint16_t bits) {
  RiffBytes f;
  f.Raw(RiffBytes::Format(0xFFFE, channels, 44100, bits, 18, 22)).U16(bits).U32(channels == 2 ? 3 : 4);
  f.U16(subTag).Raw({0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71});
  return f.Bytes();
}

std::vector<std::uint8_t> LittleEndianSamples(const std::vector<std::int64_t>& values, int bytes) {
  std::vector<std::uint8_t> out;
  for (std::int64_t v : values) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(v) >> (8 * i)));
  }
  return out;
}

std::vector<std::uint8_t> FloatSamples(const std::vector<float>& values) {
  std::vector<std::uint8_t> out(values.size() * 4);
  std::memcpy(out.data(), values.data(), out.size());
  return out;
}

TEST_F(WaveLoading, OtherFormatsAreConvertedToSixteenBitsWhenLoaded) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    const char* name;
    std::vector<std::uint8_t> format, data;
    std::uint16_t channels;
    std::vector<std::int16_t> expected;
  } cases[] = {
      {"24-bit", RiffBytes::Format(1, 1, 44100, 24), LittleEndianSamples({0x7FFFFF, -0x800000, 0x100, 0x17F, -0x100, 0}, 3), 1,
       {32767, -32768, 1, 1, -1, 0}},
      {"32-bit stereo", RiffBytes::Format(1, 2, 44100, 32), LittleEndianSamples({0x7FFFFFFF, -0x80000000ll, 0x10000, -0x10000}, 4), 2,
       {32767, -32768, 1, -1}},
      {"float", RiffBytes::Format(3, 1, 44100, 32), FloatSamples({1.0f, -1.0f, 2.0f, -3.0f, 0.5f, nan}), 1,
       {32767, -32767, 32767, -32767, 16384, 0}},
      {"extensible 16-bit", ExtensibleFormat(1, 2, 16), LittleEndianSamples({5, -5, 300, -300}, 2), 2, {5, -5, 300, -300}},
      {"extensible 24-bit", ExtensibleFormat(1, 1, 24), LittleEndianSamples({0x12300, -0x12300}, 3), 1, {0x123, -0x123}},
      {"extensible float", ExtensibleFormat(3, 1, 32), FloatSamples({0.25f, -0.25f}), 1, {8192, -8192}},
      // A last frame cut short is left out.
      {"24-bit cut", RiffBytes::Format(1, 1, 44100, 24), {0x00, 0x01, 0x00, 0x00, 0x02}, 1, {1}},
  };
  for (const Case& c : cases) {
    TDDSDWaveData wave(device_.get(), Write("conv.wav", WaveOf(c.format, c.data)));
    ASSERT_NE(wave.Buffer(), nullptr) << c.name;
    EXPECT_EQ(wave.Format().wFormatTag, 1) << c.name;
    EXPECT_EQ(wave.Format().wBitsPerSample, 16) << c.name;
    EXPECT_EQ(wave.Format().nChannels, c.channels) << c.name;
    EXPECT_EQ(wave.Format().nSamplesPerSec, 44100u) << c.name;
    EXPECT_EQ(wave.Format().nBlockAlign, 2 * c.channels) << c.name;
    EXPECT_EQ(wave.Buffer()->Frequency(), 44100u) << c.name;
    ASSERT_EQ(wave.DataSize(), 2 * c.expected.size()) << c.name;
    std::vector<std::int16_t> got;
    ASSERT_NO_FATAL_FAILURE(ReadFrames(wave, got));
    EXPECT_EQ(got, c.expected) << c.name;
  }
  EXPECT_FALSE(LogExists());
}

TEST_F(WaveLoading, ConvertedSamplesKeepTheirRateUpTo48KilohertzAndFasterOnesComeDown) {
  const std::pair<std::uint32_t, std::uint32_t> rates[] = {{1000, 1000},     {8000, 8000},   {44100, 44100},
                                                           {48000, 48000},   {50000, 48000}, {88200, 44100},
                                                           {96000, 48000},   {176400, 44100}, {192000, 48000},
                                                           {384000, 48000}};
  for (const auto& [rate, loaded] : rates) {
    for (auto [tag, bits] : {std::pair<std::uint16_t, std::uint16_t>{1, 16}, {1, 24}, {3, 32}}) {
      SCOPED_TRACE(std::to_string(rate) + " Hz, tag " + std::to_string(tag) + ", " + std::to_string(bits) + " bits");
      const auto bytes = WaveOf(RiffBytes::Format(tag, 2, rate, bits), std::vector<std::uint8_t>(bits / 8 * 2 * 40, 0));
      TDDSDWaveData wave(device_.get(), Write("rate.wav", bytes));
      ASSERT_NE(wave.Buffer(), nullptr);
      EXPECT_EQ(wave.Buffer()->Frequency(), loaded);
      EXPECT_EQ(wave.Format().nSamplesPerSec, loaded);
      EXPECT_EQ(wave.Format().nAvgBytesPerSec, loaded * 4);
      EXPECT_EQ(wave.DataSize(), 4 * ResampledFrames(40, rate, loaded));
    }
  }
  EXPECT_FALSE(LogExists());
}

// A 96 or 192 kHz sample plays on every row at its pitch: brought down to 48 kHz, a tone keeps its
// frequency and level, what lies above the new rate's band is gone, and the top row's ratio gives
// a frequency the channel takes.
TEST_F(WaveLoading, AFastSampleKeepsItsToneAndTakesTheTopRowsRatio) {
  for (std::uint32_t rate : {96000u, 192000u}) {
    SCOPED_TRACE(std::to_string(rate) + " Hz");
    std::vector<std::int16_t> tone(rate / 2);
    for (std::size_t i = 0; i < tone.size(); ++i) {
      const double t = static_cast<double>(i) / rate;
      tone[i] = static_cast<std::int16_t>(std::lround(10000.0 * std::sin(2 * M_PI * 1000.0 * t) +
                                                      8000.0 * std::sin(2 * M_PI * 30000.0 * t)));
    }
    TDDSDWaveData wave(device_.get(), Write("fast.wav", MonoWave16(rate, tone)));
    ASSERT_NE(wave.Buffer(), nullptr);
    ASSERT_EQ(wave.Format().nSamplesPerSec, 48000u);
    std::vector<std::int16_t> frames;
    ASSERT_NO_FATAL_FAILURE(ReadFrames(wave, frames));
    const std::vector<double> x(frames.begin(), frames.end());
    const std::size_t begin = 2000, length = 16384;
    EXPECT_NEAR(AmplitudeAt(x, 48000.0, begin, length, 1000.0), 10000.0, 10.0);
    // 30 kHz would fold to 18 kHz: the filter keeps it under -90 dB of full scale.
    EXPECT_LT(LevelAtDb(x, 48000.0, begin, length, 18000.0), -90.0);

    TDDSDChannel& channel = *device_->GetChannel(1);
    channel.setWaveData(&wave);
    channel.SetRateRatio(2.245);
    EXPECT_EQ(channel.Buffer()->Frequency(), 107760u);
    channel.setWaveData(nullptr);
  }
}

// Data whose frames are not what the channels and bits say would play as noise: the sample is
// refused, the message naming the file, and the program goes on.
TEST_F(WaveLoading, AFrameSizeThatDisagreesWithChannelsAndBitsIsRefusedNamingTheFile) {
  device_->SetDebugOption(dsoHaltOnError | dsoDebugMessage);
  for (auto [tag, channels, bits, align] : {std::tuple<int, int, int, int>{1, 1, 16, 4}, {1, 2, 16, 2},
                                            {1, 2, 24, 4}, {3, 1, 32, 8}, {1, 1, 8, 2}}) {
    SCOPED_TRACE(std::to_string(channels) + " channels, " + std::to_string(bits) + " bits, align " + std::to_string(align));
    ClearLog();
    auto format = RiffBytes::Format(static_cast<std::uint16_t>(tag), static_cast<std::uint16_t>(channels), 22050,
                                    static_cast<std::uint16_t>(bits));
    format[12] = static_cast<std::uint8_t>(align);
    const std::string path =
        Write("align.wav", WaveOf(format, std::vector<std::uint8_t>(96, 1)));
    TDDSDWaveData wave(device_.get(), path);
    EXPECT_EQ(wave.Buffer(), nullptr);
    const std::string expected = path + "：フレームの大きさ（" + std::to_string(align) + "バイト）が、" +
                                 std::to_string(channels) + "チャンネル、" + std::to_string(bits) + "ビットの" +
                                 std::to_string(channels * bits / 8) + "バイトと違います";
    EXPECT_EQ(wave.LoadError(), expected);
    EXPECT_EQ(OnlyLogLine(), expected + "\r\n");
  }
}

// A sample in a format the program cannot use (no or too many channels, 12 bits, an unknown
// encoding, a data chunk without one whole frame, no rate or one too fast to convert) is reported
// as a missing file is: the sample stays empty with its reason, and the program does not end,
// whatever the error options say.
TEST_F(WaveLoading, ASampleThatCannotBeUsedIsReportedAsMissingAndNothingHalts) {
  auto twelve = RiffBytes::Format(1, 1, 8000, 12);
  twelve[12] = 2;  // 12 bits stored in 2 bytes, as such files do
  struct Case {
    const char* name;
    std::vector<std::uint8_t> format;
    const char* reason;
    std::vector<std::uint8_t> data = std::vector<std::uint8_t>(48, 0);
  } cases[] = {
      {"six.wav", RiffBytes::Format(1, 6, 8000, 16), "この形式のサウンドは使えません（形式 1、6チャンネル、16ビット、8000Hz）"},
      {"none.wav", RiffBytes::Format(1, 0, 8000, 16), "この形式のサウンドは使えません（形式 1、0チャンネル、16ビット、8000Hz）"},
      {"three.wav", RiffBytes::Format(1, 3, 8000, 16), "この形式のサウンドは使えません（形式 1、3チャンネル、16ビット、8000Hz）"},
      {"adpcm.wav", RiffBytes::Format(2, 1, 8000, 4), "この形式のサウンドは使えません（形式 2、1チャンネル、4ビット、8000Hz）"},
      {"tiny.wav", RiffBytes::Format(1, 1, 8000, 16), "サウンドデータが1フレームに足りません（1バイト）", {7}},
      {"no-rate.wav", RiffBytes::Format(1, 1, 0, 24), "サンプリング周波数（0Hz）が使えません"},
      {"too-fast.wav", RiffBytes::Format(3, 2, 4000000, 32), "サンプリング周波数（4000000Hz）が使えません"},
      {"twelve.wav", twelve, "この形式のサウンドは使えません（形式 1、1チャンネル、12ビット、8000Hz）", {0, 0, 0, 0}},
  };
  device_->SetDebugOption(dsoHaltOnError);
  for (const Case& c : cases) {
    const std::string path = Write(c.name, WaveOf(c.format, c.data));
    TDDSDWaveData wave(device_.get(), path);
    EXPECT_EQ(wave.Buffer(), nullptr) << c.name;
    EXPECT_EQ(wave.LoadError(), path + "：" + c.reason);
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
    ClearLog();
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
    ClearLog();
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

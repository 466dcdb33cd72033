#include <gtest/gtest.h>

#include <limits>

#include "sound/ddsd.h"
#include "sound/wave.h"
#include "tests/sound/sound_fixture.h"

namespace kestu::test {
namespace {

class Component : public SoundTest {
 protected:
  std::unique_ptr<TDDSD> Open(TDDSDDebugOption options = dsoDebugMessage) {
    auto device = MakeDevice(output_, options, faults_);
    device->SetPrimaryFormat(22050, 16, true);
    return device;
  }
  // A device that opens with 3-D sound, failing as faults_ says.
  std::unique_ptr<TDDSD> Open3D() {
    auto device = std::make_unique<TDDSD>(nullptr, ds::SoundSystemConfig{UseOutput(output_), faults_});
    device->SetDebugOption(dsoDebugMessage);
    device->Use3D = true;
    device->Loaded();
    return device;
  }

  OfflineOutput output_;
  std::shared_ptr<ds::FaultPlan> faults_ = std::make_shared<ds::FaultPlan>();
};

TEST_F(Component, DefaultsAndTheProgramsSwitches) {
  TDDSD device(nullptr, {UseOutput(output_)});
  EXPECT_EQ(device.DebugOption(), dsoHaltOnError);
  EXPECT_TRUE(HaltSwitch);
  EXPECT_FALSE(LogSwitch);
  EXPECT_FALSE(RaiseSwitch);
  EXPECT_EQ(device.ChannelCount, 8u);
  EXPECT_TRUE(device.StickyFocus);
  EXPECT_FALSE(device.Use3D);
  EXPECT_FALSE(device.DeviceOpen());
  device.Loaded();
  EXPECT_TRUE(device.DeviceOpen());
  EXPECT_EQ(device.DirectSound()->CooperativeLevel(), ds::DSSCL_PRIORITY);
  ASSERT_NE(device.PrimaryBuffer(), nullptr);
  EXPECT_TRUE(device.PrimaryBuffer()->IsPrimary());
  EXPECT_EQ(device.Listener3D(), nullptr);
}

TEST_F(Component, LoadedAppliesTheStoredOptionsAgain) {
  TDDSD first(nullptr, {UseOutput(output_)});
  first.SetDebugOption(dsoDebugMessage);
  TDDSD second(nullptr, {NoOutput()});  // its constructor sets the program's options
  EXPECT_TRUE(HaltSwitch);
  first.Loaded();
  EXPECT_FALSE(HaltSwitch);
  EXPECT_TRUE(LogSwitch);
}

TEST_F(Component, PrimaryFormatIsBuiltFromTheThreeArguments) {
  struct Case {
    std::uint32_t rate;
    std::uint16_t bits;
    bool stereo;
    std::uint16_t channels, align;
    std::uint32_t bytesPerSec;
  } cases[] = {{23160, 16, true, 2, 4, 92640}, {22050, 8, false, 1, 1, 22050}};
  for (const Case& c : cases) {
    auto device = Open();
    device->SetPrimaryFormat(c.rate, c.bits, c.stereo);
    ds::WAVEFORMATEX format{};
    device->PrimaryBuffer()->GetFormat(&format);
    EXPECT_EQ(format.wFormatTag, 1);
    EXPECT_EQ(format.nChannels, c.channels);
    EXPECT_EQ(format.nSamplesPerSec, c.rate);
    EXPECT_EQ(format.nAvgBytesPerSec, c.bytesPerSec);
    EXPECT_EQ(format.nBlockAlign, c.align);
    EXPECT_EQ(format.wBitsPerSample, c.bits);
    EXPECT_EQ(format.cbSize, 0);
    EXPECT_EQ(output_.Rate(), c.rate);
  }
  EXPECT_FALSE(LogExists());
}

TEST_F(Component, RefusedPrimaryFormatIsReported) {
  auto device = Open();
  device->SetPrimaryFormat(23160, 24, true);
  EXPECT_EQ(LogText(), "debug#00001 ... プライマリ・バッファのフォーマットの設定に失敗しました(Error Code(88780064))\r\n");
}

TEST_F(Component, ChannelsAreDistinctAndStable) {
  auto device = Open();
  std::vector<TDDSDChannel*> seen;
  for (std::uint32_t i = 0; i < 8; ++i) {
    TDDSDChannel* channel = device->GetChannel(i);
    ASSERT_NE(channel, nullptr);
    EXPECT_EQ(device->GetChannel(i), channel);
    EXPECT_EQ(channel->Device(), device.get());
    EXPECT_EQ(std::count(seen.begin(), seen.end(), channel), 0);
    seen.push_back(channel);
  }
}

TEST_F(Component, InvalidChannelIndexIsReportedWithoutCode) {
  auto device = Open();
  EXPECT_EQ(device->GetChannel(8), nullptr);
  EXPECT_EQ(device->GetChannel(0xFFFFFFFFu), nullptr);
  EXPECT_EQ(LogText(),
            "debug#00001 ... チャンネル番号8は無効です、0～7の範囲で指定してください\r\n"
            "debug#00002 ... チャンネル番号-1は無効です、0～7の範囲で指定してください\r\n");
  device->SetDebugOption(dsoExceptOnError);
  EXPECT_THROW(device->GetChannel(9), EDDSD);
}

TEST_F(Component, InvalidChannelIndexHaltsWithTheProgramsOptions) {
  auto device = Open(dsoHaltOnError);
  EXPECT_EXIT(device->GetChannel(8), ::testing::ExitedWithCode(1), "^$");
}

TEST_F(Component, SilentWhenNoDeviceOpens) {
  auto device = std::make_unique<TDDSD>(nullptr, ds::SoundSystemConfig{NoOutput(), nullptr});
  device->SetDebugOption(dsoDebugMessage | dsoExceptOnError | dsoHaltOnError);
  device->Loaded();
  EXPECT_FALSE(device->DeviceOpen());
  EXPECT_EQ(device->DirectSound(), nullptr);
  device->SetPrimaryFormat(23160, 16, true);
  TDDSDWaveData wave(device.get(), "waves/Sound1.wav");
  EXPECT_EQ(wave.Buffer(), nullptr);
  for (std::uint32_t i = 0; i < 8; ++i) {
    TDDSDChannel* channel = device->GetChannel(i);
    ASSERT_NE(channel, nullptr);
    channel->setWaveData(&wave);
    channel->SetRateRatio(2.0);
    channel->PlayFromStart();
    channel->Stop();
    EXPECT_EQ(channel->Buffer(), nullptr);
  }
  device.reset();
  EXPECT_FALSE(LogExists());
}

TEST_F(Component, FailedCallsInOpeningAreReportedAndSkipWhatDependsOnThem) {
  struct Case {
    ds::SoundCall call;
    const char* text;
    bool hasPrimary;
  } cases[] = {
      {ds::SoundCall::SetCooperativeLevel, "DirectSoundの協調レベルの設定に失敗しました(Error Code(80004005))", true},
      {ds::SoundCall::CreatePrimaryBuffer, "一次バッファの作成に失敗しました(Error Code(80004005))", false},
  };
  for (const Case& c : cases) {
    ClearLog();
    faults_->Fail(c.call, ds::DSERR_GENERIC, 1);
    auto device = Open();
    EXPECT_TRUE(device->DeviceOpen());
    EXPECT_EQ(device->PrimaryBuffer() != nullptr, c.hasPrimary);
    EXPECT_EQ(LogText(), std::string("debug#00001 ... ") + c.text + "\r\n");
  }
}

TEST_F(Component, ThreeDOpeningMakesAListenerWithItsRecord) {
  auto device = Open3D();
  ASSERT_NE(device->Listener3D(), nullptr);
  ASSERT_NE(device->Listener(), nullptr);
  EXPECT_EQ(device->PrimaryBuffer()->Flags(), 17u);
  ds::DS3DLISTENER applied{};
  applied.dwSize = 64;
  ASSERT_EQ(device->Listener3D()->GetAllParameters(&applied), ds::DS_OK);
  EXPECT_EQ(applied.vOrientFront.z, 1.0f);
  EXPECT_EQ(applied.vOrientTop.y, 1.0f);
  EXPECT_EQ(applied.flDopplerFactor, 1.0f);
  EXPECT_FALSE(LogExists());
}

TEST_F(Component, ThreeDFailuresAreReported) {
  faults_->Fail(ds::SoundCall::SetListenerParameters, 9, 1);
  Open3D();
  EXPECT_EQ(LogText(), "debug#00001 ... Listenerに指定されたパラメータが不適切です(Error Code(9))\r\n");
}

TEST_F(Component, AThreeDSampleGivesTheChannelA3DBufferWithItsParameters) {
  auto device = Open();
  TDDSDWave3D wave(device.get(), Write("3d.wav", MonoWave16(8000, Ramp(50))));
  TDDSDChannel& channel = *device->GetChannel(2);
  EXPECT_EQ(channel.Params3D().Channel(), &channel);
  EXPECT_EQ(channel.Params3D().Read().flMinDistance, 5.0f);
  channel.setWaveData(&wave);
  ASSERT_NE(channel.Buffer3D(), nullptr);
  ds::DS3DBUFFER applied{};
  applied.dwSize = 64;
  channel.Buffer3D()->GetAllParameters(&applied);
  EXPECT_EQ(applied.flMaxDistance, 100.0f);
  EXPECT_EQ(applied.dwInsideConeAngle, 360u);
  EXPECT_EQ(applied.vConeOrientation.z, 1.0f);
  channel.setWaveData(nullptr);
  EXPECT_EQ(channel.Buffer3D(), nullptr);
  EXPECT_FALSE(LogExists());
}

TEST_F(Component, ThreeDMessagesReachTheLog) {
  struct Case {
    ds::SoundCall call;
    const char* text;
  } cases[] = {
      {ds::SoundCall::QueryListener3D, "DirectSound3D Listenerの作成に失敗しました(Error Code(80004002))"},
      {ds::SoundCall::QueryBuffer3D, "setWaveData 3Dサウンドバッファの作成に失敗しました(Error Code(80004002))"},
      {ds::SoundCall::SetBuffer3DParameters, "Params3Dに指定されたパラメータが不適切です(Error Code(80004002))"},
  };
  const std::string path = Write("3d.wav", MonoWave16(8000, Ramp(50)));
  for (const Case& c : cases) {
    ClearLog();
    faults_->Fail(c.call, ds::DSERR_NOINTERFACE, 1);
    auto device = Open3D();
    TDDSDWave3D wave(device.get(), path);
    device->GetChannel(0)->setWaveData(&wave);
    EXPECT_EQ(LogText(), std::string("debug#00001 ... ") + c.text + "\r\n");
  }
  // References left on 3-D interfaces are reported by the step that releases
  // them; a 3-D interface still alive also holds the buffer it came from.
  ClearLog();
  auto device = Open3D();
  TDDSDWave3D wave(device.get(), path);
  device->GetChannel(0)->setWaveData(&wave);
  ds::IDirectSound3DBuffer* buffer3D = device->GetChannel(0)->Buffer3D();
  ds::IDirectSound3DListener* listener = device->Listener3D();
  buffer3D->AddRef();
  listener->AddRef();
  device->GetChannel(0)->setWaveData(&wave);
  device.reset();
  EXPECT_EQ(LogText(),
            "debug#00001 ... setWaveData 3Dサウンドバッファの解放に失敗しました(Error Code(1))\r\n"
            "debug#00002 ... setWaveData サウンドバッファの解放に失敗しました(Error Code(1))\r\n"
            "debug#00003 ... DirectSound3D Listnerの解放に失敗しました(Error Code(1))\r\n"
            "debug#00004 ... 一次バッファの解放に失敗しました(Error Code(1))\r\n");
  buffer3D->Release();
  listener->Release();
}

TEST_F(Component, ATeardownThatLeavesReferencesReportsEachRelease) {
  auto device = Open();
  ds::IDirectSoundBuffer* primary = device->PrimaryBuffer();
  primary->AddRef();
  device.reset();
  EXPECT_EQ(LogText(), "debug#00001 ... 一次バッファの解放に失敗しました(Error Code(1))\r\n");
  EXPECT_EQ(primary->Release(), 0u);
}

TEST_F(Component, TeardownRaisesDoNotEscapeAndTheTeardownFinishes) {
  auto device = Open(dsoExceptOnError | dsoDebugMessage);
  ds::IDirectSoundBuffer* primary = device->PrimaryBuffer();
  primary->AddRef();
  ds::IDirectSound* sound = device->DirectSound();
  sound->AddRef();
  EXPECT_NO_THROW(device.reset());
  EXPECT_EQ(LogText(),
            "debug#00001 ... 一次バッファの解放に失敗しました(Error Code(1))\r\n"
            "debug#00002 ... DirectSoundの解放に失敗しました(Error Code(1))\r\n");
  primary->Release();
  sound->Release();
}

TEST_F(Component, OwnerDestroysItsComponentsLastFirst) {
  struct Probe : TComponent {
    Probe(TComponent* owner, std::vector<int>& order, int id) : TComponent(owner), order_(order), id_(id) {}
    ~Probe() override { order_.push_back(id_); }
    std::vector<int>& order_;
    int id_;
  };
  std::vector<int> order;
  {
    TComponent form(nullptr);
    new Probe(&form, order, 1);
    auto* middle = new Probe(&form, order, 2);
    new Probe(&form, order, 3);
    new TDDSD(&form, {UseOutput(output_)});
    delete middle;  // leaves its owner's list
    EXPECT_EQ(form.Components().size(), 3u);
  }
  EXPECT_EQ(order, (std::vector<int>{2, 3, 1}));
}

TEST_F(Component, ASecondComponentInADesignerIsRefused) {
  TComponent form(nullptr);
  form.SetDesigning(true);
  auto* first = new TDDSD(&form, {UseOutput(output_)});
  first->Loaded();
  EXPECT_FALSE(first->DeviceOpen());
  try {
    new TDDSD(&form, {UseOutput(output_)});
    FAIL() << "accepted";
  } catch (const EDDSD&) {
    FAIL() << "wrong class";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "DDSDコンポーネントを、同一フォームに2つ以上貼る事はできません");
  }
  EXPECT_EQ(form.Components().size(), 1u);
}

TEST(RateRatio, ExtendedProductIsTruncated) {
  struct Case {
    std::uint32_t base;
    double ratio;
    std::uint32_t frequency;
  } cases[] = {
      {22050, 1.0, 22050},     {22050, 1.498, 33030}, {22050, 2.245, 49502},
      {44100, 0.5, 22050},     {22050, -1.0, 0},      {22050, std::numeric_limits<double>::quiet_NaN(), 0},
      {200000, 1e300, 0},      {4294967295u, 1.0, 4294967295u},
  };
  for (const Case& c : cases) EXPECT_EQ(RateRatioFrequency(c.base, c.ratio), c.frequency) << c.ratio;
}

}  // namespace
}  // namespace kestu::test

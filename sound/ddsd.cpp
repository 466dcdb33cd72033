#include "sound/ddsd.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "sound/wave.h"

namespace kestu {

namespace {

// A check inside a destructor: a raise cannot leave it, so the tear-down
// goes on with its remaining steps (a halt still ends the process).
void CheckInTearDown(std::uint32_t referencesLeft, const char* text) {
  try {
    CheckResult(static_cast<std::int32_t>(referencesLeft), text);
  } catch (const std::exception&) {
  }
}

}  // namespace

TDDSD::TDDSD(TComponent* owner, ds::SoundSystemConfig config) : TComponent(owner), config_(std::move(config)) {
  if (Designing() && owner != nullptr) {
    const auto count = std::count_if(owner->Components().begin(), owner->Components().end(),
                                     [](TComponent* c) { return dynamic_cast<TDDSD*>(c) != nullptr; });
    if (count >= 2) throw std::runtime_error("DDSDコンポーネントを、同一フォームに2つ以上貼る事はできません");
  }
  ChannelCount = 8;
  StickyFocus = true;
  Use3D = false;
  SetDebugOption(dsoHaltOnError);
}

TDDSD::~TDDSD() {
  if (Designing()) return;
  FreeChannels();
  ReleaseAll();
  // Samples that outlive the device drop their buffers quietly.
  for (TDDSDGenWave* sample : samples_) sample->device_ = nullptr;
}

void TDDSD::SetDebugOption(TDDSDDebugOption options) {
  debugOption_ = options;
  ApplyDebugOption(options);
}

void TDDSD::Loaded() {
  TComponent::Loaded();
  if (Designing()) return;
  SetDebugOption(debugOption_);
  OpenDevice();
}

void TDDSD::FreeChannels() {
  for (auto& channel : channels_) channel.reset();  // index 0 upward
  channels_.clear();
}

bool TDDSD::OpenDevice() {
  FreeChannels();
  channels_.reserve(ChannelCount);
  for (std::uint32_t i = 0; i < ChannelCount; ++i) channels_.push_back(std::make_unique<TDDSDChannel>(this));

  // The device opens once; asked again, only the channels are renewed.
  if (deviceOpen_) return true;
  if (ds::DirectSoundCreate(nullptr, &directSound_, nullptr, config_) != ds::DS_OK) {
    directSound_ = nullptr;
    deviceOpen_ = false;
    return false;
  }
  deviceOpen_ = true;

  const std::uintptr_t window = Owner() != nullptr ? Owner()->WindowHandle() : 0;
  CheckResult(directSound_->SetCooperativeLevel(window, ds::DSSCL_PRIORITY),
              "DirectSoundの協調レベルの設定に失敗しました");

  ds::DSBUFFERDESC desc{};
  desc.dwSize = ds::kBufferDescSize;
  desc.dwFlags = Use3D ? ds::DSBCAPS_PRIMARYBUFFER | ds::DSBCAPS_CTRL3D : ds::DSBCAPS_PRIMARYBUFFER;
  CheckResult(directSound_->CreateSoundBuffer(&desc, &primaryBuffer_, nullptr), "一次バッファの作成に失敗しました");
  if (!Use3D) return true;

  if (primaryBuffer_ != nullptr) {
    void* object = nullptr;
    const ds::HRESULT result = primaryBuffer_->QueryInterface(ds::InterfaceId::IDirectSound3DListener, &object);
    listener3D_ = static_cast<ds::IDirectSound3DListener*>(object);
    CheckResult(result, "DirectSound3D Listenerの作成に失敗しました");
  }
  listener_.reset();
  listener_ = std::make_unique<TDDSDListener>(this);
  return true;
}

void TDDSD::SetPrimaryFormat(std::uint32_t samplesPerSec, std::uint16_t bitsPerSample, bool stereo) {
  if (!deviceOpen_ || primaryBuffer_ == nullptr) return;
  ds::WAVEFORMATEX format{};
  format.wFormatTag = ds::WAVE_FORMAT_PCM;
  format.nChannels = stereo ? 2 : 1;
  format.nSamplesPerSec = samplesPerSec;
  format.wBitsPerSample = bitsPerSample;
  format.nBlockAlign = static_cast<std::uint16_t>((bitsPerSample / 8) * format.nChannels);
  format.nAvgBytesPerSec = static_cast<std::uint32_t>(format.nBlockAlign) * samplesPerSec;
  format.cbSize = 0;
  CheckResult(primaryBuffer_->SetFormat(&format), "プライマリ・バッファのフォーマットの設定に失敗しました");
}

TDDSDChannel* TDDSD::GetChannel(std::uint32_t index) {
  if (index < ChannelCount) return index < channels_.size() ? channels_[index].get() : nullptr;
  char text[256];
  std::snprintf(text, sizeof text, "チャンネル番号%dは無効です、%d～%dの範囲で指定してください",
                static_cast<int>(static_cast<std::int32_t>(index)), 0,
                static_cast<int>(static_cast<std::int32_t>(ChannelCount - 1)));
  DebugMessage(text);
  if (HaltSwitch) Halt();
  return nullptr;
}

void TDDSD::ReleaseAll() {
  listener_.reset();
  if (listener3D_ != nullptr) {
    const std::uint32_t left = listener3D_->Release();
    listener3D_ = nullptr;
    CheckInTearDown(left, "DirectSound3D Listnerの解放に失敗しました");
  }
  if (primaryBuffer_ != nullptr) {
    const std::uint32_t left = primaryBuffer_->Release();
    primaryBuffer_ = nullptr;
    CheckInTearDown(left, "一次バッファの解放に失敗しました");
  }
  if (directSound_ != nullptr) {
    const std::uint32_t left = directSound_->Release();
    directSound_ = nullptr;
    CheckInTearDown(left, "DirectSoundの解放に失敗しました");
  }
}

void TDDSD::SetCommandTime(std::int64_t stampNs) {
  if (directSound_ != nullptr) directSound_->SetCommandStamp(stampNs);
}

bool TDDSD::RestoreOutput() {
  if (directSound_ == nullptr) return false;
  return directSound_->OutputOpen() || directSound_->ReopenOutput();
}

std::uint64_t TDDSD::LateStarts() const { return directSound_ ? directSound_->LateStarts() : 0; }
std::uint64_t TDDSD::DroppedStarts() const { return directSound_ ? directSound_->DroppedStarts() : 0; }
std::int64_t TDDSD::StampLeadNs() const { return directSound_ ? directSound_->StampLeadNs() : 0; }
void TDDSD::WithdrawCommandsAfter(std::int64_t stampNs) {
  if (directSound_ != nullptr) directSound_->WithdrawCommandsAfter(stampNs);
}
std::uint64_t TDDSD::Underruns() const { return directSound_ ? directSound_->Underruns() : 0; }

}  // namespace kestu

#include "sound/channel.h"

#include "sound/ddsd.h"
#include "sound/diagnostics.h"
#include "sound/wave.h"

namespace kestu {

std::uint32_t RateRatioFrequency(std::uint32_t baseFrequency, double ratio) {
  // Extended precision, then truncated: 22050 x 1.498 is 33030, not 33031.
  const long double product = static_cast<long double>(baseFrequency) * static_cast<long double>(ratio);
  if (!(product >= 0.0L) || product >= 4294967296.0L) return 0;
  return static_cast<std::uint32_t>(product);
}

TDDSDChannel::TDDSDChannel(TDDSD* device)
    : device_(device), params3D_(std::make_unique<TDDSDParams3D>(this)) {}

TDDSDChannel::~TDDSDChannel() {
  if (buffer3D_ != nullptr) buffer3D_->Release();
  if (buffer_ != nullptr) buffer_->Release();
}

void TDDSDChannel::setWaveData(TDDSDGenWave* sample) {
  if (device_ == nullptr || !device_->DeviceOpen()) return;
  // Each pointer is cleared before its check, which may raise, so that no
  // released interface is ever released again.
  if (buffer3D_ != nullptr) {
    const std::uint32_t left = buffer3D_->Release();
    buffer3D_ = nullptr;
    CheckResult(static_cast<std::int32_t>(left), "setWaveData 3Dサウンドバッファの解放に失敗しました");
  }
  if (buffer_ != nullptr) {
    const std::uint32_t left = buffer_->Release();
    buffer_ = nullptr;
    CheckResult(static_cast<std::int32_t>(left), "setWaveData サウンドバッファの解放に失敗しました");
  }
  // A sample whose file was missing or broken has no sound to duplicate:
  // the channel stays empty and silent instead of failing the duplication.
  if (sample == nullptr || sample->Buffer() == nullptr) {
    waveData_ = nullptr;
    return;
  }
  CheckResult(device_->DirectSound()->DuplicateSoundBuffer(sample->Buffer(), &buffer_),
              "setWaveData サウンドバッファの複製に失敗しました");
  if (buffer_ != nullptr) buffer_->SetOwner(this);
  if (sample->Is3D()) {
    if (buffer_ != nullptr) {
      void* object = nullptr;
      const ds::HRESULT result = buffer_->QueryInterface(ds::InterfaceId::IDirectSound3DBuffer, &object);
      buffer3D_ = static_cast<ds::IDirectSound3DBuffer*>(object);
      CheckResult(result, "setWaveData 3Dサウンドバッファの作成に失敗しました");
    }
    params3D_->Assign(static_cast<TDDSDWave3D*>(sample)->Params3D());
  }
  baseFrequency_ = sample->Format().nSamplesPerSec;
  waveData_ = sample;
}

void TDDSDChannel::SetRateRatio(double ratio) {
  if (buffer_ == nullptr) return;
  // A frequency the sound system refuses is ignored, as every caller expects.
  buffer_->SetFrequency(RateRatioFrequency(baseFrequency_, ratio));
}

void TDDSDChannel::PlayFromStart() {
  if (buffer_ == nullptr) return;
  buffer_->SetCurrentPosition(0);
  buffer_->Play(0, 0, 0);
}

void TDDSDChannel::Stop() {
  if (buffer_ != nullptr) buffer_->Stop();
}

}  // namespace kestu

#include <new>

#include "sound/dsound/dsound.h"
#include "sound/dsound/format_rules.h"

namespace kestu::ds {

HRESULT DirectSoundCreate(const void* deviceId, IDirectSound** device, void* outer,
                          const SoundSystemConfig& config) {
  if (device == nullptr || outer != nullptr) return DSERR_INVALIDPARAM;
  *device = nullptr;
  // There is only the default device.
  if (deviceId != nullptr) return DSERR_NODRIVER;
  std::shared_ptr<AudioOutput> output = config.output ? config.output() : nullptr;
  auto core = std::make_shared<MixerControl>(std::move(output), config.blockDc);
  if (!core->OpenOutput()) return DSERR_NODRIVER;
  *device = new IDirectSound(std::move(core), config.faults);
  return DS_OK;
}

IDirectSound::~IDirectSound() { core_->CloseOutput(); }

void IDirectSound::SetCommandStamp(std::int64_t stampNs) { core_->SetStamp(stampNs); }
std::uint64_t IDirectSound::LateStarts() const { return core_->LateStarts(); }
std::uint64_t IDirectSound::DroppedStarts() const { return core_->DroppedStarts(); }
std::int64_t IDirectSound::StampLeadNs() const { return core_->StampLeadNs(); }
void IDirectSound::WithdrawCommandsAfter(std::int64_t afterNs) { core_->Withdraw(afterNs); }
std::uint64_t IDirectSound::Underruns() const { return core_->Underruns(); }
bool IDirectSound::OutputOpen() const { return core_->IsOpen(); }
bool IDirectSound::ReopenOutput() { return core_->ReopenOutput(); }

HRESULT IDirectSound::SetCooperativeLevel(std::uintptr_t /*window*/, std::uint32_t level) {
  if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
  if (const HRESULT fault = TakeFault(faults_, SoundCall::SetCooperativeLevel); fault != DS_OK) return fault;
  level_ = level;
  return DS_OK;
}

HRESULT IDirectSound::CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer,
                                        void* outer) {
  if (buffer == nullptr) return DSERR_INVALIDPARAM;
  *buffer = nullptr;
  if (desc == nullptr || desc->dwSize != kBufferDescSize || outer != nullptr) return DSERR_INVALIDPARAM;

  if ((desc->dwFlags & DSBCAPS_PRIMARYBUFFER) != 0) {
    if (desc->dwBufferBytes != 0 || desc->lpwfxFormat != nullptr) return DSERR_INVALIDPARAM;
    if (const HRESULT fault = TakeFault(faults_, SoundCall::CreatePrimaryBuffer); fault != DS_OK) return fault;
    auto* primary = new IDirectSoundBuffer(core_, faults_, true, desc->dwFlags);
    // The mix format before anyone sets it.
    primary->format_ = {WAVE_FORMAT_PCM, 2, MixerControl::kDefaultRate, MixerControl::kDefaultRate * 2, 2, 8, 0};
    *buffer = primary;
    return DS_OK;
  }

  if (const HRESULT fault = TakeFault(faults_, SoundCall::CreateSecondaryBuffer); fault != DS_OK) return fault;
  if (desc->lpwfxFormat == nullptr) return DSERR_INVALIDPARAM;
  const WAVEFORMATEX& format = *desc->lpwfxFormat;
  if (!IsMixablePcm(format)) return DSERR_BADFORMAT;
  const std::uint16_t blockAlign = static_cast<std::uint16_t>(format.nChannels * (format.wBitsPerSample / 8));
  if (desc->dwBufferBytes < blockAlign || desc->dwBufferBytes > DSBSIZE_MAX) return DSERR_INVALIDPARAM;

  std::shared_ptr<std::vector<std::uint8_t>> data;
  std::shared_ptr<std::vector<float>> planes;
  try {
    // Unwritten parts are silence: 0 for 16 bits, 128 for 8 bits.
    data = std::make_shared<std::vector<std::uint8_t>>(desc->dwBufferBytes,
                                                       format.wBitsPerSample == 8 ? 128 : 0);
    planes = MixerControl::MakePlanes(desc->dwBufferBytes / blockAlign, format.nChannels);
  } catch (const std::bad_alloc&) {
    return DSERR_OUTOFMEMORY;
  }
  auto* secondary = new IDirectSoundBuffer(core_, faults_, false, desc->dwFlags);
  secondary->format_ = format;
  secondary->bytes_ = desc->dwBufferBytes;
  secondary->blockAlign_ = blockAlign;
  secondary->frequency_ = format.nSamplesPerSec;
  secondary->data_ = data;
  secondary->planes_ = planes;
  secondary->voice_ = core_->NewVoice(data, planes, format.nChannels, format.wBitsPerSample, secondary->frequency_);
  *buffer = secondary;
  return DS_OK;
}

HRESULT IDirectSound::DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** duplicate) {
  if (duplicate == nullptr) return DSERR_INVALIDPARAM;
  *duplicate = nullptr;
  if (original == nullptr || original->primary_ || original->core_ != core_) return DSERR_INVALIDPARAM;
  if (const HRESULT fault = TakeFault(faults_, SoundCall::DuplicateSoundBuffer); fault != DS_OK) return fault;
  auto* copy = new IDirectSoundBuffer(core_, faults_, false, original->flags_);
  copy->format_ = original->format_;
  copy->bytes_ = original->bytes_;
  copy->blockAlign_ = original->blockAlign_;
  copy->frequency_ = original->frequency_;
  copy->data_ = original->data_;
  copy->planes_ = original->planes_;
  copy->voice_ = core_->DuplicateVoice(*original->voice_, copy->frequency_);
  *duplicate = copy;
  return DS_OK;
}

}  // namespace kestu::ds

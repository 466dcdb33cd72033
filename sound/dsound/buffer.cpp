#include <algorithm>

#include "sound/dsound/dsound.h"
#include "sound/dsound/format_rules.h"

namespace kestu::ds {

IDirectSoundBuffer::IDirectSoundBuffer(std::shared_ptr<MixerControl> core, std::shared_ptr<FaultPlan> faults,
                                       bool primary, std::uint32_t flags)
    : core_(std::move(core)), faults_(std::move(faults)), primary_(primary), flags_(flags) {}

IDirectSoundBuffer::~IDirectSoundBuffer() {
  if (voice_ != nullptr) core_->ReleaseVoice(voice_, ++serial_);
}

HRESULT IDirectSoundBuffer::SetFormat(const WAVEFORMATEX* format) {
  if (!primary_) return DSERR_INVALIDCALL;
  if (format == nullptr) return DSERR_INVALIDPARAM;
  if (const HRESULT fault = TakeFault(faults_, SoundCall::SetFormat); fault != DS_OK) return fault;
  if (!IsMixablePcm(*format) || !HasConsistentRates(*format)) return DSERR_BADFORMAT;
  format_ = *format;
  format_.cbSize = 0;
  core_->SetFormat(format->nSamplesPerSec, format->nChannels, format->wBitsPerSample);
  return DS_OK;
}

HRESULT IDirectSoundBuffer::GetFormat(WAVEFORMATEX* format) const {
  if (format == nullptr) return DSERR_INVALIDPARAM;
  *format = format_;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::Lock(std::uint32_t offset, std::uint32_t bytes, void** region1,
                                 std::uint32_t* bytes1, void** region2, std::uint32_t* bytes2,
                                 std::uint32_t /*flags*/) {
  if (primary_ || locked_) return DSERR_INVALIDCALL;
  if (region1 == nullptr || bytes1 == nullptr) return DSERR_INVALIDPARAM;
  if (offset > bytes_ || bytes > bytes_ - offset) return DSERR_INVALIDPARAM;
  if (const HRESULT fault = TakeFault(faults_, SoundCall::Lock); fault != DS_OK) return fault;
  // The buffer and its voice hold the memory; any other holder is a duplicate
  // or a voice the mixer may still read.
  if (data_.use_count() > 2 || IsPlaying()) return DSERR_INVALIDCALL;
  if (const auto state = core_->StateOf(*voice_); state.appliedSerial != serial_ || state.reading) {
    return DSERR_INVALIDCALL;
  }
  *region1 = data_->data() + offset;
  *bytes1 = bytes;
  if (region2 != nullptr) *region2 = nullptr;
  if (bytes2 != nullptr) *bytes2 = 0;
  locked_ = true;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::Unlock(void* region1, std::uint32_t bytes1, void* region2,
                                   std::uint32_t bytes2) {
  if (!locked_) return DSERR_INVALIDCALL;
  const auto* first = static_cast<const std::uint8_t*>(region1);
  if (first < data_->data() || first > data_->data() + bytes_ ||
      bytes1 > static_cast<std::uint32_t>(data_->data() + bytes_ - first) ||
      (region2 == nullptr) != (bytes2 == 0)) {
    return DSERR_INVALIDPARAM;
  }
  if (const HRESULT fault = TakeFault(faults_, SoundCall::Unlock); fault != DS_OK) return fault;
  locked_ = false;
  // Lock made sure that no voice reads the sample now.
  core_->RefillPlanes(*voice_, *planes_);
  return DS_OK;
}

void IDirectSoundBuffer::SendToVoice(CommandKind kind, std::uint32_t value, std::uint32_t frame, bool playing) {
  expectFrame_ = frame;
  expectPlaying_ = playing;
  core_->Send(kind, *voice_, value, ++serial_);
}

HRESULT IDirectSoundBuffer::SetFrequency(std::uint32_t frequency) {
  if (primary_ || (flags_ & DSBCAPS_CTRLFREQUENCY) == 0) return DSERR_CONTROLUNAVAIL;
  if (frequency < DSBFREQUENCY_MIN || frequency > DSBFREQUENCY_MAX) return DSERR_INVALIDPARAM;
  frequency_ = frequency;
  SendToVoice(CommandKind::SetFrequency, frequency, Frame(), IsPlaying());
  return DS_OK;
}

HRESULT IDirectSoundBuffer::GetFrequency(std::uint32_t* frequency) const {
  if (frequency == nullptr) return DSERR_INVALIDPARAM;
  if (primary_) return DSERR_CONTROLUNAVAIL;
  *frequency = frequency_;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::SetCurrentPosition(std::uint32_t bytes) {
  if (primary_) return DSERR_INVALIDCALL;
  if (bytes > bytes_) return DSERR_INVALIDPARAM;
  const std::uint32_t frame = bytes / blockAlign_;
  SendToVoice(CommandKind::SetPosition, frame, frame, IsPlaying());
  return DS_OK;
}

HRESULT IDirectSoundBuffer::GetCurrentPosition(std::uint32_t* play, std::uint32_t* write) const {
  const std::uint32_t bytes = Position();
  if (play != nullptr) *play = bytes;
  if (write != nullptr) *write = bytes;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::Play(std::uint32_t reserved, std::uint32_t /*priority*/,
                                 std::uint32_t flags) {
  if (reserved != 0 || (flags & DSBPLAY_LOOPING) != 0) return DSERR_INVALIDPARAM;
  if (!core_->IsOpen()) return DSERR_NODRIVER;
  if (primary_) return DS_OK;
  SendToVoice(CommandKind::Play, 0, Frame(), true);
  return DS_OK;
}

HRESULT IDirectSoundBuffer::Stop() {
  if (primary_) return DS_OK;
  SendToVoice(CommandKind::Stop, 0, Frame(), false);
  return DS_OK;
}

HRESULT IDirectSoundBuffer::GetStatus(std::uint32_t* status) const {
  if (status == nullptr) return DSERR_INVALIDPARAM;
  *status = IsPlaying() ? DSBSTATUS_PLAYING : 0;
  return DS_OK;
}

std::uint32_t IDirectSoundBuffer::Frame() const {
  if (voice_ == nullptr) return 0;
  const MixerControl::VoiceState state = core_->StateOf(*voice_);
  return state.appliedSerial == serial_ ? state.frame : expectFrame_;
}

void IDirectSoundBuffer::SetOwner(const void* owner) {
  if (voice_ != nullptr) core_->SetOwner(*voice_, owner);
}

bool IDirectSoundBuffer::IsPlaying() const {
  if (voice_ == nullptr || !core_->IsOpen()) return false;
  const MixerControl::VoiceState state = core_->StateOf(*voice_);
  return state.appliedSerial == serial_ ? state.playing : expectPlaying_;
}

bool IDirectSoundBuffer::SharesDataWith(const IDirectSoundBuffer& other) const {
  return data_ != nullptr && data_ == other.data_;
}

HRESULT IDirectSoundBuffer::QueryInterface(InterfaceId id, void** object) {
  if (object == nullptr) return DSERR_INVALIDPARAM;
  *object = nullptr;
  if ((flags_ & DSBCAPS_CTRL3D) == 0) return DSERR_NOINTERFACE;
  if (id == InterfaceId::IDirectSound3DListener && primary_) {
    if (const HRESULT fault = TakeFault(faults_, SoundCall::QueryListener3D); fault != DS_OK) return fault;
    *object = new IDirectSound3DListener(this, faults_);
    return DS_OK;
  }
  if (id == InterfaceId::IDirectSound3DBuffer && !primary_) {
    if (const HRESULT fault = TakeFault(faults_, SoundCall::QueryBuffer3D); fault != DS_OK) return fault;
    *object = new IDirectSound3DBuffer(this, faults_);
    return DS_OK;
  }
  return DSERR_NOINTERFACE;
}

}  // namespace kestu::ds

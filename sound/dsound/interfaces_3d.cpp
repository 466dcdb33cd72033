#include "sound/dsound/dsound.h"

namespace kestu::ds {

namespace {

constexpr std::uint32_t kRecordSize = 64;
constexpr std::uint32_t kDeferred = 1;

}  // namespace

IDirectSound3DListener::IDirectSound3DListener(IDirectSoundBuffer* primary,
                                               std::shared_ptr<FaultPlan> faults)
    : primary_(primary), faults_(std::move(faults)) {
  primary_->AddRef();
  parameters_.dwSize = kRecordSize;
  parameters_.vOrientFront = {0, 0, 1};
  parameters_.vOrientTop = {0, 1, 0};
  parameters_.flDistanceFactor = 1;
  parameters_.flRolloffFactor = 1;
  parameters_.flDopplerFactor = 1;
}

IDirectSound3DListener::~IDirectSound3DListener() { primary_->Release(); }

HRESULT IDirectSound3DListener::GetAllParameters(DS3DLISTENER* parameters) const {
  if (parameters == nullptr || parameters->dwSize != kRecordSize) return DSERR_INVALIDPARAM;
  *parameters = parameters_;
  return DS_OK;
}

HRESULT IDirectSound3DListener::SetAllParameters(const DS3DLISTENER* parameters, std::uint32_t apply) {
  if (parameters == nullptr || parameters->dwSize != kRecordSize || apply > kDeferred) {
    return DSERR_INVALIDPARAM;
  }
  if (faults_) {
    if (const HRESULT fault = faults_->Take(SoundCall::SetListenerParameters); fault != DS_OK) return fault;
  }
  parameters_ = *parameters;
  return DS_OK;
}

IDirectSound3DBuffer::IDirectSound3DBuffer(IDirectSoundBuffer* buffer, std::shared_ptr<FaultPlan> faults)
    : buffer_(buffer), faults_(std::move(faults)) {
  buffer_->AddRef();
  parameters_.dwSize = kRecordSize;
  parameters_.dwInsideConeAngle = 360;
  parameters_.dwOutsideConeAngle = 360;
  parameters_.vConeOrientation = {0, 0, 1};
  parameters_.flMinDistance = 1;
  parameters_.flMaxDistance = 1e9f;
  parameters_.dwMode = DS3DMODE_NORMAL;
}

IDirectSound3DBuffer::~IDirectSound3DBuffer() { buffer_->Release(); }

HRESULT IDirectSound3DBuffer::GetAllParameters(DS3DBUFFER* parameters) const {
  if (parameters == nullptr || parameters->dwSize != kRecordSize) return DSERR_INVALIDPARAM;
  *parameters = parameters_;
  return DS_OK;
}

HRESULT IDirectSound3DBuffer::SetAllParameters(const DS3DBUFFER* parameters, std::uint32_t apply) {
  if (parameters == nullptr || parameters->dwSize != kRecordSize || apply > kDeferred) {
    return DSERR_INVALIDPARAM;
  }
  if (faults_) {
    if (const HRESULT fault = faults_->Take(SoundCall::SetBuffer3DParameters); fault != DS_OK) return fault;
  }
  parameters_ = *parameters;
  return DS_OK;
}

}  // namespace kestu::ds

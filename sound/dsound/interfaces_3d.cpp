#include "sound/dsound/dsound.h"

namespace kestu::ds {

namespace {

constexpr std::uint32_t kRecordSize = 64;
constexpr std::uint32_t kDeferred = 1;

DS3DLISTENER InitialListener() {
  DS3DLISTENER parameters;
  parameters.dwSize = kRecordSize;
  parameters.vOrientFront = {0, 0, 1};
  parameters.vOrientTop = {0, 1, 0};
  parameters.flDistanceFactor = 1;
  parameters.flRolloffFactor = 1;
  parameters.flDopplerFactor = 1;
  return parameters;
}

DS3DBUFFER InitialBuffer() {
  DS3DBUFFER parameters;
  parameters.dwSize = kRecordSize;
  parameters.dwInsideConeAngle = 360;
  parameters.dwOutsideConeAngle = 360;
  parameters.vConeOrientation = {0, 0, 1};
  parameters.flMinDistance = 1;
  parameters.flMaxDistance = 1e9f;
  parameters.dwMode = DS3DMODE_NORMAL;
  return parameters;
}

}  // namespace

template <typename Record, SoundCall kSetCall>
Parameters3D<Record, kSetCall>::Parameters3D(IDirectSoundBuffer* buffer, std::shared_ptr<FaultPlan> faults,
                                             const Record& initial)
    : buffer_(buffer), faults_(std::move(faults)), parameters_(initial) {
  buffer_->AddRef();
}

template <typename Record, SoundCall kSetCall>
Parameters3D<Record, kSetCall>::~Parameters3D() {
  buffer_->Release();
}

template <typename Record, SoundCall kSetCall>
HRESULT Parameters3D<Record, kSetCall>::GetAllParameters(Record* parameters) const {
  if (parameters == nullptr || parameters->dwSize != kRecordSize) return DSERR_INVALIDPARAM;
  *parameters = parameters_;
  return DS_OK;
}

template <typename Record, SoundCall kSetCall>
HRESULT Parameters3D<Record, kSetCall>::SetAllParameters(const Record* parameters, std::uint32_t apply) {
  if (parameters == nullptr || parameters->dwSize != kRecordSize || apply > kDeferred) {
    return DSERR_INVALIDPARAM;
  }
  if (const HRESULT fault = TakeFault(faults_, kSetCall); fault != DS_OK) return fault;
  parameters_ = *parameters;
  return DS_OK;
}

template class Parameters3D<DS3DLISTENER, SoundCall::SetListenerParameters>;
template class Parameters3D<DS3DBUFFER, SoundCall::SetBuffer3DParameters>;

IDirectSound3DListener::IDirectSound3DListener(IDirectSoundBuffer* primary, std::shared_ptr<FaultPlan> faults)
    : Parameters3D(primary, std::move(faults), InitialListener()) {}

IDirectSound3DBuffer::IDirectSound3DBuffer(IDirectSoundBuffer* buffer, std::shared_ptr<FaultPlan> faults)
    : Parameters3D(buffer, std::move(faults), InitialBuffer()) {}

}  // namespace kestu::ds

#include "sound/params3d.h"

#include "sound/channel.h"
#include "sound/ddsd.h"
#include "sound/diagnostics.h"

namespace kestu {

TDDSDParams3D::TDDSDParams3D(TDDSDChannel* channel) : channel_(channel) {
  record_.dwSize = sizeof(ds::DS3DBUFFER);
  record_.dwInsideConeAngle = 360;
  record_.dwOutsideConeAngle = 360;
  record_.vConeOrientation = {0.0f, 0.0f, 1.0f};
  record_.lConeOutsideVolume = 0;
  record_.flMinDistance = 5.0f;
  record_.flMaxDistance = 100.0f;
  record_.dwMode = ds::DS3DMODE_NORMAL;
}

ds::DS3DBUFFER TDDSDParams3D::Read() const {
  if (channel_ != nullptr && channel_->Buffer3D() != nullptr) {
    channel_->Buffer3D()->GetAllParameters(&record_);
  }
  return record_;
}

void TDDSDParams3D::Assign(const TDDSDParams3D& other) {
  record_ = other.Read();
  if (channel_ != nullptr && channel_->Buffer3D() != nullptr) {
    CheckResult(channel_->Buffer3D()->SetAllParameters(&record_, ds::DS3D_IMMEDIATE),
                "Params3Dに指定されたパラメータが不適切です");
  }
}

TDDSDListener::TDDSDListener(TDDSD* device) : device_(device) {
  record_.dwSize = sizeof(ds::DS3DLISTENER);
  record_.vOrientFront = {0.0f, 0.0f, 1.0f};
  record_.vOrientTop = {0.0f, 1.0f, 0.0f};
  record_.flDistanceFactor = 1.0f;
  record_.flRolloffFactor = 1.0f;
  record_.flDopplerFactor = 1.0f;
  if (device_ != nullptr && device_->Listener3D() != nullptr) {
    CheckResult(device_->Listener3D()->SetAllParameters(&record_, ds::DS3D_IMMEDIATE),
                "Listenerに指定されたパラメータが不適切です");
  }
}

}  // namespace kestu

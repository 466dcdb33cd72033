// 3-D parameters of a channel or a 3-D sample, and the 3-D listener of a
// device. The program never switches 3-D on; the records are kept and passed
// to the sound system, which holds them but does not place sounds in space.
#pragma once

#include "sound/dsound/types.h"

namespace kestu {

class TDDSD;
class TDDSDChannel;

class TDDSDParams3D {
 public:
  // `channel` is the channel whose 3-D buffer these parameters drive, or none.
  explicit TDDSDParams3D(TDDSDChannel* channel);

  TDDSDChannel* Channel() const { return channel_; }
  // A copy of the record, refreshed first from the channel's 3-D buffer if it has one.
  ds::DS3DBUFFER Read() const;
  // Takes `other`'s parameters and applies them to the channel's 3-D buffer.
  void Assign(const TDDSDParams3D& other);

 private:
  TDDSDChannel* channel_;
  mutable ds::DS3DBUFFER record_{};
};

class TDDSDListener {
 public:
  // Sets the initial record and applies it to the device's 3-D listener.
  explicit TDDSDListener(TDDSD* device);

  TDDSD* Device() const { return device_; }
  const ds::DS3DLISTENER& Record() const { return record_; }

 private:
  TDDSD* device_;
  ds::DS3DLISTENER record_{};
};

}  // namespace kestu

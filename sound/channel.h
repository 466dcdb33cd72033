// One playback channel of the sound device: sounds one sample at a time
// through its own duplicate of the sample's buffer. GUI thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "sound/dsound/dsound.h"
#include "sound/params3d.h"

namespace kestu {

class TDDSD;
class TDDSDGenWave;

class TDDSDChannel {
 public:
  explicit TDDSDChannel(TDDSD* device);
  ~TDDSDChannel();
  TDDSDChannel(const TDDSDChannel&) = delete;
  TDDSDChannel& operator=(const TDDSDChannel&) = delete;

  // Attaches a sample (nullptr: none), cutting off whatever was sounding. A
  // sample without sound data is attached as none.
  void setWaveData(TDDSDGenWave* sample);
  // Frequency = base rate x ratio, multiplied in extended precision, truncated.
  void SetRateRatio(double ratio);
  // Rewinds and plays once.
  void PlayFromStart();
  void Stop();

  TDDSD* Device() const { return device_; }
  TDDSDGenWave* WaveData() const { return waveData_; }
  std::uint32_t BaseFrequency() const { return baseFrequency_; }
  ds::IDirectSoundBuffer* Buffer() const { return buffer_; }
  ds::IDirectSound3DBuffer* Buffer3D() const { return buffer3D_; }
  TDDSDParams3D& Params3D() { return *params3D_; }

 private:
  TDDSD* device_;
  ds::IDirectSoundBuffer* buffer_ = nullptr;
  ds::IDirectSound3DBuffer* buffer3D_ = nullptr;
  TDDSDGenWave* waveData_ = nullptr;
  std::uint32_t baseFrequency_ = 0;
  std::unique_ptr<TDDSDParams3D> params3D_;
};

// The frequency SetRateRatio asks for; 0 (refused by the sound system) when
// the product is not a frequency at all (negative, not a number, too large).
std::uint32_t RateRatioFrequency(std::uint32_t baseFrequency, double ratio);

}  // namespace kestu

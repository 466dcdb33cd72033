// Samples: one RIFF WAVE file loaded whole into a static buffer of its own.
// A sample whose loading failed exists without a buffer. GUI thread only.
// Formats the mixer does not read (24- and 32-bit PCM, float, the extensible format) are
// converted while loading, and so is a sample faster than 48 kHz, brought down to 48 kHz or less:
// Format() and DataSize() then describe the buffer, 16-bit PCM.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "sound/dsound/dsound.h"
#include "sound/params3d.h"

namespace kestu {

class TDDSD;
class RiffReader;
struct SampleEncoding;

class TDDSDGenWave {
 public:
  // Loads `fileName` when the device is open; is3D chooses the 3-D buffer flags.
  TDDSDGenWave(TDDSD* device, bool is3D, const std::string& fileName);
  virtual ~TDDSDGenWave();
  TDDSDGenWave(const TDDSDGenWave&) = delete;
  TDDSDGenWave& operator=(const TDDSDGenWave&) = delete;

  ds::IDirectSoundBuffer* Buffer() const { return buffer_; }
  const ds::WAVEFORMATEX& Format() const { return format_; }
  std::uint32_t DataSize() const { return dataSize_; }
  TDDSD* Device() const { return device_; }
  virtual bool Is3D() const { return false; }
  // Why loading left the sample without a buffer (the file name and the reason, as the debug
  // message says it); empty when it loaded or the device was not open.
  const std::string& LoadError() const { return loadError_; }

 private:
  friend class TDDSD;
  void LoadWAV(bool is3D, const std::string& fileName);
  void FileError(const std::string& message);
  // Reads the data chunk into the locked buffer, converting it when the file's format needs it.
  void FillBuffer(RiffReader& file, const SampleEncoding& encoding, void* region1,
                  std::uint32_t bytes1, void* region2, std::uint32_t bytes2);
  // The same for a sample brought down to a lower rate: `dataBytes` of the file's data, whole.
  void FillBufferResampled(RiffReader& file, const SampleEncoding& encoding, std::uint64_t dataBytes, void* region1,
                           std::uint32_t bytes1, void* region2, std::uint32_t bytes2);

  TDDSD* device_;
  ds::IDirectSoundBuffer* buffer_ = nullptr;
  ds::WAVEFORMATEX format_{};
  std::uint32_t dataSize_ = 0;
  std::uint32_t fileRate_ = 0;  // the file's own rate, where the data is converted
  std::string loadError_;
};

// The plain sample the program uses.
class TDDSDWaveData : public TDDSDGenWave {
 public:
  TDDSDWaveData(TDDSD* device, const std::string& fileName);
};

// A sample with 3-D parameters, which a channel takes over on attach.
class TDDSDWave3D : public TDDSDGenWave {
 public:
  TDDSDWave3D(TDDSD* device, const std::string& fileName);
  bool Is3D() const override { return true; }
  TDDSDParams3D& Params3D() { return params3D_; }

 private:
  TDDSDParams3D params3D_{nullptr};
};

}  // namespace kestu

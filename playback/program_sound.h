#pragma once
// The program's sound as it starts: the sound component with the program's options, opened on an
// output; the pitch tables; the primary format; samples 1..29 from the folder the program chooses.
// The window takes these steps one by one among its own start-up steps; the offline player, and
// with it `kestu-cli render` and the benchmarks, takes them all at once in the same order. So
// what a render or a measurement plays is what the program plays. GUI thread only.
#include <cstdint>
#include <memory>
#include <string>

#include "playback/pitch_tables.h"
#include "playback/sample_bank.h"
#include "sound/output/audio_output.h"

namespace kestu {

class TComponent;
class TDDSD;

// The primary buffer's format the program sets: what the mixer produces.
inline constexpr std::uint32_t kPrimaryRate = 23160;
inline constexpr std::uint16_t kPrimaryBits = 16;
inline constexpr bool kPrimaryStereo = true;

class ProgramSound {
 public:
  ProgramSound() = default;
  // Frees the samples, then the sound component when this object owns it.
  ~ProgramSound();
  ProgramSound(const ProgramSound&) = delete;
  ProgramSound& operator=(const ProgramSound&) = delete;

  // The sound component with the program's options on `output`, opened (it runs silent when no
  // device opens). `owner` owns it (the window's components); with none, this object does.
  TDDSD* OpenDevice(TComponent* owner, AudioOutputProvider output);
  void FillTables() { Pitch.Fill(); }
  void SetPrimaryFormat();
  // Samples 1..29 from the folder FindSampleFolder chooses. An exception that stops the loading
  // is caught: the samples before it stay, that one and the later ones stay absent, and the
  // result is false, with the exception's message in LoadError().
  bool LoadSamples();
  // All four steps in the program's order, for a start-up without a window.
  void Start(AudioOutputProvider output);

  TDDSD* Device() const { return device_; }
  // The folder the samples were read from; "" for the current folder.
  const std::string& SampleFolder() const { return sampleFolder_; }
  const std::string& LoadError() const { return loadError_; }

  PitchTables Pitch;
  SampleBank Samples;  // freed before the sound component

 private:
  std::unique_ptr<TDDSD> owned_;
  TDDSD* device_ = nullptr;
  std::string sampleFolder_;
  std::string loadError_;
};

}  // namespace kestu

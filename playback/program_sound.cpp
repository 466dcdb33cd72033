#include "playback/program_sound.h"

#include <exception>

#include "playback/sample_folder.h"
#include "sound/ddsd.h"

namespace kestu {

ProgramSound::~ProgramSound() {
  Samples.FreeAll();  // every sample goes before the device
  owned_.reset();
}

TDDSD* ProgramSound::OpenDevice(TComponent* owner, AudioOutputProvider output) {
  auto* device = new TDDSD(owner, ds::SoundSystemConfig{std::move(output), nullptr});
  if (owner == nullptr) owned_.reset(device);  // otherwise its owner deletes it
  device_ = device;
  device_->SetDebugOption(dsoHaltOnError);
  device_->Loaded();
  return device_;
}

void ProgramSound::SetPrimaryFormat() { device_->SetPrimaryFormat(kPrimaryRate, kPrimaryBits, kPrimaryStereo); }

bool ProgramSound::LoadSamples() {
  loadError_.clear();
  try {
    // waves/ in the current folder, else beside the program, else the installed samples.
    sampleFolder_ = FindSampleFolder();
    Samples.LoadAll(device_, sampleFolder_);
  } catch (const std::exception& e) {
    loadError_ = e.what();
    return false;
  }
  return true;
}

void ProgramSound::Start(AudioOutputProvider output) {
  OpenDevice(nullptr, std::move(output));
  FillTables();
  SetPrimaryFormat();
  LoadSamples();
}

}  // namespace kestu

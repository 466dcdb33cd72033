#include "playback/sample_bank.h"

#include "sound/ddsd.h"

namespace kestu {

std::string SampleBank::FileName(int n) { return "waves/Sound" + std::to_string(n) + ".wav"; }

std::string SampleBank::FilePath(const std::string& folder, int n) {
  if (folder.empty()) return FileName(n);
  return folder + (folder.back() == '/' ? "" : "/") + FileName(n);
}

void SampleBank::LoadAll(TDDSD* device, const std::string& folder) {
  FreeAll();
  for (int n = 1; n <= kSampleCount; ++n) {
    // Built before it is stored, so an exception leaves entry n absent.
    samples_[n] = std::make_unique<TDDSDWaveData>(device, FilePath(folder, n));
  }
}

void SampleBank::FreeAll() {
  for (int n = 1; n <= kSampleCount; ++n) samples_[n].reset();
}

TDDSDWaveData* SampleBank::Sample(int n) const {
  if (n < 1 || n > kSampleCount) return nullptr;
  return samples_[n].get();
}

void SampleBank::Put(int n, std::unique_ptr<TDDSDWaveData> sample) {
  if (n < 1 || n > kSampleCount) return;
  samples_[n] = std::move(sample);
}

std::vector<int> SampleBank::WithoutSoundData() const {
  std::vector<int> numbers;
  for (int n = 1; n <= kSampleCount; ++n) {
    if (samples_[n] != nullptr && samples_[n]->Buffer() == nullptr) numbers.push_back(n);
  }
  return numbers;
}

}  // namespace kestu

#pragma once
// The 29 samples the program sounds, numbered 1..29 (which number serves which instrument and
// register is pitch_tables.h's business). Each entry may be absent: never constructed, because
// loading stopped before it. The bank owns its samples and frees them in ascending order.
// GUI thread only.
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "playback/pitch_tables.h"
#include "sound/wave.h"

namespace kestu {

class TDDSD;

class SampleBank {
 public:
  SampleBank() = default;
  ~SampleBank() { FreeAll(); }
  SampleBank(const SampleBank&) = delete;
  SampleBank& operator=(const SampleBank&) = delete;

  // "waves/Sound" + n + ".wav": relative to the current directory, n without leading zeros.
  static std::string FileName(int n);
  // FileName(n) inside `folder`; FileName(n) itself when folder is "" (the current folder).
  static std::string FilePath(const std::string& folder, int n);

  // Loads samples 1..29 in ascending order on `device`, each from FilePath(folder, n), after
  // freeing any samples already held (sample_folder.h chooses the folder). An exception that escapes a sample's construction ends the loading
  // there: the samples before it stay loaded, that one and every later one stay absent, and the
  // exception goes on to the caller, which tells the user.
  void LoadAll(TDDSD* device, const std::string& folder = {});

  // Frees every sample, 1 to 29; absent entries are skipped.
  void FreeAll();

  // Sample n, or nullptr when it is absent or n lies outside 1..29.
  TDDSDWaveData* Sample(int n) const;
  // Puts a sample in place of entry n (1..29; others are ignored), freeing the one held there.
  void Put(int n, std::unique_ptr<TDDSDWaveData> sample);

  // The numbers of the samples that exist without sound data: their file was missing or broken,
  // or the device was not open when they were loaded. Ascending.
  std::vector<int> WithoutSoundData() const;
  bool AnyWithoutSoundData() const { return !WithoutSoundData().empty(); }

 private:
  std::array<std::unique_ptr<TDDSDWaveData>, kSampleCount + 1> samples_{};  // [0] unused
};

}  // namespace kestu

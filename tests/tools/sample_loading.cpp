#include "tests/tools/sample_loading.h"

#include <cstring>
#include <memory>

#include "sound/ddsd.h"
#include "sound/output/offline_output.h"
#include "sound/riff.h"
#include "sound/wave.h"
#include "tests/support/loaded_device.h"

namespace kestu::test {

namespace {

// One device for the whole test program, set up as the main window sets it up.
struct Rig {
  OfflineOutput output;
  std::unique_ptr<TDDSD> device = LoadedDevice(output);
};

Rig& TheRig() {
  static Rig rig;
  return rig;
}

std::uint32_t FormatChunkSize(const std::string& path) {
  RiffReader reader;
  RiffChunk riff, format;
  if (!reader.Open(path) || !reader.FindRiff(MakeFourCC('W', 'A', 'V', 'E'), riff) ||
      !reader.FindChunk(MakeFourCC('f', 'm', 't', ' '), riff, format)) {
    return 0;
  }
  return format.size;
}

}  // namespace

LoadedSample LoadAsTheProgramDoes(const std::string& path) {
  LoadedSample sample;
  Rig& rig = TheRig();
  TDDSDWaveData wave(rig.device.get(), path);
  sample.format = wave.Format();
  sample.format_chunk_size = FormatChunkSize(path);
  ds::IDirectSoundBuffer* buffer = wave.Buffer();
  if (buffer == nullptr) return sample;
  // The buffer can be locked again once the mixer has taken the loader's last settings, which
  // it does as it renders.
  rig.output.Render(1);
  void* first = nullptr;
  void* second = nullptr;
  std::uint32_t first_bytes = 0, second_bytes = 0;
  if (buffer->Lock(0, wave.DataSize(), &first, &first_bytes, &second, &second_bytes, 0) !=
      ds::DS_OK)
    return sample;
  sample.frames.resize((first_bytes + second_bytes) / 2);
  auto* out = reinterpret_cast<unsigned char*>(sample.frames.data());
  std::memcpy(out, first, first_bytes / 2 * 2);
  if (second_bytes != 0) std::memcpy(out + first_bytes, second, second_bytes / 2 * 2);
  buffer->Unlock(first, first_bytes, second, second_bytes);
  sample.loaded = true;
  return sample;
}

}  // namespace kestu::test

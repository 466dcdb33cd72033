// Any file loads either into a sample with sound data or into one without, never past its bytes
// (converted 8-bit data at most doubles); a loaded sample holds 8- or 16-bit PCM, whatever the file
// held, and then plays through the mixer at several rates without fault.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "sound/ddsd.h"
#include "sound/output/offline_output.h"
#include "sound/wave.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/loaded_device.h"

namespace kestu::test {

struct RiffRig {
  OfflineOutput output;
  // No option: nothing is logged, raised or halted, so every loading path runs to its end.
  std::unique_ptr<TDDSD> device = LoadedDevice(output, 23160, 0);
  ScratchFolder folder{"fuzz-riff"};
  const std::string path = (folder / "input.wav").string();
};

}  // namespace kestu::test

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static kestu::test::RiffRig rig;
  FILE* f = std::fopen(rig.path.c_str(), "wb");
  if (f == nullptr) std::abort();
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  {
    kestu::TDDSDWaveData sample(rig.device.get(), rig.path);
    if (sample.Buffer() != nullptr) {
      const kestu::ds::WAVEFORMATEX& format = sample.Format();
      if (sample.DataSize() > 2 * size || sample.Buffer()->Bytes() != sample.DataSize()) std::abort();
      if (format.wFormatTag != 1 || (format.wBitsPerSample != 8 && format.wBitsPerSample != 16)) std::abort();
    } else if (!sample.LoadError().empty() && sample.LoadError().rfind(rig.path, 0) != 0) {
      std::abort();  // the reason names the file
    }
    kestu::TDDSDChannel* channel = rig.device->GetChannel(1);
    channel->setWaveData(&sample);
    for (double ratio : {1.0, 0.707, 2.245}) {
      channel->SetRateRatio(ratio);
      channel->PlayFromStart();
      rig.output.Render(300);
    }
    channel->setWaveData(nullptr);
    rig.output.Render(64);  // let the mixer let go of the voice before the sample goes
  }
  return 0;
}

#include "sound/output/audio_output.h"
#include "sound/output/device_output.h"

namespace kestu {

AudioOutputProvider DefaultOutputProvider() {
  return [] { return std::make_shared<DeviceOutput>(); };
}

AudioOutputProvider UseOutput(AudioOutput& output) {
  // The caller owns the output; the device only borrows it.
  return [&output] { return std::shared_ptr<AudioOutput>(&output, [](AudioOutput*) {}); };
}

AudioOutputProvider NoOutput() {
  return [] { return std::shared_ptr<AudioOutput>(); };
}

}  // namespace kestu

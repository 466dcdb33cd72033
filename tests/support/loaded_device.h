// The sound component as the program sets it up, on an output a test drives: loaded, then given
// the primary format (16-bit stereo at `rate`, the program's 23160 Hz unless told).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "sound/ddsd.h"
#include "sound/output/audio_output.h"

namespace kestu::test {

// `options`: the debug options set before loading; without them the component keeps its own.
inline std::unique_ptr<TDDSD> LoadedDevice(AudioOutput& output, std::uint32_t rate = 23160,
                                           std::optional<TDDSDDebugOption> options = std::nullopt) {
  auto device = std::make_unique<TDDSD>(nullptr, ds::SoundSystemConfig{UseOutput(output), nullptr});
  if (options) device->SetDebugOption(*options);
  device->Loaded();
  device->SetPrimaryFormat(rate, 16, true);
  return device;
}

}  // namespace kestu::test

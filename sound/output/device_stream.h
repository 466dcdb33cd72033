// One way to the sound device (PipeWire, a JACK server, PulseAudio, ALSA): an output that
// can also say what the device granted. GUI thread only, unless said otherwise.
#pragma once

#include <cstdint>
#include <string>

#include "sound/output/audio_output.h"

namespace kestu {

class DeviceStream : public AudioOutput {
 public:
  // "pipewire", "jack", "pulse" or "alsa" while open, empty otherwise.
  virtual std::string ApiName() const = 0;
  // Frames per second the device runs at.
  virtual std::uint32_t DeviceRate() const = 0;
  // Frames the device asks for at a time.
  virtual std::uint32_t BufferFrames() const = 0;
  // How long a frame handed over now waits before it is heard, in device
  // frames, as far as the device says (0 when it does not). Any thread.
  virtual long StreamLatencyFrames() const = 0;
};

}  // namespace kestu

// Where mixed sound goes: a device output (PipeWire, JACK, PulseAudio, ALSA) or an offline output
// that is pulled by hand. The mixer is the FrameSource each output pulls from; the interfaces
// themselves sit with the mixer (sound/mixer/output_port.h), below every output.
#pragma once

#include <functional>
#include <memory>

#include "sound/mixer/output_port.h"

namespace kestu {

// Opens the output a sound device uses; a null result means "no device".
using AudioOutputProvider = std::function<std::shared_ptr<AudioOutput>()>;

// The program's output: a running PipeWire server, else a running JACK server, else PulseAudio,
// else ALSA.
AudioOutputProvider DefaultOutputProvider();
// An output the caller owns and keeps alive longer than the sound device.
AudioOutputProvider UseOutput(AudioOutput& output);
// No device at all: device creation fails and the component runs silent.
AudioOutputProvider NoOutput();

}  // namespace kestu

#pragma once
// Which way out the program's output is measured on: the program's own choice, or one way forced
// (our PipeWire stream, our PulseAudio stream, JACK). The server behind it is the environment's
// (or the private PulseAudio): PulseAudio's pulse way and PipeWire's are told apart by the server.
#include <string>
#include <vector>

#include "sound/output/device_output.h"

namespace kestu::latency {

struct WayOut {
  std::string name = "default";  // as given to --way
  std::vector<OutputWay> ways = DeviceOutput::DefaultWays();
};

// "default", "pipewire", "pulse" or "jack"; false for anything else.
bool ParseWayOut(const std::string& text, WayOut& way);
// Whether the output opened on the way asked for (any way, for "default").
bool OpenedOnWay(const WayOut& way, const std::string& apiName);

}  // namespace kestu::latency

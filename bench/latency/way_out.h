#pragma once
// Which way out the program's output is measured on: the program's own choice, or one way forced
// (our PipeWire stream, our PulseAudio stream, JACK). The server behind it is the environment's
// (or the private PulseAudio): PulseAudio's pulse way and PipeWire's are told apart by the server.
#include <string>
#include <vector>

#include "bench/latency/monitor_capture.h"
#include "sound/output/device_output.h"

namespace kestu::latency {

struct WayOut {
  std::string name = "default";  // as given to --way
  std::vector<OutputWay> ways = DeviceOutput::DefaultWays();
};

// "default", "pipewire", "pulse" or "jack"; false for anything else.
bool ParseWayOut(const std::string& text, WayOut& way);
// Where the sound is recorded: JACK's own graph for the JACK way beside a private PulseAudio (a
// JACK server of its own, e.g. its dummy driver); the sink's pulse monitor otherwise (PulseAudio,
// or PipeWire's pulse server, which also carries what pw-jack plays).
RecordFrom RecordFromFor(const WayOut& way, bool privatePulse);
// Whether the output opened on the way asked for (any way, for "default").
bool OpenedOnWay(const WayOut& way, const std::string& apiName);

}  // namespace kestu::latency

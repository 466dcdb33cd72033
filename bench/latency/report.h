#pragma once
// The figures a run prints: the settings it ran with, how its clock was tied, and the delays.
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "bench/latency/analysis.h"
#include "bench/latency/pulse_server.h"

namespace kestu::latency {

struct ServerSample {
  std::string when;
  bool recording = true;  // the recorder was connected
  std::optional<SinkLatency> sink;
  std::optional<StreamLatency> stream;
};

struct RunSettings {
  std::string api;
  std::uint32_t primaryRate = 0;
  std::uint32_t deviceRate = 0;
  std::uint32_t bufferFrames = 0;
  long rtaudioLatencyFrames = 0;
  std::uint32_t sinkRate = 0;
  std::uint32_t recordBlockFrames = 0;
  bool privateServer = true;
  SessionPlan plan;
  int intervalMs = 0;
  std::vector<ServerSample> server;
  std::string loadAverage;  // /proc/loadavg as the run began: the machine is shared
};

// The aims: a preview within this many ms of the press, playback within this much jitter.
inline constexpr double kPreviewAimMs = 15.0;
inline constexpr double kJitterAimMs = 2.0;

void PrintReport(std::ostream& out, const RunSettings& settings, const Analysis& analysis);

}  // namespace kestu::latency

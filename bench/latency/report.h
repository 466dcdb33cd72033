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
  int loadThreads = 0;      // busy threads run beside the program
  long long leadUs = -1;    // how far ahead of its sound a tick's note is placed
  std::uint64_t lateStarts = 0;  // stamped notes that started late, over the whole run
  std::uint64_t underruns = 0;   // times the output ran dry
  std::uint64_t droppedStarts = 0;  // stamped notes dropped as far too late
  std::vector<TimedEvent> stalls;   // the GUI thread blocked on purpose
};

// The aims: a preview within these many ms of the press (median, p99); playback's delay from a
// tick to its sound constant within this much; onsets as far apart as the score says within this
// much (twice that with the machine kept busy).
inline constexpr double kPreviewMedianAimMs = 10.0;
inline constexpr double kPreviewAimMs = 14.0;
inline constexpr double kJitterAimMs = 1.0;
inline constexpr double kSpacingAimMs = 1.0;

void PrintReport(std::ostream& out, const RunSettings& settings, const Analysis& analysis);

}  // namespace kestu::latency

#pragma once
// From what a run recorded to the delays it reports: the sounds found in the mixer's output and in
// the monitor's recording, each paired with the press or tick that caused it.
#include <cstdint>
#include <optional>
#include <vector>

#include "bench/latency/probed_output.h"
#include "bench/latency/session.h"
#include "bench/latency/timeline.h"

namespace kestu::latency {

struct RunData {
  std::uint32_t recordRate = 0;
  std::vector<std::int16_t> recording;
  std::vector<ArrivedBlock> arrivals;
  std::uint32_t mixRate = 0;
  std::vector<std::int16_t> mixed;
  std::vector<RenderedBlock> rendered;
  SessionResult session;
};

// Per event in milliseconds from the handler's entry; NaN where no sound was found for it.
struct EventDelays {
  std::vector<double> toRender;  // to the device's request whose block holds the first frame
  std::vector<double> toSound;   // to the first frame's place on the recording's timeline
  std::vector<double> handler;   // the handler's own run
};

struct Analysis {
  std::optional<Timeline> timeline;
  std::vector<double> arrivalLatenessMs;  // each recorded block after the timeline
  EventDelays presses;
  EventDelays columns;                    // ticks that voiced a column with a note
  std::vector<double> columnsFromDueMs;   // the same sounds, from when each tick was due
  // From the view drawn with the running figure on a note's column to the note's first frame:
  // positive when the picture runs ahead of the sound.
  std::vector<double> pictureToSoundMs;
  std::vector<double> soundIntervalErrorMs;  // onset to onset minus the score's spacing
  std::vector<double> tickIntervalErrorMs;   // tick to tick minus the timer's interval
  std::vector<double> requestIntervalMs;     // between the device's requests
  std::size_t recordedSounds = 0;
  std::size_t renderedSounds = 0;
};

Analysis Analyse(const RunData& data, int columnSpacing);

}  // namespace kestu::latency

#pragma once
// The summary lines on the picture and on stalls of the GUI thread: where the running figure is
// drawn against the note it stands on, and what stalls did to the onsets.
#include <ostream>

#include "bench/latency/analysis.h"
#include "bench/latency/report.h"

namespace kestu::latency {

// The picture and the sound agree within this much, on every server.
inline constexpr double kPictureAimMs = 16.0;
// Through stalls of the GUI thread shorter than the window the transport voices ahead, the onsets
// keep their spacing within this much.
inline constexpr double kStallSpacingAimMs = 2.0;

void PrintStallSummary(std::ostream& out, const RunSettings& settings, const Analysis& analysis);

}  // namespace kestu::latency

#pragma once
// The last stage of every sample: remove DC, fade the ends, level by loudness, quantise to 16 bits.
#include <cstdint>
#include <vector>

#include "tools/synth/signal.h"

namespace kestu::synth {

// Every sample is made this loud (ITU-R BS.1770, as a mono file at its own rate), so instruments
// balance by how loud they sound, not by their peaks.
inline constexpr double kTargetLufs = -16.0;
// No peak goes above this; a sound too spiky to reach the loudness under it has its first peaks
// held down (a fast transient limiter) until it does.
inline constexpr double kPeakDbfs = -1.0;

struct Ends {
  double fade_in = 0.0015;  // seconds; even a hard attack gets this much so it cannot click
  double fade_out = 0.05;   // seconds; the last frame is exactly zero
};

std::vector<std::int16_t> Finish(Signal sound, Ends ends);

}  // namespace kestu::synth

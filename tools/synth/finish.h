#pragma once
// The last stage of every sample: remove DC, fade the ends, set the peak, quantise to 16 bits.
#include <cstdint>
#include <vector>

#include "tools/synth/signal.h"

namespace kestu::synth {

inline constexpr double kPeakDbfs = -1.0;

struct Ends {
  double fade_in = 0.0015;  // seconds; even a hard attack gets this much so it cannot click
  double fade_out = 0.05;   // seconds; the last frame is exactly zero
};

std::vector<std::int16_t> Finish(Signal sound, Ends ends);

}  // namespace kestu::synth

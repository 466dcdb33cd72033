#pragma once
// The last stage of every sample: remove DC, let a ringing tail die away, fade the ends, level by
// loudness, quantise to 16 bits.
#include <cstdint>
#include <vector>

#include "tools/synth/signal.h"

namespace kestu::synth {

// Every sample is made this loud over its first kOnsetSeconds (K-weighted as ITU-R BS.1770 does,
// as a mono file at its own rate): what a note holds when the next column cuts it at tempo 250.
// Instruments then balance as they are played, whether they die away or are held.
inline constexpr double kOnsetLufs = -14.0;
inline constexpr double kOnsetSeconds = 0.24;
// A sound has died away to this far under its loudest 20 ms before its last fade begins, so that
// even a long last note ends as a real one does: 60 dB, and a margin for the peak limiter, which
// may yet lower the loudest part.
inline constexpr double kTailDb = -66.0;
// No peak goes above this; a sound too spiky to reach the loudness under it has its first peaks
// held down (a fast transient limiter) until it does.
inline constexpr double kPeakDbfs = -1.0;

struct Ends {
  double fade_in = 0.0015;  // seconds; even a hard attack gets this much so it cannot click
  double fade_out = 0.03;   // seconds; the last frame is exactly zero
};

std::vector<std::int16_t> Finish(Signal sound, Ends ends);

}  // namespace kestu::synth

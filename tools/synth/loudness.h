#pragma once
// Loudness as ITU-R BS.1770 measures it: the K-weighting filter (a high shelf for the head's
// effect and a high-pass for the ear's low-frequency roll-off), mean square over 400 ms blocks
// overlapping by 75 %, an absolute gate at -70 LKFS and a relative gate 10 LU under the gated
// mean. Used to level the samples by how loud they sound rather than by their peaks, and by the
// tests to measure what comes out of the mixer.
#include <vector>

namespace kestu::synth {

struct SectionCoefficients {
  double b0, b1, b2, a1, a2;  // a0 is 1
};

// The two stages of the K-weighting filter at `rate` frames per second; at 48 kHz they are the
// coefficients the recommendation tabulates.
SectionCoefficients KWeightingShelf(double rate);
SectionCoefficients KWeightingHighPass(double rate);

// Integrated loudness in LUFS (LKFS) of `channels` (each at full scale +-1, all the same length)
// at `rate`, each channel weighted 1 as left, right and centre are. A sound shorter than a block
// is measured as one block from its start, the rest silent. Returns -HUGE_VAL when every block
// is gated away (silence).
double IntegratedLoudness(const std::vector<std::vector<double>>& channels, double rate);

// The same for one channel.
double IntegratedLoudness(const std::vector<double>& mono, double rate);

// Loudness of what a note holds when it is cut after `seconds`: the K-weighted mean square of the
// first `seconds` of `mono` (silence past its end), in LUFS, without gating. -HUGE_VAL for silence.
double OnsetLoudness(const std::vector<double>& mono, double rate, double seconds);

// The K-weighted loudness of the loudest stretch of `seconds` (windows every 10 ms, silence past
// the end), in LUFS, without gating.
double LoudestStretchLoudness(const std::vector<double>& mono, double rate, double seconds);

}  // namespace kestu::synth

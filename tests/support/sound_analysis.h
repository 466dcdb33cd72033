#pragma once
// Measurements of a mono sound for the sample and instrument tests: its fundamental, its long-term spectrum and
// its loudness over time, each reduced to something two sounds can be compared by.
#include <cmath>
#include <cstddef>
#include <vector>

namespace kestu::test {

using Samples = std::vector<double>;  // full scale is +-1

// The fundamental frequency of the periodic sound in [begin, begin + length): found by its
// period (so a strong overtone does not fool it), then refined on the spectrum's peak there.
// Returns 0 when no period between min_hz and max_hz is found.
double MeasureFundamentalHz(const Samples& x, double rate, std::size_t begin, std::size_t length,
                            double min_hz, double max_hz);

// Average power spectrum over the whole sound in third-octave bands from 40 Hz up, in dB relative
// to the loudest band and floored at -60 dB.
std::vector<double> ThirdOctaveProfileDb(const Samples& x, double rate);

// RMS level of each 10 ms frame over the first second, in dB relative to the loudest frame,
// floored at -60 dB (frames past the end count as silence).
std::vector<double> LoudnessContourDb(const Samples& x, double rate);

// Root of the mean squared difference of two profiles of the same length.
double RmsDifference(const std::vector<double>& a, const std::vector<double>& b);

inline double CentsBetween(double hz, double reference_hz) {
  return 1200.0 * std::log2(hz / reference_hz);
}

}  // namespace kestu::test

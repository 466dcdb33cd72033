// Level of one frequency in a stretch of sound, for tests that check what a
// tone, its aliases and its images come out as. A four-term Blackman-Harris
// window keeps the leakage of a strong tone below -90 dB a few hundred hertz
// away, so a component at -60 dB is measured cleanly beside it.
#pragma once

#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestu::test {

// Amplitude of the component at `hz` in x[begin, begin + length), in the units of x: a sine of
// amplitude A there gives A.
inline double AmplitudeOfComponent(const std::vector<double>& x, double rate, std::size_t begin,
                                   std::size_t length, double hz) {
  constexpr double a0 = 0.35875, a1 = 0.48829, a2 = 0.14128, a3 = 0.01168;
  std::complex<double> sum = 0.0;
  double windowSum = 0.0;
  const double w = 2.0 * M_PI * hz / rate;
  for (std::size_t n = 0; n < length && begin + n < x.size(); ++n) {
    const double t = 2.0 * M_PI * static_cast<double>(n) / static_cast<double>(length - 1);
    const double window = a0 - a1 * std::cos(t) + a2 * std::cos(2 * t) - a3 * std::cos(3 * t);
    windowSum += window;
    sum += x[begin + n] * window * std::polar(1.0, -w * static_cast<double>(n));
  }
  return windowSum > 0.0 ? 2.0 * std::abs(sum) / windowSum : 0.0;
}

// The same, in dB relative to `reference` (full scale by default: 32768 for 16-bit frames).
inline double LevelOfComponentDb(const std::vector<double>& x, double rate, std::size_t begin,
                                 std::size_t length, double hz, double reference = 32768.0) {
  const double amplitude = AmplitudeOfComponent(x, rate, begin, length, hz);
  return 20.0 * std::log10(std::max(amplitude, 1e-12) / reference);
}

// Where a frequency ends up once sampled at `rate`: folded into 0 .. rate / 2.
inline double Folded(double hz, double rate) {
  double f = std::fmod(hz, rate);
  if (f < 0) f += rate;
  return f > rate / 2 ? rate - f : f;
}

// One channel of interleaved 16-bit stereo frames.
inline std::vector<double> ChannelOf(const std::vector<std::int16_t>& stereo, int channel = 0) {
  std::vector<double> out(stereo.size() / 2);
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = stereo[2 * i + static_cast<std::size_t>(channel)];
  return out;
}

}  // namespace kestu::test

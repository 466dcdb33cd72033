// What a listener notices about one note, measured on a mono sound at full scale +-1: how fast it
// speaks, how bright it is, and what it leaves above a frequency (a click). The loudness of a
// stretch is K-weighted as tools/synth/loudness.h measures it; the fundamental is
// tests/tools/sound_analysis.h's.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <vector>

namespace kestu::test {

// Seconds from the first sounding frame until the sound's 10 ms RMS first comes within 3 dB of the
// highest it reaches: how soon a note speaks. 0 for silence.
inline double AttackSeconds(const std::vector<double>& x, double rate) {
  std::size_t onset = 0;
  while (onset < x.size() && x[onset] == 0.0) ++onset;
  const auto window = static_cast<std::size_t>(0.01 * rate);
  if (onset >= x.size() || window == 0) return 0.0;
  std::vector<double> running(x.size() - onset + 1, 0.0);
  for (std::size_t n = onset; n < x.size(); ++n) running[n - onset + 1] = running[n - onset] + x[n] * x[n];
  // The power of the 10 ms ending at each frame after the onset.
  std::vector<double> power(running.size() - 1);
  for (std::size_t n = 1; n < running.size(); ++n) power[n - 1] = running[n] - running[n > window ? n - window : 0];
  const double highest = *std::max_element(power.begin(), power.end());
  const double threshold = highest * std::pow(10.0, -0.3);
  std::size_t n = 0;
  while (n < power.size() && power[n] < threshold) ++n;
  return static_cast<double>(n) / rate;
}

// In-place radix-2 transform; the size must be a power of two.
inline void Fft(std::vector<std::complex<double>>& a) {
  const std::size_t n = a.size();
  for (std::size_t i = 1, j = 0; i < n; ++i) {
    std::size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (std::size_t length = 2; length <= n; length <<= 1) {
    const std::complex<double> turn = std::polar(1.0, -2.0 * M_PI / static_cast<double>(length));
    for (std::size_t i = 0; i < n; i += length) {
      std::complex<double> w = 1.0;
      for (std::size_t k = 0; k < length / 2; ++k, w *= turn) {
        const std::complex<double> u = a[i + k], v = a[i + k + length / 2] * w;
        a[i + k] = u + v;
        a[i + k + length / 2] = u - v;
      }
    }
  }
}

// The power-weighted mean frequency of x[begin, begin + length), Hann-windowed: its brightness.
inline double SpectralCentroidHz(const std::vector<double>& x, double rate, std::size_t begin, std::size_t length) {
  std::size_t size = 1;
  while (size < length) size <<= 1;
  std::vector<std::complex<double>> a(size, 0.0);
  for (std::size_t n = 0; n < length && begin + n < x.size(); ++n) {
    const double hann = 0.5 - 0.5 * std::cos(2.0 * M_PI * (static_cast<double>(n) + 0.5) / static_cast<double>(length));
    a[n] = x[begin + n] * hann;
  }
  Fft(a);
  double weighted = 0.0, total = 0.0;
  for (std::size_t k = 1; k < size / 2; ++k) {
    const double power = std::norm(a[k]);
    weighted += power * static_cast<double>(k) * rate / static_cast<double>(size);
    total += power;
  }
  return total > 0.0 ? weighted / total : 0.0;
}

// x through a 10th-order Butterworth high-pass at `hz`: what lies above it, as a click would.
inline std::vector<double> HighPassed(std::vector<double> x, double rate, double hz) {
  // The five sections' Q of a 10th-order Butterworth response.
  for (const double q : {0.50623, 0.56116, 0.70711, 1.10134, 3.19623}) {
    const double w = 2.0 * M_PI * hz / rate;
    const double alpha = std::sin(w) / (2.0 * q), c = std::cos(w);
    const double a0 = 1.0 + alpha;
    const double b0 = (1.0 + c) / 2.0 / a0, b1 = -(1.0 + c) / a0, b2 = b0;
    const double a1 = -2.0 * c / a0, a2 = (1.0 - alpha) / a0;
    double z1 = 0.0, z2 = 0.0;
    for (double& v : x) {
      const double in = v;
      v = b0 * in + z1;
      z1 = b1 * in - a1 * v + z2;
      z2 = b2 * in - a2 * v;
    }
  }
  return x;
}

// The highest |x| in [begin, end), in dB of full scale.
inline double PeakDbfs(const std::vector<double>& x, std::size_t begin, std::size_t end) {
  double peak = 0.0;
  for (std::size_t n = begin; n < end && n < x.size(); ++n) peak = std::max(peak, std::fabs(x[n]));
  return 20.0 * std::log10(std::max(peak, 1e-12));
}

}  // namespace kestu::test

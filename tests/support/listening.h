// The listening kit of the tests: one channel of a sound, where sounds start and stop, the level and
// frequency of a tone, and what a listener notices about one note (how fast it speaks, how bright
// it is, what it leaves above a frequency). Sounds are vectors of frames in any unit; a 16-bit
// recording read with ReadRecording is at full scale +-1.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/wav_files.h"

namespace kestu::test {

// One channel of interleaved 16-bit stereo frames.
inline std::vector<double> ChannelOf(const std::vector<std::int16_t>& stereo, int channel = 0) {
  std::vector<double> out(stereo.size() / 2);
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = stereo[2 * i + static_cast<std::size_t>(channel)];
  return out;
}

// The first frame at or after `from` louder than `floor`; x.size() when none is.
template <class T>
std::size_t FirstSound(const std::vector<T>& x, std::size_t from = 0, double floor = 0) {
  while (from < x.size() && std::abs(static_cast<double>(x[from])) <= floor) ++from;
  return from;
}

// The first frame at or after `from` that begins a run of `run` silent frames; x.size() when none does.
// `quiet`: the loudest a frame may be and still count as silent, which lets a test pass over the DC
// blocker's faint tail.
inline std::size_t FirstSilence(const std::vector<double>& x, std::size_t from, std::size_t run = 64,
                                double quiet = 0.0) {
  std::size_t zeros = 0;
  for (std::size_t i = from; i < x.size(); ++i) {
    zeros = std::fabs(x[i]) <= quiet ? zeros + 1 : 0;
    if (zeros == run) return i + 1 - run;
  }
  return x.size();
}

// Where sounds start: a frame louder than `floor` after at least `quietFrames` frames no louder,
// when the sound then reaches `confirm` within `confirmFrames` of it. The start of the sound counts
// as quiet when `quietBeforeStart`; otherwise a sound it cuts into is no onset.
struct OnsetRule {
  double floor = 200;
  std::size_t quietFrames = 64;
  double confirm = 0;
  std::size_t confirmFrames = 1;
  bool quietBeforeStart = true;
};

template <class T>
std::vector<std::int64_t> FindOnsets(const std::vector<T>& x, const OnsetRule& rule) {
  std::vector<std::int64_t> onsets;
  std::size_t quiet = rule.quietBeforeStart ? rule.quietFrames : 0;
  const auto level = [&x](std::size_t i) { return std::abs(static_cast<double>(x[i])); };
  for (std::size_t i = 0; i < x.size(); ++i) {
    if (level(i) <= rule.floor) {
      ++quiet;
      continue;
    }
    if (quiet >= rule.quietFrames) {
      const std::size_t end = std::min(x.size(), i + std::max<std::size_t>(rule.confirmFrames, 1));
      for (std::size_t j = i; j < end; ++j) {
        if (level(j) >= rule.confirm) {
          onsets.push_back(static_cast<std::int64_t>(i));
          break;
        }
      }
    }
    quiet = 0;
  }
  return onsets;
}

// First frames of sounds louder than `level` that follow at least `quiet` quieter frames.
template <class T>
std::vector<std::int64_t> Onsets(const std::vector<T>& x, std::size_t quiet = 64, double level = 200) {
  return FindOnsets(x, OnsetRule{.floor = level, .quietFrames = quiet});
}

// RMS of x[begin, end).
inline double Rms(const std::vector<double>& x, std::size_t begin, std::size_t end) {
  end = std::min(end, x.size());
  if (end <= begin) return 0;
  double sum = 0;
  for (std::size_t i = begin; i < end; ++i) sum += x[i] * x[i];
  return std::sqrt(sum / static_cast<double>(end - begin));
}

// A recording of a sink's monitor read back for measuring: its left channel at full scale +-1.
struct Recording {
  std::uint32_t rate = 0;
  std::vector<double> left;

  // RMS of the left channel in [from, to) seconds.
  double Rms(double from, double to) const {
    return test::Rms(left, static_cast<std::size_t>(std::max(0.0, from) * rate),
                     static_cast<std::size_t>(std::max(0.0, to) * rate));
  }
  // Start times (seconds) of the sounds: the level in 10 ms windows jumps over what it was 30 ms
  // before, also when an earlier sound still rings. Jumps closer than 100 ms are one attack.
  std::vector<double> Onsets(double threshold) const {
    std::vector<double> onsets, level;
    if (rate == 0) return onsets;
    const std::size_t window = rate / 100;
    for (std::size_t start = 0; start + window <= left.size(); start += window)
      level.push_back(test::Rms(left, start, start + window));
    double last = -1;
    for (std::size_t i = 3; i < level.size(); ++i) {
      const double before = level[i - 3], t = static_cast<double>(i) / 100.0;
      if (level[i] > threshold && level[i] > 1.25 * before && level[i] - before > threshold &&
          (last < 0 || t - last > 0.1)) {
        onsets.push_back(t);
        last = t;
      }
    }
    return onsets;
  }
};

inline Recording ReadRecording(const std::string& path) {
  const WavSound sound = ReadWav(path);
  Recording recording{sound.rate, sound.Channel(0)};
  for (double& v : recording.left) v = static_cast<float>(v / 32768.0);
  return recording;
}

// Amplitude of the component at `hz` in x[begin, begin + length), in the units of x: a sine of
// amplitude A there gives A. A four-term Blackman-Harris window keeps the leakage of a strong tone
// below -90 dB a few hundred hertz away, so a component at -60 dB is measured cleanly beside it.
inline double AmplitudeAt(const std::vector<double>& x, double rate, std::size_t begin, std::size_t length,
                          double hz) {
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
inline double LevelAtDb(const std::vector<double>& x, double rate, std::size_t begin, std::size_t length,
                        double hz, double reference = 32768.0) {
  return 20.0 * std::log10(std::max(AmplitudeAt(x, rate, begin, length, hz), 1e-12) / reference);
}

// Where a frequency ends up once sampled at `rate`: folded into 0 .. rate / 2.
inline double Folded(double hz, double rate) {
  double f = std::fmod(hz, rate);
  if (f < 0) f += rate;
  return f > rate / 2 ? rate - f : f;
}

// The frequency of a single tone in [begin, begin + length), from the spacing of its rising zero
// crossings (interpolated between frames).
inline double ToneFrequency(const std::vector<double>& x, double rate, std::size_t begin, std::size_t length) {
  double first = -1, last = -1;
  int crossings = 0;
  for (std::size_t i = begin + 1; i < begin + length && i < x.size(); ++i) {
    if (x[i - 1] < 0 && x[i] >= 0) {
      const double at = static_cast<double>(i - 1) + x[i - 1] / (x[i - 1] - x[i]);
      if (first < 0) first = at;
      last = at;
      ++crossings;
    }
  }
  return crossings < 2 ? 0.0 : (crossings - 1) * rate / (last - first);
}

// Seconds from the first sounding frame until the sound's 10 ms RMS first comes within 3 dB of the
// highest it reaches: how soon a note speaks. 0 for silence.
inline double AttackSeconds(const std::vector<double>& x, double rate) {
  const std::size_t onset = FirstSound(x);
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

// Frame n of a Hann window `length` frames long.
inline double Hann(std::size_t n, std::size_t length) {
  return 0.5 - 0.5 * std::cos(2.0 * M_PI * (static_cast<double>(n) + 0.5) / static_cast<double>(length));
}

// The power-weighted mean frequency of x[begin, begin + length), Hann-windowed: its brightness.
inline double SpectralCentroidHz(const std::vector<double>& x, double rate, std::size_t begin, std::size_t length) {
  std::size_t size = 1;
  while (size < length) size <<= 1;
  std::vector<std::complex<double>> a(size, 0.0);
  for (std::size_t n = 0; n < length && begin + n < x.size(); ++n) a[n] = x[begin + n] * Hann(n, length);
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

// The highest |x| in [begin, end).
inline double Peak(const std::vector<double>& x, std::size_t begin, std::size_t end) {
  double peak = 0.0;
  for (std::size_t n = begin; n < end && n < x.size(); ++n) peak = std::max(peak, std::fabs(x[n]));
  return peak;
}

// The same in dB of full scale.
inline double PeakDbfs(const std::vector<double>& x, std::size_t begin, std::size_t end) {
  return 20.0 * std::log10(std::max(Peak(x, begin, end), 1e-12));
}

}  // namespace kestu::test

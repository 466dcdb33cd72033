#include "tools/synth/loudness.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kestu::synth {

namespace {

// The analogue prototypes behind the recommendation's 48 kHz coefficients, so that any rate gets
// the same response.
constexpr double kShelfHz = 1681.974450955533;
constexpr double kShelfGainDb = 3.999843853973347;
constexpr double kShelfQ = 0.7071752369554196;
constexpr double kHighPassHz = 38.13547087602444;
constexpr double kHighPassQ = 0.5003270373238773;

constexpr double kBlockSeconds = 0.4;
constexpr double kStepSeconds = 0.1;
constexpr double kAbsoluteGateLufs = -70.0;
constexpr double kRelativeGateLu = -10.0;

double MeanSquareToLufs(double meanSquare) { return -0.691 + 10.0 * std::log10(meanSquare); }

std::vector<double> KWeighted(const std::vector<double>& x, double rate) {
  std::vector<double> y = x;
  for (const SectionCoefficients& c : {KWeightingShelf(rate), KWeightingHighPass(rate)}) {
    double z1 = 0.0, z2 = 0.0;
    for (double& v : y) {
      const double in = v;
      v = c.b0 * in + z1;
      z1 = c.b1 * in - c.a1 * v + z2;
      z2 = c.b2 * in - c.a2 * v;
    }
  }
  return y;
}

}  // namespace

SectionCoefficients KWeightingShelf(double rate) {
  const double k = std::tan(std::numbers::pi * kShelfHz / rate);
  const double vh = std::pow(10.0, kShelfGainDb / 20.0);
  const double vb = std::pow(vh, 0.4996667741545416);
  const double a0 = 1.0 + k / kShelfQ + k * k;
  return {(vh + vb * k / kShelfQ + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / kShelfQ + k * k) / a0,
          2.0 * (k * k - 1.0) / a0, (1.0 - k / kShelfQ + k * k) / a0};
}

SectionCoefficients KWeightingHighPass(double rate) {
  const double k = std::tan(std::numbers::pi * kHighPassHz / rate);
  const double a0 = 1.0 + k / kHighPassQ + k * k;
  return {1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / kHighPassQ + k * k) / a0};
}

double IntegratedLoudness(const std::vector<std::vector<double>>& channels, double rate) {
  if (channels.empty() || channels.front().empty()) return -HUGE_VAL;
  std::vector<std::vector<double>> weighted;
  for (const std::vector<double>& channel : channels) weighted.push_back(KWeighted(channel, rate));
  const std::size_t length = weighted.front().size();
  const auto block = static_cast<std::size_t>(std::lround(kBlockSeconds * rate));
  const auto step = static_cast<std::size_t>(std::lround(kStepSeconds * rate));
  // Mean square of every block that lies within the sound, summed over the channels.
  const std::size_t count = length > block ? (length - block) / step + 1 : 1;
  std::vector<double> blocks(count, 0.0);
  for (std::size_t j = 0; j < count; ++j) {
    const std::size_t start = j * step;
    for (const std::vector<double>& y : weighted) {
      for (std::size_t n = start; n < std::min(start + block, length); ++n) blocks[j] += y[n] * y[n];
    }
    blocks[j] /= static_cast<double>(block);
  }
  const auto gatedMean = [&](double gateLufs) {
    double sum = 0.0;
    std::size_t count = 0;
    for (double z : blocks) {
      if (z > 0.0 && MeanSquareToLufs(z) > gateLufs) {
        sum += z;
        ++count;
      }
    }
    return count > 0 ? sum / static_cast<double>(count) : 0.0;
  };
  const double absolute = gatedMean(kAbsoluteGateLufs);
  if (absolute <= 0.0) return -HUGE_VAL;
  const double relative = gatedMean(std::max(kAbsoluteGateLufs, MeanSquareToLufs(absolute) + kRelativeGateLu));
  return MeanSquareToLufs(relative);
}

double OnsetLoudness(const std::vector<double>& mono, double rate, double seconds) {
  const auto frames = static_cast<std::size_t>(std::lround(seconds * rate));
  if (frames == 0) return -HUGE_VAL;
  std::vector<double> head(mono.begin(), mono.begin() + static_cast<std::ptrdiff_t>(std::min(frames, mono.size())));
  head.resize(frames, 0.0);
  double sum = 0.0;
  for (double y : KWeighted(head, rate)) sum += y * y;
  return sum > 0.0 ? MeanSquareToLufs(sum / static_cast<double>(frames)) : -HUGE_VAL;
}

double LoudestStretchLoudness(const std::vector<double>& mono, double rate, double seconds) {
  const auto frames = static_cast<std::size_t>(std::lround(seconds * rate));
  const auto step = std::max<std::size_t>(1, static_cast<std::size_t>(std::lround(0.01 * rate)));
  if (frames == 0) return -HUGE_VAL;
  std::vector<double> padded = mono;
  padded.resize(mono.size() + frames, 0.0);
  const std::vector<double> y = KWeighted(padded, rate);
  std::vector<double> running(y.size() + 1, 0.0);
  for (std::size_t n = 0; n < y.size(); ++n) running[n + 1] = running[n] + y[n] * y[n];
  double loudest = 0.0;
  for (std::size_t start = 0; start + frames <= y.size() && start < std::max<std::size_t>(mono.size(), 1); start += step) {
    loudest = std::max(loudest, running[start + frames] - running[start]);
  }
  return loudest > 0.0 ? MeanSquareToLufs(loudest / static_cast<double>(frames)) : -HUGE_VAL;
}

double IntegratedLoudness(const std::vector<double>& mono, double rate) {
  return IntegratedLoudness(std::vector<std::vector<double>>{mono}, rate);
}

}  // namespace kestu::synth

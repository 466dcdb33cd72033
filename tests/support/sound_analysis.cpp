#include "tests/support/sound_analysis.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "tests/support/listening.h"

namespace kestu::test {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kFloorDb = -60.0;

double PowerToDb(double power) { return 10.0 * std::log10(std::max(power, 1e-30)); }

// Magnitude of the Hann-windowed transform of the segment at one frequency.
double MagnitudeAt(const Samples& x, double rate, std::size_t begin, std::size_t length,
                   double hz) {
  // A rotating phasor instead of a sine and cosine per frame; over a few thousand frames its
  // rounding error stays far below what the measurements resolve.
  const std::complex<double> step = std::polar(1.0, -2.0 * kPi * hz / rate);
  std::complex<double> phasor = 1.0, sum = 0.0;
  for (std::size_t n = 0; n < length; ++n) {
    sum += x[begin + n] * Hann(n, length) * phasor;
    phasor *= step;
  }
  return std::abs(sum);
}

// The period by the cumulative mean normalised difference of one frame: the first dip below the
// threshold, which is the true period even when an overtone dominates the waveform.
double PeriodOfFrame(const Samples& x, std::size_t begin, std::size_t window, std::size_t min_lag,
                     std::size_t max_lag) {
  std::vector<double> d(max_lag + 2, 0.0);
  for (std::size_t lag = 1; lag <= max_lag + 1; ++lag) {
    double sum = 0.0;
    for (std::size_t j = 0; j < window; ++j) {
      const double diff = x[begin + j] - x[begin + j + lag];
      sum += diff * diff;
    }
    d[lag] = sum;
  }
  std::vector<double> normalised(max_lag + 2, 1.0);
  double running = 0.0;
  for (std::size_t lag = 1; lag <= max_lag + 1; ++lag) {
    running += d[lag];
    normalised[lag] = running > 0.0 ? d[lag] * static_cast<double>(lag) / running : 1.0;
  }
  constexpr double kThreshold = 0.2;
  std::size_t best = 0;
  for (std::size_t lag = min_lag; lag <= max_lag; ++lag) {
    if (normalised[lag] < kThreshold) {
      while (lag + 1 <= max_lag && normalised[lag + 1] < normalised[lag]) ++lag;
      best = lag;
      break;
    }
  }
  if (best == 0) {
    best = min_lag;
    for (std::size_t lag = min_lag; lag <= max_lag; ++lag) {
      if (normalised[lag] < normalised[best]) best = lag;
    }
    if (normalised[best] > 0.5) return 0.0;  // nothing periodic here
  }
  // Parabola through the dip and its neighbours.
  const double a = normalised[best - 1], b = normalised[best], c = normalised[best + 1];
  const double denominator = a - 2.0 * b + c;
  const double shift = denominator > 0.0 ? 0.5 * (a - c) / denominator : 0.0;
  return static_cast<double>(best) + std::clamp(shift, -0.5, 0.5);
}

}  // namespace

double MeasureFundamentalHz(const Samples& x, double rate, std::size_t begin, std::size_t length,
                            double min_hz, double max_hz) {
  if (begin + length > x.size() || length == 0) return 0.0;
  const auto min_lag = static_cast<std::size_t>(std::floor(rate / max_hz));
  const auto max_lag = static_cast<std::size_t>(std::ceil(rate / min_hz));
  const std::size_t window = std::max<std::size_t>(1024, 2 * max_lag);
  if (min_lag < 2 || length < window + max_lag + 2) return 0.0;
  // The median period of a few frames across the segment.
  std::vector<double> periods;
  const std::size_t frames = 5;
  const std::size_t span = length - window - max_lag - 2;
  for (std::size_t f = 0; f < frames; ++f) {
    const double period =
        PeriodOfFrame(x, begin + span * f / (frames - 1), window, min_lag, max_lag);
    if (period > 0.0) periods.push_back(period);
  }
  if (periods.size() < 3) return 0.0;
  std::sort(periods.begin(), periods.end());
  const double coarse_hz = rate / periods[periods.size() / 2];
  // Refine on the spectrum, frame by frame: a short frame follows vibrato and the beating of
  // near-unison partials, whose average is the pitch heard. Each frame's peak is searched within
  // 50 cents of the period's frequency and weighted by its power.
  std::size_t frame = 2048;
  while (static_cast<double>(frame) < 8.0 * rate / coarse_hz) frame *= 2;
  if (frame > length) return coarse_hz;
  double weighted = 0.0, total = 0.0;
  for (std::size_t start = begin; start + frame <= begin + length; start += frame / 4) {
    const auto level = [&](double cents) {
      return std::log(std::max(
          MagnitudeAt(x, rate, start, frame, coarse_hz * std::exp2(cents / 1200.0)), 1e-30));
    };
    // Every 5 cents, then every cent around the best of those.
    int best = -50;
    double best_level = level(best);
    for (int cents = -45; cents <= 50; cents += 5) {
      const double l = level(cents);
      if (l > best_level) best_level = l, best = cents;
    }
    const int coarse_best = best;
    for (int cents = std::max(coarse_best - 4, -50); cents <= std::min(coarse_best + 4, 50);
         ++cents) {
      const double l = level(cents);
      if (l > best_level) best_level = l, best = cents;
    }
    double cents = best;
    if (best > -50 && best < 50) {
      const double a = level(best - 1.0), c = level(best + 1.0);
      const double denominator = a - 2.0 * best_level + c;
      if (denominator < 0.0) cents += 0.5 * (a - c) / denominator;
    }
    const double power = std::exp(2.0 * best_level);
    weighted += power * cents;
    total += power;
  }
  return total > 0.0 ? coarse_hz * std::exp2(weighted / total / 1200.0) : coarse_hz;
}

namespace {

std::vector<double> RelativeToMaxDb(std::vector<double> powers) {
  const double loudest = PowerToDb(*std::max_element(powers.begin(), powers.end()));
  for (double& p : powers) p = std::max(PowerToDb(p) - loudest, kFloorDb);
  return powers;
}

}  // namespace

std::vector<double> ThirdOctaveProfileDb(const Samples& x, double rate) {
  constexpr std::size_t kSize = 2048, kHop = 512;
  std::vector<double> spectrum(kSize / 2, 0.0);
  std::vector<std::complex<double>> frame(kSize);
  for (std::size_t start = 0; start + kSize <= x.size(); start += kHop) {
    for (std::size_t n = 0; n < kSize; ++n) frame[n] = x[start + n] * Hann(n, kSize);
    Fft(frame);
    for (std::size_t k = 0; k < kSize / 2; ++k) spectrum[k] += std::norm(frame[k]);
  }
  std::vector<double> bands;
  for (double low = 40.0; low * std::exp2(1.0 / 3.0) < rate / 2.0; low *= std::exp2(1.0 / 3.0)) {
    const double high = low * std::exp2(1.0 / 3.0);
    double power = 0.0;
    for (std::size_t k = 0; k < kSize / 2; ++k) {
      const double hz = static_cast<double>(k) * rate / kSize;
      if (hz >= low && hz < high) power += spectrum[k];
    }
    bands.push_back(power);
  }
  return RelativeToMaxDb(bands);
}

std::vector<double> LoudnessContourDb(const Samples& x, double rate) {
  const auto frame = static_cast<std::size_t>(rate / 100.0);
  std::vector<double> powers(100, 0.0);
  for (std::size_t f = 0; f < powers.size(); ++f) {
    double sum = 0.0;
    for (std::size_t n = f * frame; n < (f + 1) * frame && n < x.size(); ++n) sum += x[n] * x[n];
    powers[f] = sum / static_cast<double>(frame);
  }
  return RelativeToMaxDb(powers);
}

double RmsDifference(const std::vector<double>& a, const std::vector<double>& b) {
  double sum = 0.0;
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) sum += (a[i] - b[i]) * (a[i] - b[i]);
  return n == 0 ? 0.0 : std::sqrt(sum / static_cast<double>(n));
}

}  // namespace kestu::test

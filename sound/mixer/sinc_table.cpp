#include "sound/mixer/sinc_table.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kestu::ds {

namespace {

// Kaiser window for about 70 dB of stop-band rejection.
constexpr double kBeta = 6.76;
// The -6 dB point, as a fraction of the lower rate's Nyquist frequency: the
// pass band reaches 3/4 of it (8.3 kHz for a 22050 Hz sample), the stop band
// starts at the Nyquist frequency itself.
constexpr double kCutoff = 0.875;
// Rows per frame of the full-band table; narrower filters are smoother and
// need proportionally fewer. Taps between two rows are interpolated.
constexpr double kFullBandPhases = 128.0;

double BesselI0(double x) noexcept {
  double sum = 1.0, term = 1.0;
  for (int k = 1; k < 64 && term > 1e-12 * sum; ++k) {
    const double half = x / (2.0 * k);
    term *= half * half;
    sum += term;
  }
  return sum;
}

// The low-pass, in frames of the lower rate, sampled finely once on its right half (it is
// even), so that the many rows of all the tables come from cheap interpolation rather than a
// Bessel series each.
class Kernel {
 public:
  Kernel() : points_(kPointsPerFrame * static_cast<std::size_t>(kHalfSpan) + 2) {
    const double windowScale = 1.0 / BesselI0(kBeta);
    for (std::size_t i = 0; i < points_.size(); ++i) {
      const double x = static_cast<double>(i) / kPointsPerFrame;
      const double u = std::min(x / kHalfSpan, 1.0);
      const double window = BesselI0(kBeta * std::sqrt(1.0 - u * u)) * windowScale;
      const double arg = kCutoff * x;
      const double sinc = arg == 0.0 ? 1.0 : std::sin(std::numbers::pi * arg) / (std::numbers::pi * arg);
      points_[i] = x >= kHalfSpan ? 0.0 : kCutoff * sinc * window;
    }
  }
  double operator()(double x) const {
    const double at = std::fabs(x) * kPointsPerFrame;
    if (at >= static_cast<double>(points_.size() - 2)) return 0.0;
    const auto i = static_cast<std::size_t>(at);
    return points_[i] + (points_[i + 1] - points_[i]) * (at - static_cast<double>(i));
  }

 private:
  static constexpr double kHalfSpan = SincTables::kLowerRateTaps / 2.0;
  static constexpr std::size_t kPointsPerFrame = 4096;
  std::vector<double> points_;
};

}  // namespace

const SincTables& SincTables::Shared() {
  static const SincTables tables;
  return tables;
}

SincTables::SincTables() {
  struct Shape {
    double scale;  // cutoff as a fraction of the sample's own band
    std::uint32_t taps, phases;
  };
  Shape shapes[kTableCount];
  std::size_t total = 0;
  for (std::uint32_t j = 0; j < kTableCount; ++j) {
    const double scale = std::exp2(-static_cast<double>(j) / kCutoffsPerOctave);
    const auto half = static_cast<std::uint32_t>(std::ceil(kLowerRateTaps / 2.0 / scale));
    const std::uint32_t taps = (2 * half + 7) / 8 * 8;
    const auto phases = static_cast<std::uint32_t>(std::max(16.0, std::ceil(kFullBandPhases * scale)));
    shapes[j] = {scale, taps, phases};
    total += static_cast<std::size_t>(phases + 1) * taps;
  }
  coefficients_.assign(total, 0.0f);
  float* next = coefficients_.data();
  std::vector<double> row;
  const Kernel kernel;
  for (std::uint32_t j = 0; j < kTableCount; ++j) {
    const Shape& s = shapes[j];
    tables_[j] = {next, s.taps, s.phases};
    row.resize(s.taps);
    for (std::uint32_t r = 0; r <= s.phases; ++r) {
      // Tap k reads the frame k - (taps/2 - 1) away from the read position's
      // whole frame; the position lies `phase` past that frame.
      const double phase = static_cast<double>(r) / s.phases;
      double sum = 0.0;
      for (std::uint32_t k = 0; k < s.taps; ++k) {
        const double t = static_cast<double>(k) - (s.taps / 2.0 - 1.0) - phase;
        row[k] = s.scale * kernel(s.scale * t);
        sum += row[k];
      }
      // Every row passes DC at exactly unity, so no fraction is louder than another.
      for (std::uint32_t k = 0; k < s.taps; ++k) next[k] = static_cast<float>(row[k] / sum);
      next += s.taps;
    }
  }
}

const SincTables::Table& SincTables::ForStep(double step) const noexcept {
  if (!(step > 1.0)) return tables_[0];
  const double index = std::ceil(kCutoffsPerOctave * std::log2(step) - 1e-9);
  return tables_[static_cast<std::uint32_t>(std::min<double>(index, kTableCount - 1))];
}

}  // namespace kestu::ds

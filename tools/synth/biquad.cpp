#include "tools/synth/biquad.h"

#include <algorithm>
#include <cmath>

#include "tools/synth/signal.h"

namespace kestu::synth {

namespace {

struct Angles {
  double cos_w;
  double alpha;
};

Angles AnglesFor(double hz, double q) {
  // Keep the centre safely below the Nyquist frequency; the cookbook formulas fold over there.
  const double w = kTwoPi * std::clamp(hz, 1.0, 0.49 * kSampleRate) / kSampleRate;
  return {std::cos(w), std::sin(w) / (2.0 * q)};
}

}  // namespace

Biquad::Biquad(double b0, double b1, double b2, double a0, double a1, double a2)
    : b0_(b0 / a0), b1_(b1 / a0), b2_(b2 / a0), a1_(a1 / a0), a2_(a2 / a0) {}

Biquad Biquad::Lowpass(double hz, double q) {
  const auto [c, alpha] = AnglesFor(hz, q);
  return Biquad((1 - c) / 2, 1 - c, (1 - c) / 2, 1 + alpha, -2 * c, 1 - alpha);
}

Biquad Biquad::Highpass(double hz, double q) {
  const auto [c, alpha] = AnglesFor(hz, q);
  return Biquad((1 + c) / 2, -(1 + c), (1 + c) / 2, 1 + alpha, -2 * c, 1 - alpha);
}

Biquad Biquad::Bandpass(double hz, double q) {
  const auto [c, alpha] = AnglesFor(hz, q);
  return Biquad(alpha, 0, -alpha, 1 + alpha, -2 * c, 1 - alpha);
}

Biquad Biquad::Peaking(double hz, double q, double gain_db) {
  const auto [c, alpha] = AnglesFor(hz, q);
  const double a = std::pow(10.0, gain_db / 40.0);
  return Biquad(1 + alpha * a, -2 * c, 1 - alpha * a, 1 + alpha / a, -2 * c, 1 - alpha / a);
}

OnePoleLowpass::OnePoleLowpass(double hz)
    : coefficient_(1.0 - std::exp(-kTwoPi * hz / kSampleRate)) {}

}  // namespace kestu::synth

#include "tools/synth/plucked_string.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

#include "tools/synth/biquad.h"
#include "tools/synth/noise.h"

namespace kestu::synth {

namespace {

using Complex = std::complex<double>;

// Phase delay, in frames, of a filter with response `h` at angular frequency `w`.
double PhaseDelay(Complex h, double w) { return -std::arg(h) / w; }

// The damping filter g * ((1 - s) + s z^-1): s = 0.5 is the classic two-point average.
Complex DampingResponse(double s, double w) { return (1.0 - s) + s * std::polar(1.0, -w); }

// First-order all-pass (c + z^-1) / (1 + c z^-1).
Complex AllpassResponse(double c, double w) {
  const Complex z1 = std::polar(1.0, -w);
  return (c + z1) / (1.0 + c * z1);
}

// The all-pass coefficient whose phase delay at `w` is `frames` (between about 0.1 and 1.9).
double AllpassCoefficientFor(double frames, double w) {
  double low = -0.95, high = 0.95;  // delay falls as the coefficient rises
  for (int i = 0; i < 80; ++i) {
    const double mid = 0.5 * (low + high);
    if (PhaseDelay(AllpassResponse(mid, w), w) > frames) {
      low = mid;
    } else {
      high = mid;
    }
  }
  return 0.5 * (low + high);
}

Signal Excitation(const PluckedString& string, std::size_t period) {
  Noise noise(string.seed);
  // A soft pick rounds the burst off; the pluck position notches the harmonics it would not excite.
  OnePoleLowpass soften(800.0 + 9000.0 * string.pick_hardness);
  Signal burst(period);
  for (std::size_t n = 0; n < period; ++n) {
    // Half noise, half the triangle a finger leaves, so each pluck has body as well as grain.
    const double x = static_cast<double>(n) / period;
    const double triangle = x < string.pluck_position ? x / string.pluck_position
                                                      : (1.0 - x) / (1.0 - string.pluck_position);
    burst[n] = soften.Process(0.5 * noise.Next() + 0.8 * (triangle - 0.5));
  }
  const auto offset = static_cast<std::size_t>(std::lround(string.pluck_position * period));
  Signal combed(period);
  for (std::size_t n = 0; n < period; ++n) {
    combed[n] = burst[n] - (n >= offset ? burst[n - offset] : 0.0);
  }
  return combed;
}

}  // namespace

Signal Pluck(const PluckedString& string) {
  const double period = kSampleRate / string.fundamental_hz;
  const double w = kTwoPi / period;
  // Lower brightness moves the damping filter's weight towards the two-point average.
  const double s = 0.5 - 0.48 * std::clamp(string.brightness, 0.0, 1.0);
  const double damping_delay = PhaseDelay(DampingResponse(s, w), w);
  const double remaining = period - damping_delay;
  const auto whole = static_cast<std::size_t>(std::floor(remaining - 0.5));
  const double allpass_c = AllpassCoefficientFor(remaining - static_cast<double>(whole), w);
  // Loop gain so that the fundamental decays by 60 dB in ring_time.
  const double per_period = std::pow(10.0, -3.0 / (string.ring_time * string.fundamental_hz));
  const double g = per_period / std::abs(DampingResponse(s, w));

  const Signal excitation = Excitation(string, whole);
  Signal out(FramesFor(string.seconds));
  std::vector<double> line(whole, 0.0);  // the last `whole` outputs, circular
  std::size_t head = 0;
  double allpass_in = 0.0, allpass_out = 0.0, damping_in = 0.0;
  for (std::size_t n = 0; n < out.size(); ++n) {
    const double delayed = line[head];
    const double a = allpass_c * delayed + allpass_in - allpass_c * allpass_out;
    allpass_in = delayed;
    allpass_out = a;
    const double damped = g * ((1.0 - s) * a + s * damping_in);
    damping_in = a;
    const double y = (n < excitation.size() ? excitation[n] : 0.0) + damped;
    line[head] = y;
    head = (head + 1) % whole;
    out[n] = y;
  }
  return out;
}

}  // namespace kestu::synth

#include "tools/synth/partials.h"

#include <cmath>

namespace kestu::synth {

void AddPartials(Signal& out, double fundamental_hz, std::span<const Partial> partials) {
  constexpr double kHighestHz = 0.46 * kSampleRate;
  for (const Partial& p : partials) {
    const double hz = fundamental_hz * p.ratio * CentsToRatio(p.detune_cents);
    if (hz >= kHighestHz || p.amplitude == 0.0) continue;
    const double step = kTwoPi * hz / kSampleRate;
    // Recurrences would drift; computing each frame's phase and gain directly keeps the tuning
    // exact and the result independent of the frame count.
    const double decay_per_frame = 1.0 / (p.decay * kSampleRate);
    for (std::size_t n = 0; n < out.size(); ++n) {
      const double fn = static_cast<double>(n);
      const double gain = p.amplitude * std::exp(-fn * decay_per_frame);
      if (gain < 1e-6) break;
      out[n] += gain * std::sin(p.phase + step * fn);
    }
  }
}

}  // namespace kestu::synth

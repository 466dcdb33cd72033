#pragma once
// Envelope shapes, all functions of time in seconds.
#include <cmath>

#include "tools/synth/signal.h"

namespace kestu::synth {

// 0 at t = 0 rising smoothly to 1 at t = duration; a ramp without corners does not click.
inline double SmoothRise(double t, double duration) {
  if (t <= 0.0) return 0.0;
  if (t >= duration) return 1.0;
  return 0.5 - 0.5 * std::cos(kPi * t / duration);
}

// 1 until `start`, then falling smoothly to 0 over `duration`.
inline double SmoothFall(double t, double start, double duration) {
  return 1.0 - SmoothRise(t - start, duration);
}

inline double ExpDecay(double t, double time_constant) { return std::exp(-t / time_constant); }

// Attack, decay to a sustain level, hold, release: the shape of a held note.
struct HeldNote {
  double attack;
  double decay;
  double sustain;
  double release_start;
  double release;

  double operator()(double t) const {
    const double rise = SmoothRise(t, attack);
    const double settled = sustain + (1.0 - sustain) * ExpDecay(std::fmax(t - attack, 0.0), decay);
    return rise * settled * SmoothFall(t, release_start, release);
  }
};

}  // namespace kestu::synth

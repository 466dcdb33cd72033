#pragma once
// Additive synthesis of decaying partials: the struck and plucked bodies (piano strings, tines,
// bars) are each a handful of modes that ring down at their own rates.
#include <span>

#include "tools/synth/signal.h"

namespace kestu::synth {

struct Partial {
  double ratio;         // frequency as a multiple of the fundamental
  double amplitude;     // initial amplitude
  double decay;         // time constant of the exponential decay, seconds
  double detune_cents;  // offset from ratio * f0, for beating pairs
  double phase;         // starting phase, radians
};

// Adds each partial below the Nyquist margin to `out`, all starting at frame 0.
void AddPartials(Signal& out, double fundamental_hz, std::span<const Partial> partials);

}  // namespace kestu::synth

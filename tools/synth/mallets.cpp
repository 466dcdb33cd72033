// Music box and marimba: struck bodies whose overtones are not harmonics.
#include <cmath>
#include <vector>

#include "tools/synth/biquad.h"
#include "tools/synth/envelope.h"
#include "tools/synth/instruments.h"
#include "tools/synth/noise.h"
#include "tools/synth/partials.h"

namespace kestu::synth {

Signal MusicBox(Register reg) {
  const bool high = reg == Register::kHigh;
  const double f0 = PitchOf(reg);
  Signal out(FramesFor(high ? 2.0 : 2.5));
  const double ring = high ? 0.55 : 0.7;
  // A comb tine is a loaded cantilever: its bending modes lie far from the harmonics, which is
  // the glassy shine; the faint second and third harmonics come from the tine's large swing.
  const Partial modes[] = {
      {1.0, 1.0, ring, 0.0, 0.0},
      {1.0, 0.35, ring * 1.3, 1.1, 1.0},  // the comb's resonance beside it: a slow shimmer
      {2.0, 0.06, ring * 0.4, 0.0, 0.5},
      {3.0, 0.03, ring * 0.3, 0.0, 2.0},
      {5.93, high ? 0.3 : 0.22, 0.12, 0.0, 0.3},
      {13.1, high ? 0.1 : 0.08, 0.04, 0.0, 1.7},
  };
  AddPartials(out, f0, modes);
  AddDecayingNoise(out, Biquad::Bandpass(5200.0, 2.0), 8.0 * 0.002, 0.002, 0.25, 31 + static_cast<int>(high));  // the pin
  return out;
}

Signal Marimba() {
  const double f0 = kBasePitchHz;
  Signal out(FramesFor(1.6));
  // Rosewood bars are undercut so the overtones fall at four and about ten times the
  // fundamental; the tube under the bar makes the fundamental ring on.
  const Partial modes[] = {
      {1.0, 1.0, 0.42, 0.0, 0.0},
      {1.0, 0.25, 0.6, -0.6, 0.0},  // the resonator tube, tuned a hair flat
      {3.98, 0.32, 0.09, 0.0, 0.0},
      {9.85, 0.1, 0.03, 0.0, 0.0},
  };
  AddPartials(out, f0, modes);
  // Yarn mallets: a soft, woody knock rather than a click.
  AddDecayingNoise(out, Biquad::Bandpass(1100.0, 1.8), 8.0 * 0.004, 0.004, 0.35, 41);  // the mallet
  Signal shaped(out.size());
  // The attack of a soft mallet takes a few milliseconds.
  for (std::size_t n = 0; n < out.size(); ++n) shaped[n] = out[n] * SmoothRise(TimeOf(n), 0.003);
  return shaped;
}

}  // namespace kestu::synth

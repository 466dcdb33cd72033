// Piano and organ.
#include <cmath>
#include <vector>

#include "tools/synth/biquad.h"
#include "tools/synth/envelope.h"
#include "tools/synth/instruments.h"
#include "tools/synth/noise.h"
#include "tools/synth/partials.h"

namespace kestu::synth {

Signal Piano(Register reg) {
  const bool high = reg == Register::kHigh;
  const double f0 = PitchOf(reg);
  Signal out(FramesFor(high ? 2.4 : 3.0));
  // Stiff strings stretch their overtones; dividing by the first partial's stretch keeps the
  // fundamental exactly on pitch.
  const double stiffness = high ? 0.0006 : 0.0004;
  const double hammer_cutoff = high ? 3800.0 : 2700.0;
  const double strike_point = 1.0 / 7.3;
  Noise phases(11 + static_cast<int>(high));
  std::vector<Partial> partials;
  for (int k = 1; k <= 40; ++k) {
    const double n = k;
    const double ratio = n * std::sqrt((1.0 + stiffness * n * n) / (1.0 + stiffness));
    const double hz = f0 * ratio;
    const double hammer = 1.0 / (1.0 + (hz / hammer_cutoff) * (hz / hammer_cutoff));
    const double strike = 0.3 + 0.7 * std::fabs(std::sin(kPi * n * strike_point));
    const double amplitude = std::pow(n, -1.1) * strike * hammer;
    // Each note has two strings a fraction of a cent apart: their in-phase motion gives the loud
    // prompt sound and dies fast, the rest is the long, quiet aftersound.
    const double prompt = (high ? 0.22 : 0.32) / (1.0 + 0.12 * (n - 1.0));
    const double after = (high ? 1.0 : 1.4) / (1.0 + 0.2 * (n - 1.0));
    // One hammer strikes both strings, so they start in phase.
    const double beat = 0.35 * std::sqrt(n);
    const double phase = kPi * (1.0 + phases.Next());
    partials.push_back({ratio, 0.7 * amplitude, prompt, beat, phase});
    partials.push_back({ratio, 0.3 * amplitude, after, -beat, phase});
  }
  AddPartials(out, f0, partials);
  // The felt hammer's knock on the soundboard, heard under the strings at the attack.
  AddDecayingNoise(out, Biquad::Lowpass(700.0, 0.9), 0.04, 0.008, high ? 0.05 : 0.08, 12 + static_cast<int>(high));
  return out;
}

Signal Organ(Register reg) {
  const bool high = reg == Register::kHigh;
  const double f0 = PitchOf(reg);
  const double seconds = high ? 1.0 : 1.2;
  Signal out(FramesFor(seconds));
  struct Drawbar {
    double harmonic;
    double level;
  };
  // 8', 4', 2 2/3', 2', 1 1/3' and 1': a bright, full registration without the sub-octave, so the
  // note stays where it is written.
  const Drawbar drawbars[] = {
      {1, 1.0}, {2, 0.75}, {3, 0.55}, {4, 0.5}, {6, high ? 0.36 : 0.3}, {8, high ? 0.28 : 0.22}};
  const double rotor_hz = 6.7;  // the rotating horn: slow tremolo and a little Doppler shimmer
  const HeldNote envelope{0.006, 0.2, 0.92, seconds - 0.13, 0.12};
  const double percussion_decay = high ? 0.14 : 0.18;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double t = TimeOf(i);
    const double rotor = kTwoPi * rotor_hz * t;
    double sum = 0.0;
    for (const Drawbar& bar : drawbars) {
      const double offset = 0.9 * bar.harmonic;
      const double doppler = 0.00012 * bar.harmonic * f0 / rotor_hz * std::sin(rotor + offset);
      double level = bar.level * (1.0 + 0.1 * std::sin(rotor + offset + 1.3));
      // The percussion tab: the third harmonic struck and dying away.
      if (bar.harmonic == 3) level += 0.7 * ExpDecay(t, percussion_decay);
      sum += level * std::sin(kTwoPi * f0 * bar.harmonic * t + doppler);
    }
    out[i] = sum * envelope(t);
  }
  // Key click: the contacts closing.
  Noise noise(21 + static_cast<int>(high));
  Biquad click = Biquad::Bandpass(2500.0, 1.5);
  for (std::size_t i = 0; i < FramesFor(0.01); ++i) {
    out[i] += 0.12 * ExpDecay(TimeOf(i), 0.002) * click.Process(noise.Next());
  }
  return out;
}

}  // namespace kestu::synth

// Guitar, bowed string ensemble and bass.
#include <cmath>

#include "tools/synth/biquad.h"
#include "tools/synth/envelope.h"
#include "tools/synth/instruments.h"
#include "tools/synth/noise.h"
#include "tools/synth/plucked_string.h"

namespace kestu::synth {

Signal Guitar(Register reg) {
  const bool high = reg == Register::kHigh;
  Signal string = Pluck({.fundamental_hz = PitchOf(reg),
                         .seconds = high ? 1.2 : 1.5,
                         .ring_time = high ? 1.1 : 1.5,
                         .brightness = high ? 0.94 : 0.92,
                         .pluck_position = 0.18,
                         .pick_hardness = high ? 0.6 : 0.5,
                         .seed = 71u + static_cast<unsigned>(high)});
  // The wooden body: its air and top-plate resonances, and a little presence.
  Biquad air = Biquad::Peaking(220.0, 1.5, 4.0);
  Biquad top = Biquad::Peaking(450.0, 1.5, 3.0);
  Biquad presence = Biquad::Peaking(2500.0, 1.0, 3.0);
  Biquad soft = Biquad::Lowpass(7000.0, 0.7);
  for (double& x : string) x = soft.Process(presence.Process(top.Process(air.Process(x))));
  return string;
}

Signal StringEnsemble(Register reg) {
  const bool high = reg == Register::kHigh;
  const double f0 = PitchOf(reg);
  const double seconds = high ? 1.2 : 1.5;
  Signal out(FramesFor(seconds));
  struct Player {
    double detune_cents;
    double level;
    double vibrato_hz;
    double vibrato_phase;
  };
  // Five players, tuned symmetrically about the note so the section's pitch is the note itself.
  const Player section[] = {{-8.0, 0.8, 5.1, 0.0},
                            {-3.5, 1.0, 5.6, 2.1},
                            {0.0, 1.0, 5.3, 4.0},
                            {3.5, 1.0, 5.8, 1.2},
                            {8.0, 0.8, 5.0, 3.3}};
  double phases[5] = {0.3, 1.9, 4.4, 2.8, 5.6};
  const HeldNote envelope{0.05, 0.4, 0.9, seconds - 0.2, 0.18};
  constexpr double kHighestHz = 9000.0;
  for (std::size_t n = 0; n < out.size(); ++n) {
    const double t = TimeOf(n);
    double sum = 0.0;
    for (int p = 0; p < 5; ++p) {
      const Player& player = section[p];
      const double vibrato = 9.0 * SmoothRise(t - 0.15, 0.25) *
                             std::sin(kTwoPi * player.vibrato_hz * t + player.vibrato_phase);
      const double hz = f0 * CentsToRatio(player.detune_cents + vibrato);
      phases[p] += kTwoPi * hz / kSampleRate;
      // A bowed string's wave is close to a sawtooth: every harmonic at 1/k. Each player's
      // harmonics keep phases of their own, as real strings' do, so that the section's waves
      // never all line up into one tall spike.
      double saw = 0.0;
      for (int k = 1; k * hz < kHighestHz; ++k) saw += std::sin(k * phases[p] + 3.1 * k * (p + 1)) / k;
      sum += player.level * saw;
    }
    out[n] = envelope(t) * sum;
  }
  Noise noise(81 + static_cast<int>(high));
  Biquad rosin = Biquad::Highpass(3000.0, 0.7);
  Biquad low_cut = Biquad::Highpass(180.0, 0.7);
  Biquad wood = Biquad::Peaking(450.0, 1.5, 3.0);
  Biquad bridge = Biquad::Peaking(2800.0, 1.2, 5.0);
  Biquad soft = Biquad::Lowpass(high ? 6500.0 : 5500.0, 0.7);
  for (std::size_t n = 0; n < out.size(); ++n) {
    const double bow = 0.1 * envelope(TimeOf(n)) * rosin.Process(noise.Next());
    out[n] = soft.Process(bridge.Process(wood.Process(low_cut.Process(out[n] + bow))));
  }
  return out;
}

Signal Bass() {
  const double f0 = kBasePitchHz / 4.0;  // F2
  const double seconds = 1.0;
  Signal out(FramesFor(seconds));
  const HeldNote envelope{0.004, 0.3, 0.5, seconds - 0.16, 0.14};
  Noise noise(91);
  Biquad finger = Biquad::Bandpass(1200.0, 1.2);
  Biquad round = Biquad::Lowpass(3000.0, 0.7);
  for (std::size_t n = 0; n < out.size(); ++n) {
    const double t = TimeOf(n);
    const double phase = kTwoPi * f0 * t;
    // FM with a falling index: a bright, growling pluck that settles into a round tone, and
    // enough overtones that the note is heard on small speakers too.
    const double index = 3.0 * ExpDecay(t, 0.15) + 1.4;
    const double tone = std::sin(phase + index * std::sin(phase)) + 0.5 * std::sin(phase);
    const double pluck = 0.3 * ExpDecay(t, 0.005) * finger.Process(noise.Next());
    out[n] = round.Process(envelope(t) * tone + pluck);
  }
  return out;
}

}  // namespace kestu::synth

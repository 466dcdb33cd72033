// The funny effect, the tools' sounds and the spare files.
#include <cmath>

#include "tools/synth/biquad.h"
#include "tools/synth/envelope.h"
#include "tools/synth/instruments.h"
#include "tools/synth/noise.h"

namespace kestu::synth {

namespace {

// A struck bell voice by FM with an inharmonic ratio, its brightness dying faster than its tone.
double BellTone(double t, double hz, double decay) {
  if (t < 0.0) return 0.0;
  const double carrier = kTwoPi * hz * t;
  const double index = 1.6 * ExpDecay(t, 0.6 * decay);
  return SmoothRise(t, 0.003) * ExpDecay(t, decay) *
         std::sin(carrier + index * std::sin(1.4 * carrier));
}

}  // namespace

Signal Boing() {
  Signal out(FramesFor(1.2));
  Biquad wah = Biquad::Bandpass(3.0 * kBasePitchHz, 3.0);
  double phase = 0.0;
  for (std::size_t n = 0; n < out.size(); ++n) {
    const double t = TimeOf(n);
    // A twanged spring: it leaps up into its note within a few milliseconds and then holds the
    // pitch, so it can carry a tune; the "oi-oi-oing" is its resonance swinging, not its pitch.
    const double cents = -900.0 * ExpDecay(t, 0.006);
    phase += kTwoPi * kBasePitchHz * CentsToRatio(cents) / kSampleRate;
    const double tone = std::sin(phase + 1.6 * std::sin(phase));
    const double swing = ExpDecay(t, 0.35) * std::sin(kTwoPi * 6.0 * t);
    // The mouth of a jaw harp opening and closing with the swing, from the 2nd to the 5th harmonic.
    if (n % 32 == 0) wah.Retune(Biquad::Bandpass(kBasePitchHz * (3.2 + 1.8 * swing), 3.0));
    // The twang itself is loudest: the spring's first swing.
    const double twang = 1.0 + 1.2 * ExpDecay(t, 0.06);
    out[n] = SmoothRise(t, 0.003) * ExpDecay(t, 0.3) * (twang * 0.6 * tone + 0.8 * wah.Process(tone));
  }
  return out;
}

Signal EndMarkChime() {
  Signal out(FramesFor(0.35));
  // Two quick notes rising a fifth, C6 then G6: short, clear and unlike any instrument.
  for (std::size_t n = 0; n < out.size(); ++n) {
    const double t = TimeOf(n);
    out[n] = BellTone(t, 1046.5, 0.09) + 0.8 * BellTone(t - 0.07, 1568.0, 0.09);
  }
  return out;
}

Signal EraserSwish() {
  Signal out(FramesFor(0.3));
  Noise noise(141);
  Biquad band = Biquad::Bandpass(4500.0, 3.0);
  double pop_phase = 0.0;
  for (std::size_t n = 0; n < out.size(); ++n) {
    const double t = TimeOf(n);
    // A rubber's swish, falling from a hiss to a rustle, and a small pop as the note comes off.
    if (n % 16 == 0)
      band.Retune(
          Biquad::Bandpass(4500.0 * std::pow(700.0 / 4500.0, std::fmin(t / 0.2, 1.0)), 3.0));
    const double swish =
        SmoothRise(t, 0.03) * SmoothFall(t, 0.12, 0.1) * band.Process(noise.Next());
    const double since_pop = t - 0.2;
    double pop = 0.0;
    if (since_pop >= 0.0) {
      pop_phase += kTwoPi * (150.0 + 350.0 * ExpDecay(since_pop, 0.01)) / kSampleRate;
      pop = 0.7 * SmoothRise(since_pop, 0.001) * ExpDecay(since_pop, 0.012) * std::sin(pop_phase);
    }
    out[n] = swish + pop;
  }
  return out;
}

Signal SpareTick(int which) {
  Signal out(FramesFor(0.2));
  Noise noise(150 + static_cast<std::uint64_t>(which));
  const double hz = 1200.0 + 300.0 * which;
  Biquad knock = Biquad::Bandpass(hz, 4.0);
  // A woodblock tap: a hollow tone and the stick's knock.
  for (std::size_t n = 0; n < out.size(); ++n) {
    const double t = TimeOf(n);
    out[n] = ExpDecay(t, 0.03) * std::sin(kTwoPi * hz * t) +
             0.5 * ExpDecay(t, 0.005) * knock.Process(noise.Next());
  }
  return out;
}

}  // namespace kestu::synth

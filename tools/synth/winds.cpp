// Trumpet, flute and the chip lead: held notes whose pitch is steered frame by frame.
#include <cmath>

#include "tools/synth/biquad.h"
#include "tools/synth/envelope.h"
#include "tools/synth/instruments.h"
#include "tools/synth/noise.h"

namespace kestu::synth {

namespace {

// Vibrato that sets in after `delay`, as a player's does once the note has settled.
double DelayedVibratoCents(double t, double delay, double rate_hz, double depth_cents) {
  return depth_cents * SmoothRise(t - delay, 0.2) * std::sin(kTwoPi * rate_hz * t);
}

}  // namespace

Signal Trumpet(Register reg) {
  const bool high = reg == Register::kHigh;
  const double f0 = PitchOf(reg);
  // The bell and the player's mouth shape the tone around fixed multiples of the note, so that the
  // high sample, played a few semitones down, sounds as bright as the base one played up to meet it.
  const double scale = f0 / kBasePitchHz;
  const double seconds = high ? 0.8 : 1.0;
  Signal out(FramesFor(seconds));
  const HeldNote envelope{0.025, 0.15, 0.8, seconds - 0.13, 0.11};
  Noise noise(51 + static_cast<int>(high));
  Biquad breath = Biquad::Bandpass(1500.0 * scale, 0.8);
  Biquad bell = Biquad::Peaking(1300.0 * scale, 0.9, 4.0);
  // The brassy edge a real trumpet has between 2 and 4 kHz.
  Biquad brass = Biquad::Peaking(2900.0 * scale, 0.8, 9.0);
  Biquad mellow = Biquad::Lowpass(std::min(7500.0 * scale, 0.42 * kSampleRate), 0.7);
  double phase = 0.0;
  for (std::size_t n = 0; n < out.size(); ++n) {
    const double t = TimeOf(n);
    // The lips find the note from a little below it.
    const double cents = -35.0 * ExpDecay(t, 0.025) + DelayedVibratoCents(t, 0.25, 5.5, 7.0);
    phase += kTwoPi * f0 * CentsToRatio(cents) / kSampleRate;
    const double level = envelope(t);
    // Brass gets brighter as it gets louder: the modulation index follows the envelope.
    const double index = 6.5 * std::pow(level, 0.8) + 0.3;
    const double tone = std::sin(phase + index * std::sin(phase));
    out[n] = mellow.Process(
        brass.Process(bell.Process(level * tone + 0.02 * level * breath.Process(noise.Next()))));
  }
  return out;
}

Signal Flute(Register reg) {
  const bool high = reg == Register::kHigh;
  const double f0 = PitchOf(reg);
  const double seconds = high ? 0.8 : 1.0;
  Signal out(FramesFor(seconds));
  const double base_harmonics[] = {1.0, 0.42, 0.16, 0.08, 0.035, 0.02};
  const double high_harmonics[] = {1.0, 0.3, 0.09, 0.035, 0.015, 0.0};
  const double* harmonics = high ? high_harmonics : base_harmonics;
  const HeldNote envelope{0.04, 0.3, 0.9, seconds - 0.15, 0.13};
  Noise noise(61 + static_cast<int>(high));
  Biquad breath = Biquad::Bandpass(2000.0, 1.2);
  Biquad breath_soft = Biquad::Lowpass(4500.0, 0.7);
  Biquad air_at_pitch = Biquad::Bandpass(f0, 25.0);
  double phase = 0.0;
  for (std::size_t n = 0; n < out.size(); ++n) {
    const double t = TimeOf(n);
    const double cents = DelayedVibratoCents(t, 0.2, 5.0, 6.0);
    phase += kTwoPi * f0 * CentsToRatio(cents) / kSampleRate;
    const double level =
        envelope(t) * (1.0 + 0.07 * SmoothRise(t - 0.2, 0.2) * std::sin(kTwoPi * 5.0 * t + 0.5));
    double tone = 0.0;
    for (int h = 0; h < 6; ++h) {
      double a = harmonics[h];
      // The octave speaks first and overshoots: the flute's little chiff.
      if (h == 1) a *= 1.0 + 1.5 * ExpDecay(t, 0.04);
      tone += a * std::sin((h + 1) * phase);
    }
    const double white = noise.Next();
    const double breathy = breath_soft.Process(breath.Process(white));
    const double air = 0.03 * breathy + 0.5 * air_at_pitch.Process(white);
    const double chiff = 0.12 * ExpDecay(t, 0.025) * breathy;
    out[n] = level * (tone + air) + SmoothRise(t, 0.004) * chiff;
  }
  return out;
}

Signal ChipLead(Register reg) {
  const bool high = reg == Register::kHigh;
  const double f0 = PitchOf(reg);
  const double seconds = high ? 0.6 : 0.8;
  Signal dry(FramesFor(seconds));
  const HeldNote envelope{0.002, 0.25, 0.7, seconds - 0.16, 0.07};
  // The harmonics reach as far above the note in both registers, so the high sample, played down
  // to meet the base one at the register's seam, is as bright.
  const double kHighestHz = std::min(24.0 * f0, 10000.0);
  const double kTaperFromHz = 0.6 * kHighestHz;
  double phase = 0.0;
  for (std::size_t n = 0; n < dry.size(); ++n) {
    const double t = TimeOf(n);
    // The old sound chips' trick: a blip an octave up before the note proper, left in 8 ms.
    const double blip = 1200.0 * SmoothFall(t, 0.026, 0.008);
    const double hz = f0 * CentsToRatio(blip + DelayedVibratoCents(t, 0.2, 6.0, 10.0));
    phase += kTwoPi * hz / kSampleRate;
    // Pulse-width sweep: the hollow square turns reedy and back.
    // The high sample's pulses are narrower: fewer of its harmonics fit under the file's Nyquist, and
    // a narrower pulse keeps them as strong, so it is as bright as the base sample played up.
    const double duty = high ? 0.17 + 0.1 * std::sin(kTwoPi * 3.0 * t) : 0.25 + 0.18 * std::sin(kTwoPi * 2.5 * t);
    double pulse = 0.0;
    // A band-limited pulse of that duty centred on phase 0, harmonic by harmonic, so nothing
    // folds back and the changing width does not bend the pitch.
    // Harmonics fade out towards the top so none switches on with a click as the pitch moves.
    for (int k = 1; k * hz < kHighestHz; ++k) {
      const double taper = SmoothFall(k * hz, kTaperFromHz, kHighestHz - kTaperFromHz);
      pulse += taper * std::sin(kPi * k * duty) / k * std::cos(k * phase);
    }
    dry[n] = envelope(t) * pulse;
  }
  // A short echo gives the lead a little room.
  Signal out(dry.size());
  const std::size_t echo = FramesFor(0.09);
  for (std::size_t n = 0; n < out.size(); ++n)
    out[n] = dry[n] + (n >= echo ? 0.25 * dry[n - echo] : 0.0);
  return out;
}

}  // namespace kestu::synth

// Bass drum, snare drum and hi-hat. They are re-pitched by the row like every instrument, so each
// is built to sound like a drum anywhere from 0.7 to 2.2 times its own rate.
#include <cmath>

#include "tools/synth/biquad.h"
#include "tools/synth/envelope.h"
#include "tools/synth/instruments.h"
#include "tools/synth/noise.h"

namespace kestu::synth {

Signal BassDrum() {
  Signal out(FramesFor(0.5));
  Noise noise(111);
  Biquad beater = Biquad::Lowpass(5000.0, 0.7);
  double phase = 0.0, knock_phase = 0.0;
  for (std::size_t n = 0; n < out.size(); ++n) {
    const double t = TimeOf(n);
    // The head's pitch drops as the beater's dent relaxes.
    const double hz = 55.0 + 130.0 * ExpDecay(t, 0.03);
    phase += kTwoPi * hz / kSampleRate;
    // The head's second mode and the shell: the knock that small speakers can still play.
    knock_phase += kTwoPi * (170.0 + 180.0 * ExpDecay(t, 0.02)) / kSampleRate;
    const double body = ExpDecay(t, 0.11) * std::sin(phase);
    const double knock = 0.9 * ExpDecay(t, 0.07) * std::sin(knock_phase);
    const double click = 0.6 * ExpDecay(t, 0.004) * beater.Process(noise.Next());
    // Driven a little into saturation for punch.
    out[n] = std::tanh(1.8 * (body + knock + click));
  }
  return out;
}

// The row's ratio takes a drum from 0.7 to 2.245 times its rate, and the output keeps what lies
// under about 10.4 kHz: energy a drum puts above 4.6 kHz in its file is lost on the top rows. The
// snare's wires and the hi-hat's metal therefore sit mostly between 1 and 4.6 kHz here, where
// every row keeps them, with only a little air above.
Signal SnareDrum() {
  Signal out(FramesFor(0.5));
  Noise noise(121);
  Biquad wires_low_cut = Biquad::Highpass(900.0, 0.7);
  Biquad wires_high_cut_a = Biquad::Lowpass(4600.0, 0.6);
  Biquad wires_high_cut_b = Biquad::Lowpass(4600.0, 0.9);
  Biquad wires_sizzle = Biquad::Peaking(3200.0, 0.9, 5.0);
  double drum_phase = 0.0, overtone_phase = 0.0;
  for (std::size_t n = 0; n < out.size(); ++n) {
    const double t = TimeOf(n);
    // Two modes of the batter head, then the snare wires buzzing on the lower head.
    drum_phase += kTwoPi * (185.0 + 30.0 * ExpDecay(t, 0.01)) / kSampleRate;
    overtone_phase += kTwoPi * (330.0 + 40.0 * ExpDecay(t, 0.01)) / kSampleRate;
    const double head = 0.6 * ExpDecay(t, 0.05) * std::sin(drum_phase) +
                        0.35 * ExpDecay(t, 0.035) * std::sin(overtone_phase);
    const double buzz = wires_sizzle.Process(
        wires_high_cut_b.Process(wires_high_cut_a.Process(wires_low_cut.Process(noise.Next()))));
    const double wires = (0.8 * ExpDecay(t, 0.06) + 0.2 * ExpDecay(t, 0.16)) * buzz;
    out[n] = head + 1.1 * wires;
  }
  return out;
}

Signal HiHat() {
  Signal out(FramesFor(0.5));
  // Two cymbals of thin bronze: a dense cluster of inharmonic modes, which square waves at these
  // unrelated frequencies imitate well. Built harmonic by harmonic so nothing folds back, and only
  // up to where the top row still keeps them.
  const double roots[] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
  constexpr double kHighestHz = 6000.0;
  for (double root : roots) {
    const double step = kTwoPi * root / kSampleRate;
    for (int k = 1; k * root < kHighestHz; k += 2) {
      for (std::size_t n = 0; n < out.size(); ++n)
        out[n] += std::sin(k * step * static_cast<double>(n)) / k;
    }
  }
  Noise noise(131);
  Biquad low_cut_a = Biquad::Highpass(1900.0, 0.7);
  Biquad low_cut_b = Biquad::Highpass(1900.0, 0.7);
  Biquad high_cut_a = Biquad::Lowpass(4300.0, 0.7);
  Biquad high_cut_b = Biquad::Lowpass(4800.0, 0.7);
  Biquad shimmer = Biquad::Peaking(3400.0, 1.2, 4.0);
  Biquad air = Biquad::Highpass(6000.0, 0.7);
  for (std::size_t n = 0; n < out.size(); ++n) {
    const double t = TimeOf(n);
    const double white = noise.Next();
    const double metal = 0.12 * out[n] + 0.5 * white;
    const double body = shimmer.Process(high_cut_b.Process(high_cut_a.Process(low_cut_b.Process(low_cut_a.Process(metal)))));
    // The sizzle above, which the lower rows keep: a tenth of the energy.
    const double sizzle = 0.2 * air.Process(white);
    out[n] = (0.7 * ExpDecay(t, 0.06) + 0.3 * ExpDecay(t, 0.15)) * (body + sizzle);
  }
  return out;
}

}  // namespace kestu::synth
